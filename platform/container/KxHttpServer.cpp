#include "platform/container/KxHttpServer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <csignal>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpConnection.h"
#include "platform/container/KxHttpListener.h"

namespace kx::container {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

namespace {

// Threads that drive the connections. They never run servlets, so two are
// plenty.
constexpr int kIoThreads = 2;
// How often the stop checks whether the requests in flight are done.
constexpr auto kDrainPollInterval = std::chrono::milliseconds(20);

}  // namespace

struct KxHttpServer::Impl {
    Impl(const KxContainerOptions& options, KxContainerLog& log)
        : options(options),
          log(log),
          strand(asio::make_strand(io)),
          signals(strand, SIGINT, SIGTERM),
          drainTimer(strand) {}

    void beginStop() {
        if (stopBegun) {
            return;
        }
        stopBegun = true;
        graceDeadline = Clock::now() + options.shutdownGrace;
        log.info("stopping: no new connections; waiting for requests in flight");
        if (shared) {
            shared->stopping = true;
        }
        if (listener) {
            listener->stop();
        }
        signals.cancel();
        if (shared) {
            closeIdleHttpConnections(*shared);
        }
        waitForRequests();
    }

    void waitForRequests() {
        const int inFlight = shared ? shared->inFlight.load() : 0;
        if (inFlight == 0 || Clock::now() >= graceDeadline) {
            if (inFlight > 0) {
                log.error(std::to_string(inFlight) +
                          " request(s) still unanswered at the end of the grace time");
            }
            io.stop();
            return;
        }
        drainTimer.expires_after(kDrainPollInterval);
        drainTimer.async_wait([this](boost::system::error_code error) {
            if (!error) {
                waitForRequests();
            }
        });
    }

    const KxContainerOptions& options;
    KxContainerLog& log;
    asio::io_context io{kIoThreads};
    // The server's own work (signals, the stop) runs here, one step at a time.
    asio::strand<asio::io_context::executor_type> strand;
    asio::signal_set signals;
    asio::steady_timer drainTimer;
    std::shared_ptr<KxHttpListener> listener;
    std::shared_ptr<KxConnectionShared> shared;
    std::atomic<bool> stopRequested{false};
    bool stopBegun = false;  // on the strand only
    Clock::time_point graceDeadline = Clock::time_point::max();
};

KxHttpServer::KxHttpServer(const KxContainerOptions& options, KxContainerLog& log)
    : impl_(std::make_unique<Impl>(options, log)) {}

KxHttpServer::~KxHttpServer() = default;

unsigned short KxHttpServer::listen() {
    boost::system::error_code error;
    const auto address = asio::ip::make_address(impl_->options.bind, error);
    if (error) {
        throw std::runtime_error("'" + impl_->options.bind + "' is not an IP address");
    }
    try {
        impl_->listener = std::make_shared<KxHttpListener>(
            impl_->io,
            asio::ip::tcp::endpoint(address, static_cast<unsigned short>(impl_->options.port)),
            impl_->log);
    } catch (const boost::system::system_error& e) {
        throw std::runtime_error("cannot listen on " + impl_->options.bind + " port " +
                                 std::to_string(impl_->options.port) + ": " + e.code().message());
    }
    return impl_->listener->port();
}

Clock::time_point KxHttpServer::run(KxRequestHandler& handler) {
    Impl& impl = *impl_;
    impl.shared = std::make_shared<KxConnectionShared>(handler, impl.log, impl.options.limits);
    impl.listener->start(impl.shared);
    impl.signals.async_wait([&impl](boost::system::error_code error, int signal) {
        if (!error) {
            impl.log.info("signal " + std::to_string(signal) + " received");
            impl.stopRequested = true;
            impl.beginStop();
        }
    });

    auto runLoop = [&impl] {
        while (true) {
            try {
                impl.io.run();
                return;
            } catch (const std::exception& e) {
                impl.log.error(std::string("unexpected error on an I/O thread: ") + e.what());
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < kIoThreads; ++i) {
        threads.emplace_back(runLoop);
    }
    runLoop();
    for (auto& thread : threads) {
        thread.join();
    }
    return impl.graceDeadline == Clock::time_point::max() ? Clock::now() : impl.graceDeadline;
}

void KxHttpServer::shutdown() {
    if (impl_->stopRequested.exchange(true)) {
        return;
    }
    asio::post(impl_->strand, [impl = impl_.get()] { impl->beginStop(); });
}

}  // namespace kx::container
