#pragma once
// The part of XML Schema the generators turn into C++: named complex types,
// global elements (with a named type or an anonymous complex type), and the
// elements and attributes inside a complex type's sequence, all or choice,
// with complexContent and simpleContent extensions. Simple types map to
// C++ scalars or std::string; each complex type becomes a data class.
//
// Type names are matched by their local name (the XML reader drops
// namespace declarations): the schema's own types first, then the XML
// Schema built-in types. A "xsd:" or "xs:" prefix names the built-in type
// first.
#include <map>
#include <optional>
#include <vector>

#include "generators/common/Diagnostics.h"
#include "platform/xml/KxXmlTree.h"

namespace kx::gen {

// One field of a data class.
struct Field {
    KxCString xmlName;   // element or attribute name; empty for text content
    KxCString member;    // the C++ name, unique within its class
    KxCString typeName;  // the schema type as written (for documentation)
    KxCString cppType;   // the scalar C++ type, or the data class
    bool isClass = false;
    bool isAttribute = false;
    bool isText = false;  // the element's own text (simpleContent)
    bool optional = false;
    bool repeated = false;
    bool pointer = false;    // closes a cycle of data classes: held by shared_ptr
    KxCString defaultValue;  // for string attributes with a default or fixed value
    Location at;
};

struct DataType {
    KxCString xmlName;         // the complex type's name, or the element's
    KxCString className;       // a C++ identifier, unique among the classes
    KxCString defaultElement;  // the element name toXml writes by default
    KxCString documentation;
    KxCString baseName;        // the type it extends, when it does
    bool fromElement = false;  // an element's anonymous type
    std::vector<Field> fields;
    Location at;
    const XmlElement* node = nullptr;  // the complexType element
};

// How a schema type or element is held in C++.
struct TypeUse {
    KxCString cppType;
    bool isClass = false;
};

struct GlobalElement {
    KxCString name;
    KxCString typeName;        // as written; empty for an anonymous type
    KxCString anonymousClass;  // the class made for an anonymous complex type
    Location at;
};

class Schema {
  public:
    Schema(SourceFile source, Diagnostics& diagnostics);

    // Takes in the declarations of one <schema> element; the element must
    // outlive the schema.
    void add(const XmlElement& schema);

    // Works out the fields of every data class, reporting types and elements
    // that are not defined.
    void resolve();

    const std::vector<DataType>& types() const { return types_; }
    const std::vector<GlobalElement>& elements() const { return elements_; }
    const KxCString& targetNamespace() const { return targetNamespace_; }

    // The C++ form of a type name, or nothing when it is not defined.
    std::optional<TypeUse> typeUse(const KxCString& qname) const;
    // The C++ form of a global element's content, or nothing when the
    // element (or its type) is not defined.
    std::optional<TypeUse> elementUse(const KxCString& qname) const;

  private:
    KxCString uniqueClassName(const KxCString& wanted);
    void addDataType(DataType type);
    void resolveType(std::size_t index);
    void collect(const XmlElement& content, std::size_t index, bool inChoice);
    void addElementField(const XmlElement& element, std::size_t index, bool inChoice);
    void addAttributeField(const XmlElement& attribute, std::size_t index);
    void extend(const XmlElement& extension, std::size_t index, bool simpleContent);
    void addField(std::size_t index, Field field);
    void markCycles();
    std::optional<TypeUse> simpleTypeUse(const XmlElement& simpleType, int depth) const;
    std::optional<TypeUse> typeUse(const KxCString& qname, int depth) const;

    SourceFile source_;
    Diagnostics& diagnostics_;
    KxCString targetNamespace_;
    std::vector<DataType> types_;
    std::vector<GlobalElement> elements_;
    std::map<KxCString, std::size_t> complexTypes_;  // type name -> index in types_
    std::map<KxCString, const XmlElement*> simpleTypes_;
    std::map<KxCString, std::size_t> classNames_;
    std::vector<int> state_;  // per type: 0 not resolved, 1 resolving, 2 resolved
};

// The C++ type of an XML Schema built-in type (by local name), or nullptr.
const char* builtinCppType(const KxCString& localTypeName);

// The text of a <annotation><documentation> child, trimmed; empty without.
KxCString documentationOf(const XmlElement& element);

}  // namespace kx::gen
