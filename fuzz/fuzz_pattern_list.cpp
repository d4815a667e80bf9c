// Fuzz target: the file browser's wildcard patterns. The input is what a user
// types into the pattern field; every expression it becomes is compiled with
// KxTRegex (an invalid one is reported, as the browser logs it) and tried on
// a few file names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "orvowizard/pages/KxHtmlFileBrowser.h"
#include "platform/base/KxTRegex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const KxCString patterns(reinterpret_cast<const char*>(data), size);
    static const KxCString kNames[] = {"calculator.wsdl", "purchase order.xsd", ".hidden",
                                       "a\\b.xml", ""};
    std::size_t count = 0;
    for (const KxCString& expression : parsePatternList(patterns)) {
        if (expression.empty()) {
            std::abort();  // separators never make an empty pattern
        }
        ++count;
        try {
            const KxTRegex<char> regex(expression);
            for (const KxCString& name : kNames) {
                (void)regex.search(name, 0, name.size());
                (void)regex.search(name, name.size() / 2);
            }
        } catch (const KxRegexError&) {
        }
    }
    if (count > patterns.size()) {
        std::abort();
    }
    return 0;
}
