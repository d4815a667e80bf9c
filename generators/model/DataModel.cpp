#include "generators/model/DataModel.h"

#include <algorithm>
#include <set>

#include "generators/support/Text.h"

namespace kx::gen {

bool isScalarKind(const SimpleKind& kind) {
    static const std::set<KxCString> kScalars = {"bool",          "std::int8_t",   "std::int16_t",
                                                 "std::int32_t",  "std::int64_t",  "std::uint8_t",
                                                 "std::uint16_t", "std::uint32_t", "std::uint64_t",
                                                 "float",         "double"};
    return kind.enumIndex >= 0 || kScalars.count(kind.cppType) != 0;
}

KxCString parameterType(const KxCString& cppType, bool isScalar) {
    return isScalar ? cppType : "const " + cppType + "&";
}

KxCString qualifiedClassName(const DataType& type) {
    return type.cppNamespace.empty() ? "::" + type.className
                                     : "::" + type.cppNamespace + "::" + type.className;
}

namespace {

// The type of one value of the field: a class held by pointer, a nillable
// element as an optional, or the value itself.
KxCString itemTypeOf(const Field& field) {
    if (field.pointer) {
        return "std::shared_ptr<" + field.cppType + ">";
    }
    if (field.nillable) {
        return "std::optional<" + field.cppType + ">";
    }
    return field.cppType;
}

KxCString storedTypeOf(const Field& field) {
    if (field.repeated) {
        return "std::vector<" + itemTypeOf(field) + ">";
    }
    if (field.optional && !field.pointer) {
        return "std::optional<" + itemTypeOf(field) + ">";
    }
    return itemTypeOf(field);
}

// The namespaces a wildcard takes, for comments and pages.
KxCString namespacesOf(const Wildcard& wildcard) {
    if (wildcard.anyNamespace) {
        return "any namespace";
    }
    KxCString names;
    for (const KxCString& ns : wildcard.namespaces) {
        names += (names.empty() ? "" : ", ") + (ns.empty() ? KxCString("no namespace") : ns);
    }
    return (wildcard.except ? "a namespace other than " : "the namespaces ") + names;
}

KxCString xmlFormOf(const Field& field) {
    if (field.isText) {
        return "the element's text";
    }
    if (field.isTextPieces) {
        return "the text pieces of mixed content: one before each child element and one after "
               "the last";
    }
    if (field.isWildcard) {
        return "any element of " + namespacesOf(field.wildcard) + " (" +
               field.wildcard.processContents + "), as it stands";
    }
    if (field.isAnyAttribute) {
        return "the attributes of " + namespacesOf(field.wildcard) + " the type does not declare";
    }
    if (!field.alternatives.empty()) {
        KxCString names;
        for (const Field& alternative : field.alternatives) {
            names += (names.empty() ? "" : ", ") +
                     (alternative.isWildcard ? xmlFormOf(alternative) : alternative.xml.shown());
        }
        return "a choice of " + names + ", in document order";
    }
    return (field.isAttribute ? "attribute " : "element ") + field.xml.shown();
}

KxCString occursOf(const Field& field) {
    KxCString text;
    if (field.repeated) {
        text = field.minOccurs == 0 ? "zero or more" : std::to_string(field.minOccurs) + " or more";
    } else {
        text = field.optional ? "optional" : "required";
    }
    if (field.nillable) {
        text += ", nillable";
    }
    if (!field.defaultValue.empty()) {
        text += ", default " + field.defaultValue;
    }
    if (!field.fixedValue.empty()) {
        text += ", fixed " + field.fixedValue;
    }
    return text;
}

const DataType& typeAt(const Schema& schema, int index) {
    return schema.types()[static_cast<std::size_t>(index)];
}

FieldModel fieldModel(const Schema& schema, const Field& field) {
    FieldModel model;
    model.field = &field;
    model.name = field.member;
    model.accessor = upperFirst(field.member);
    model.member = field.member + "_";
    model.valueType = field.cppType;
    model.itemType = itemTypeOf(field);
    model.storedType = storedTypeOf(field);
    model.storedScalar = !field.isClass && !field.repeated && !field.optional && !field.nillable &&
                         isScalarKind(field.simple);
    model.repeated = field.repeated;
    model.textPieces = field.isTextPieces;
    model.xmlForm = xmlFormOf(field);
    model.occurs = occursOf(field);
    const KxCString& preset = field.defaultValue.empty() ? field.fixedValue : field.defaultValue;
    if (field.optional && !field.repeated) {
        model.preset = preset;
    }
    if (field.isClass) {
        model.heldClass = typeAt(schema, field.classIndex).className;
    }
    if (!field.simple.unionMembers.empty() && !model.repeated &&
        (model.storedType == "std::string" || model.storedType == "std::optional<std::string>")) {
        model.unionMembers = unionMemberList(field.simple);
        for (const KxCString& name : field.simple.unionNames) {
            model.unionNames += (model.unionNames.empty() ? "" : ", ") + name;
        }
        model.unionOptional = model.storedType != "std::string";
    }
    if (!field.alternatives.empty()) {
        model.itemStruct = field.cppType.substr(field.cppType.rfind("::") + 2);
        for (const Field& alternative : field.alternatives) {
            model.alternatives.push_back({&alternative, alternative.member,
                                          storedTypeOf(alternative), xmlFormOf(alternative)});
        }
    }
    return model;
}

// The fields of a type and the alternatives of its repeated choices.
std::vector<const Field*> withAlternatives(const DataType& type) {
    std::vector<const Field*> all;
    for (const Field& field : type.fields) {
        all.push_back(&field);
        for (const Field& alternative : field.alternatives) {
            all.push_back(&alternative);
        }
    }
    return all;
}

// The classes of the known elements of the type's lax and strict
// wildcards, which its source reads them into.
void addKnownElements(const Schema& schema, const DataType& type, std::set<KxCString>& source) {
    for (const Field* field : withAlternatives(type)) {
        if (field->isWildcard && !field->isAnyAttribute) {
            for (const GlobalElement* element : knownElements(schema, field->wildcard)) {
                source.insert(typeAt(schema, element->use->classIndex).className);
            }
        }
    }
}

void addDependencies(const Schema& schema, const DataType& type, ClassModel& model) {
    std::set<KxCString> header;
    std::set<KxCString> source;
    std::set<KxCString> marshallers;
    std::set<ForwardDeclaration> forward;
    if (type.baseIndex >= 0) {
        header.insert(typeAt(schema, type.baseIndex).className);
        marshallers.insert(typeAt(schema, type.baseIndex).className);
    }
    for (const Field* field : withAlternatives(type)) {
        if (field->isClass) {
            const DataType& held = typeAt(schema, field->classIndex);
            marshallers.insert(held.className);
            if (field->pointer) {
                source.insert(held.className);
                forward.insert({held.cppNamespace, held.className});
            } else if (&held != &type) {
                header.insert(held.className);
            }
        }
        if (field->simple.enumIndex >= 0) {
            header.insert(
                schema.enums()[static_cast<std::size_t>(field->simple.enumIndex)].className);
        }
        // The items of a list of an enumeration, and a union's value against
        // the enumerations among its members, are checked in the source.
        if (field->simple.listItemEnum >= 0) {
            source.insert(
                schema.enums()[static_cast<std::size_t>(field->simple.listItemEnum)].className);
        }
        for (const SimpleKind& member : field->simple.unionMembers) {
            if (member.enumIndex >= 0) {
                source.insert(schema.enums()[static_cast<std::size_t>(member.enumIndex)].className);
            }
        }
    }
    std::set<KxCString> known;
    addKnownElements(schema, type, known);
    source.insert(known.begin(), known.end());
    marshallers.insert(known.begin(), known.end());
    marshallers.erase(type.className);
    model.headerIncludes.assign(header.begin(), header.end());
    model.sourceIncludes.assign(source.begin(), source.end());
    model.marshallerIncludes.assign(marshallers.begin(), marshallers.end());
    model.forwardDeclarations.assign(forward.begin(), forward.end());
}

ClassModel classModel(const Schema& schema, const DataType& type) {
    ClassModel model;
    model.type = &type;
    model.name = type.className;
    model.qualifiedName = qualifiedClassName(type);
    model.marshaller = type.className + "Marshaller";
    model.cppNamespace = type.cppNamespace;
    if (type.baseIndex >= 0) {
        model.base = &typeAt(schema, type.baseIndex);
        model.baseName = model.base->className;
        model.baseQualifiedName = qualifiedClassName(*model.base);
    }
    // A base chain that came back to a type would be a fault of the schema
    // model; the bound keeps the walk finite regardless.
    for (const DataType* at = &type; at != nullptr && model.lineage.size() <= schema.types().size();
         at = at->baseIndex >= 0 ? &typeAt(schema, at->baseIndex) : nullptr) {
        model.lineage.insert(model.lineage.begin(), at);
    }
    addDependencies(schema, type, model);
    for (const Field& field : type.fields) {
        model.fields.push_back(fieldModel(schema, field));
        model.hasAttributes = model.hasAttributes || field.isAttribute;
    }
    return model;
}

// Gives each class the named types that extend it, and the base of each
// line the object they are read into; the base classes' sources include the
// derived classes' headers to read them.
void addDerivedTypes(const Schema& schema, DataModel& model) {
    for (ClassModel& derived : model.classes) {
        derived.typed = derived.base != nullptr && !derived.type->fromElement;
        if (!derived.typed) {
            continue;
        }
        // lineage holds the bases first and the class itself last.
        for (std::size_t at = 0; at + 1 < derived.lineage.size(); ++at) {
            const auto index =
                static_cast<std::size_t>(derived.lineage[at] - schema.types().data());
            ClassModel& base = model.classes[index];
            base.derivedTypes.push_back(&derived);
            base.sourceIncludes.push_back(derived.name);
            base.marshallerIncludes.push_back(derived.name);
        }
        model.classes[static_cast<std::size_t>(derived.lineage.front() - schema.types().data())]
            .holdsDerived = true;
    }
    for (ClassModel& type : model.classes) {
        for (std::vector<KxCString>* names : {&type.sourceIncludes, &type.marshallerIncludes}) {
            std::sort(names->begin(), names->end());
            names->erase(std::unique(names->begin(), names->end()), names->end());
        }
    }
}

bool takesNamespace(const Wildcard& wildcard, const KxCString& ns) {
    if (wildcard.anyNamespace) {
        return true;
    }
    const bool listed = std::find(wildcard.namespaces.begin(), wildcard.namespaces.end(), ns) !=
                        wildcard.namespaces.end();
    return listed != wildcard.except;
}

}  // namespace

KxCString unionMemberList(const SimpleKind& kind) {
    KxCString list;
    for (const SimpleKind& member : kind.unionMembers) {
        list += (list.empty() ? "" : ", ") + member.cppType;
    }
    return list;
}

std::vector<const GlobalElement*> knownElements(const Schema& schema, const Wildcard& wildcard) {
    std::vector<const GlobalElement*> known;
    if (wildcard.processContents == "skip") {
        return known;
    }
    for (const GlobalElement& element : schema.elements()) {
        if (element.use && element.use->isClass && !element.abstract &&
            takesNamespace(wildcard, element.name.ns)) {
            known.push_back(&element);
        }
    }
    if (known.size() > kMaxKnownElements) {
        known.clear();
    }
    return known;
}

DataModel buildDataModel(const Schema& schema) {
    DataModel model;
    for (const DataType& type : schema.types()) {
        model.classes.push_back(classModel(schema, type));
    }
    addDerivedTypes(schema, model);
    markMissable(schema, model);
    for (const EnumType& type : schema.enums()) {
        EnumModel& added = model.enums.emplace_back();
        added.type = &type;
        added.name = type.className;
        added.cppNamespace = type.cppNamespace;
        for (const EnumValue& value : type.values) {
            added.values.push_back({value.enumerator, value.text});
        }
    }
    for (const GlobalElement& element : schema.elements()) {
        if (element.use && element.use->isClass) {
            model.roots.push_back(
                {&element, &model.classes[static_cast<std::size_t>(element.use->classIndex)]});
        }
    }
    return model;
}

}  // namespace kx::gen
