#include "generators/emit/RuntimeHeaders.h"

#include <cstddef>
#include <stdexcept>

namespace kx::gen {

// The tables CMake builds from generators/runtime (RuntimeText.cpp and
// HttpText.cpp in the build folder).
struct EmbeddedHeader {
    const char* name;
    const char* text;
    std::size_t size;
};
extern const EmbeddedHeader kRuntimeSources[];
extern const std::size_t kRuntimeSourceCount;
extern const char kHttpSource[];

const std::vector<RuntimeFile>& runtimeFiles() {
    static const std::vector<RuntimeFile> files = [] {
        std::vector<RuntimeFile> made;
        for (std::size_t i = 0; i < kRuntimeSourceCount; ++i) {
            made.push_back({kRuntimeSources[i].name,
                            KxCString(kRuntimeSources[i].text, kRuntimeSources[i].size)});
        }
        return made;
    }();
    return files;
}

const KxCString& runtimeHeaderText() {
    static const KxCString& text = []() -> const KxCString& {
        for (const RuntimeFile& file : runtimeFiles()) {
            if (file.name == kRuntimeHeader) {
                return file.text;
            }
        }
        throw std::logic_error("orvoruntime.h is not among the headers built in");
    }();
    return text;
}

const KxCString& httpHeaderText() {
    static const KxCString text(kHttpSource);
    return text;
}

void writeRuntimeHeaders(OutputWriter& output, const KxCString& incDir) {
    for (const RuntimeFile& file : runtimeFiles()) {
        output.write(file.name, file.text);
        if (!incDir.empty()) {
            output.writeCopy(incDir, file.name, file.text);
        }
    }
}

}  // namespace kx::gen
