// The HTTP client on Boost.Beast: asynchronous steps run one after another on
// a private io_context, each under the same absolute deadline, so the whole
// exchange (connect, send, answer) fits in the caller's time limit. The body
// is read through a fixed buffer and kept up to the caller's bound.
#include "platform/net/KxHttpClient.h"

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <cctype>

namespace kx::net {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using ErrorCode = boost::system::error_code;

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isToken(std::string_view text) {
    static constexpr std::string_view kMarks = "!#$%&'*+-.^_`|~";
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || kMarks.find(c) != kMarks.npos;
    });
}

// A field value may hold blanks and tabs but no other control character:
// a CR or LF from a form field would end the header and start another.
bool isFieldValue(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7f;
    });
}

bool isTarget(std::string_view text) {
    return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7f;
    });
}

std::string secondsText(std::chrono::milliseconds limit) {
    auto ms = std::max<std::chrono::milliseconds::rep>(limit.count(), 0);
    std::string text = std::to_string(ms / 1000);
    if (auto fraction = ms % 1000; fraction != 0) {
        std::string digits = std::to_string(1000 + fraction).substr(1);
        while (digits.back() == '0') {
            digits.pop_back();
        }
        text += "." + digits;
    }
    return text;
}

// The header fields set here rather than taken from the caller.
bool setHere(std::string_view name) {
    for (std::string_view own : {"Host", "Content-Length", "Transfer-Encoding", "Connection"}) {
        if (sameName(name, own)) {
            return true;
        }
    }
    return false;
}

void checkRequest(const std::string& method, const std::string& target,
                  const std::vector<std::pair<std::string, std::string>>& headers) {
    if (!isToken(method)) {
        throw KxHttpError("the request method \"" + method + "\" is not a valid HTTP method");
    }
    if (!isTarget(target)) {
        throw KxHttpError("the request target must be a path without blanks or control characters");
    }
    for (const auto& [name, value] : headers) {
        if (!isToken(name)) {
            throw KxHttpError("the header name \"" + name + "\" is not a valid HTTP field name");
        }
        if (!isFieldValue(value)) {
            throw KxHttpError("the value of the header " + name +
                              " contains a line break or another control character");
        }
    }
}

// One exchange on one connection; every step ends by the same deadline.
class Exchange {
  public:
    Exchange(std::string peer, std::chrono::milliseconds timeout)
        : peer_(std::move(peer)),
          timeout_(timeout),
          deadline_(std::chrono::steady_clock::now() + timeout) {}

    // Runs one asynchronous operation to its end and fails with a message
    // for a user when it did not succeed.
    template <class Operation>
    void step(Operation operation, const char* what) {
        ErrorCode result;
        stream_.expires_at(deadline_);
        operation([&result](ErrorCode ec, auto&&...) { result = ec; });
        io_.restart();
        io_.run();
        if (result == http::error::need_buffer) {
            return;
        }
        if (result) {
            fail(result, what);
        }
    }

    beast::tcp_stream& stream() { return stream_; }
    const std::string& peer() const { return peer_; }

  private:
    [[noreturn]] void fail(const ErrorCode& ec, const char* what) {
        if (ec == beast::error::timeout) {
            throw KxHttpError("no answer from " + peer_ + " within " + secondsText(timeout_) +
                              " s");
        }
        if (ec == asio::error::connection_refused) {
            throw KxHttpError("connection refused by " + peer_);
        }
        if (ec == http::error::end_of_stream || ec == asio::error::eof ||
            ec == asio::error::connection_reset) {
            throw KxHttpError(peer_ + " closed the connection " + what);
        }
        if (ec.category() == http::make_error_code(http::error::bad_version).category()) {
            throw KxHttpError("malformed answer from " + peer_ + ": " + ec.message());
        }
        throw KxHttpError("request to " + peer_ + " failed " + what + ": " + ec.message());
    }

    std::string peer_;
    std::chrono::milliseconds timeout_;
    std::chrono::steady_clock::time_point deadline_;
    asio::io_context io_;
    beast::tcp_stream stream_{io_};
};

constexpr std::size_t kHeaderLimit = 64 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;

}  // namespace

std::optional<std::string> KxHttpReply::header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (sameName(field, name)) {
            return value;
        }
    }
    return std::nullopt;
}

KxHttpReply httpRequest(const std::string& method, const std::string& host, unsigned short port,
                        const std::string& target,
                        const std::vector<std::pair<std::string, std::string>>& headers,
                        const std::string& body, std::chrono::milliseconds timeout,
                        std::size_t maxBody) {
    checkRequest(method, target, headers);
    ErrorCode ec;
    const asio::ip::address address = asio::ip::make_address(host, ec);
    if (ec) {
        throw KxHttpError("\"" + host + "\" is not a numeric network address");
    }
    const std::string hostPort =
        (address.is_v6() ? "[" + host + "]" : host) + ":" + std::to_string(port);

    http::request<http::string_body> request;
    request.method_string(method);
    request.target(target);
    request.version(11);
    request.set(http::field::host, hostPort);
    for (const auto& [name, value] : headers) {
        if (!setHere(name)) {
            request.insert(name, value);
        }
    }
    request.set(http::field::connection, "close");
    request.body() = body;
    request.prepare_payload();

    Exchange exchange(hostPort, timeout);
    beast::tcp_stream& stream = exchange.stream();
    const tcp::endpoint endpoint(address, port);
    exchange.step([&](auto handler) { stream.async_connect(endpoint, std::move(handler)); },
                  "while connecting");
    exchange.step([&](auto handler) { http::async_write(stream, request, std::move(handler)); },
                  "while the request was sent");

    beast::flat_buffer buffer;
    http::response_parser<http::buffer_body> parser;
    parser.header_limit(kHeaderLimit);
    parser.body_limit(boost::none);  // bounded below, keeping the start
    if (sameName(method, "HEAD")) {
        parser.skip(true);
    }
    exchange.step(
        [&](auto handler) { http::async_read_header(stream, buffer, parser, std::move(handler)); },
        "without an answer");

    KxHttpReply reply;
    reply.status = static_cast<int>(parser.get().result_int());
    for (const auto& field : parser.get()) {
        reply.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    std::string chunk(kReadChunk, '\0');
    while (!parser.is_done()) {
        parser.get().body().data = chunk.data();
        parser.get().body().size = chunk.size();
        exchange.step(
            [&](auto handler) { http::async_read(stream, buffer, parser, std::move(handler)); },
            "in the middle of the answer");
        const std::size_t got = chunk.size() - parser.get().body().size;
        const std::size_t room = maxBody - reply.body.size();
        if (got > room) {
            // The rest is not read: the connection closes with the exchange.
            reply.body.append(chunk.data(), room);
            reply.truncated = true;
            break;
        }
        reply.body.append(chunk.data(), got);
    }
    return reply;
}

}  // namespace kx::net
