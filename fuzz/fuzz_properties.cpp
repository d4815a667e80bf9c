// Fuzz target: the properties reader. Every input is read as the text of a
// startup.properties file; each key read must be found again with its value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/servlet/KxProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    KxProperties properties;
    properties.loadFromText(text);
    for (const auto& [key, value] : properties.entries()) {
        // A key never holds a line break, and what is stored is what get()
        // returns.
        if (key.find('\n') != KxCString::npos || value.find('\n') != KxCString::npos ||
            properties.get(key) != value) {
            std::abort();
        }
    }
    // Reading the same text again changes nothing.
    KxProperties again = properties;
    again.loadFromText(text);
    if (again.entries() != properties.entries()) {
        std::abort();
    }
    return 0;
}
