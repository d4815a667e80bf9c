// The HTTP client against a one-connection server on 127.0.0.1: what is sent,
// status, headers and body, chunked and cut answers, and the failures a user
// sees (refused, silent, malformed, a header that would split the request).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/net/KxHttpClient.h"

namespace net = kx::net;
using namespace std::chrono_literals;

namespace {

// A listening socket on 127.0.0.1 and a free port. With an answer it serves
// one connection: reads the request (headers and Content-Length body), keeps
// it, sends the answer and closes. Without one it never accepts.
class TestServer {
  public:
    explicit TestServer(std::string answer = {}) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
        if (!answer.empty()) {
            thread_ = std::thread([this, answer = std::move(answer)] { serve(answer); });
        }
    }
    ~TestServer() {
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(listener_);
    }

    unsigned short port() const { return port_; }
    // The request as received; read after the client returned.
    std::string request() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return request_;
    }
    // Whether a connection is waiting to be accepted.
    bool connectionPending() const {
        pollfd entry{listener_, POLLIN, 0};
        return ::poll(&entry, 1, 0) == 1;
    }

  private:
    void serve(const std::string& answer) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 5000) != 1) {
            return;
        }
        int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        char buffer[4096];
        for (;;) {
            auto end = request_.find("\r\n\r\n");
            if (end != std::string::npos) {
                auto field = request_.find("Content-Length: ");
                std::size_t length = field < end ? std::stoul(request_.substr(field + 16)) : 0;
                if (request_.size() >= end + 4 + length) {
                    break;
                }
            }
            pollfd in{connection, POLLIN, 0};
            ssize_t got = ::poll(&in, 1, 5000) == 1 ? ::read(connection, buffer, sizeof buffer) : 0;
            if (got <= 0) {
                break;
            }
            request_.append(buffer, static_cast<std::size_t>(got));
        }
        std::string_view rest = answer;
        while (!rest.empty()) {
            ssize_t sent = ::send(connection, rest.data(), rest.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                break;
            }
            rest.remove_prefix(static_cast<std::size_t>(sent));
        }
        ::close(connection);
    }

    int listener_ = -1;
    unsigned short port_ = 0;
    std::thread thread_;
    std::string request_;
};

net::KxHttpReply get(unsigned short port, std::size_t maxBody = 1 << 20) {
    return net::httpRequest("GET", "127.0.0.1", port, "/", {}, "", 5s, maxBody);
}

std::string failure(const std::function<void()>& call) {
    try {
        call();
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
    EXPECT_FALSE(reply.truncated);
    EXPECT_EQ(reply.header("CONTENT-TYPE"), "text/xml");
    EXPECT_EQ(reply.header("X-Two"), "a") << "the first of repeated fields";
    EXPECT_FALSE(reply.header("X-Three"));
    ASSERT_EQ(reply.headers.size(), 4u);
    EXPECT_EQ(reply.headers[2], (std::pair<std::string, std::string>{"x-two", "b"}));

    const std::string request = server.request();
    const std::string port = std::to_string(server.port());
    EXPECT_EQ(request.rfind("POST /svc/Echo HTTP/1.1\r\n", 0), 0u) << request;
    for (const std::string& line :
         {"\r\nHost: 127.0.0.1:" + port + "\r\n", std::string("\r\nContent-Length: 7\r\n"),
          std::string("\r\nConnection: close\r\n"), std::string("\r\nSOAPAction: \"urn:echo\"\r\n"),
          std::string("\r\nContent-Type: text/xml; charset=utf-8\r\n")}) {
        EXPECT_NE(request.find(line), std::string::npos) << line << " missing in\n" << request;
    }
    EXPECT_EQ(request.find("elsewhere"), std::string::npos);
    EXPECT_EQ(request.find("Content-Length: 99"), std::string::npos);
    EXPECT_EQ(request.substr(request.size() - 7), "<ping/>");
}

TEST(HttpClientTest, DechunksAndCutsTheBodyAtTheLimit) {
    TestServer chunked(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n5;x=y\r\npedia\r\n"
        "0\r\n\r\n");
    auto reply = get(chunked.port());
    EXPECT_EQ(reply.body, "Wikipedia");
    EXPECT_FALSE(reply.truncated);

    // Larger than one read of the client, with and without a length.
    std::string big(40000, 'x');
    big[19999] = 'L';
    big[20000] = 'M';
    for (const std::string& framing :
         {"Content-Length: " + std::to_string(big.size()) + "\r\n", std::string()}) {
        TestServer cut("HTTP/1.1 200 OK\r\n" + framing + "\r\n" + big);
        reply = get(cut.port(), 20000);
        EXPECT_EQ(reply.body.size(), 20000u) << framing;
        EXPECT_EQ(reply.body.back(), 'L');
        EXPECT_TRUE(reply.truncated);

        TestServer whole("HTTP/1.1 200 OK\r\n" + framing + "\r\n" + big);
        reply = get(whole.port(), big.size());
        EXPECT_EQ(reply.body, big) << "a body of exactly the limit is whole";
        EXPECT_FALSE(reply.truncated);
    }
}

TEST(HttpClientTest, FailuresSpeakToTheUser) {
    unsigned short closedPort;
    {
        TestServer gone;
        closedPort = gone.port();
    }
    EXPECT_EQ(failure([&] { get(closedPort); }),
              "connection refused by 127.0.0.1:" + std::to_string(closedPort));

    // A server that takes the connection but never answers.
    TestServer silent;
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(failure([&] {
                  net::httpRequest("GET", "127.0.0.1", silent.port(), "/", {}, "", 300ms, 100);
              }),
              "no answer from 127.0.0.1:" + std::to_string(silent.port()) + " within 0.3 s");
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);

    TestServer garbage("SMTP ready\r\n\r\n");
    EXPECT_NE(failure([&] { get(garbage.port()); }).find("malformed answer from 127.0.0.1"),
              std::string::npos);

    EXPECT_NE(failure([] {
                  net::httpRequest("GET", "localhost", 80, "/", {}, "", 1s, 1);
              }).find("not a numeric"),
              std::string::npos);
}

TEST(HttpClientTest, RefusesWhatWouldSplitTheRequestBeforeSending) {
    TestServer server;
    auto send = [&](std::string method, std::string target, std::string name, std::string value) {
        return failure([&] {
            net::httpRequest(method, "127.0.0.1", server.port(), target, {{name, value}}, "", 1s,
                             100);
        });
    };
    EXPECT_NE(send("POST", "/", "SOAPAction", "x\r\nX-Injected: 1").find("line break"),
              std::string::npos);
    EXPECT_NE(send("POST", "/", "SOAPAction", "x\ny"), "no error");
    EXPECT_NE(send("POST", "/", "Bad\r\nName", "x"), "no error");
    EXPECT_NE(send("POST", "/", "", "x"), "no error");
    EXPECT_NE(send("POST", "/a b HTTP/1.0\r\n", "A", "x"), "no error");
    EXPECT_NE(send("GET /", "/", "A", "x"), "no error");
    EXPECT_FALSE(server.connectionPending()) << "nothing may be sent for a refused request";
}

}  // namespace
