#include "generators/emit/ProjectFiles.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <cerrno>

#include "generators/emit/RuntimeHeaders.h"
#include "generators/support/Text.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {}  // namespace

bool readInputFile(const SourceFile& file, const char* what, KxCString& text,
                   Diagnostics& diagnostics) {
    const KxCString cannot = "cannot read the " + KxCString(what) + " " + file.name + ": ";
    switch (kx::os::readRegularFile(file.name, text, kMaxInputFileBytes)) {
        case kx::os::ReadOutcome::Complete:
            return true;
        case kx::os::ReadOutcome::TooLarge:
        case kx::os::ReadOutcome::Truncated:
            diagnostics.error(cannot + "it is larger than " +
                                  std::to_string(kMaxInputFileBytes / (1024 * 1024)) +
                                  " MB, the limit for the files a generator reads",
                              file);
            break;
        case kx::os::ReadOutcome::NotRegular: {
            kx::os::FileStatus status;
            diagnostics.error(
                cannot + (kx::os::fileStatus(file.name, status) && status.isDirectory()
                              ? "it is a directory"
                              : "it is not a regular file"),
                file);
            break;
        }
        case kx::os::ReadOutcome::Failed:
            diagnostics.error(cannot + errnoText(errno), file);
            break;
    }
    text.clear();
    return false;
}

bool readInputDocument(const SourceFile& input, XmlDocument& document, Diagnostics& diagnostics) {
    KxCString text;
    if (!readInputFile(input, "input file", text, diagnostics)) {
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

bool readRunSettings(GeneratorRun& run, std::initializer_list<const char*> projectTypes,
                     Settings& settings) {
    const Arguments& arguments = run.arguments();
    if (!arguments.has("-properties")) {
        return true;
    }
    const KxCString path = arguments.value("-properties");
    run.log() << "properties: " << path << "\n";
    if (!loadSettings(path, settings, run.diagnostics())) {
        return false;
    }
    checkProjectType(settings, path, run.toolName(), projectTypes, run.diagnostics());
    return true;
}

void warnAboutMissingValues(GeneratorRun& run) {
    for (const KxCString& option : run.arguments().missingValues) {
        run.diagnostics().warning("the option " + option + " has no value; the makefile uses g++");
    }
}

bool readInputRoot(GeneratorRun& run, const SourceFile& input, std::string_view rootName,
                   const KxCString& kind, XmlDocument& document) {
    Diagnostics& diagnostics = run.diagnostics();
    run.log() << "input: " << input.name << "\n";
    if (!readInputDocument(input, document, diagnostics)) {
        return false;
    }
    if (!document.root) {
        reportFault(document, input, diagnostics);
        return false;
    }
    if (document.root->name != rootName) {
        diagnostics.error("not " + kind + ": the root element is <" + document.root->name +
                              ">, not <" + KxCString(rootName) + ">",
                          input, document.root->at);
        return false;
    }
    return true;
}

bool readyToWrite(GeneratorRun& run) {
    if (run.diagnostics().errorCount() > 0) {
        run.log() << "nothing written: the input has errors\n";
        return false;
    }
    return true;
}

namespace {

// Groups the data-class sources (name and size, in order) into units of
// about kGroupBytes each, as few as that allows (but two for more than
// kTwoGroupsBytes, and an even number, so that make -j2 ends both cores'
// work together) and of about the same size, and writes a source per unit
// that includes them: a big schema's classes then compile in a few
// translation units that each read the runtime and the headers the classes
// share once, rather than one unit per class. Each unit costs about three
// seconds before its first class (the runtime, the inline functions it
// compiles); a unit of kGroupBytes takes about 500 MB to compile.
void writeSourceGroups(const std::vector<std::pair<KxCString, std::size_t>>& sources,
                       const DataClassOptions& options, OutputWriter& output) {
    constexpr std::size_t kGroupBytes = 1536 * 1024;
    if (sources.size() < 2) {
        return;
    }
    std::size_t total = 0;
    for (const auto& source : sources) {
        total += source.second;
    }
    // Two groups at least once there is more than a little to compile, so
    // that make -j2 keeps two cores busy.
    constexpr std::size_t kTwoGroupsBytes = 64 * 1024;
    std::size_t count = std::max<std::size_t>(total > kTwoGroupsBytes ? 2 : 1,
                                              (total + kGroupBytes - 1) / kGroupBytes);
    count += count > 1 ? count % 2 : 0;
    const std::size_t target = total / count;
    std::vector<KxCString> parts;
    std::size_t size = 0;
    const auto flush = [&] {
        const KxCString file = "classes-" + std::to_string(output.groups().size() + 1) + ".cpp";
        const KxCString unit = "units/" + file;
        if (output.write(unit, sourceGroup(parts, options, file))) {
            output.addGroup({unit, parts});
        }
        parts.clear();
        size = 0;
    };
    for (const auto& [name, bytes] : sources) {
        parts.push_back(name);
        size += bytes;
        if (size >= target && output.groups().size() + 1 < count) {
            flush();
        }
    }
    if (!parts.empty()) {
        flush();
    }
}

}  // namespace

void writeDataClasses(const Schema& schema, const DataClassFiles& files, OutputWriter& output) {
    DataClassOptions options = files.options;
    for (const KxCString& ns : schema.targetNamespaces()) {
        const KxCString prefix = schema.preferredPrefix(ns);
        if (!prefix.empty() && prefix != "xsi" && prefix != "xml" && prefix.substr(0, 3) != "xml") {
            options.prefixes.emplace_back(prefix, ns);
        }
    }
    writeRuntimeHeaders(output, files.incDir);
    const auto writeHeader = [&](const KxCString& name, const KxCString& content) {
        output.write(name, content);
        if (!files.incDir.empty()) {
            output.writeCopy(files.incDir, name, content);
        }
    };
    // The model is built once: every file below lays out the same names.
    const DataModel model = buildDataModel(schema);
    for (const EnumModel& type : model.enums) {
        writeHeader(type.name + ".h", enumHeader(type, options));
    }
    std::vector<std::pair<KxCString, std::size_t>> sources;
    const auto writeSource = [&](const KxCString& name, const KxCString& content) {
        if (output.write(name, content)) {
            sources.emplace_back(name, content.size());
        }
    };
    for (const ClassModel& type : model.classes) {
        writeHeader(type.name + ".h", dataClassHeader(type, options));
        writeSource(type.name + ".cpp", dataClassSource(schema, type, options));
        if (options.externalMarshaller) {
            writeHeader(type.marshaller + ".h", marshallerHeader(type, options));
            writeSource(type.marshaller + ".cpp", marshallerSource(schema, type, options));
        }
    }
    writeSourceGroups(sources, options, output);
    if (files.sample) {
        output.writeSample("main.cpp", sampleProgram(model, options));
    }
    if (!files.html) {
        return;
    }
    // Pages in docs/ link to one another directly; those in docs/datatypes/
    // link to the overview one level up.
    const bool nested = files.docsFolder.find('/') != KxCString::npos;
    const KxCString index = nested ? "../index.html" : "index.html";
    for (const ClassModel& type : model.classes) {
        const KxCString page =
            dataTypeHtml(type, options.origin, options.externalMarshaller, index);
        output.write(files.docsFolder + "/" + type.name + ".html", page);
        if (!files.docsDir.empty()) {
            output.writeCopy(files.docsDir, type.name + ".html", page);
        }
    }
}

// Where the servlet API that the project's servlets build against lives:
// KX_INCLUDE_DIR and KX_LIB_DIR when set, else this build's source tree and
// the library folder beside the generator's own.
KxCString servletApiInclude() {
    if (auto dir = kx::os::getEnvironment("KX_INCLUDE_DIR"); dir && !dir->empty()) {
        return *dir;
    }
    return KX_SOURCE_DIR;
}

KxCString servletApiLib() {
    if (auto dir = kx::os::getEnvironment("KX_LIB_DIR"); dir && !dir->empty()) {
        return *dir;
    }
    std::error_code ignored;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
    return self.empty() ? KxCString("/usr/local/lib")
                        : (self.parent_path().parent_path() / "lib").string();
}

KxCString containerProgram() {
    std::error_code ignored;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
    return self.empty() ? KxCString("kxcontainer") : (self.parent_path() / "kxcontainer").string();
}

void writeBuildFiles(const Settings& settings, const KxCString& projectName,
                     const KxCString& compilerKey, const KxCString& tool, BuildProject::Kind kind,
                     OutputWriter& output, Diagnostics& diagnostics, bool servlets,
                     const KxCString& runPort) {
    if (!settings.make && !settings.msvcProject) {
        return;
    }
    BuildProject project;
    project.name = projectName;
    project.tool = tool;
    project.compilerKey = compilerKey;
    project.kind = kind;
    if (servlets) {
        project.servletApiInclude = servletApiInclude();
        project.servletApiLib = servletApiLib();
    }
    if (servlets && !runPort.empty()) {
        project.containerProgram = containerProgram();
        project.runPort = runPort;
    }
    project.groups = output.groups();
    for (const KxCString& name : output.written()) {
        if (name.find_first_of("/\\") != KxCString::npos) {
            continue;  // documentation
        }
        if (name.ends_with(".cpp")) {
            project.sources.push_back(name);
        } else if (name.ends_with(".h")) {
            project.headers.push_back(name);
        }
    }
    writeBuildFiles(output, project, settings.make, settings.msvcProject, diagnostics);
}

KxCString projectNameOf(const Settings& settings, const KxCString& fallback) {
    if (!settings.projectName.empty()) {
        return settings.projectName;  // checked when the settings were read
    }
    if (fallback.empty()) {
        return "project";
    }
    // A name taken from the input that could not stand in a makefile or as a
    // file name is made into an identifier.
    return buildNameProblem(fallback) ? identifier(fallback) : fallback;
}

}  // namespace kx::gen
