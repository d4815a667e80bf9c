#pragma once
// The C++ and HTML the generators make for the data classes of a schema:
// one class per complex type with fields, accessors and XML reading and
// writing (in the class, or in a separate <Class>Marshaller), a header per
// enumeration, the support header orvoruntime.h they use, a sample program,
// and a documentation page per class.
#include <utility>
#include <vector>

#include "generators/emit/RuntimeHeaders.h"
#include "generators/model/DataModel.h"

namespace kx::gen {

struct CodeOrigin {
    KxCString tool;   // the generator's name
    KxCString input;  // the input file's name as given
};

struct DataClassOptions {
    CodeOrigin origin;
    // Serialization goes into <Class>Marshaller instead of the class.
    bool externalMarshaller = false;
    // The prefixes toXml declares its namespaces with: (prefix, namespace).
    std::vector<std::pair<KxCString, KxCString>> prefixes;
};

// The files of the data classes, rendered from the templates of
// templates/data over the model built once from the schema.
KxCString dataClassHeader(const ClassModel& type, const DataClassOptions& options);
KxCString dataClassSource(const Schema& schema, const ClassModel& type,
                          const DataClassOptions& options);
KxCString marshallerHeader(const ClassModel& type, const DataClassOptions& options);
KxCString marshallerSource(const Schema& schema, const ClassModel& type,
                           const DataClassOptions& options);
// A source that includes the data-class sources parts (file names), which
// the makefile compiles as one translation unit.
KxCString sourceGroup(const std::vector<KxCString>& parts, const DataClassOptions& options,
                      const KxCString& fileName);
KxCString enumHeader(const EnumModel& type, const DataClassOptions& options);

// A program that reads an instance document of one of the schema's global
// elements, named on its command line, and writes it back out.
KxCString sampleProgram(const DataModel& model, const DataClassOptions& options);

// An element's namespace and local name as two C++ string literals, the
// arguments the runtime takes a name as ("\"urn:x\", \"item\"").
KxCString literalNames(const QName& name);

// The statement (without indentation) that writes a value of a data class
// as the element {ns}local to the orvo::Writer `out`, and the one that reads
// it from the orvo::Element `from` into `target`.
KxCString writeObjectStatement(const DataType& type, const KxCString& value, const QName& element,
                               bool externalMarshaller);
KxCString readObjectStatement(const DataType& type, const KxCString& from, const KxCString& target,
                              bool externalMarshaller);

// The documentation page of a data class, which links to the overview
// page indexLink and to the pages of the classes it names (<Class>.html
// beside it).
KxCString dataTypeHtml(const ClassModel& type, const CodeOrigin& origin, bool externalMarshaller,
                       const KxCString& indexLink);

// bindgen's overview page of the schema's classes and global elements.
KxCString dataIndexHtml(const Schema& schema, const KxCString& title, const CodeOrigin& origin);

}  // namespace kx::gen
