#pragma once
// The container's two logs, both in the log folder and both safe to write
// from any thread:
//   kxcontainer.log  start and stop, errors, and one line per message a
//                    servlet logs (KxServletContext::log)
//   access.log       one line per answered request in the Combined Log
//                    Format, with the request's time in seconds appended
// The files rotate at a fixed size. Standard output is left to the system.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace spdlog {
class logger;
}

namespace kx::container {

class KxAppendLog;

struct KxAccessRecord {
    std::string client;   // the client's address, without the port
    std::string request;  // the request line as sent; empty when none arrived
    int status = 0;
    std::size_t bytes = 0;                       // of the body sent
    std::string referer;                         // empty when absent
    std::string userAgent;                       // empty when absent
    std::chrono::system_clock::time_point time;  // when the answer ended
    std::chrono::milliseconds duration{0};       // from the request's first byte
};

// Where the container's parts write; tests put a recorder in its place.
class KxContainerLog {
  public:
    virtual ~KxContainerLog() = default;
    virtual void info(std::string_view message) = 0;
    virtual void error(std::string_view message) = 0;
    virtual void access(const KxAccessRecord& record) = 0;
};

// The target as the access log shows it: the value of every query parameter
// whose decoded name is "token" (in any case) is replaced by "***", so the
// log never holds the access token however its name was escaped.
std::string redactToken(std::string_view target);

// One access-log line, in the Combined Log Format as web servers write it,
// with the request time appended (seconds, millisecond resolution):
//   127.0.0.1 - - [06/Dec/2026:06:30:00 +0000] "GET /orvo/ HTTP/1.1" 200 5120
//   "-" "Mozilla/5.0 ..." 0.003
// The token's value is redacted in the request line and the referer; a
// quote, a backslash, control bytes and bytes past ASCII are written as
// \xHH, so no request can break the line or the fields.
std::string formatAccessRecord(const KxAccessRecord& record);
// The same line appended to out, without a line break.
void appendAccessRecord(std::string& out, const KxAccessRecord& record);

// The text as a quoted field of the access log shows it: ", \, bytes below
// 0x20 and above 0x7e as \xHH; "-" when it is empty.
std::string escapeLogField(std::string_view text);

class KxContainerLogs : public KxContainerLog {
  public:
    static constexpr const char* kContainerLogName = "kxcontainer.log";
    static constexpr const char* kAccessLogName = "access.log";

    // Creates the folder when needed and opens both logs; throws
    // std::runtime_error when that fails.
    explicit KxContainerLogs(const std::string& directory);
    ~KxContainerLogs() override;

    void info(std::string_view message) override;
    void error(std::string_view message) override;
    void access(const KxAccessRecord& record) override;
    void flush();

    const std::string& directory() const { return directory_; }

  private:
    std::string directory_;
    std::shared_ptr<spdlog::logger> container_;
    // Written by every request: appended line by line without a lock.
    std::unique_ptr<KxAppendLog> access_;
};

}  // namespace kx::container
