#include "generators/support/Settings.h"

#include <cerrno>
#include <utility>

#include "generators/emit/ProjectFiles.h"
#include "generators/support/Text.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxProperties.h"

namespace kx::gen {

namespace {

void refuse(const char* key, const KxCString& value, const KxCString& problem,
            const SourceFile& file, Diagnostics& diagnostics) {
    diagnostics.error(
        KxCString("the ") + key + " value \"" + shownValue(value) + "\" cannot be used: " + problem,
        file);
}

}  // namespace

void checkSettings(Settings& settings, const SourceFile& file, Diagnostics& diagnostics) {
    // docsDir and incDir may name a folder of the project by its full path;
    // they are then taken relative to the project directory.
    const KxCString project = kx::os::getCurrentDirectory().c_str();
    for (KxCString* folder : {&settings.docsDir, &settings.incDir}) {
        const KxCString native = kx::os::nativePath(*folder);
        if (isAbsolutePath(*folder) && !project.empty() && kx::os::isBelow(native, project)) {
            *folder = native.substr(project.size() + (project.ends_with('/') ? 0 : 1));
        }
    }
    for (const auto& [key, value] : {std::pair{"outDir", &settings.outDir},
                                     {"docsDir", &settings.docsDir},
                                     {"incDir", &settings.incDir}}) {
        if (auto problem = projectDirectoryProblem(*value)) {
            refuse(key, *value, *problem, file, diagnostics);
        }
    }
    if (!settings.projectName.empty()) {
        if (auto problem = buildNameProblem(settings.projectName)) {
            refuse("projectName", settings.projectName,
                   *problem +
                       "; it names the library, the makefile's targets and the "
                       "developer-studio files",
                   file, diagnostics);
        }
    }
}

bool loadSettings(const KxCString& path, Settings& settings, Diagnostics& diagnostics) {
    KxProperties properties;
    KxCString content;
    if (!readInputFile(SourceFile::named(path), "properties file", content, diagnostics)) {
        return false;
    }
    properties.loadFromText(content);
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
    checkSettings(settings, SourceFile::named(path), diagnostics);
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
