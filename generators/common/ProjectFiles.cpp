#include "generators/common/ProjectFiles.h"

#include <cerrno>

#include "generators/common/Text.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {

bool endsWith(const KxCString& text, const KxCString& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool readInputDocument(const SourceFile& input, XmlDocument& document, Diagnostics& diagnostics) {
    kx::os::FileStatus status;
    KxCString text;
    if (!kx::os::fileStatus(input.name, status)) {
        diagnostics.error("cannot read the input file " + input.name + ": " + errnoText(errno),
                          input);
        return false;
    }
    if (status.isDirectory()) {
        diagnostics.error("the input " + input.name + " is a directory, not a file", input);
        return false;
    }
    if (!kx::os::readWholeFile(input.name, text)) {
        diagnostics.error("cannot read the input file " + input.name + ": " + errnoText(errno),
                          input);
        return false;
    }
    document = parseXmlDocument(text);
    return true;
}

void reportFault(const XmlDocument& document, const SourceFile& input, Diagnostics& diagnostics) {
    if (document.fault) {
        diagnostics.error(document.fault->message, input, document.fault->at);
    }
}

void writeDataClasses(const Schema& schema, const DataClassFiles& files, OutputWriter& output) {
    output.write(kRuntimeHeader, runtimeHeaderText());
    if (!files.incDir.empty()) {
        output.writeCopy(files.incDir, kRuntimeHeader, runtimeHeaderText());
    }
    const auto writeHeader = [&](const KxCString& name, const KxCString& content) {
        output.write(name, content);
        if (!files.incDir.empty()) {
            output.writeCopy(files.incDir, name, content);
        }
    };
    for (const DataType& type : schema.types()) {
        writeHeader(type.className + ".h", dataClassHeader(type, files.options));
        output.write(type.className + ".cpp", dataClassSource(type, files.options));
        if (files.options.externalMarshaller) {
            writeHeader(type.className + "Marshaller.h", marshallerHeader(type, files.options));
            output.write(type.className + "Marshaller.cpp", marshallerSource(type, files.options));
        }
    }
    if (!files.html) {
        return;
    }
    // Pages in docs/ link to one another directly; those in docs/datatypes/
    // link to the overview one level up.
    const bool nested = files.docsFolder.find('/') != KxCString::npos;
    const KxCString index = nested ? "../index.html" : "index.html";
    for (const DataType& type : schema.types()) {
        const KxCString page = dataTypeHtml(
            type, files.options.origin, files.options.externalMarshaller,
            [](const KxCString& name) { return name + ".html"; }, index);
        output.write(files.docsFolder + "/" + type.className + ".html", page);
        if (!files.docsDir.empty()) {
            output.writeCopy(files.docsDir, type.className + ".html", page);
        }
    }
}

void writeBuildFiles(const Settings& settings, const KxCString& projectName,
                     const KxCString& compilerKey, const KxCString& tool, BuildProject::Kind kind,
                     OutputWriter& output) {
    if (!settings.make && !settings.msvcProject) {
        return;
    }
    BuildProject project;
    project.name = projectName;
    project.tool = tool;
    project.compilerKey = compilerKey;
    project.kind = kind;
    for (const KxCString& name : output.written()) {
        if (name.find_first_of("/\\") != KxCString::npos) {
            continue;  // documentation
        }
        if (endsWith(name, ".cpp")) {
            project.sources.push_back(name);
        } else if (endsWith(name, ".h")) {
            project.headers.push_back(name);
        }
    }
    writeBuildFiles(output, project, settings.make, settings.msvcProject);
}

KxCString projectNameOf(const Settings& settings, const KxCString& fallback) {
    KxCString name = !settings.projectName.empty() ? settings.projectName : fallback;
    return name.empty() ? "project" : name;
}

}  // namespace kx::gen
