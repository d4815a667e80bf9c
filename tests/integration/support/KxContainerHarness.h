#pragma once
// Runs build/bin/kxcontainer as a child process on a scratch web application
// and talks HTTP to it over a loopback socket. Every wait is bounded, so a
// container that misbehaves fails the test instead of hanging it.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/Files.h"

namespace kxtest {

using namespace std::chrono_literals;
using Headers = std::vector<std::pair<std::string, std::string>>;

struct HttpResponse {
    int status = 0;  // 0: no answer could be read
    Headers headers;
    std::string body;

    // The first value of the header (names compare without case); empty when
    // absent.
    std::string header(const std::string& name) const;
    std::vector<std::string> headerValues(const std::string& name) const;
};

// One client connection to 127.0.0.1:port.
class HttpConnection {
  public:
    explicit HttpConnection(unsigned short port);
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;
    ~HttpConnection();

    bool isOpen() const { return fd_ >= 0; }
    // Sends the bytes as they are; false when they could not all be sent.
    bool sendRaw(const std::string& bytes);
    // Reads one answer (headers, then Content-Length bytes, or up to the
    // end of the connection). headOnly: an answer to HEAD, which has no body.
    HttpResponse readResponse(bool headOnly = false,
                              std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True when the server closed the connection within the timeout.
    bool waitForClose(std::chrono::milliseconds timeout);

  private:
    bool fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string buffer_;
    bool closed_ = false;
};

// The text of a request: a Host header for 127.0.0.1:port is added unless
// headers hold one, "Connection: close" unless they hold a Connection
// header, and Content-Length when there is a body.
std::string buildRequest(unsigned short port, const std::string& method, const std::string& target,
                         const Headers& headers = {}, const std::string& body = {});

class ContainerProcess {
  public:
    ContainerProcess() = default;
    ContainerProcess(const ContainerProcess&) = delete;
    ContainerProcess& operator=(const ContainerProcess&) = delete;
    // Stops the process when it still runs (SIGTERM, then SIGKILL after 15 s).
    ~ContainerProcess();

    // Starts kxcontainer with --port 0 --webapp <webapp> --home <webapp>
    // --lib-dir <test libraries> --log-dir <webapp>/logs and the extra
    // arguments, then waits for the address line. False (with the reason in
    // failure()) when it exits or prints no address in time.
    bool start(const std::string& webapp, const std::vector<std::string>& extraArguments = {});
    // The product home for the next start; the web application's folder
    // when none is set.
    void setHome(const std::string& home) { home_ = home; }
    // Where the servlet libraries are looked up; the build's library folder
    // when none is set.
    void setLibraryDirectory(const std::string& directory) { libraryDirectory_ = directory; }

    unsigned short port() const { return port_; }
    // The process id while it runs; -1 before the start and after the exit.
    pid_t processId() const { return pid_; }
    const std::string& url() const { return url_; }
    // The application's name as the start-up line gives it.
    const std::string& application() const { return application_; }
    // The token of the printed address; empty without one.
    const std::string& token() const { return token_; }
    const std::string& failure() const { return failure_; }
    // When the process ended during start: its wait status (as waitpid
    // gives it, for WIFEXITED and the like); nothing otherwise.
    std::optional<int> startExit() const { return startExit_; }
    std::string standardError() const;
    std::string logDirectory() const { return webapp_ + "/logs"; }

    // One request on a new connection (with "Connection: close").
    HttpResponse request(const std::string& method, const std::string& target,
                         const Headers& headers = {}, const std::string& body = {});
    // A GET carrying the access token in the Authorization header.
    HttpResponse get(const std::string& target, Headers headers = {});

    // Sends a signal (SIGTERM by default).
    void signal(int number);
    // The exit status once the process ended within the timeout; nothing
    // when it still runs then (it is killed) or did not exit normally.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

  private:
    pid_t pid_ = -1;
    std::string webapp_;
    std::string home_;
    std::string libraryDirectory_;
    std::string url_;
    std::string application_;
    std::string token_;
    std::string failure_;
    std::optional<int> startExit_;
    unsigned short port_ = 0;
};

// Where the built programs are: build/bin (KX_TEST_BIN_DIR, or the build's
// own folder when unset) and build/lib.
std::string binaryDirectory();
std::string libraryDirectory();

using ::readFile;

// The resident memory of a process (VmRSS of /proc/<pid>/status) in
// kilobytes; -1 when it cannot be read.
long residentKilobytes(pid_t pid);

// How much the container may grow while it refuses or serves hostile
// requests. Sanitizer builds keep shadow memory and freed blocks around, so
// they get more room; a 100 MB body read whole would still break the bound.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr long kGrowthBoundKb = 96 * 1024;
#else
inline constexpr long kGrowthBoundKb = 48 * 1024;
#endif

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Waits until the file holds the text (bounded); the file's content then.
std::string waitForFileText(const std::string& path, const std::string& text,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace kxtest
