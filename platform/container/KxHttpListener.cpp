#include "platform/container/KxHttpListener.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/strand.hpp>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpConnection.h"

namespace kx::container {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// After a failed accept (out of file descriptors, say) the next one waits
// this long, so the failure does not spin.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(100);

}  // namespace

KxHttpListener::KxHttpListener(asio::io_context& io, const tcp::endpoint& endpoint,
                               KxContainerLog& log)
    : io_(io), acceptor_(asio::make_strand(io)), retry_(acceptor_.get_executor()), log_(log) {
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(asio::socket_base::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(asio::socket_base::max_listen_connections);
}

unsigned short KxHttpListener::port() const {
    return acceptor_.local_endpoint().port();
}

void KxHttpListener::start(std::shared_ptr<KxConnectionShared> shared) {
    shared_ = std::move(shared);
    asio::dispatch(acceptor_.get_executor(), [self = shared_from_this()] { self->accept(); });
}

void KxHttpListener::stop() {
    asio::dispatch(acceptor_.get_executor(), [self = shared_from_this()] {
        boost::system::error_code ignored;
        self->retry_.cancel();
        self->acceptor_.close(ignored);
    });
}

void KxHttpListener::admit(tcp::socket socket) {
    const std::size_t limit = shared_->limits.maxConnections;
    if (shared_->open.load() < limit) {
        full_ = false;
        startHttpConnection(std::move(socket), shared_);
        return;
    }
    // Logged once each time the limit is reached, not once per connection:
    // a client that opens thousands must not fill the log as well.
    if (!full_) {
        full_ = true;
        log_.error("connection limit of " + std::to_string(limit) +
                   " reached; new connections are closed until some end");
    }
    boost::system::error_code ignored;
    socket.close(ignored);
}

void KxHttpListener::accept() {
    if (!acceptor_.is_open()) {
        return;
    }
    acceptor_.async_accept(
        asio::make_strand(io_),
        [self = shared_from_this()](boost::system::error_code error, tcp::socket socket) {
            if (!self->acceptor_.is_open()) {
                return;
            }
            if (!error) {
                self->admit(std::move(socket));
                self->accept();
                return;
            }
            self->log_.error("accepting a connection failed: " + error.message());
            self->retry_.expires_after(kAcceptRetryDelay);
            self->retry_.async_wait([self](boost::system::error_code waitError) {
                if (!waitError) {
                    self->accept();
                }
            });
        });
}

}  // namespace kx::container
