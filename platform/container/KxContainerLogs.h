#pragma once
// The container's two logs, both in the log folder and both safe to write
// from any thread:
//   kxcontainer.log  start and stop, errors, and one line per message a
//                    servlet logs (KxServletContext::log)
//   access.log       one line per answered request: time, client, method,
//                    target, status, body bytes, milliseconds
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
    std::string client;
    std::string method;
    std::string target;
    int status = 0;
    std::size_t bytes = 0;
    std::chrono::milliseconds duration{0};
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

// One access-log line without the time.
std::string formatAccessRecord(const KxAccessRecord& record);

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
