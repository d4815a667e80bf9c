#include "generators/emit/RuntimeHeaders.h"

#include <cstddef>
#include <stdexcept>

#include "generators/support/EmbeddedText.h"

namespace kx::gen {

const std::vector<RuntimeFile>& runtimeFiles() {
    static const std::vector<RuntimeFile> files = [] {
        std::vector<RuntimeFile> made;
        for (std::size_t i = 0; i < kRuntimeTextsCount; ++i) {
            made.push_back({kRuntimeTexts[i].name, KxCString(kRuntimeTexts[i].view())});
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
    static const KxCString text(kHttpTexts[0].view());
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
