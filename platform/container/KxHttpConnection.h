#pragma once
// One HTTP connection: it reads a request, hands it to the request handler,
// writes the answer and reads the next, until either side ends it. Only the
// listener and the server include this header.
#include <boost/asio/ip/tcp.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/container/KxContainerOptions.h"

namespace kx::container {

class KxContainerLog;
class KxRequestHandler;
class KxHttpConnection;

// What every connection of one server shares. It outlives the connections
// (each holds it), so handlers left in the I/O context at exit stay valid.
struct KxConnectionShared {
    KxConnectionShared(KxRequestHandler& handler, KxContainerLog& log, KxConnectionLimits limits)
        : handler(handler), log(log), limits(limits) {}

    KxRequestHandler& handler;
    KxContainerLog& log;
    const KxConnectionLimits limits;

    // Set once the container stops: no new requests, connections close
    // after their current answer.
    std::atomic<bool> stopping{false};
    // Requests handed to the handler whose answer is not yet sent or whose
    // servlet is still running.
    std::atomic<int> inFlight{0};
    // Connections accepted and not yet ended, for limits.maxConnections.
    std::atomic<std::size_t> open{0};
    // Answers being streamed, for limits.maxStreams.
    std::atomic<std::size_t> streams{0};

    // Open connections, so stopping can close the idle ones.
    std::mutex mutex;
    std::vector<std::weak_ptr<KxHttpConnection>> connections;
};

// Starts serving an accepted socket (whose executor is the connection's
// strand).
void startHttpConnection(boost::asio::ip::tcp::socket socket,
                         std::shared_ptr<KxConnectionShared> shared);

// Closes every connection that waits for a request; the others close after
// their current answer. Call after setting shared.stopping.
void closeIdleHttpConnections(KxConnectionShared& shared);

}  // namespace kx::container
