#pragma once
// The texts built into the generators: the runtime headers copied into
// projects and the templates files are rendered from. CMake writes each
// table (kx_embed_texts in generators/CMakeLists.txt) from the source tree.
#include <cstddef>
#include <string_view>

namespace kx::gen {

struct EmbeddedText {
    const char* name;  // relative to the folder the table is made from
    const char* text;
    std::size_t size;

    std::string_view view() const { return {text, size}; }
};

// The tables, in the order CMake lists their files.
extern const EmbeddedText kRuntimeTexts[];  // generators/runtime: orvoruntime.h and its parts
extern const std::size_t kRuntimeTextsCount;
extern const EmbeddedText kHttpTexts[];  // generators/runtime/orvohttp.h alone
extern const std::size_t kHttpTextsCount;
extern const EmbeddedText kTemplateTexts[];  // generators/templates/**/*.tl
extern const std::size_t kTemplateTextsCount;

}  // namespace kx::gen
