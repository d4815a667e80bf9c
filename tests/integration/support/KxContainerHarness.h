#pragma once
// Runs kxcontainer as a child process and talks HTTP to it over loopback.
// Every wait is bounded: a container that misbehaves fails, never hangs.
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

    // The first value of the header (names compare without case), or "".
    std::string header(const std::string& name) const;
    std::vector<std::string> headerValues(const std::string& name) const;
};

// The status and header fields of an answer's head; status 0 when it is none.
HttpResponse parseHead(const std::string& head);

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
    // Reads one answer (the body by Content-Length, else up to the close).
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

// A request's text; Host, "Connection: close" and Content-Length are added
// unless headers hold them.
std::string buildRequest(unsigned short port, const std::string& method, const std::string& target,
                         const Headers& headers = {}, const std::string& body = {});

class ContainerProcess {
  public:
    ContainerProcess() = default;
    ContainerProcess(const ContainerProcess&) = delete;
    ContainerProcess& operator=(const ContainerProcess&) = delete;
    ~ContainerProcess();  // SIGTERM, then SIGKILL after 15 s

    // Starts kxcontainer on port 0 with logs in <webapp>/logs and waits for
    // the address line; false (see failure()) when none comes.
    bool start(const std::string& webapp, const std::vector<std::string>& extraArguments = {});
    // The product home (default: the web application; nothing: no --home,
    // so the container takes KX_HOME) and the servlet library folder
    // (default: the build's) for the next start.
    void setHome(std::optional<std::string> home) { home_ = std::move(home); }
    void setLibraryDirectory(const std::string& directory) { libraryDirectory_ = directory; }

    unsigned short port() const { return port_; }
    pid_t processId() const { return pid_; }  // -1 when not running
    const std::string& url() const { return url_; }
    // The host of the printed address: the server's own name (which this
    // machine's resolver may not know; connections go to 127.0.0.1).
    const std::string& hostName() const { return hostName_; }
    // "Host: <own name>:<port>", as a browser that opened the address sends it.
    std::pair<std::string, std::string> ownHost() const {
        return {"Host", hostName_ + ":" + std::to_string(port_)};
    }
    const std::string& application() const { return application_; }  // of the start-up line
    const std::string& token() const { return token_; }
    const std::string& failure() const { return failure_; }
    // The exit code when the process ended during start.
    std::optional<int> startExit() const { return startExit_; }
    std::string standardError() const;
    std::string logDirectory() const { return webapp_ + "/logs"; }

    // One request on a new connection (with "Connection: close").
    HttpResponse request(const std::string& method, const std::string& target,
                         const Headers& headers = {}, const std::string& body = {});
    // A GET carrying the access token in the Authorization header.
    HttpResponse get(const std::string& target, Headers headers = {});

    void signal(int number);
    // The exit code; nothing when killed by a signal or still running at the
    // timeout (then it is killed).
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

  private:
    pid_t pid_ = -1;
    std::string webapp_;
    std::optional<std::string> home_ = std::string();
    std::string libraryDirectory_;
    std::string url_;
    std::string hostName_;
    std::string application_;
    std::string token_;
    std::string failure_;
    std::optional<int> startExit_;
    unsigned short port_ = 0;
};

// Starts a program (looked up on PATH) with no input and its output in the
// files; the process id, -1 when it cannot start.
pid_t spawn(const std::vector<std::string>& arguments, const std::string& outPath,
            const std::string& errPath);

// build/bin (KX_TEST_BIN_DIR, or the build's own) and build/lib.
std::string binaryDirectory();
std::string libraryDirectory();

using ::readFile;

// VmRSS of the process in kilobytes; -1 when it cannot be read.
long residentKilobytes(pid_t pid);

// How much the container may grow under hostile requests (sanitizers keep
// freed blocks around); a 100 MB body read whole still breaks the bound.
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
