#pragma once
// The project settings a wizard stores in startup.properties, as the
// generators use them. Flags are true when written "true" or "1"; path values
// are stored with doubled backslashes and are read back single.
#include <initializer_list>

#include "generators/common/Diagnostics.h"
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
// settings. A file that cannot be read is an error, reported against the
// file; settings then keep their defaults.
bool loadSettings(const KxCString& path, Settings& settings, Diagnostics& diagnostics);

// Warns when the file names a project type other than those the generator
// makes, such as a foundation project given to svcgen.
void checkProjectType(const Settings& settings, const KxCString& path, const KxCString& tool,
                      std::initializer_list<const char*> expected, Diagnostics& diagnostics);

}  // namespace kx::gen
