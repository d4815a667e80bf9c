#pragma once
// The C++ and HTML the generators make for the data classes of a schema:
// one class per complex type with fields, accessors and XML reading and
// writing (in the class, or in a separate <Class>Marshaller), a header per
// enumeration, the support header orvoruntime.h they use, a sample program,
// and a documentation page per class.
#include <functional>
#include <utility>
#include <vector>

#include "generators/emit/RuntimeHeaders.h"
#include "generators/schema/Schema.h"

namespace kx::gen {

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
    // The prefixes toXml declares its namespaces with: (prefix, namespace).
    std::vector<std::pair<KxCString, KxCString>> prefixes;
};

// The types and the classes' files: the fully qualified C++ name of a data
// class, and the statement that writes a value of it.
KxCString dataClassHeader(const Schema& schema, const DataType& type,
                          const DataClassOptions& options);
KxCString dataClassSource(const Schema& schema, const DataType& type,
                          const DataClassOptions& options);
KxCString marshallerHeader(const Schema& schema, const DataType& type,
                           const DataClassOptions& options);
KxCString marshallerSource(const Schema& schema, const DataType& type,
                           const DataClassOptions& options);
KxCString enumHeader(const EnumType& type, const DataClassOptions& options);

// A program that reads an instance document of one of the schema's global
// elements, named on its command line, and writes it back out.
KxCString sampleProgram(const Schema& schema, const DataClassOptions& options);

// An element's namespace and local name as two C++ string literals, the
// arguments the runtime takes a name as ("\"urn:x\", \"item\"").
KxCString literalNames(const QName& name);

// The fully qualified C++ name of a data class ("::ns::Class").
KxCString qualifiedClassName(const DataType& type);

// The statement (without indentation) that writes a value of a data class
// as the element {ns}local to the orvo::Writer `out`, and the one that reads
// it from the orvo::Element `from` into `target`.
KxCString writeObjectStatement(const DataType& type, const KxCString& value, const QName& element,
                               bool externalMarshaller);
KxCString readObjectStatement(const DataType& type, const KxCString& from, const KxCString& target,
                              bool externalMarshaller);

// The C++ parameter form of a type: scalars by value, the rest by const
// reference.
KxCString parameterType(const KxCString& cppType, bool isScalar);
// Whether values of the simple kind are passed by value.
bool isScalarKind(const SimpleKind& kind);

// A documentation page for a data class. classLink(name) gives the link to
// another class's page.
KxCString dataTypeHtml(const Schema& schema, const DataType& type, const CodeOrigin& origin,
                       bool externalMarshaller,
                       const std::function<KxCString(const KxCString&)>& classLink,
                       const KxCString& indexLink);

// The start and end of an HTML page with that title.
KxCString htmlPageStart(const KxCString& title);
KxCString htmlPageEnd(const CodeOrigin& origin);

}  // namespace kx::gen
