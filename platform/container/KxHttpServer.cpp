#include "platform/container/KxHttpServer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpConnection.h"
#include "platform/container/KxHttpListener.h"
#include "platform/os/KxOs.h"

namespace kx::container {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

namespace {

// Threads beyond those for servlet calls: however many servlet calls are
// running, these stay free for connections, static files and the stop.
constexpr unsigned kSpareThreads = 2;
// How long the stop waits for threads whose requests did not finish in the
// grace time, before it leaves them running.
constexpr auto kLastWait = std::chrono::milliseconds(200);
// How often the stop checks whether the requests in flight are done.
constexpr auto kDrainPollInterval = std::chrono::milliseconds(20);

}  // namespace

struct KxHttpServer::Impl {
    Impl(const KxContainerOptions& options, KxContainerLog& log)
        : options(options),
          log(log),
          threadCount(std::max(options.threads, 1u) + kSpareThreads),
          io(static_cast<int>(threadCount)),
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
            {
                std::lock_guard lock(threadsMutex);
                stopped = true;
                drained = inFlight == 0;
            }
            threadsChanged.notify_all();
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
    const unsigned threadCount;
    asio::io_context io;
    // The server's own work (signals, the stop) runs here, one step at a time.
    asio::strand<asio::io_context::executor_type> strand;
    asio::signal_set signals;
    asio::steady_timer drainTimer;
    std::shared_ptr<KxHttpListener> listener;
    std::shared_ptr<KxConnectionShared> shared;
    std::atomic<bool> stopRequested{false};
    bool stopBegun = false;  // on the strand only
    Clock::time_point graceDeadline = Clock::time_point::max();

    // The threads of run(): how many still run, and whether the stop is done.
    std::mutex threadsMutex;
    std::condition_variable threadsChanged;
    unsigned threadsRunning = 0;
    bool stopped = false;
    bool drained = false;  // every request was answered when the stop ended
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

bool KxHttpServer::run(KxRequestHandler& handler) {
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

    const std::string processDirectory = kx::os::getCurrentDirectory().c_str();
    auto runLoop = [&impl, processDirectory] {
        // Servlets run on these threads and may change directory (a
        // generator runs in its project folder): each thread has its own.
        auto warn = [&impl](const std::string& what) {
            const int error = errno;
            impl.log.error("server thread: " + what + ": " +
                           kx::os::errorText(error).value_or("error " + std::to_string(error)));
        };
        if (!kx::os::giveThreadOwnCurrentDirectory()) {
            warn("no current directory of its own");
        } else if (!kx::os::setCurrentDirectory(processDirectory)) {
            warn("cannot change to " + processDirectory);
        }
        while (true) {
            try {
                impl.io.run();
                break;
            } catch (const std::exception& e) {
                impl.log.error(std::string("unexpected error on a server thread: ") + e.what());
            }
        }
        {
            std::lock_guard lock(impl.threadsMutex);
            --impl.threadsRunning;
        }
        impl.threadsChanged.notify_all();
    };
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(impl.threadsMutex);
        impl.threadsRunning = impl.threadCount;
    }
    for (unsigned i = 0; i < impl.threadCount; ++i) {
        threads.emplace_back(runLoop);
    }

    // This thread runs no servlet, so it can give up on one that outlives the
    // grace time.
    bool allEnded = true;
    {
        std::unique_lock lock(impl.threadsMutex);
        impl.threadsChanged.wait(lock,
                                 [&impl] { return impl.threadsRunning == 0 || impl.stopped; });
        if (impl.drained) {
            impl.threadsChanged.wait(lock, [&impl] { return impl.threadsRunning == 0; });
        } else {
            allEnded = impl.threadsChanged.wait_for(lock, kLastWait,
                                                    [&impl] { return impl.threadsRunning == 0; });
        }
    }
    for (auto& thread : threads) {
        if (allEnded) {
            thread.join();
        } else {
            thread.detach();
        }
    }
    return allEnded;
}

void KxHttpServer::post(std::function<void()> job) {
    asio::post(impl_->io, std::move(job));
}

void KxHttpServer::shutdown() {
    if (impl_->stopRequested.exchange(true)) {
        return;
    }
    asio::post(impl_->strand, [impl = impl_.get()] { impl->beginStop(); });
}

}  // namespace kx::container
