#include "generators/support/Tool.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <iostream>
#include <sstream>

#include "generators/emit/OutputWriter.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

constexpr const char* kErrorFile = "errors.xml";

// errors.xml goes to the project directory like every generated file: a
// link planted in its place is replaced, not written through.
void writeErrorFile(const Diagnostics& diagnostics, std::ostream& log) {
    if (!writeProjectFile(kErrorFile, toErrorFile(diagnostics))) {
        log << "cannot write " << kErrorFile << ": " << errnoText(errno) << "\n";
    }
}

// The number of input files and the options every run needs.
void checkArguments(const ToolDescription& tool, const Arguments& arguments) {
    for (const KxCString& option : tool.requiredOptions) {
        if (!arguments.has(option)) {
            throw UsageError("the option " + option + " is missing");
        }
    }
    if (arguments.inputs.size() > tool.inputs) {
        KxCString extra;
        for (std::size_t i = tool.inputs; i < arguments.inputs.size(); ++i) {
            extra += (extra.empty() ? "" : " ") + arguments.inputs[i];
        }
        throw UsageError(tool.inputs == 0 ? "unexpected words: " + extra
                                          : "more than one input file; extra words: " + extra);
    }
    if (arguments.inputs.size() < tool.inputs) {
        throw UsageError("no input file given");
    }
}

void printUsage(const ToolDescription& tool, std::ostream& out) {
    out << tool.name << " " << kGeneratorVersion << ": " << tool.purpose << "\n"
        << "usage: " << tool.usage;
}

}  // namespace

GeneratorRun::GeneratorRun(const ToolDescription& tool, const Arguments& arguments,
                           std::ostream& log)
    : tool_(tool), arguments_(arguments), log_(log) {
    log_ << tool_.name << " " << kGeneratorVersion << " (orvowizard reference generator)\n";
    for (const auto& [name, value] : arguments_.definitions) {
        const bool known = std::find(tool_.knownDefinitions.begin(), tool_.knownDefinitions.end(),
                                     name) != tool_.knownDefinitions.end();
        log_ << "option -D" << name << "=" << value << (known ? "" : " (unknown, ignored)") << "\n";
        if (!known) {
            diagnostics_.warning("unknown option -D" + name + "=" + value + " ignored");
        }
    }
}

int GeneratorRun::finish() {
    writeErrorFile(diagnostics_, log_);
    for (const Diagnostic& diagnostic : diagnostics_.all()) {
        log_ << toLogLine(diagnostic) << "\n";
    }
    log_ << diagnostics_.errorCount() << " errors, " << diagnostics_.warningCount()
         << " warnings\n";
    log_.flush();
    return diagnostics_.errorCount() == 0 ? kExitClean : kExitErrors;
}

int runGenerator(const ToolDescription& tool, int argc, char** argv,
                 const std::function<void(GeneratorRun&)>& generate) {
    std::vector<KxCString> words(argv + 1, argv + argc);
    Arguments arguments;
    try {
        arguments = parseArguments(words, tool.options);
        if (!arguments.help) {
            checkArguments(tool, arguments);
        }
    } catch (const UsageError& error) {
        std::cerr << tool.name << ": " << error.why() << "\n";
        printUsage(tool, std::cerr);
        Diagnostics diagnostics;
        diagnostics.error("usage: " + error.why());
        std::ostringstream ignored;
        writeErrorFile(diagnostics, ignored);
        return kExitUsage;
    }
    if (arguments.help) {
        printUsage(tool, std::cout);
        return kExitClean;
    }
    GeneratorRun run(tool, arguments, std::cout);
    try {
        generate(run);
    } catch (const std::exception& error) {
        run.diagnostics().error(KxCString("internal error: ") + error.what());
    }
    return run.finish();
}

}  // namespace kx::gen
