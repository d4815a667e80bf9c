#pragma once
// The project settings a wizard stores in startup.properties, as the
// generators use them. Flags are true when written "true" or "1"; path values
// are stored with doubled backslashes and are read back single.
#include <initializer_list>

#include "generators/support/Diagnostics.h"
#include "platform/base/KxCString.h"

namespace kx::gen {

struct Settings {
    KxCString type;  // server, client, foundation or tavrin
    KxCString version;
    KxCString projectDir;
    KxCString projectName;
    KxCString compilerOs;
    KxCString outDir;
    KxCString filename;
    KxCString properties;
    bool make = false;
    bool msvcProject = false;
    bool html = false;
    bool sample = false;
    bool stl = false;
    // Server and client switches; without the keys, the side named by type.
    bool server = true;
    bool client = false;
    bool ssl = false;
    // foundation
    bool externalMarshaller = false;
    KxCString docsDir;
    KxCString incDir;
    // tavrin
    KxCString webXml;
    bool admin = false;
    KxCString servletName;
};

// Reads the properties file at path (as given, backslashes and all) into
// settings and checks them (checkSettings). A file that cannot be read is an
// error, reported against the file; settings then keep their defaults.
bool loadSettings(const KxCString& path, Settings& settings, Diagnostics& diagnostics);

// Reports, as errors against the properties file, the values no generator
// may use as they are: outDir, docsDir or incDir leaving the project
// (absolute, or climbing out with ".."), and a projectName that cannot stand
// in a makefile or as a file name. docsDir and incDir given as full paths of
// folders inside the project (the current directory) are first made
// relative to it. loadSettings runs it.
void checkSettings(Settings& settings, const SourceFile& file, Diagnostics& diagnostics);

// Warns when the file names a project type other than those the generator
// makes, such as a foundation project given to svcgen.
void checkProjectType(const Settings& settings, const KxCString& path, const KxCString& tool,
                      std::initializer_list<const char*> expected, Diagnostics& diagnostics);

}  // namespace kx::gen
