// The HTTP client against a one-connection server on 127.0.0.1: what is sent and read, and the
// failures a user sees.
#include <gtest/gtest.h>
#include <poll.h>

#include <boost/asio.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <sstream>
#include <thread>

#include "platform/net/KxHttpClient.h"

namespace asio = boost::asio;
namespace http = boost::beast::http;
namespace net = kx::net;
using namespace std::chrono_literals;

namespace {

// A listener on 127.0.0.1. With an answer it serves one connection for at most 5 s: keeps the
// request, sends the answer and closes. Without one it never accepts.
struct TestServer {
    explicit TestServer(std::string answer = {}) : answer(std::move(answer)) {
        if (this->answer.empty()) {
            return;
        }
        acceptor.async_accept(socket, [this](boost::system::error_code) {
            http::async_read(socket, buffer, request, [this](boost::system::error_code, auto) {
                asio::async_write(socket, asio::buffer(this->answer),
                                  [this](boost::system::error_code, auto) { socket.close(); });
            });
        });
        thread = std::jthread([this] { io.run_for(5s); });
    }
    unsigned short port() const { return acceptor.local_endpoint().port(); }

    std::string answer;
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor{io, {asio::ip::make_address("127.0.0.1"), 0}};
    asio::ip::tcp::socket socket{io};
    boost::beast::flat_buffer buffer;
    http::request<http::string_body> request;  // as received, once the thread is joined
    std::jthread thread;
};

// Why a request failed, in the user's words; "no error" when it did not.
std::string failure(const std::string& method, unsigned short port, const std::string& target = "/",
                    const std::pair<std::string, std::string>& header = {"A", "x"},
                    std::chrono::milliseconds timeout = 5s, const std::string& host = "127.0.0.1") {
    try {
        net::httpRequest(method, host, port, target, {header}, "", timeout, 100);
    } catch (const net::KxHttpError& error) {
        return error.why();
    }
    return "no error";
}

TEST(HttpClientTest, SendsTheRequestAndReadsTheAnswer) {
    TestServer server(
        "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/xml\r\nX-Two: a\r\n"
        "x-two: b\r\nContent-Length: 7\r\n\r\n<fault>");
    auto reply = net::httpRequest("POST", "127.0.0.1", server.port(), "/svc/Echo",
                                  {{"Content-Type", "text/xml; charset=utf-8"},
                                   {"SOAPAction", "\"urn:echo\""},
                                   {"Host", "elsewhere"},
                                   {"Content-Length", "99"}},
                                  "<ping/>", 5s, 1024);
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body, "<fault>");
    EXPECT_EQ(reply.header("CONTENT-TYPE"), "text/xml");
    EXPECT_EQ(reply.header("X-Two"), "a") << "the first of repeated fields";
    EXPECT_FALSE(reply.header("X-Three"));
    EXPECT_EQ(reply.headers.size(), 4u);

    // The caller's Host and Content-Length give way to the real ones.
    server.thread.join();
    const auto& request = server.request;
    EXPECT_EQ(request.body(), "<ping/>");
    std::ostringstream fields;
    fields << request.base();
    EXPECT_EQ(fields.str(),
              "POST /svc/Echo HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                  "\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: "
                  "\"urn:echo\"\r\nConnection: close\r\nContent-Length: 7\r\n\r\n");
}

TEST(HttpClientTest, DechunksAndCutsTheBodyAtTheLimit) {
    // Larger than one read, with and without a length; a body of exactly the limit is whole; a
    // chunk extension is skipped.
    std::string big(40000, 'x');
    big[19999] = 'L';
    const std::string cut = big.substr(0, 20000), length = "Content-Length: 40000\r\n";
    for (const auto& [head, body, limit, expected, truncated] :
         {std::tuple<std::string, std::string, std::size_t, std::string, bool>{
              "Transfer-Encoding: chunked\r\n", "4\r\nWiki\r\n5;x=y\r\npedia\r\n0\r\n\r\n", 9,
              "Wikipedia", false},
          {length, big, 20000, cut, true},
          {length, big, 40000, big, false},
          {"", big, 20000, cut, true},
          {"", big, 40000, big, false}}) {
        TestServer server("HTTP/1.1 200 OK\r\n" + head + "\r\n" + body);
        const auto reply =
            net::httpRequest("GET", "127.0.0.1", server.port(), "/", {}, "", 5s, limit);
        EXPECT_EQ(reply.body, expected) << head << limit;
        EXPECT_EQ(reply.truncated, truncated) << head << limit;
    }
}

TEST(HttpClientTest, FailuresSpeakToTheUserAndNothingUnsafeIsSent) {
    const unsigned short closed = TestServer().port();
    EXPECT_EQ(failure("GET", closed), "connection refused by 127.0.0.1:" + std::to_string(closed));

    // A server that takes the connection but never answers.
    TestServer silent;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(failure("GET", silent.port(), "/", {"A", "x"}, 300ms),
              "no answer from 127.0.0.1:" + std::to_string(silent.port()) + " within 0.3 s");
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);

    TestServer garbage("SMTP ready\r\n\r\n");
    EXPECT_NE(failure("GET", garbage.port()).find("malformed answer from 127.0.0.1"),
              std::string::npos);
    EXPECT_NE(failure("GET", 80, "/", {"A", "x"}, 1s, "localhost").find("not a numeric"),
              std::string::npos);

    // Methods, targets and header fields that would split the request.
    TestServer untouched;
    for (const auto& [method, target, name, value, why] :
         {std::tuple{"POST", "/", "SOAPAction", "x\r\nX-Injected: 1", "line break"},
          {"POST", "/", "A", "x\ny", "line break"},
          {"POST", "/", "Bad\r\nName", "x", "field name"},
          {"POST", "/", "", "x", "field name"},
          {"POST", "/a b", "A", "x", "target"},
          {"POST", "/\r\nX:1", "A", "x", "target"},
          {"GET /", "/", "A", "x", "method"}}) {
        EXPECT_NE(failure(method, untouched.port(), target, {name, value}).find(why),
                  std::string::npos)
            << method << target << name << value;
    }
    pollfd pending{untouched.acceptor.native_handle(), POLLIN, 0};
    EXPECT_EQ(::poll(&pending, 1, 0), 0) << "nothing may be sent for a refused request";
}

}  // namespace
