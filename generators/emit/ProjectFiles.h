#pragma once
// Steps the generators share: reading the settings and the input document,
// writing the data classes of a schema, and writing the build files of the
// project.
#include "generators/emit/BuildFiles.h"
#include "generators/emit/DataClassWriter.h"
#include "generators/emit/OutputWriter.h"
#include "generators/support/Settings.h"
#include "generators/support/Tool.h"
#include "platform/xml/KxXmlTree.h"

namespace kx::gen {

// The largest input, properties or project file a generator reads: 16 MB.
inline constexpr std::size_t kMaxInputFileBytes = 16 * 1024 * 1024;

// Reads a whole input file (what says which: "input file", "properties
// file"). A file that is missing, not a regular file (a directory, a device,
// a FIFO) or larger than kMaxInputFileBytes is an error reported against it.
bool readInputFile(const SourceFile& file, const char* what, KxCString& text,
                   Diagnostics& diagnostics);

// Reads and parses the input file. A file that cannot be read is an error
// (false); a malformed document is returned with its fault, which the caller
// reports once it has checked what was read before it.
bool readInputDocument(const SourceFile& input, XmlDocument& document, Diagnostics& diagnostics);

// Reports the fault of a malformed document against the input.
void reportFault(const XmlDocument& document, const SourceFile& input, Diagnostics& diagnostics);

// Reads the -properties file the command line names, if any, over the
// defaults already in settings, logging its path and warning when it is not
// a project of one of projectTypes. False when it cannot be read.
bool readRunSettings(GeneratorRun& run, std::initializer_list<const char*> projectTypes,
                     Settings& settings);

// Warns about each option given without its value: the makefile then uses
// g++.
void warnAboutMissingValues(GeneratorRun& run);

// Reads the input document, logging its name, and checks that its root
// element is rootName (kind names the file in the message: "a WSDL file").
// False, with the problem reported, when there is no such root; a fault met
// after the root stays in the document for the caller to report.
bool readInputRoot(GeneratorRun& run, const SourceFile& input, std::string_view rootName,
                   const KxCString& kind, XmlDocument& document);

// Whether the run may write files: false, saying so in the log, once there
// are errors.
bool readyToWrite(GeneratorRun& run);

struct DataClassFiles {
    DataClassOptions options;
    bool html = false;
    KxCString docsFolder;  // below the output directory: "docs/datatypes" or "docs"
    KxCString docsDir;     // another directory for copies of the pages; empty for none
    KxCString incDir;      // another directory for copies of the headers; empty for none
    bool sample = false;   // a sample program, main.cpp, that reads and writes a document
};

// Writes orvoruntime.h with its parts, a class (and, when asked, a
// marshaller) per data type, and their documentation pages.
void writeDataClasses(const Schema& schema, const DataClassFiles& files, OutputWriter& output);

// Writes the makefile and the developer-studio files the settings ask for,
// listing the C++ files written so far; with servlets, built against the
// servlet API (see servletApiInclude), and with a run port, "make run"
// serves them in kxcontainer at that port.
void writeBuildFiles(const Settings& settings, const KxCString& projectName,
                     const KxCString& compilerKey, const KxCString& tool, BuildProject::Kind kind,
                     OutputWriter& output, Diagnostics& diagnostics, bool servlets = false,
                     const KxCString& runPort = {});

// The kxcontainer beside the generator's own program.
KxCString containerProgram();

// Where the servlet API that servlets of a project build against lives:
// KX_INCLUDE_DIR and KX_LIB_DIR when set, else this build's source tree and
// the library folder beside the generator's own.
KxCString servletApiInclude();
KxCString servletApiLib();

// The project name: the settings' one, else fallback (made into an
// identifier when it could not stand in a makefile or as a file name), else
// "project".
KxCString projectNameOf(const Settings& settings, const KxCString& fallback);

}  // namespace kx::gen
