#pragma once
// The command line of kxcontainer and the limits of its connections. Every
// limit and timeout has its one default here; names follow the web server
// settings people know (client_max_body_size, keepalive_timeout ...).
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::container {

using namespace std::chrono_literals;

struct KxConnectionLimits {
    // Connections open at once; past it a new connection is closed as soon
    // as it is accepted, so neither the backlog nor the descriptors run out.
    std::size_t maxConnections = 1024;
    // Answers streamed at once (a run's output as it comes, a download made
    // while it is sent); past it a request for one gets 503.
    std::size_t maxStreams = 32;
    // Request line and header fields together; larger gets 431.
    std::size_t clientHeaderBufferSize = 16 * 1024;
    // Request body; larger gets 413.
    std::uint64_t clientMaxBodySize = 1024 * 1024;
    // Time to receive the request line and header fields; past it 408.
    std::chrono::milliseconds clientHeaderTimeout = 60s;
    // Time to receive the body; past it 408.
    std::chrono::milliseconds clientBodyTimeout = 60s;
    // How long a kept-alive connection may wait for its next request.
    std::chrono::milliseconds keepaliveTimeout = 75s;
    // How many requests one connection may carry.
    unsigned keepaliveRequests = 1000;
    // Time to send one response.
    std::chrono::milliseconds sendTimeout = 60s;
    // After an answer that ends the connection, what the client still sends
    // is read and thrown away, so the answer is not lost to a reset: each
    // read waits at most lingeringTimeout, all of them lingeringTime.
    std::chrono::milliseconds lingeringTimeout = 5s;
    std::chrono::milliseconds lingeringTime = 30s;
};

struct KxContainerOptions {
    int port = 8080;  // 0 picks a free port
    std::string bind = "127.0.0.1";
    std::string context = "/orvo";
    std::string webapp = "./webapp";
    std::string home;    // empty: KX_HOME of the environment
    std::string logDir;  // empty: defaultLogDirectory()
    unsigned threads = 8;
    std::string libDir;  // empty: <folder of kxcontainer>/../lib
    std::string token;   // empty: a random one, unless noToken
    bool noToken = false;
    // The server's own host name (a .localhost name, lowercase); empty: a
    // random one when a token is required, else none.
    std::string hostName;
    // When set, the address the start-up line ends with (without the token)
    // is written to this file once the container serves, for the program
    // that started it.
    std::string addressFile;
    std::size_t maxSessions = 10000;
    // Of maxSessions, those whose browser has not come back with the cookie.
    std::size_t maxNewSessions = 1000;
    KxConnectionLimits limits;
    // How long the answers in flight may take to finish at shutdown
    // (--shutdown-timeout); what is left then is closed.
    std::chrono::milliseconds shutdownGrace = 10s;
    // Whether text answers are gzip-coded for clients that accept it.
    bool gzip = true;
};

// "16k", "1m", "512" (bytes; k, m and g are powers of 1024, either case).
// Throws std::invalid_argument.
std::uint64_t parseSize(std::string_view text);
// "60s", "500ms", "2m", "1h", "75" (seconds). Throws std::invalid_argument.
std::chrono::milliseconds parseDuration(std::string_view text);

// Reads the command line into options. Returns the exit status when the
// program should end at once (0 after --help, non-zero after a fault, with
// the message already printed); nothing when it should go on.
std::optional<int> parseContainerOptions(int argc, const char* const* argv,
                                         KxContainerOptions& options);

// Where the logs go without --log-dir: outside the product home, which the
// status page may serve. $XDG_STATE_HOME/kxcontainer/logs, else
// $HOME/.local/state/kxcontainer/logs, else ./logs.
std::string defaultLogDirectory();

// Fills in the defaults that depend on the environment: home from KX_HOME,
// the log folder from defaultLogDirectory(), the library folder from the
// executable's folder.
void resolveOptionDefaults(KxContainerOptions& options, const std::string& executablePath);

}  // namespace kx::container
