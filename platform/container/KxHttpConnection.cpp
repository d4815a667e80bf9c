#include "platform/container/KxHttpConnection.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/read.hpp>

#include <algorithm>

#include "platform/container/KxHttpConnectionImpl.h"
#include "platform/container/KxRequestHandler.h"

namespace kx::container {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// How much room a kept-alive connection offers the next request's first
// read (the header phase reads on if the head is longer).
constexpr std::size_t kFirstReadSize = 4096;

// The shortest limit of any phase: the deadline's timer never waits longer
// than that, so moving from one phase to the next never has to move it.
std::chrono::milliseconds shortestLimit(const KxConnectionLimits& limits) {
    return std::min({limits.clientHeaderTimeout, limits.clientBodyTimeout, limits.keepaliveTimeout,
                     limits.sendTimeout, limits.lingeringTimeout});
}

}  // namespace

KxHttpConnection::KxHttpConnection(tcp::socket socket, std::shared_ptr<KxConnectionShared> shared)
    : socket_(std::move(socket)),
      deadline_(socket_.get_executor(), shortestLimit(shared->limits)),
      shared_(std::move(shared)),
      limits_(shared_->limits) {
    ++shared_->open;
    ErrorCode error;
    // Answers leave as soon as they are written: the last piece of one
    // must not wait for the client's delayed acknowledgement.
    socket_.set_option(tcp::no_delay(true), error);
    const auto remote = socket_.remote_endpoint(error);
    record_.client = error ? std::string("-") : remote.address().to_string();
}

void KxHttpConnection::start() {
    // When a phase runs out, its pending socket operation is cancelled and
    // its handler sees timedOut().
    deadline_.bind(weak_from_this(), [this] {
        ErrorCode ignored;
        socket_.cancel(ignored);
    });
    asio::dispatch(socket_.get_executor(), [self = shared_from_this()] { self->readRequest(); });
}

void KxHttpConnection::stop() {
    asio::dispatch(socket_.get_executor(), [self = shared_from_this()] {
        if (self->phase_ == Phase::Idle || self->phase_ == Phase::Header ||
            self->phase_ == Phase::Closing) {
            self->closeNow();
        } else if (self->phase_ == Phase::Streaming && self->pump_) {
            self->pump_->stream->cancel();
        }
    });
}

// ---- reading ----------------------------------------------------------------

void KxHttpConnection::readRequest() {
    if (shared_->stopping) {
        closeNow();
        return;
    }
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits_.clientHeaderBufferSize));
    parser_->body_limit(limits_.clientMaxBodySize);
    record_.request.clear();
    record_.referer.clear();
    record_.userAgent.clear();
    if (served_ > 0 && buffer_.size() == 0) {
        awaitRequest();
    } else {
        readHeader();  // the first request, or one that came with the last
    }
}

// Kept alive: the next request's first bytes are read straight into the
// buffer under the keep-alive limit; the header limit starts with them.
void KxHttpConnection::awaitRequest() {
    phase_ = Phase::Idle;
    arm(limits_.keepaliveTimeout);
    socket_.async_read_some(buffer_.prepare(kFirstReadSize),
                            [self = shared_from_this()](ErrorCode error, std::size_t got) {
                                if (error || self->timedOut() || self->shared_->stopping) {
                                    self->closeNow();
                                    return;
                                }
                                self->buffer_.commit(got);
                                self->readHeader();
                            });
}

void KxHttpConnection::readHeader() {
    phase_ = Phase::Header;
    started_ = Clock::now();
    arm(limits_.clientHeaderTimeout);
    http::async_read_header(
        socket_, buffer_, *parser_,
        [self = shared_from_this()](ErrorCode error, std::size_t) { self->onHeader(error); });
}

void KxHttpConnection::onHeader(ErrorCode error) {
    if (error) {
        onReadError(error);
        return;
    }
    rememberRequestLine();
    if (parser_->is_done()) {
        dispatch();
        return;
    }
    const auto expect = parser_->get()[http::field::expect];
    if (beast::iequals(expect, "100-continue")) {
        arm(limits_.sendTimeout);
        asio::async_write(socket_, asio::buffer(kContinue.data(), kContinue.size()),
                          [self = shared_from_this()](ErrorCode error, std::size_t) {
                              if (error || self->timedOut()) {
                                  self->closeNow();
                              } else {
                                  self->readBody();
                              }
                          });
        return;
    }
    readBody();
}

void KxHttpConnection::readBody() {
    phase_ = Phase::Body;
    arm(limits_.clientBodyTimeout);
    http::async_read(
        socket_, buffer_, *parser_,
        [self = shared_from_this()](ErrorCode error, std::size_t) { self->onBody(error); });
}

void KxHttpConnection::onBody(ErrorCode error) {
    if (error) {
        onReadError(error);
        return;
    }
    dispatch();
}

void KxHttpConnection::onReadError(ErrorCode error) {
    if (timedOut()) {
        sendError(408, "Request timeout", "The request did not arrive in time.");
    } else if (error == http::error::header_limit) {
        sendError(431, "Request header fields too large",
                  "The request line and header fields are larger than this server accepts.");
    } else if (error == http::error::body_limit) {
        sendError(413, "Content too large", "The request body is larger than this server accepts.");
    } else if (error == http::error::end_of_stream || error == asio::error::eof ||
               error == asio::error::connection_reset || error == asio::error::broken_pipe ||
               error == asio::error::operation_aborted || error == asio::error::bad_descriptor) {
        closeNow();
    } else {
        sendError(400, "Bad request", "The request is not valid HTTP.");
    }
}

// The request line, referer and user agent as the access log shows them,
// written into the strings of the last request.
void KxHttpConnection::rememberRequestLine() {
    const auto& request = parser_->get();
    const auto method = request.method_string();
    const auto target = request.target();
    std::string& line = record_.request;
    line.assign(method.data(), method.size());
    line += ' ';
    line.append(target.data(), target.size());
    line += request.version() == 10 ? " HTTP/1.0" : " HTTP/1.1";
    const auto referer = request[http::field::referer];
    record_.referer.assign(referer.data(), referer.size());
    const auto userAgent = request[http::field::user_agent];
    record_.userAgent.assign(userAgent.data(), userAgent.size());
}

// ---- handing the request on ---------------------------------------------------

void KxHttpConnection::dispatch() {
    disarm();
    phase_ = Phase::Handling;
    auto& message = parser_->get();
    keepAlive_ = message.keep_alive();
    version_ = message.version();
    if (shared_->stopping) {
        sendError(503, "Service unavailable", "The server is stopping.");
        return;
    }

    KxHttpRequestData request;
    request.method.assign(message.method_string().data(), message.method_string().size());
    request.target.assign(message.target().data(), message.target().size());
    request.headers.reserve(
        static_cast<std::size_t>(std::distance(message.begin(), message.end())));
    for (const auto& field : message) {
        request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    request.body = std::move(message.body());

    auto inFlight = std::make_shared<KxRequestInFlight>(shared_);
    inFlight_ = inFlight;
    // An answer made at once (a static file, a refusal, a servlet run on
    // this thread) is written at once; one from another thread goes
    // through the connection's strand.
    shared_->handler.handle(std::move(request),
                            [self = shared_from_this(), inFlight](KxHttpResponseData response) {
                                if (!inFlight->deliver()) {
                                    return;
                                }
                                asio::dispatch(self->socket_.get_executor(),
                                               [self, response = std::move(response)]() mutable {
                                                   self->write(std::move(response), false);
                                               });
                            });
}

// ---- closing ----------------------------------------------------------------

// Ends sending, then reads and drops what the client still sends, so the
// answer already sent is not destroyed by a reset on close.
void KxHttpConnection::lingerAndClose() {
    phase_ = Phase::Closing;
    ErrorCode ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    lingerUntil_ = Clock::now() + limits_.lingeringTime;
    linger();
}

void KxHttpConnection::linger() {
    const auto now = Clock::now();
    if (now >= lingerUntil_ || shared_->stopping) {
        closeNow();
        return;
    }
    arm(std::min(limits_.lingeringTimeout,
                 std::chrono::duration_cast<std::chrono::milliseconds>(lingerUntil_ - now)));
    socket_.async_read_some(asio::buffer(discard_),
                            [self = shared_from_this()](ErrorCode error, std::size_t) {
                                if (error || self->timedOut()) {
                                    self->closeNow();
                                } else {
                                    self->linger();
                                }
                            });
}

void KxHttpConnection::closeNow() {
    deadline_.cancel();
    phase_ = Phase::Closing;
    ErrorCode ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
}

void startHttpConnection(KxHttpConnection::tcp::socket socket,
                         std::shared_ptr<KxConnectionShared> shared) {
    auto connection = std::make_shared<KxHttpConnection>(std::move(socket), shared);
    {
        std::lock_guard lock(shared->mutex);
        std::erase_if(shared->connections, [](const auto& weak) { return weak.expired(); });
        shared->connections.push_back(connection);
    }
    connection->start();
}

void closeIdleHttpConnections(KxConnectionShared& shared) {
    std::vector<std::weak_ptr<KxHttpConnection>> connections;
    {
        std::lock_guard lock(shared.mutex);
        connections = shared.connections;
    }
    for (const auto& weak : connections) {
        if (auto connection = weak.lock()) {
            connection->stop();
        }
    }
}

}  // namespace kx::container
