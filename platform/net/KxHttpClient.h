#pragma once
// A small HTTP client for requests from the wizards' container to a service
// running on this machine (the Try-it page posting SOAP requests): one request
// per connection, everything within one time limit, the answer's body read
// up to a bound.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/Kxxmsg.h"

namespace kx::net {

struct KxHttpReply {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // as received, in order
    std::string body;
    bool truncated = false;  // the body was longer than the limit; body holds its start
    std::optional<std::string> header(std::string_view name) const;  // case-insensitive, first
};

// A request that could not be sent or answered, in words for a user:
// "connection refused by 127.0.0.1:41234", "no answer from 127.0.0.1:41234
// within 30 s", a malformed answer, or a request refused before sending.
class KxHttpError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

// Sends one HTTP/1.1 request (Connection: close) to host:port and reads the answer,
// all within timeout. host is a numeric address (no name lookup is needed: callers
// pass 127.0.0.1). headers are sent as given (the caller's Content-Type, SOAPAction,
// Authorization); Host and Content-Length are set here (the caller's own Host,
// Content-Length, Transfer-Encoding and Connection are left out). The answer's body is
// read up to maxBody bytes (dechunked); more is dropped and truncated set. A method,
// target or header that could break the request's framing (CR, LF or other control
// characters, a name that is not a token) is refused with KxHttpError before anything
// is sent.
KxHttpReply httpRequest(const std::string& method, const std::string& host, unsigned short port,
                        const std::string& target,
                        const std::vector<std::pair<std::string, std::string>>& headers,
                        const std::string& body, std::chrono::milliseconds timeout,
                        std::size_t maxBody);

}  // namespace kx::net
