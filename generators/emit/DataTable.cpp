// The XML functions of a class whose fields all fit a field table
// (orvofields.h): the table, and bodies that hand it to the runtime's
// reading and writing. Such a class compiles to its members, the table as
// data, one function that finds a field in the object by its index, and
// XML functions that are each a call.
#include <algorithm>

#include "generators/emit/DataClassWriter.h"
#include "generators/emit/DataCode.h"
#include "generators/emit/DataCodeParts.h"
#include "generators/emit/DataWildcards.h"
#include "generators/support/Text.h"

namespace kx::gen::data_code {

namespace {

// Whether the table reads and writes the field as the generated code would:
// an attribute, the text content or an element outside groups and choices,
// held as it is, in a std::optional or a std::vector, with no check the
// table does not make (facets, list items, union members, fixed values).
bool fitsTable(const Field& field) {
    if (field.isWildcard || field.isAnyAttribute || field.isTextPieces || field.anyContent ||
        field.pointer || field.nillable || field.group >= 0 || !field.alternatives.empty()) {
        return false;
    }
    if (field.isClass) {
        return !field.isAttribute && !field.isText;
    }
    return field.simple.listItem.empty() && field.simple.unionMembers.empty() &&
           field.fixedValue.empty() && checkFacets(field.simple, "at", "text").empty();
}

const char* kindOf(const Field& field) {
    return field.isAttribute ? "Attribute" : field.isText ? "Text" : "Element";
}

// A field that fits the table is held in a std::vector when repeated, in a
// std::optional when optional, else as it is.
const char* occursOf(const Field& field) {
    return field.repeated ? "Many" : field.optional ? "Optional" : "One";
}

KxCString opsOf(const Schema& schema, const FieldModel& field, bool external) {
    if (!field.field->isClass) {
        return "&orvo::simpleField<" + field.storedType + ">";
    }
    if (!external) {
        return "&orvo::classField<" + field.storedType + ">";
    }
    const DataType& held = schema.types()[static_cast<std::size_t>(field.field->classIndex)];
    return "&orvo::marshalledField<" + field.storedType + ", " + qualifiedClassName(held) +
           "Marshaller>";
}

KxCString entryOf(const Schema& schema, const FieldModel& field, bool external) {
    const Field& schemaField = *field.field;
    return "        {orvo::FieldEntry::Kind::" + KxCString(kindOf(schemaField)) +
           ", orvo::FieldEntry::Occurs::" + occursOf(schemaField) + ", " +
           std::to_string(schemaField.repeated ? schemaField.minOccurs : 0) + ", " +
           literalNames(schemaField.xml) + ", " + cppLiteral(schemaField.xml.shown()) + ", " +
           opsOf(schema, field, external) + "},\n";
}

// Whether the class has a field of its own that the test holds for.
template <class Test>
bool has(const ClassModel& model, Test test) {
    return std::any_of(model.type->fields.begin(), model.type->fields.end(), test);
}

}  // namespace

bool tableDriven(const ClassModel& model) {
    const std::vector<Field>& fields = model.type->fields;
    return !fields.empty() && std::all_of(fields.begin(), fields.end(), fitsTable);
}

// The table: the fields, and xmlField(), the one function that finds a field
// in the object by its index (one for the class, not one per field, since
// functions are what costs most to compile).
KxCString fieldTableBody(const Schema& schema, const ClassModel& model, bool external) {
    KxCString body = "    static constexpr orvo::FieldEntry fields[] = {\n";
    for (const FieldModel& field : model.fields) {
        body += entryOf(schema, field, external);
    }
    return body + "    };\n    return {fields, sizeof fields / sizeof fields[0], &xmlField};\n";
}

KxCString fieldLookupBody(const ClassModel& model) {
    KxCString body = "    " + model.name + "& self = *static_cast<" + model.name +
                     "*>(object);\n    switch (index) {\n";
    std::size_t index = 0;
    for (const FieldModel& field : model.fields) {
        body += "    case " + std::to_string(index++) + ":\n        return &self." + field.member +
                ";\n";
    }
    return body + "    }\n    return nullptr;\n";
}

bool leanClass(const ClassModel& model) {
    return tableDriven(model) && model.base == nullptr && model.derivedTypes.empty() &&
           !model.typed && !model.holdsDerived;
}

XmlFunctionBodies tableBodies(const ClassModel& model, bool external) {
    const KxCString object = external ? "&object" : "this";
    const auto call = [&](bool applies, const KxCString& function, const KxCString& arguments) {
        return applies
                   ? "    orvo::" + function + "(" + arguments + ", " + object + ", xmlFields());\n"
                   : KxCString();
    };
    const bool attributes = has(model, [](const Field& field) { return field.isAttribute; });
    const bool text = has(model, [](const Field& field) { return field.isText; });
    const bool elements =
        has(model, [](const Field& field) { return !field.isAttribute && !field.isText; });
    XmlFunctionBodies bodies;
    bodies.writeAttributes = call(attributes, "writeFieldAttributes", "out");
    bodies.writeContent = call(elements || text, "writeFieldContent", "out");
    // After them, what the base's open attributes must give back (those
    // this class declares).
    bodies.readAttributes =
        call(attributes || text, "readFieldAttributes", "element") + readOpenAttributes(model);
    bodies.readContent = elements ? "    return orvo::readFieldElements(element, child, " + object +
                                        ", xmlFields());\n"
                                  : "    return child;\n";
    return bodies;
}

}  // namespace kx::gen::data_code
