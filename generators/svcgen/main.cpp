// svcgen: the reference service generator. Reads a WSDL 1.1 file and writes
// the server-side and client-side C++ classes of its port types, the data
// classes of its types, samples, documentation and build files, as the
// project's startup.properties asks.
#include "generators/common/ProjectFiles.h"
#include "generators/common/Text.h"
#include "generators/common/Tool.h"
#include "generators/svcgen/ServiceWriter.h"

namespace {

using namespace kx;
using namespace kx::gen;

const ToolDescription kTool{
    "svcgen",
    "generates C++ service and client classes from a WSDL file",
    "svcgen [-noserver] [-properties FILE] [-compiler KEY] [-Dname=value ...] INPUT.wsdl\n"
    "  -properties FILE  the project's startup.properties (what to generate, where)\n"
    "  -noserver         write the client side only\n"
    "  -compiler KEY     the compiler the makefile uses (redhat-gcc, sunpro, msvc, ...)\n"
    "  -DkeepProject=B   accepted; the project's files are never removed\n"
    "  --help            this text\n",
    {{"-properties", OptionSpec::Value},
     {"-noserver", OptionSpec::Flag},
     {"-compiler", OptionSpec::OptionalValue}},
    {"keepProject"},
    1,
    {}};

KxCString withoutExtension(const KxCString& name) {
    const auto dot = name.rfind('.');
    return dot == KxCString::npos || dot == 0 ? name : name.substr(0, dot);
}

void generate(GeneratorRun& run) {
    const Arguments& arguments = run.arguments();
    Diagnostics& diagnostics = run.diagnostics();
    Settings settings;
    if (arguments.has("-properties")) {
        const KxCString path = arguments.value("-properties");
        run.log() << "properties: " << path << "\n";
        if (!loadSettings(path, settings, diagnostics)) {
            return;
        }
        checkProjectType(settings, path, "svcgen", {"server", "client"}, diagnostics);
    }
    for (const KxCString& option : arguments.missingValues) {
        diagnostics.warning("the option " + option + " has no value; the makefile uses g++");
    }
    const bool noServer = arguments.has("-noserver");
    ServiceOptions options;
    options.server = !noServer && settings.server;
    options.client = noServer || settings.client;
    options.samples = settings.sample;
    options.html = settings.html;
    options.ssl = settings.ssl;

    const SourceFile input = SourceFile::named(arguments.inputs.front());
    options.origin = CodeOrigin{"svcgen", input.name};
    run.log() << "input: " << input.name << "\n";
    XmlDocument document;
    if (!readInputDocument(input, document, diagnostics)) {
        return;
    }
    if (!document.root) {
        reportFault(document, input, diagnostics);
        return;
    }
    if (document.root->name != "definitions") {
        diagnostics.error(
            "not a WSDL file: the root element is <" + document.root->name + ">, not <definitions>",
            input, document.root->at);
        return;
    }
    Schema schema(input, diagnostics);
    const Wsdl wsdl = readWsdl(*document.root, schema);
    checkWsdl(wsdl, schema, input, diagnostics);
    reportFault(document, input, diagnostics);
    if (!options.server && !options.client) {
        diagnostics.warning(
            "neither the server nor the client side is chosen; only data classes are written");
    }
    if (diagnostics.errorCount() > 0) {
        run.log() << "nothing written: the input has errors\n";
        return;
    }

    options.projectName = projectNameOf(
        settings, wsdl.name.empty() ? withoutExtension(baseName(input.name)) : wsdl.name);
    run.log() << "project: " << options.projectName << " ("
              << (options.server && options.client ? "server and client"
                  : options.server                 ? "server"
                  : options.client                 ? "client"
                                                   : "data classes only")
              << ")\n";
    OutputWriter output(settings.outDir, run.log(), diagnostics);
    DataClassFiles files;
    files.options.origin = options.origin;
    files.html = settings.html;
    files.docsFolder = "docs/datatypes";
    writeDataClasses(schema, files, output);
    writeServices(wsdl, schema, options, output);
    writeBuildFiles(
        settings, options.projectName, arguments.value("-compiler"), "svcgen",
        options.server ? BuildProject::Kind::SharedLibrary : BuildProject::Kind::StaticLibrary,
        output, diagnostics);
}

}  // namespace

int main(int argc, char** argv) {
    return runGenerator(kTool, argc, argv, generate);
}
