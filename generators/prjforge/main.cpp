// prjforge: orvowizard's project generator for servlet projects. Reads the
// project file the servlet wizard writes,
//
//   <tavrin:project xmlns:tavrin="..." projectName="demo">
//     <tavrin:file name="HelloServlet"/>
//   </tavrin:project>
//
// and writes the makefile that builds the servlet sources into a shared
// servlet library, and the developer-studio files, as the project's
// startup.properties asks.
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "generators/emit/BuildFiles.h"
#include "generators/emit/OutputWriter.h"
#include "generators/emit/ProjectFiles.h"
#include "generators/support/Settings.h"
#include "generators/support/Text.h"
#include "generators/support/Tool.h"
#include "platform/os/KxOs.h"

namespace {

using namespace kx;
using namespace kx::gen;

const ToolDescription kTool{
    "prjforge",
    "generates the build files of a servlet project",
    "prjforge -projectFile NAMEProject.xml [-properties FILE] [-Dname=value ...]\n"
    "  -projectFile FILE  the project file naming the servlet sources\n"
    "  -properties FILE   the project's startup.properties (what to generate, where)\n"
    "  -compiler KEY      the compiler the makefile uses\n"
    "  --help             this text\n",
    {{"-properties", OptionSpec::Value},
     {"-projectFile", OptionSpec::Value},
     {"-compiler", OptionSpec::OptionalValue}},
    {"keepProject"},
    0,
    {"-projectFile"}};

bool fileExists(const KxCString& path) {
    kx::os::FileStatus status;
    return kx::os::fileStatus(path, status) && status.isRegular();
}

// The project file read, checked to be one: null (with the error
// recorded) when it is not.
std::optional<XmlDocument> readProjectFile(GeneratorRun& run, const SourceFile& input) {
    Diagnostics& diagnostics = run.diagnostics();
    run.log() << "project file: " << input.name << "\n";
    XmlDocument document;
    if (!readInputDocument(input, document, diagnostics)) {
        return std::nullopt;
    }
    if (document.root && document.root->name != "project") {
        diagnostics.error(
            "not a project file: the root element is <" + document.root->name + ">, not <project>",
            input, document.root->at);
        return std::nullopt;
    }
    reportFault(document, input, diagnostics);
    if (diagnostics.errorCount() > 0) {
        run.log() << "nothing written: there are errors\n";
        return std::nullopt;
    }
    return document;
}

// Names that go into the build files unquoted are refused, not mangled:
// they name files the user has written.
void refuse(Diagnostics& diagnostics, const KxCString& what, const KxCString& value,
            const KxCString& problem, const SourceFile& file, Location at) {
    diagnostics.error(what + " \"" + shownValue(value) + "\" cannot be used: " + problem, file, at);
}

// The project's name: the settings', else the project file's attribute,
// else the file's name before "Project.xml".
KxCString projectNameFor(const Settings& settings, const XmlElement& root, const SourceFile& input,
                         Diagnostics& diagnostics) {
    KxCString fallbackName = root.attributeOr("projectName");
    if (!fallbackName.empty() && settings.projectName.empty()) {
        if (auto problem = buildNameProblem(fallbackName)) {
            refuse(diagnostics, "the projectName attribute", fallbackName, *problem, input,
                   root.at);
        }
    }
    if (fallbackName.empty() && baseName(input.name).ends_with("Project.xml")) {
        fallbackName = baseName(input.name);
        fallbackName.resize(fallbackName.size() - 11);
    }
    return projectNameOf(settings, fallbackName);
}

// The servlet files the project names, else the settings' servletName.
std::vector<KxCString> servletsOf(const Settings& settings, const XmlElement& root,
                                  const SourceFile& input, const SourceFile& properties,
                                  Diagnostics& diagnostics) {
    std::vector<KxCString> servlets;
    for (const XmlElement* file : root.childrenNamed("file")) {
        const KxCString name = file->attributeOr("name");
        if (name.empty()) {
            diagnostics.warning("a file element has no name and is passed over", input, file->at);
            continue;
        }
        if (auto problem = buildNameProblem(name)) {
            refuse(diagnostics, "the name of the servlet file", name, *problem, input, file->at);
            continue;
        }
        servlets.push_back(name);
    }
    if (servlets.empty() && !settings.servletName.empty()) {
        if (auto problem = buildNameProblem(settings.servletName)) {
            refuse(diagnostics, "the servletName value", settings.servletName, *problem, properties,
                   {});
        } else {
            servlets.push_back(settings.servletName);
        }
    }
    return servlets;
}

// The shared servlet library of the servlets' sources (with the headers
// that exist beside them).
BuildProject servletProject(GeneratorRun& run, const Settings& settings,
                            const KxCString& projectName, const std::vector<KxCString>& servlets) {
    BuildProject project;
    project.name = projectName;
    project.tool = "prjforge";
    project.compilerKey = run.arguments().value("-compiler");
    project.kind = BuildProject::Kind::SharedLibrary;
    project.servletApiInclude = servletApiInclude();
    project.servletApiLib = servletApiLib();
    const KxCString sourceDir = settings.outDir;
    for (const KxCString& servlet : servlets) {
        const KxCString stem =
            servlet.ends_with(".cpp") ? servlet.substr(0, servlet.size() - 4) : servlet;
        project.sources.push_back(stem + ".cpp");
        if (fileExists(joinPath(sourceDir, stem + ".h"))) {
            project.headers.push_back(stem + ".h");
        }
        if (!fileExists(joinPath(sourceDir, stem + ".cpp"))) {
            run.log() << "note: " << stem << ".cpp does not exist yet\n";
        }
    }
    return project;
}

void generate(GeneratorRun& run) {
    const Arguments& arguments = run.arguments();
    Diagnostics& diagnostics = run.diagnostics();
    Settings settings;
    settings.server = false;
    if (!readRunSettings(run, {"tavrin"}, settings)) {
        return;
    }
    const SourceFile input = SourceFile::named(arguments.value("-projectFile"));
    const std::optional<XmlDocument> document = readProjectFile(run, input);
    if (!document) {
        return;
    }
    const XmlElement& root = *document->root;
    const KxCString projectName = projectNameFor(settings, root, input, diagnostics);
    const std::vector<KxCString> servlets = servletsOf(
        settings, root, input, SourceFile::named(arguments.value("-properties")), diagnostics);
    if (diagnostics.errorCount() > 0) {
        run.log() << "nothing written: names that cannot go into the build files\n";
        return;
    }
    if (servlets.empty()) {
        diagnostics.warning("the project names no servlet file; the build files list no sources",
                            input, root.at);
    }
    run.log() << "project: " << projectName << "\n";
    const BuildProject project = servletProject(run, settings, projectName, servlets);
    if (!settings.make && !settings.msvcProject) {
        run.log() << "no build files asked for (make and msvcproject are off)\n";
    }
    OutputWriter output(settings.outDir, run.log(), diagnostics);
    writeBuildFiles(output, project, settings.make, settings.msvcProject, diagnostics);
}

}  // namespace

int main(int argc, char** argv) {
    return runGenerator(kTool, argc, argv, generate);
}
