#include "platform/container/KxAnswerHead.h"

#include <boost/beast/http/status.hpp>

#include <array>
#include <charconv>

#include "platform/base/KxText.h"
#include "platform/container/KxRequestHandler.h"

namespace kx::container {

namespace {

// Fields the container sets itself: a value of the answer's for one of
// these is dropped.
bool isContainerField(std::string_view name) {
    static constexpr std::array<std::string_view, 5> kOwn = {
        "Content-Length", "Transfer-Encoding", "Connection", "Server", "X-Content-Type-Options"};
    for (const auto own : kOwn) {
        if (name.size() == own.size() && equalsIgnoringCase(name, own)) {
            return true;
        }
    }
    return false;
}

// The fields every answer has, as they are sent.
constexpr std::string_view kOwnFields =
    "Server: kxcontainer\r\nX-Content-Type-Options: nosniff\r\n";

// The default policy's field as it is sent, made once.
const std::string& defaultPolicyField() {
    static const std::string field =
        "Content-Security-Policy: " + std::string(kContentSecurityPolicy) + "\r\n";
    return field;
}

}  // namespace

bool isBodylessStatus(int status) {
    return (status >= 100 && status < 200) || status == 204 || status == 304;
}

void KxAnswerHead::statusLine(unsigned version, int status) {
    text_ += version == 10 ? "HTTP/1.0 " : "HTTP/1.1 ";
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, status).ptr;
    text_.append(digits, end);
    text_ += ' ';
    const auto reason =
        boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(status));
    text_.append(reason.data(), reason.size());
    text_ += "\r\n";
}

void KxAnswerHead::field(std::string_view name, std::string_view value) {
    text_ += name;
    text_ += ": ";
    text_ += value;
    text_ += "\r\n";
}

void KxAnswerHead::field(std::string_view name, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    field(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void KxAnswerHead::compose(const KxHttpResponseData& data, const KxAnswerFraming& framing) {
    clear();
    statusLine(framing.version, data.status);
    bool ownPolicy = false;
    for (const auto& [name, value] : data.headers) {
        if (isContainerField(name)) {
            continue;
        }
        ownPolicy = ownPolicy || equalsIgnoringCase(name, "Content-Security-Policy");
        field(name, value);
    }
    text_ += kOwnFields;
    if (!ownPolicy) {
        text_ += defaultPolicyField();
    }
    // HTTP/1.1 keeps a connection unless told otherwise, HTTP/1.0 closes it
    // unless told otherwise.
    if (framing.version >= 11 && !framing.keepAlive) {
        field("Connection", "close");
    } else if (framing.version < 11 && framing.keepAlive) {
        field("Connection", "keep-alive");
    }
    if (framing.chunked) {
        field("Transfer-Encoding", "chunked");
    } else if (framing.contentLength) {
        field("Content-Length", *framing.contentLength);
    }
    end();
}

}  // namespace kx::container
