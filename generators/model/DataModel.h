#pragma once
// The code model of the data classes: what the templates of
// generators/templates/data write, worked out once from the schema model.
// Every C++ name a data class file uses (the class, its accessors and
// members, the stored types, the headers it includes and the classes it
// declares ahead) is decided here; the schema has already made each XML
// name into a unique identifier (Schema::resolve), and the writers only lay
// the names out.
#include <algorithm>
#include <vector>

#include "generators/schema/Schema.h"

namespace kx::gen {

// One alternative of a repeated choice: a member of the item struct.
struct AlternativeModel {
    const Field* field = nullptr;
    KxCString member;      // the item struct's member
    KxCString storedType;  // std::optional<T>, or std::shared_ptr<T> for a cycle
    KxCString xmlForm;     // "element {ns}name"
};

struct FieldModel {
    const Field* field = nullptr;
    KxCString name;             // the field's C++ name: "name"
    KxCString accessor;         // after get/set/add: "Name"
    KxCString member;           // the data member: "name_"
    KxCString valueType;        // one value: the C++ type of the schema type
    KxCString itemType;         // one item: the value, held by pointer or as an optional
    KxCString storedType;       // what the class stores
    bool storedScalar = false;  // passed and returned by value, initialised with {}
    bool repeated = false;
    bool textPieces = false;  // mixed content's text: get<Accessor>Text() joins the pieces
    KxCString xmlForm;        // what the field is in XML, for comments and pages
    KxCString occurs;         // "optional", "zero or more", ", nillable", ", default x"
    // The value an absent optional field stands for (its default or fixed
    // value); empty when there is none or the field is not optional.
    KxCString preset;
    KxCString heldClass;  // the class name of a class field, for links
    // A repeated choice: the item struct (unqualified) and its members.
    KxCString itemStruct;
    std::vector<AlternativeModel> alternatives;
    // A single value of a union: its member types' C++ types ("int, Colour")
    // and names as written, for get<Accessor>Member(); empty otherwise.
    KxCString unionMembers;
    KxCString unionNames;
    bool unionOptional = false;  // held as a std::optional
};

struct ForwardDeclaration {
    KxCString cppNamespace;  // empty for the global one
    KxCString className;
    bool operator<(const ForwardDeclaration& other) const {
        return cppNamespace != other.cppNamespace ? cppNamespace < other.cppNamespace
                                                  : className < other.className;
    }
};

struct ClassModel {
    const DataType* type = nullptr;
    KxCString name;           // the class
    KxCString qualifiedName;  // "::ns::Class"
    KxCString marshaller;     // "ClassMarshaller"
    KxCString cppNamespace;
    const DataType* base = nullptr;
    KxCString baseName;                    // the base class, unqualified; empty without
    KxCString baseQualifiedName;           // "::ns::Base"
    std::vector<const DataType*> lineage;  // the bases and the type, base first
    // The data class headers the declaration needs (base, classes held by
    // value, enumerations), the ones the source adds for classes held by
    // pointer, and the marshallers a marshaller's source calls: class names,
    // sorted, without ".h".
    std::vector<KxCString> headerIncludes;
    std::vector<KxCString> sourceIncludes;
    std::vector<KxCString> marshallerIncludes;
    std::vector<ForwardDeclaration> forwardDeclarations;
    std::vector<FieldModel> fields;
    bool hasAttributes = false;
    // The named types that extend this one, directly or through others: an
    // element declared with this type may name one of them with xsi:type.
    std::vector<const ClassModel*> derivedTypes;
    // Whether the class is the first of its line of bases with derived
    // types, which holds the object of a derived type read for it.
    bool holdsDerived = false;
    // Whether an element may name the class with xsi:type where one of its
    // bases is declared (a named type with a base).
    bool typed = false;
    // Whether missingFields() can report anything below an object of the
    // class: a field of its own, or of its base or of a class it holds, that
    // can be told unset. The walk goes only into the held classes that can
    // (their type indices, sorted), so that the classes that never report
    // anything compile no walk.
    bool canMiss = true;
    std::vector<int> walkedClasses;
    bool walks(int classIndex) const {
        return std::binary_search(walkedClasses.begin(), walkedClasses.end(), classIndex);
    }
};

struct EnumModel {
    const EnumType* type = nullptr;
    KxCString name;
    KxCString cppNamespace;
    struct Value {
        KxCString enumerator;
        KxCString text;  // as written in XML
    };
    std::vector<Value> values;
};

// A global element of a class type: the sample program reads and writes it.
struct RootModel {
    const GlobalElement* element = nullptr;
    const ClassModel* type = nullptr;
};

struct DataModel {
    std::vector<ClassModel> classes;  // as Schema::types(), index for index
    std::vector<EnumModel> enums;     // as Schema::enums()
    std::vector<RootModel> roots;
};

DataModel buildDataModel(const Schema& schema);
// Sets canMiss and walkedClasses of every class (DataMissable.cpp).
void markMissable(const Schema& schema, DataModel& model);

// The C++ types of a union's member types, as template arguments.
KxCString unionMemberList(const SimpleKind& kind);

// The global elements of class types that a lax or strict wildcard reads
// into their classes besides its tree: the ones of its namespaces, abstract
// ones aside, at most kMaxKnownElements (past that, none).
inline constexpr std::size_t kMaxKnownElements = 200;
std::vector<const GlobalElement*> knownElements(const Schema& schema, const Wildcard& wildcard);

// Naming rules the model and the other writers share.

// The fully qualified C++ name of a data class ("::ns::Class").
KxCString qualifiedClassName(const DataType& type);
// Whether values of the simple kind are passed by value.
bool isScalarKind(const SimpleKind& kind);
// The C++ parameter form of a type: scalars by value, the rest by const
// reference.
KxCString parameterType(const KxCString& cppType, bool isScalar);

}  // namespace kx::gen
