// Fuzz target: the decoder of what a browser sends as text (query strings,
// form bodies, escaped paths, cookies and the form media type).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/container/KxFormDecoder.h"

using namespace kx::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Decoding never makes text longer, and without "%" it changes only "+".
    for (bool plusIsSpace : {false, true}) {
        const std::string decoded = percentDecode(text, plusIsSpace);
        if (decoded.size() > text.size()) {
            std::abort();
        }
        if (text.find('%') == std::string_view::npos && decoded.size() != text.size()) {
            std::abort();
        }
    }

    std::size_t total = 0;
    for (const auto& [name, value] : decodeFormText(text)) {
        if (name.empty()) {
            std::abort();  // empty names are passed over
        }
        total += name.size() + value.size();
    }
    if (total > text.size()) {
        std::abort();
    }

    // The first line names a cookie, the rest is the header.
    const auto newline = text.find('\n');
    const std::string_view cookieName = text.substr(0, newline);
    const std::string_view header =
        newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    if (auto cookie = findCookie(header, cookieName); cookie && cookie->size() > header.size()) {
        std::abort();
    }
    (void)isFormContentType(text);
    return 0;
}
