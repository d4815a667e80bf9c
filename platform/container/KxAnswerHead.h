#pragma once
// The head of an HTTP answer (status line and header fields), written into
// a buffer that one connection reuses for every answer it sends: clear()
// keeps the buffer's capacity, so after the first few answers writing a
// head allocates nothing.
#include <boost/asio/buffer.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/container/KxHttpData.h"

namespace kx::container {

// How the body of an answer is framed.
struct KxAnswerFraming {
    unsigned version = 11;  // of the request: 10 or 11
    bool keepAlive = true;
    // Content-Length; none for answers that have no body by their status
    // (1xx, 204, 304) and for streamed ones.
    std::optional<std::uint64_t> contentLength;
    bool chunked = false;  // Transfer-Encoding: chunked
};

class KxAnswerHead {
  public:
    void clear() { text_.clear(); }

    // "HTTP/1.1 200 OK"; the version is 10 or 11.
    void statusLine(unsigned version, int status);
    void field(std::string_view name, std::string_view value);
    void field(std::string_view name, std::uint64_t value);
    // The blank line that ends the head.
    void end() { text_ += "\r\n"; }

    // The whole answer head for data: the status line, data's header fields
    // (except those the container sets itself), Server,
    // X-Content-Type-Options, the default Content-Security-Policy unless
    // data has one, Connection as keep-alive needs it, and the framing.
    void compose(const KxHttpResponseData& data, const KxAnswerFraming& framing);

    std::string_view text() const { return text_; }
    boost::asio::const_buffer buffer() const { return boost::asio::buffer(text_); }

  private:
    std::string text_;
};

// Whether an answer of this status has no body whatever its length
// (informational, 204 No Content, 304 Not Modified).
bool isBodylessStatus(int status);

}  // namespace kx::container
