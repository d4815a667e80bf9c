#pragma once
// Build files for a generated project: a GNU makefile with the compiler the
// project's compiler key names, and developer-studio files in the version-6
// (.dsw workspace, .dsp project) and version-7 (.sln solution, .vcproj
// project) formats.
#include <optional>
#include <vector>

#include "generators/emit/OutputWriter.h"
#include "generators/support/Diagnostics.h"
#include "platform/base/KxCString.h"

namespace kx::gen {

struct BuildProject {
    enum class Kind {
        StaticLibrary,  // data classes
        SharedLibrary,  // services and servlets, loaded by the container
    };

    KxCString name;  // the project name; names the library and the files
    KxCString tool;
    KxCString compilerKey;
    Kind kind = Kind::StaticLibrary;
    std::vector<KxCString> sources;  // .cpp files, main.cpp among them or not
    std::vector<KxCString> headers;
    // For servlets: where the servlet API's headers and libkxplatform.so
    // are; the makefile compiles and links against them (overridable with
    // make KX_INCLUDE=... KX_LIB=...). Empty for projects without servlets.
    KxCString servletApiInclude;
    KxCString servletApiLib;
    // For a library of SOAP services: the kxcontainer program and the port
    // that "make run" serves them with (at the paths of their addresses).
    KxCString containerProgram;
    KxCString runPort;
    // Sources the makefile compiles in groups: their units (in a folder of
    // their own, not among the sources) and their parts (among them).
    std::vector<SourceGroup> groups;
};

struct Compiler {
    KxCString cxx;
    KxCString flags;
    KxCString sharedFlags;
};

// The compiler for a compiler key: g++ for redhat-gcc, solaris-gcc, msvc
// (whose builds use the developer-studio files) and unknown keys.
Compiler compilerFor(const KxCString& compilerKey);

KxCString makefileText(const BuildProject& project);
KxCString dswText(const BuildProject& project);
KxCString dspText(const BuildProject& project);
KxCString slnText(const BuildProject& project);
KxCString vcprojText(const BuildProject& project);

// Whether the key is one of the compiler keys above; the makefile names
// only those (others are "an unknown key").
bool isKnownCompilerKey(const KxCString& key);

// Why the project's names cannot be written into the build files, which
// quote none of them: the project name, the source and header names (as
// buildNameProblem says) and the levels of the servlet API's folders.
// Nothing when all can.
std::optional<KxCString> buildProjectProblem(const BuildProject& project);

// Writes the makefile when make is set, and the developer-studio files
// (<name>.dsw, .dsp, .sln, .vcproj) when msvcProject is set. A project with a
// problem (above) gets an error and no build file at all.
void writeBuildFiles(OutputWriter& output, const BuildProject& project, bool make, bool msvcProject,
                     Diagnostics& diagnostics);

// A GUID made from the text, the same every time: "{XXXXXXXX-XXXX-...}".
KxCString stableGuid(const KxCString& text);

}  // namespace kx::gen
