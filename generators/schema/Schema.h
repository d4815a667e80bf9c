#pragma once
// The part of XML Schema the generators turn into C++, read from one or more
// schema documents: a schema file with what it includes and imports, or the
// schemas in a WSDL's types. Names are qualified: every type, element and
// attribute has its namespace, worked out from the prefixes in scope where
// the name is written, the target namespace and the form rules.
//
// Complex types and global elements with an anonymous complex type become
// data classes; simple types with enumerations on a string become C++ enums;
// the built-in types map to C++ types that keep their values (see
// builtinType). What is not supported is reported as a warning at its line.
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "generators/support/Diagnostics.h"
#include "platform/xml/KxXmlTree.h"
#include "platform/xml/KxXsdSamples.h"

namespace kx::gen {

inline constexpr const char* kXsdNamespace = "http://www.w3.org/2001/XMLSchema";

struct QName {
    KxCString ns;  // empty for no namespace
    KxCString local;

    bool operator==(const QName& other) const = default;
    bool operator<(const QName& other) const {
        return ns != other.ns ? ns < other.ns : local < other.local;
    }
    // "{ns}local", or "local" without namespace: for messages and documentation.
    KxCString shown() const { return ns.empty() ? local : "{" + ns + "}" + local; }
};

// The facets reading checks a simple value against besides its type.
struct Facets {
    // One entry per restriction, each its patterns joined as alternatives:
    // a value matches every entry.
    std::vector<KxCString> patterns;
    std::optional<std::size_t> minLength;
    std::optional<std::size_t> maxLength;
    std::optional<std::size_t> totalDigits;
    std::optional<std::size_t> fractionDigits;
    KxCString whiteSpace;  // a restriction's own rule, else empty

    bool empty() const {
        return patterns.empty() && !minLength && !maxLength && !totalDigits && !fractionDigits;
    }
};

// How the values of a simple type are held in C++.
struct SimpleKind {
    KxCString cppType = "std::string";
    KxCString xsdType = "string";  // the built-in type it rests on
    int enumIndex = -1;            // into Schema::enums() for an enumeration
    KxCString listItem;            // for a list: the C++ type its items are checked against
    int listItemEnum = -1;         // for a list of an enumeration: into Schema::enums()
    // For a union: its member types, in order, which a value read must fit
    // one of (empty when one cannot be told), and their names as written.
    std::vector<SimpleKind> unionMembers;
    std::vector<KxCString> unionNames;
    // The range facets of a restriction (and of the restrictions it rests
    // on): the sample values keep within them.
    XsdRange range;
    Facets facets;
};

struct EnumValue {
    KxCString text;        // the value in XML
    KxCString enumerator;  // the C++ name
};

struct EnumType {
    QName name;  // the simple type's name, or the name made for an anonymous one
    KxCString className;
    KxCString cppNamespace;
    KxCString documentation;
    std::vector<EnumValue> values;
    Location at;
};

// A choice or all inside a complex type: its fields are read as a group.
struct FieldGroup {
    enum class Kind { Choice, All };
    Kind kind = Kind::Choice;
    bool optional = false;
    bool repeated = false;
    // A choice holding a sequence or another choice: its fields are read
    // while the children are theirs, not as one element.
    bool nested = false;
};

// The namespaces a wildcard (xsd:any, xsd:anyAttribute) takes.
struct Wildcard {
    bool anyNamespace = true;  // ##any
    // With anyNamespace false: the namespaces it takes ("" for none), or,
    // with except (##other), the ones it does not.
    bool except = false;
    std::vector<KxCString> namespaces;
    KxCString processContents = "strict";
};

// One field of a data class.
struct Field {
    QName xml;           // the element or attribute; empty local for text content
    KxCString member;    // the C++ name, unique within its class and bases
    KxCString typeName;  // the schema type as written (for documentation)
    KxCString cppType;   // the C++ value type (classes and enums fully qualified)
    bool isClass = false;
    int classIndex = -1;
    SimpleKind simple;  // for a simple value
    bool isAttribute = false;
    bool isText = false;  // the element's own text (simple content)
    bool optional = false;
    bool repeated = false;
    std::size_t minOccurs = 1;  // of a repeated element
    bool nillable = false;
    bool pointer = false;    // closes a cycle of data classes: held by shared_ptr
    KxCString defaultValue;  // an attribute's default
    KxCString fixedValue;    // an attribute's fixed value
    int group = -1;          // into DataType::groups
    // Content the schema leaves open, kept as it stands: the elements of
    // an xsd:any (orvo::AnyElement), the attributes of an xsd:anyAttribute
    // (orvo::AnyAttribute), or the text pieces of mixed content.
    bool isWildcard = false;
    bool isAnyAttribute = false;
    bool isTextPieces = false;
    // An element of xsd:anyType: its attributes, text and child elements
    // kept as they stand (orvo::AnyElement), under the field's own name.
    bool anyContent = false;
    Wildcard wildcard;
    // A repeated choice: a list of items in document order, each holding
    // one of these alternatives.
    std::vector<Field> alternatives;
    Location at;
};

struct DataType {
    QName name;  // the complex type's name, or the element's
    KxCString className;
    KxCString cppNamespace;
    QName defaultElement;  // the element toXml writes
    KxCString documentation;
    int baseIndex = -1;  // the data class it extends
    KxCString baseName;  // the base type as written
    bool fromElement = false;
    std::vector<Field> fields;  // its own; the base's stay in the base
    std::vector<FieldGroup> groups;
    Location at;
    SourceFile source;
};

// How a schema type or element is held in C++.
struct TypeUse {
    KxCString cppType;
    bool isClass = false;
    int classIndex = -1;
    SimpleKind simple;
};

struct GlobalElement {
    QName name;
    KxCString typeName;  // as written; empty for an anonymous type
    std::optional<TypeUse> use;
    bool nillable = false;
    bool abstract = false;      // stands only for the members of its substitution group
    std::optional<QName> head;  // the substitution group it is a member of
    Location at;
};

class Schema {
  public:
    explicit Schema(Diagnostics& diagnostics);
    ~Schema();
    Schema(const Schema&) = delete;
    Schema& operator=(const Schema&) = delete;

    // Reads a schema file and, through include and import, the files it
    // names (each once). Files that cannot be read or are not schemas are
    // errors naming them.
    void load(const SourceFile& file);
    // Takes in a schema element of a document already read (a WSDL's types),
    // which must outlive the schema; includes and imports it names are read
    // relative to source.
    void add(const XmlElement& schema, const SourceFile& source);
    // Holds a document whose schema elements are added with add() for as
    // long as the schema lives (a WSDL file imported by another).
    const XmlDocument& keep(XmlDocument document);

    // Works out the classes, enums and fields, reporting what is not
    // defined or not supported.
    void resolve();

    const std::vector<DataType>& types() const { return types_; }
    const std::vector<EnumType>& enums() const { return enums_; }
    const std::vector<GlobalElement>& elements() const { return elements_; }
    // The target namespaces met, in the order met.
    const std::vector<KxCString>& targetNamespaces() const { return targetNamespaces_; }
    // The prefix the schemas use for a namespace; empty when none.
    KxCString preferredPrefix(const KxCString& ns) const;

    // The name a QName text stands for where it is written.
    std::optional<QName> resolveName(const XmlElement& at, const KxCString& text) const;
    // The C++ form of a named type (after resolve), or nothing when it is
    // not defined.
    std::optional<TypeUse> typeUse(const QName& name) const;
    const GlobalElement* element(const QName& name) const;
    // The elements that may stand where the global element name is referred
    // to: itself unless abstract, then the members of its substitution group
    // and of theirs, in the order declared.
    std::vector<QName> substitutes(const QName& name) const;

  private:
    struct Document;  // one schema element with its settings
    struct Declaration {
        const XmlElement* node = nullptr;
        const Document* document = nullptr;
    };

    // Marks the file as read; false when it was read already.
    bool markLoaded(const KxCString& path);
    void loadFile(const SourceFile& file, const KxCString& chameleonNamespace,
                  const SourceFile* from, Location at);
    void addSchema(const XmlElement& schema, const SourceFile& source,
                   const KxCString& chameleonNamespace);
    // Reads the file an include or import names, once.
    void follow(const XmlElement& child, const Document& document);
    void declareTopLevel(const XmlElement& child, const Document& document);
    std::optional<QName> nameIn(const Document& document, const XmlElement& at,
                                const KxCString& text, bool report) const;
    KxCString uniqueClassName(const KxCString& wanted);
    int addDataType(DataType type, const XmlElement* node, const Document* document);
    void resolveType(int index);
    void collect(const XmlElement& content, int index, const Document& document, int group,
                 bool optional, bool repeated);
    void addElementField(const XmlElement& element, int index, const Document& document, int group,
                         bool optional, bool repeated);
    void keepBaseContent(const XmlElement& restriction, int index, int baseIndex);
    void collectModelGroup(const XmlElement& child, int index, const Document& document, int group,
                           bool optional, bool repeated);
    void collectGroupReference(const XmlElement& child, int index, const Document& document,
                               int group, bool optional, bool repeated);
    std::optional<TypeUse> referencedElement(const XmlElement& element, const KxCString& ref,
                                             int index, const Document& document, int group,
                                             bool optional, bool repeated, Field& field);
    void addAttributeField(const XmlElement& attribute, int index, const Document& document);
    // Marks the choice `group` as one that may be empty when a particle in it
    // has minOccurs 0.
    void emptiableInGroup(int index, int group, std::size_t minOccurs);
    // The declaration an attribute of the type owner stands for (itself, or
    // the global one it refers to), with the attribute's name; nothing when
    // it is not kept (reported).
    std::optional<Declaration> attributeDeclaration(const XmlElement& attribute,
                                                    const Document& document, const QName& owner,
                                                    QName& name);
    // The fields of open content (SchemaWildcards.cpp).
    void addWildcardField(const XmlElement& any, int index, const Document& document, int group,
                          bool optional, bool repeated);
    void addInlineSchemaField(const XmlElement& ref, int index, const Document& document, int group,
                              bool optional, bool repeated);
    void addAnyAttributeField(const XmlElement& anyAttribute, int index, const Document& document);
    void addMixedContent(int index, const XmlElement& at);
    // A reference to the head of a substitution group: one field for each
    // element that may stand there, as the alternatives of a choice.
    void addSubstitutionField(const XmlElement& element, int index, int group, bool optional,
                              bool repeated, const std::vector<QName>& candidates);
    // The fields added to a type since `before` made the alternatives of
    // one field holding a list of items, added in their place.
    void gatherAlternatives(int index, std::size_t before, int group, std::size_t minOccurs,
                            const KxCString& member, const KxCString& typeName, Location at);
    // A repeated choice, sequence or group: one field holding a list of
    // items in document order, each one of the elements it allows.
    void addRepeatedGroup(const XmlElement& content, int index, const Document& document,
                          std::size_t minOccurs, const KxCString& member);
    void derive(const XmlElement& derivation, int index, const Document& document,
                bool simpleContent);
    void addField(int index, Field field);
    std::optional<TypeUse> useOfType(const QName& name, int depth);
    void addUnionMembers(const XmlElement& union_, const Document& document, const QName& enumName,
                         int depth, SimpleKind& kind);
    void applyFacets(const XmlElement& restriction, SimpleKind& kind, const Document& document);
    TypeUse useOfListOrUnion(const XmlElement& simpleType, const Document& document,
                             const QName& enumName, int depth);
    std::optional<TypeUse> useOfSimpleType(const XmlElement& simpleType, const Document& document,
                                           const QName& enumName, int depth);
    std::optional<TypeUse> useOfElement(const XmlElement& element, const Document& document,
                                        const KxCString& nestedClassName, int depth);
    int enumFor(const QName& name, const XmlElement& simpleType, const XmlElement& restriction,
                const Document& document);
    void markCycles();
    void addClassesOfTypes();
    void addGlobalElements();
    void warn(const KxCString& message, const Document& document, const XmlElement& at);
    void fail(const KxCString& message, const Document& document, const XmlElement& at);

    Diagnostics& diagnostics_;
    std::deque<XmlDocument> files_;  // the schema files read
    std::deque<Document> documents_;
    // The files read, by device and inode (by full path when they cannot be
    // looked at), so that a file reached again through a link or another
    // spelling of its folder is read once.
    std::set<std::pair<std::uintmax_t, std::uintmax_t>> loadedFiles_;
    std::set<KxCString> loadedPaths_;
    std::size_t loadedCount_ = 0;
    std::size_t bytesRead_ = 0;  // of all schema files read, against kMaxSchemaBytes
    std::vector<KxCString> targetNamespaces_;
    std::map<KxCString, KxCString> prefixes_;
    std::map<QName, Declaration> complexTypes_;
    std::map<QName, Declaration> simpleTypes_;
    std::map<QName, Declaration> elementDeclarations_;
    std::map<QName, Declaration> attributes_;
    std::map<QName, Declaration> groups_;
    std::map<QName, Declaration> attributeGroups_;
    std::vector<DataType> types_;
    std::vector<const XmlElement*> typeNodes_;
    std::vector<const Document*> typeDocuments_;
    std::vector<int> state_;  // per type: 0 not resolved, 1 resolving, 2 resolved
    std::map<QName, int> classOfType_;
    std::map<QName, int> enumOfType_;
    std::vector<EnumType> enums_;
    // Named simple types worked out (nothing: not defined, reported).
    std::map<QName, std::optional<TypeUse>> simpleUses_;
    std::vector<GlobalElement> elements_;
    std::map<QName, std::vector<QName>> members_;  // of each substitution group's head
    std::map<KxCString, int> classNames_;
    // Global complex types ('c') and elements ('e') in the order declared.
    std::vector<std::pair<char, QName>> order_;
    struct PendingImport {
        KxCString ns;
        const Document* document = nullptr;
        const XmlElement* at = nullptr;
        KxCString url;  // the schemaLocation not fetched, if it named one
    };
    // Imports without a schemaLocation, or whose schemaLocation is a URL.
    std::vector<PendingImport> pendingImports_;
    int groupDepth_ = 0;
    bool resolved_ = false;
};

// The C++ form of an XML Schema built-in type (by local name), or nothing.
std::optional<SimpleKind> builtinType(const KxCString& localTypeName);

// The C++ namespace for a target namespace: its words (letters and digits)
// joined by '_' in lower case, without the scheme ("http", "https", "urn")
// and a leading "www"; a leading digit gets "x_" and a keyword a trailing
// '_'. Empty for no namespace.
KxCString cppNamespaceFor(const KxCString& targetNamespace);

// The text of a <annotation><documentation> child, trimmed; empty without.
KxCString documentationOf(const XmlElement& element);

}  // namespace kx::gen
