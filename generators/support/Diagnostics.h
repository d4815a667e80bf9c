#pragma once
// The errors and warnings of one generator run, and errors.xml, the file in
// which the wizard's status page finds them. errors.xml holds one element per
// diagnostic and no root element:
//
//   <Error><message>text</message><location line="12" column="7">
//     <publicId>input name as given</publicId><systemId>full path</systemId>
//   </location></Error>
//
// (on one line each; <Warning> has the same shape). Every part but the
// message is left out when unknown.
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/xml/KxXmlTree.h"

namespace kx::gen {

// A position in a file, 1-based; 0 when unknown: the one the XML tree gives.
using Location = XmlLocation;

// A file named in diagnostics: as the user gave it, and its full path.
struct SourceFile {
    KxCString name;
    KxCString path;

    // The file as given, with its full path worked out from the current
    // directory.
    static SourceFile named(const KxCString& name);
};

enum class Severity { Error, Warning };

struct Diagnostic {
    Severity severity = Severity::Error;
    KxCString message;
    Location at;
    KxCString publicId;
    KxCString systemId;
};

class Diagnostics {
  public:
    void error(KxCString message) { add(Severity::Error, std::move(message), {}, nullptr); }
    void error(KxCString message, const SourceFile& file, Location at = {}) {
        add(Severity::Error, std::move(message), at, &file);
    }
    void warning(KxCString message) { add(Severity::Warning, std::move(message), {}, nullptr); }
    void warning(KxCString message, const SourceFile& file, Location at = {}) {
        add(Severity::Warning, std::move(message), at, &file);
    }

    std::size_t errorCount() const;
    std::size_t warningCount() const;
    const std::vector<Diagnostic>& all() const { return diagnostics_; }

  private:
    void add(Severity severity, KxCString message, Location at, const SourceFile* file);

    std::vector<Diagnostic> diagnostics_;
};

// One diagnostic as an errors.xml element, without a line break.
KxCString toErrorXml(const Diagnostic& diagnostic);
// The content of errors.xml: every diagnostic on a line of its own; empty
// when there are none.
KxCString toErrorFile(const Diagnostics& diagnostics);
// One diagnostic for the human log: "error: file:line:column: message".
KxCString toLogLine(const Diagnostic& diagnostic);

}  // namespace kx::gen
