#pragma once
// The C++ and HTML the generators make for the data classes of a schema:
// one class per complex type with fields, getters and setters, and XML
// serialization (in the class, or in a separate <Class>Marshaller), the
// support header orvoruntime.h they use, and a documentation page per class.
#include <functional>

#include "generators/common/Schema.h"

namespace kx::gen {

inline constexpr const char* kRuntimeHeader = "orvoruntime.h";

// The text of orvoruntime.h.
const KxCString& runtimeHeaderText();

struct CodeOrigin {
    KxCString tool;   // the generator's name
    KxCString input;  // the input file's name as given
};

// The first line of every generated C++ file.
KxCString generatedComment(const CodeOrigin& origin, const KxCString& fileName);

struct DataClassOptions {
    CodeOrigin origin;
    // Serialization goes into <Class>Marshaller instead of the class.
    bool externalMarshaller = false;
};

KxCString dataClassHeader(const DataType& type, const DataClassOptions& options);
KxCString dataClassSource(const DataType& type, const DataClassOptions& options);
KxCString marshallerHeader(const DataType& type, const DataClassOptions& options);
KxCString marshallerSource(const DataType& type, const DataClassOptions& options);

// The C++ parameter form of a type: scalars by value, the rest by const
// reference.
KxCString parameterType(const KxCString& cppType, bool isClass);

// A documentation page for a data class. classLink(name) gives the link to
// another class's page.
KxCString dataTypeHtml(const DataType& type, const CodeOrigin& origin, bool externalMarshaller,
                       const std::function<KxCString(const KxCString&)>& classLink,
                       const KxCString& indexLink);

// The start and end of an HTML page with that title.
KxCString htmlPageStart(const KxCString& title);
KxCString htmlPageEnd(const CodeOrigin& origin);

}  // namespace kx::gen
