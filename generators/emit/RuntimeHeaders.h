#pragma once
// The headers copied into every generated project from generators/runtime:
// orvoruntime.h, which the generated files include, with the parts it
// gathers (orvobase.h, orvoxml.h, orvowriter.h, orvovalues.h,
// orvolexical.h, orvosoap.h, orvoclasses.h), and orvohttp.h, which clients
// post with. Their texts are built into the generators.
#include <vector>

#include "generators/emit/OutputWriter.h"
#include "platform/base/KxCString.h"

namespace kx::gen {

inline constexpr const char* kRuntimeHeader = "orvoruntime.h";
inline constexpr const char* kHttpHeader = "orvohttp.h";

struct RuntimeFile {
    KxCString name;
    KxCString text;
};

// orvoruntime.h first, then its parts in the order it includes them.
const std::vector<RuntimeFile>& runtimeFiles();

// The text of orvoruntime.h, and of orvohttp.h.
const KxCString& runtimeHeaderText();
const KxCString& httpHeaderText();

// Writes orvoruntime.h and its parts into the project and, when incDir is
// not empty, copies of them there, so that either folder builds on its own.
void writeRuntimeHeaders(OutputWriter& output, const KxCString& incDir);

}  // namespace kx::gen
