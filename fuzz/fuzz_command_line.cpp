// Fuzz target: the command interpreter's parser. Lines are only split, never
// run. A line that parses names a program, closes every quote it opens, and
// nothing a shell would treat specially changes how it is split.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/os/KxCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const KxCString text(reinterpret_cast<const char*>(data), size);
    try {
        const kx::os::CommandLine line = kx::os::parseCommandLine(text);
        if (line.arguments.empty() || std::count(text.begin(), text.end(), '"') % 2 != 0) {
            std::abort();
        }
        std::size_t total = 0;
        for (const KxCString& argument : line.arguments) {
            total += argument.size();
        }
        if (line.redirectTo) {
            if (line.redirectTo->empty()) {
                std::abort();
            }
            total += line.redirectTo->size();
        }
        // Quotes and blanks are dropped, nothing is added.
        if (total > text.size()) {
            std::abort();
        }
    } catch (const kx::os::KxCommandError&) {
    }
    return 0;
}
