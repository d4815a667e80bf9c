// svcgen: orvowizard's service generator. Reads a WSDL 1.1 file and writes
// the server-side and client-side C++ classes of its port types, the data
// classes of its types, samples, documentation and build files, as the
// project's startup.properties asks.
#include "generators/emit/ProjectFiles.h"
#include "generators/emit/ServiceWriter.h"
#include "generators/support/Text.h"
#include "generators/support/Tool.h"
#include "generators/wsdl/WsdlHeaders.h"

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

// The port "make run" serves the services at: that of the first address
// with one, else 8080.
KxCString runPortOf(const Wsdl& wsdl) {
    for (const WsdlService& service : wsdl.services) {
        for (const WsdlPort& port : service.ports) {
            const auto scheme = port.address.find("://");
            if (scheme == KxCString::npos) {
                continue;
            }
            const auto hostEnd = port.address.find_first_of("/?#", scheme + 3);
            const KxCString host = port.address.substr(scheme + 3, hostEnd - scheme - 3);
            const auto colon = host.rfind(':');
            if (colon != KxCString::npos && colon + 1 < host.size() && host.size() - colon <= 6 &&
                host.find_first_not_of("0123456789", colon + 1) == KxCString::npos) {
                return host.substr(colon + 1);
            }
        }
    }
    return "8080";
}

void generate(GeneratorRun& run) {
    const Arguments& arguments = run.arguments();
    Diagnostics& diagnostics = run.diagnostics();
    Settings settings;
    if (!readRunSettings(run, {"server", "client"}, settings)) {
        return;
    }
    warnAboutMissingValues(run);
    const bool noServer = arguments.has("-noserver");
    ServiceOptions options;
    options.server = !noServer && settings.server;
    options.client = noServer || settings.client;
    options.samples = settings.sample;
    options.html = settings.html;
    options.ssl = settings.ssl;

    const SourceFile input = SourceFile::named(arguments.inputs.front());
    options.origin = CodeOrigin{"svcgen", input.name};
    XmlDocument document;
    if (!readInputRoot(run, input, "definitions", "a WSDL file", document)) {
        return;
    }
    Schema schema(diagnostics);
    const Wsdl wsdl = readWsdl(*document.root, input, schema);
    checkWsdl(wsdl, schema, input, diagnostics);
    checkHeaders(wsdl, schema, input, diagnostics);
    reportFault(document, input, diagnostics);
    if (!options.server && !options.client) {
        diagnostics.warning(
            "neither the server nor the client side is chosen; only data classes are written");
    }
    if (!readyToWrite(run)) {
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
        output, diagnostics, options.server && options.samples, runPortOf(wsdl));
}

}  // namespace

int main(int argc, char** argv) {
    return runGenerator(kTool, argc, argv, generate);
}
