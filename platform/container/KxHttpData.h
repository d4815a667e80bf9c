#pragma once
// One HTTP request and its answer as plain data, between the connection
// (which turns them into and out of HTTP messages) and the handler and the
// servlet call (which decide what the answer is).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/servlet/KxPayloadStream.h"

namespace kx::container {

using KxHeaderList = std::vector<std::pair<std::string, std::string>>;

struct KxHttpRequestData {
    std::string method = "GET";
    std::string target;  // as sent: path and query
    KxHeaderList headers;
    std::string body;

    // The first value of the header (names compare without regard to case);
    // nothing when absent.
    std::optional<std::string> findHeader(std::string_view name) const;
    // The same without a copy: the value, or null when absent.
    const std::string* headerValue(std::string_view name) const;
    std::string header(std::string_view name) const {
        const std::string* value = headerValue(name);
        return value ? *value : std::string();
    }
    // The named cookie, from the first Cookie header that has it.
    std::optional<std::string> cookie(std::string_view name) const;
};

// An open regular file sent as the body; its descriptor closes with the
// last answer that holds it, unless the connection took it over.
class KxBodyFile {
  public:
    explicit KxBodyFile(int fd) : fd_(fd) {}
    KxBodyFile(const KxBodyFile&) = delete;
    KxBodyFile& operator=(const KxBodyFile&) = delete;
    ~KxBodyFile();

    int fd() const { return fd_; }
    // The descriptor, now the caller's to close.
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

struct KxHttpResponseData {
    int status = 200;
    KxHeaderList headers;
    std::string body;
    // When set, the body is this file's content, read piecewise as it is
    // sent; body is unused then.
    std::shared_ptr<KxBodyFile> file;
    // With file: the bytes of it that are the body (a range of it); the
    // whole file when fileLength is unset.
    std::uint64_t fileOffset = 0;
    std::optional<std::uint64_t> fileLength;
    // When set, the body is this text, shared with whoever keeps it (the
    // static files' cache); body is unused then.
    std::shared_ptr<const std::string> sharedBody;
    // When set, the body is what this stream produces, sent in chunks as it
    // comes; body and file are unused then.
    std::shared_ptr<KxPayloadStream> stream;
    // HEAD: the header fields (with the body's length) are sent, the body not.
    bool omitBody = false;

    std::optional<std::string> findHeader(std::string_view name) const;
    // Replaces every header of that name (compared without regard to case).
    void setHeader(std::string name, std::string value);
};

// Hands the answer to the connection; called exactly once per request, on
// whatever thread has it ready.
using KxDeliver = std::function<void(KxHttpResponseData)>;

// An answer of the container's own: a short HTML page.
KxHttpResponseData containerPage(int status, std::string_view title, std::string_view text);

}  // namespace kx::container
