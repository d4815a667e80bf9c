#include "generators/common/Settings.h"

#include <cerrno>

#include "generators/common/Text.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxProperties.h"

namespace kx::gen {

bool loadSettings(const KxCString& path, Settings& settings, Diagnostics& diagnostics) {
    KxProperties properties;
    kx::os::FileStatus status;
    if (!kx::os::fileStatus(path, status) || !status.isRegular() || !properties.load(path)) {
        const int error = errno;
        diagnostics.error(
            "cannot read the properties file " + path +
                (status.isDirectory() ? ": it is a directory" : ": " + errnoText(error)),
            SourceFile::named(path));
        return false;
    }
    const auto text = [&](const char* key) { return properties.get(key); };
    const auto pathValue = [&](const char* key) {
        return undoubleBackslashes(properties.get(key));
    };
    const auto flag = [&](const char* key) { return isTrue(properties.get(key)); };

    settings.type = text("type");
    settings.version = text("version");
    settings.projectDir = pathValue("projectDir");
    settings.projectName = text("projectName");
    settings.compilerOs = text("compileros");
    settings.outDir = pathValue("outDir");
    settings.filename = pathValue("filename");
    settings.properties = pathValue("properties");
    settings.make = flag("make");
    settings.msvcProject = flag("msvcproject");
    settings.html = flag("html");
    settings.sample = flag("sample");
    settings.stl = flag("stl");
    settings.server = properties.contains("server") ? flag("server") : settings.type != "client";
    settings.client = properties.contains("client") ? flag("client") : settings.type == "client";
    settings.ssl = flag("ssl");
    settings.externalMarshaller = flag("externalmarshaller");
    settings.docsDir = pathValue("docsDir");
    settings.incDir = pathValue("incDir");
    settings.webXml = pathValue("webxml");
    settings.admin = flag("admin");
    settings.servletName = text("servletName");
    return true;
}

void checkProjectType(const Settings& settings, const KxCString& path, const KxCString& tool,
                      std::initializer_list<const char*> expected, Diagnostics& diagnostics) {
    if (settings.type.empty()) {
        return;
    }
    KxCString names;
    for (const char* name : expected) {
        if (settings.type == name) {
            return;
        }
        names += (names.empty() ? "" : " or ") + KxCString(name);
    }
    diagnostics.warning("the properties file describes a " + settings.type + " project; " + tool +
                            " makes " + names + " projects",
                        SourceFile::named(path));
}

}  // namespace kx::gen
