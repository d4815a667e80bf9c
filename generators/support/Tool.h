#pragma once
// What every generator run has in common: the version line, the log on
// standard output, the diagnostics and errors.xml, and the exit status
// (0 without errors, 1 with errors, 2 for a command line it cannot run).
#include <functional>
#include <ostream>

#include "generators/support/CommandLine.h"
#include "generators/support/Diagnostics.h"

namespace kx::gen {

inline constexpr const char* kGeneratorVersion = "1.0";

inline constexpr int kExitClean = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitUsage = 2;

struct ToolDescription {
    const char* name;
    const char* purpose;  // one line
    const char* usage;    // the options, several lines
    std::vector<OptionSpec> options;
    std::vector<KxCString> knownDefinitions;  // -D names the tool understands
    std::size_t inputs = 0;                   // input files the command line names
    std::vector<KxCString> requiredOptions;
};

class GeneratorRun {
  public:
    GeneratorRun(const ToolDescription& tool, const Arguments& arguments, std::ostream& log);

    Diagnostics& diagnostics() { return diagnostics_; }
    std::ostream& log() { return log_; }
    const Arguments& arguments() const { return arguments_; }
    const char* toolName() const { return tool_.name; }

    // Writes errors.xml into the current directory, logs the diagnostics and
    // the summary line, and returns the exit status.
    int finish();

  private:
    const ToolDescription& tool_;
    const Arguments& arguments_;
    std::ostream& log_;
    Diagnostics diagnostics_;
};

// Runs a generator: reads the command line, prints the usage text for
// --help, reports a usage error (on standard error and in errors.xml, exit
// 2), and otherwise calls generate with a run whose finish() gives the exit
// status. An exception escaping generate is reported as an error.
int runGenerator(const ToolDescription& tool, int argc, char** argv,
                 const std::function<void(GeneratorRun&)>& generate);

}  // namespace kx::gen
