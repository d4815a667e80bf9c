#include "platform/container/KxContainerOptions.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "platform/base/KxText.h"
#include "platform/container/KxSecurityChecks.h"
#include "platform/os/KxOs.h"

namespace kx::container {

namespace {

// The leading decimal number of text and the unit after it.
std::pair<std::uint64_t, std::string> splitNumber(std::string_view text, const char* what) {
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) {
        throw std::invalid_argument("'" + std::string(text) + "' is not a " + what);
    }
    return {number, toLowerAscii(std::string_view(end, text.data() + text.size() - end))};
}

std::uint64_t scaled(std::uint64_t number, std::uint64_t factor, std::string_view text) {
    if (factor != 0 && number > UINT64_MAX / factor) {
        throw std::invalid_argument("'" + std::string(text) + "' is too large");
    }
    return number * factor;
}

std::string formatSize(std::uint64_t bytes) {
    if (bytes % (1024 * 1024) == 0 && bytes != 0) {
        return std::to_string(bytes / (1024 * 1024)) + "m";
    }
    if (bytes % 1024 == 0 && bytes != 0) {
        return std::to_string(bytes / 1024) + "k";
    }
    return std::to_string(bytes);
}

std::string formatDuration(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) {
        return std::to_string(duration.count() / 1000) + "s";
    }
    return std::to_string(duration.count()) + "ms";
}

}  // namespace

std::uint64_t parseSize(std::string_view text) {
    const auto [number, unit] = splitNumber(text, "size");
    if (unit.empty()) {
        return number;
    }
    if (unit == "k") {
        return scaled(number, 1024, text);
    }
    if (unit == "m") {
        return scaled(number, 1024 * 1024, text);
    }
    if (unit == "g") {
        return scaled(number, 1024 * 1024 * 1024, text);
    }
    throw std::invalid_argument("'" + std::string(text) + "' is not a size (use k, m or g)");
}

std::chrono::milliseconds parseDuration(std::string_view text) {
    const auto [number, unit] = splitNumber(text, "duration");
    std::uint64_t factor = 0;
    if (unit == "ms") {
        factor = 1;
    } else if (unit.empty() || unit == "s") {
        factor = 1000;
    } else if (unit == "m") {
        factor = 60 * 1000;
    } else if (unit == "h") {
        factor = 60 * 60 * 1000;
    } else {
        throw std::invalid_argument("'" + std::string(text) +
                                    "' is not a duration (use ms, s, m or h)");
    }
    const std::uint64_t milliseconds = scaled(number, factor, text);
    if (milliseconds > static_cast<std::uint64_t>(std::chrono::milliseconds::max().count())) {
        throw std::invalid_argument("'" + std::string(text) + "' is too long");
    }
    return std::chrono::milliseconds(static_cast<std::int64_t>(milliseconds));
}

std::optional<int> parseContainerOptions(int argc, const char* const* argv,
                                         KxContainerOptions& options) {
    CLI::App app("kxcontainer: serves the servlets of a web application to a local browser",
                 "kxcontainer");
    KxConnectionLimits& limits = options.limits;
    std::string headerBuffer = formatSize(limits.clientHeaderBufferSize);
    std::string maxBody = formatSize(limits.clientMaxBodySize);
    std::string headerTimeout = formatDuration(limits.clientHeaderTimeout);
    std::string bodyTimeout = formatDuration(limits.clientBodyTimeout);
    std::string keepaliveTimeout = formatDuration(limits.keepaliveTimeout);
    std::string shutdownTimeout = formatDuration(options.shutdownGrace);
    std::string gzip = options.gzip ? "on" : "off";

    app.add_option("--port", options.port, "TCP port to listen on; 0 picks a free one")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--bind", options.bind, "address to listen on")->capture_default_str();
    app.add_option("--context", options.context, "context path the application is served under")
        ->capture_default_str();
    app.add_option("--webapp", options.webapp,
                   "web application folder (holds WEB-INF/web.xml and static/)")
        ->capture_default_str();
    app.add_option("--home", options.home,
                   "the system's home folder, handed on as KX_HOME (default: KX_HOME)");
    app.add_option("--log-dir", options.logDir,
                   "folder of kxcontainer.log and access.log (default: <home>/logs, or ./logs)");
    app.add_option("--threads", options.threads,
                   "servlet calls that run at once, each on a thread of its own")
        ->check(CLI::Range(1u, 256u))
        ->capture_default_str();
    app.add_option("--lib-dir", options.libDir,
                   "folder of the servlet libraries (default: <kxcontainer's folder>/../lib)");
    auto* token = app.add_option("--token", options.token,
                                 "access token the browser must show (default: a random one)");
    auto* noToken = app.add_flag("--no-token", options.noToken, "serve without an access token");
    token->excludes(noToken);
    app.add_option("--host-name", options.hostName,
                   "the server's own host name, ending in .localhost; the browser is served "
                   "on it and the token cookie is set only there (default: orvo-<random "
                   "hex>.localhost, none with --no-token)");
    app.add_option("--address-file", options.addressFile,
                   "file to write the served address to once serving (for a program that "
                   "started this one)");
    app.add_option("--max-sessions", options.maxSessions,
                   "sessions kept at most; past it the longest idle are dropped")
        ->check(CLI::Range(std::size_t{1}, std::size_t{10000000}))
        ->capture_default_str();
    app.add_option("--max-new-sessions", options.maxNewSessions,
                   "of those, sessions whose browser has not come back with the cookie; "
                   "past it the oldest such are dropped")
        ->check(CLI::Range(std::size_t{1}, std::size_t{10000000}))
        ->capture_default_str();
    app.add_option("--max-connections", limits.maxConnections,
                   "connections open at once; past it new ones are closed at once")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}))
        ->capture_default_str();
    app.add_option("--max-streams", limits.maxStreams,
                   "answers streamed at once (run output, downloads); past it 503")
        ->check(CLI::Range(std::size_t{1}, std::size_t{100000}))
        ->capture_default_str();
    app.add_option("--client-header-buffer-size", headerBuffer,
                   "largest request line and header fields (k, m); larger gets 431")
        ->capture_default_str();
    app.add_option("--client-max-body-size", maxBody,
                   "largest request body (k, m, g); larger gets 413")
        ->capture_default_str();
    app.add_option("--client-header-timeout", headerTimeout,
                   "time to receive the request header (ms, s, m); past it 408")
        ->capture_default_str();
    app.add_option("--client-body-timeout", bodyTimeout,
                   "time to receive the request body (ms, s, m); past it 408")
        ->capture_default_str();
    app.add_option("--keepalive-timeout", keepaliveTimeout,
                   "how long an idle connection is kept open (ms, s, m)")
        ->capture_default_str();
    app.add_option("--shutdown-timeout", shutdownTimeout,
                   "at a stop, how long answers in flight may take to finish (ms, s, m); "
                   "what is left then is closed")
        ->capture_default_str();
    app.add_option("--gzip", gzip,
                   "gzip-code text answers of 1k or more for clients that accept it (on, off)")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help ends with 0; every fault of the command line with 2.
        return app.exit(error) == 0 ? 0 : 2;
    }

    try {
        limits.clientHeaderBufferSize = static_cast<std::size_t>(parseSize(headerBuffer));
        limits.clientMaxBodySize = parseSize(maxBody);
        limits.clientHeaderTimeout = parseDuration(headerTimeout);
        limits.clientBodyTimeout = parseDuration(bodyTimeout);
        limits.keepaliveTimeout = parseDuration(keepaliveTimeout);
        options.shutdownGrace = parseDuration(shutdownTimeout);
        options.gzip = gzip == "on";
        if (limits.clientHeaderBufferSize < 1024 ||
            limits.clientHeaderBufferSize > std::size_t{UINT32_MAX}) {
            throw std::invalid_argument("--client-header-buffer-size must be at least 1k");
        }
    } catch (const std::invalid_argument& error) {
        std::cerr << "kxcontainer: " << error.what() << "\n";
        return 2;
    }
    if (!options.noToken && options.token.empty() && app.count("--token") != 0) {
        std::cerr << "kxcontainer: --token needs a text; use --no-token to serve without one\n";
        return 2;
    }
    if (app.count("--host-name") != 0) {
        if (const auto problem = ownHostNameProblem(options.hostName)) {
            std::cerr << "kxcontainer: --host-name '" << options.hostName << "': " << *problem
                      << "; give a name such as orvo.localhost\n";
            return 2;
        }
        if (!isLoopbackAddress(options.bind)) {
            std::cerr << "kxcontainer: --host-name needs a loopback --bind address: a "
                         ".localhost name leads the browser to this machine's loopback\n";
            return 2;
        }
        options.hostName = toLowerAscii(options.hostName);
    }
    return std::nullopt;
}

std::string defaultLogDirectory() {
    // Only an absolute XDG_STATE_HOME counts; an empty or relative one is
    // ignored, as for any XDG base directory.
    const auto state = kx::os::getEnvironment("XDG_STATE_HOME");
    if (state && state->starts_with("/")) {
        return *state + "/kxcontainer/logs";
    }
    const auto home = kx::os::getEnvironment("HOME");
    if (home && home->starts_with("/")) {
        return *home + "/.local/state/kxcontainer/logs";
    }
    return "./logs";
}

void resolveOptionDefaults(KxContainerOptions& options, const std::string& executablePath) {
    if (options.home.empty()) {
        // KX_HOME is often written in double quotes (KX_HOME="C:\orvo"): the
        // quotes are no part of the path, as the system reads it too, so they
        // come off before the path is made absolute.
        options.home = kx::os::getEnvironment("KX_HOME").value_or("");
        std::erase(options.home, '"');
    }
    if (options.logDir.empty()) {
        options.logDir = defaultLogDirectory();
    }
    if (options.libDir.empty()) {
        const std::filesystem::path folder = std::filesystem::path(executablePath).parent_path();
        options.libDir = (folder / ".." / "lib").lexically_normal().string();
    }
}

}  // namespace kx::container
