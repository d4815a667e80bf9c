// bindgen: orvowizard's data-binding generator. Reads an XML Schema file
// and writes a C++ data class per complex type (and per global element with
// an anonymous complex type), optional marshaller classes, documentation and
// build files, as the project's startup.properties asks.
#include "generators/emit/ProjectFiles.h"
#include "generators/support/Text.h"
#include "generators/support/Tool.h"

namespace {

using namespace kx;
using namespace kx::gen;

const ToolDescription kTool{
    "bindgen",
    "generates C++ data classes from an XML Schema file",
    "bindgen [-properties FILE] [-compiler KEY] [-Dname=value ...] INPUT.xsd\n"
    "  -properties FILE  the project's startup.properties (what to generate, where)\n"
    "  -compiler KEY     the compiler the makefile uses (redhat-gcc, sunpro, msvc, ...)\n"
    "  -DkeepProject=B   accepted; the project's files are never removed\n"
    "  --help            this text\n",
    {{"-properties", OptionSpec::Value}, {"-compiler", OptionSpec::OptionalValue}},
    {"keepProject"},
    1,
    {}};

// Writes the data classes, their pages and the build files of one schema.
void writeProject(GeneratorRun& run, const Settings& settings, const Schema& schema,
                  const SourceFile& input) {
    const KxCString projectName = projectNameOf(settings, withoutExtension(baseName(input.name)));
    run.log() << "project: " << projectName << "\n";
    OutputWriter output(settings.outDir, run.log(), run.diagnostics());
    DataClassFiles files;
    files.options.origin = CodeOrigin{"bindgen", input.name};
    files.options.externalMarshaller = settings.externalMarshaller;
    files.html = settings.html;
    files.docsFolder = "docs";
    files.docsDir = settings.docsDir;
    files.incDir = settings.incDir;
    files.sample = settings.sample;
    writeDataClasses(schema, files, output);
    if (settings.html) {
        const KxCString html =
            dataIndexHtml(schema, projectName + ": data classes", files.options.origin);
        output.write("docs/index.html", html);
        if (!settings.docsDir.empty()) {
            output.writeCopy(settings.docsDir, "index.html", html);
        }
    }
    writeBuildFiles(settings, projectName, run.arguments().value("-compiler"), "bindgen",
                    BuildProject::Kind::StaticLibrary, output, run.diagnostics());
}

void generate(GeneratorRun& run) {
    const Arguments& arguments = run.arguments();
    Diagnostics& diagnostics = run.diagnostics();
    Settings settings;
    if (!readRunSettings(run, {"foundation"}, settings)) {
        return;
    }
    warnAboutMissingValues(run);

    const SourceFile input = SourceFile::named(arguments.inputs.front());
    XmlDocument document;
    if (!readInputRoot(run, input, "schema", "an XML Schema file", document)) {
        return;
    }
    Schema schema(diagnostics);
    schema.add(*document.root, input);
    schema.resolve();
    reportFault(document, input, diagnostics);
    if (!readyToWrite(run)) {
        return;
    }
    if (schema.types().empty()) {
        diagnostics.warning("the schema defines no complex types; no data classes are written",
                            input, document.root->at);
    }

    writeProject(run, settings, schema, input);
}

}  // namespace

int main(int argc, char** argv) {
    return runGenerator(kTool, argc, argv, generate);
}
