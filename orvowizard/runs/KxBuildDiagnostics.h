#pragma once
// Reads the console output of a project's build (make running g++ or clang++
// and the linker) into the errors and warnings the status page lists beside
// the generator's own.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct KxBuildDiagnostic {
    enum class Kind { Error, Warning };  // a fatal error is an Error
    Kind kind = Kind::Error;
    // As the compiler printed it; empty for make's, the linker's and the
    // compiler driver's own lines.
    std::string file;
    int line = -1;  // -1 when none
    int column = -1;
    std::string message;
    // Lines that belong to it, in order: the include chain and the "In
    // function"/"In instantiation of"/"required from" lines printed before
    // it, its notes, and the source excerpts with their carets.
    std::vector<std::string> context;
};

struct KxBuildDiagnostics {
    std::vector<KxBuildDiagnostic> entries;
    bool truncated = false;  // more than the limit: the rest is left out
};

// The most context lines kept for one diagnostic, and the longest line kept
// (a longer one is cut).
inline constexpr std::size_t kMaxDiagnosticContextLines = 20;
inline constexpr std::size_t kMaxDiagnosticLineBytes = 4096;

// Reads the errors and warnings of a build's console output in one pass.
// Colour codes are dropped and CRLF read as LF. At most maxEntries are kept;
// when there are more, truncated is set.
KxBuildDiagnostics readBuildDiagnostics(std::string_view console, std::size_t maxEntries = 200);
