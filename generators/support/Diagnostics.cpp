#include "generators/support/Diagnostics.h"

#include <algorithm>

#include "generators/support/Text.h"

namespace kx::gen {

SourceFile SourceFile::named(const KxCString& name) {
    return SourceFile{name, fullPath(name)};
}

void Diagnostics::add(Severity severity, KxCString message, Location at, const SourceFile* file) {
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.message = std::move(message);
    diagnostic.at = at;
    if (file != nullptr) {
        diagnostic.publicId = file->name;
        diagnostic.systemId = file->path;
    }
    diagnostics_.push_back(std::move(diagnostic));
}

std::size_t Diagnostics::errorCount() const {
    return static_cast<std::size_t>(
        std::count_if(diagnostics_.begin(), diagnostics_.end(),
                      [](const Diagnostic& d) { return d.severity == Severity::Error; }));
}

std::size_t Diagnostics::warningCount() const {
    return diagnostics_.size() - errorCount();
}

KxCString toErrorXml(const Diagnostic& diagnostic) {
    const char* element = diagnostic.severity == Severity::Error ? "Error" : "Warning";
    KxCString xml =
        KxCString("<") + element + "><message>" + xmlEscape(diagnostic.message) + "</message>";
    const bool located = diagnostic.at.line > 0 || diagnostic.at.column > 0 ||
                         !diagnostic.publicId.empty() || !diagnostic.systemId.empty();
    if (located) {
        xml += "<location";
        if (diagnostic.at.line > 0) {
            xml += " line=\"" + std::to_string(diagnostic.at.line) + "\"";
        }
        if (diagnostic.at.column > 0) {
            xml += " column=\"" + std::to_string(diagnostic.at.column) + "\"";
        }
        xml += ">";
        if (!diagnostic.publicId.empty()) {
            xml += "<publicId>" + xmlEscape(diagnostic.publicId) + "</publicId>";
        }
        if (!diagnostic.systemId.empty()) {
            xml += "<systemId>" + xmlEscape(diagnostic.systemId) + "</systemId>";
        }
        xml += "</location>";
    }
    xml += KxCString("</") + element + ">";
    return xml;
}

KxCString toErrorFile(const Diagnostics& diagnostics) {
    KxCString text;
    for (const Diagnostic& diagnostic : diagnostics.all()) {
        text += toErrorXml(diagnostic) + "\n";
    }
    return text;
}

KxCString toLogLine(const Diagnostic& diagnostic) {
    KxCString line = diagnostic.severity == Severity::Error ? "error: " : "warning: ";
    if (!diagnostic.publicId.empty()) {
        line += diagnostic.publicId;
        if (diagnostic.at.line > 0) {
            line += ":" + std::to_string(diagnostic.at.line);
            if (diagnostic.at.column > 0) {
                line += ":" + std::to_string(diagnostic.at.column);
            }
        }
        line += ": ";
    }
    return line + shownValue(diagnostic.message);
}

}  // namespace kx::gen
