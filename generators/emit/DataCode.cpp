#include "generators/emit/DataCode.h"

#include <algorithm>

#include "generators/emit/DataClassWriter.h"
#include "generators/emit/DataCodeParts.h"
#include "generators/emit/DataWildcards.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace data_code {

const DataType& classOf(const Schema& schema, const Field& field) {
    return schema.types()[static_cast<std::size_t>(field.classIndex)];
}

// What the model made of a field of the class.
const FieldModel& fieldModel(const ClassModel& model, const Field& field) {
    for (const FieldModel& named : model.fields) {
        if (named.field == &field) {
            return named;
        }
    }
    throw std::logic_error("the field " + field.member + " is not one of " + model.name);
}

// The accessor name the model gave a field of the class.
const KxCString& accessor(const ClassModel& model, const Field& field) {
    return fieldModel(model, field).accessor;
}

// Whether an item is a nillable value held as an optional (empty for nil).
bool nilAsEmpty(const Field& field) {
    return field.nillable && !field.pointer;
}

// ---- Writing ---------------------------------------------------------------

// The text of a value of the field: a QName's prefix is bound where it is
// written, so the writer takes part.
KxCString textOf(const Field& field, const KxCString& value) {
    return field.simple.xsdType == "QName" ? "orvo::toText(out, " + value + ")"
                                           : "orvo::toText(" + value + ")";
}

// The statements that write one value of an element field, given as an
// expression of its item type.
KxCString writeItem(const Schema& schema, const Field& field, const KxCString& value,
                    const KxCString& indent, bool external) {
    const KxCString names = literalNames(field.xml);
    if (field.pointer) {
        return indent + "if (" + value + ") {\n" + indent + "    " +
               writeObjectStatement(classOf(schema, field), "(*" + value + ")", field.xml,
                                    external) +
               "\n" + indent + "}\n";
    }
    const KxCString present = nilAsEmpty(field) ? "(*" + value + ")" : value;
    KxCString write;
    if (field.isClass) {
        write = writeObjectStatement(classOf(schema, field), present, field.xml, external) + "\n";
    } else if (field.anyContent) {
        write = "orvo::writeAnyAs(out, " + present + ", " + names + ");\n";
    } else {
        write = "out.start(" + names + ");\n" + indent + "out.text(" + textOf(field, present) +
                ");\n" + indent + "out.end();\n";
    }
    if (!nilAsEmpty(field)) {
        return indent + write;
    }
    KxCString nested = write;
    for (std::size_t at = nested.find('\n'); at + 1 < nested.size();
         at = nested.find('\n', at + 1)) {
        nested.insert(at + 1, "    ");
    }
    return indent + "if (" + value + ") {\n" + indent + "    " + nested + indent + "} else {\n" +
           indent + "    out.start(" + names + ");\n" + indent + "    out.nil();\n" + indent +
           "    out.end();\n" + indent + "}\n";
}

KxCString writeAttributesBody(const ClassModel& model) {
    KxCString body;
    for (const Field& field : model.type->fields) {
        if (!field.isAttribute) {
            continue;
        }
        const KxCString getter = "object.get" + accessor(model, field) + "()";
        const KxCString names = literalNames(field.xml);
        if (field.optional) {
            body += "    if (" + getter + ") {\n        out.attribute(" + names + ", " +
                    textOf(field, "*" + getter) + ");\n    }\n";
        } else {
            body += "    out.attribute(" + names + ", " + textOf(field, getter) + ");\n";
        }
    }
    return body + writeOpenAttributes(model);
}

KxCString writeContentBody(const Schema& schema, const ClassModel& model, bool external) {
    KxCString body;
    for (const Field& field : model.type->fields) {
        if (field.isAttribute || field.isAnyAttribute || field.isTextPieces) {
            continue;
        }
        const KxCString getter = "object.get" + accessor(model, field) + "()";
        if (field.isWildcard) {
            body += writeWildcard(model, field);
        } else if (field.isText) {
            body += "    out.text(" + textOf(field, getter) + ");\n";
        } else if (!field.alternatives.empty()) {
            body += "    for (const auto& item : " + getter + ") {\n";
            for (const Field& alternative : field.alternatives) {
                const KxCString member = "item." + alternative.member;
                body += alternative.isWildcard
                            ? "        if (" + member + ") {\n            orvo::writeAny(out, *" +
                                  member + ");\n        }\n"
                        : alternative.pointer
                            ? writeItem(schema, alternative, member, "        ", external)
                            : "        if (" + member + ") {\n" +
                                  writeItem(schema, alternative, "(*" + member + ")",
                                            "            ", external) +
                                  "        }\n";
            }
            body += "    }\n";
        } else if (field.repeated) {
            body += "    for (const auto& item : " + getter + ") {\n" +
                    writeItem(schema, field, "item", "        ", external) + "    }\n";
        } else if (field.optional && !field.pointer) {
            body += "    if (" + getter + ") {\n" +
                    writeItem(schema, field, "(*" + getter + ")", "        ", external) + "    }\n";
        } else {
            body += writeItem(schema, field, getter, "    ", external);
        }
    }
    return body;
}

// ---- Reading ---------------------------------------------------------------

// The check of a list value's items, when it has items of a checked type,
// or of a union's value against its member types.
KxCString checkList(const Field& field, const KxCString& at, const KxCString& value) {
    if (!field.simple.unionMembers.empty()) {
        return " orvo::checkUnion<" + unionMemberList(field.simple) + ">(" + at + ", " + value +
               ");";
    }
    return field.simple.listItem.empty()
               ? KxCString()
               : " orvo::checkListItems<" + field.simple.listItem + ">(" + at + ", " + value + ");";
}

// Statements that read one value of an element field from the element
// `child` into a new variable `value` of its item type.
KxCString readItem(const Schema& schema, const Field& field, const KxCString& indent,
                   bool external) {
    if (field.isWildcard) {
        return indent + "auto value = orvo::readAny(child);\n" +
               readKnownElements(schema, field.wildcard, "value", indent, external);
    }
    if (field.pointer) {
        return indent + "auto value = std::make_shared<" + field.cppType + ">();\n" + indent +
               readObjectStatement(classOf(schema, field), "child", "(*value)", external) + "\n";
    }
    const auto readInto = [&](const KxCString& target) {
        if (field.isClass) {
            return readObjectStatement(classOf(schema, field), "child", target, external);
        }
        if (field.anyContent) {
            return target + " = orvo::readAny(child);";
        }
        return "orvo::readValue(child, child.text(), " + target + ");" +
               checkList(field, "child", target) +
               checkFacets(field.simple, "child", "child.text()");
    };
    const KxCString declaration =
        field.cppType + (field.isClass ? " " : " ") + "%" + (field.isClass ? ";" : "{};");
    const auto declare = [&](const KxCString& name) {
        KxCString text = declaration;
        text.replace(text.find('%'), 1, name);
        return text;
    };
    if (nilAsEmpty(field)) {
        return indent + "std::optional<" + field.cppType + "> value;\n" + indent +
               "if (!child.isNil()) {\n" + indent + "    " + declare("read") + "\n" + indent +
               "    " + readInto("read") + "\n" + indent + "    value = std::move(read);\n" +
               indent + "}\n";
    }
    return indent + declare("value") + "\n" + indent + readInto("value") + "\n";
}

KxCString storeItem(const ClassModel& model, const Field& field) {
    return (field.repeated ? "object.add" : "object.set") + accessor(model, field) +
           "(std::move(value));";
}

// Statements that read one value of an element field from `child` and store
// it in the object. An object held by value or in a std::optional or
// std::vector is read where it is kept, so that it is not built aside and
// moved in (which would make every source that reads it compile the moves
// of its whole tree).
KxCString readAndStore(const Schema& schema, const ClassModel& model, const Field& field,
                       const KxCString& indent, bool external) {
    if (field.isClass && !field.pointer && !nilAsEmpty(field)) {
        const KxCString member = "object." + fieldModel(model, field).member;
        const KxCString target = field.repeated   ? member + ".emplace_back()"
                                 : field.optional ? member + ".emplace()"
                                                  : member;
        return indent + readObjectStatement(classOf(schema, field), "child", target, external) +
               "\n";
    }
    return readItem(schema, field, indent, external) + indent + storeItem(model, field) + "\n";
}

// Escaped for the inside of a C++ string literal.
KxCString inLiteral(const KxCString& text) {
    const KxCString literal = cppLiteral(text);
    return literal.substr(1, literal.size() - 2);
}

// The statements that read an attribute field.
KxCString readAttribute(const ClassModel& model, const Field& field) {
    KxCString body = "    if (element.attribute(" + literalNames(field.xml) + ", text)) {\n";
    body += "        " + field.cppType + " value{};\n";
    body += "        orvo::readValue(element, text, value);" +
            checkList(field, "element", "value") +
            checkFacets(field.simple, "element", "text", field.xml.local) + "\n";
    if (!field.fixedValue.empty()) {
        body += "        if (orvo::toText(value) != orvo::toText(orvo::fromText<" + field.cppType +
                ">(" + cppLiteral(field.fixedValue) +
                "))) {\n"
                "            element.fail(\"the attribute " +
                inLiteral(field.xml.local) + " holds '\" + text + \"', not its fixed value " +
                inLiteral(field.fixedValue) + "\");\n        }\n";
    }
    body += "        " + storeItem(model, field) + "\n    }";
    if (!field.optional) {
        body +=
            " else {\n        element.fail(\"the element \" + element.qualifiedName() + \" "
            "lacks its attribute " +
            inLiteral(field.xml.shown()) + "\");\n    }";
    }
    return body + "\n";
}

KxCString isChild(const Field& field) {
    return "child && child.is(" + literalNames(field.xml) + ")";
}

// The statements that read an element field outside a group: its items
// while they come, an optional one, or the one that must come.
KxCString readElement(const Schema& schema, const ClassModel& model, const Field& field,
                      bool external) {
    if (field.repeated) {
        KxCString body = "    {\n        std::size_t count = 0;\n        while (" + isChild(field) +
                         ") {\n" + readAndStore(schema, model, field, "            ", external) +
                         "            child = child.nextSibling();\n            ++count;\n"
                         "        }\n";
        if (field.minOccurs > 0) {
            body += "        if (count < " + std::to_string(field.minOccurs) +
                    ") {\n            orvo::lacksChild(element, child, \"" +
                    inLiteral(field.xml.shown()) + "\");\n        }\n";
        }
        return body + "    }\n";
    }
    if (field.optional) {
        return "    if (" + isChild(field) + ") {\n" +
               readAndStore(schema, model, field, "        ", external) +
               "        child = child.nextSibling();\n    }\n";
    }
    return "    if (!(" + isChild(field) + ")) {\n        orvo::lacksChild(element, child, \"" +
           inLiteral(field.xml.shown()) + "\");\n    }\n    {\n" +
           readAndStore(schema, model, field, "        ", external) +
           "    }\n    child = child.nextSibling();\n";
}

KxCString readContentBody(const Schema& schema, const ClassModel& model, bool external) {
    const DataType& type = *model.type;
    KxCString body;
    for (std::size_t index = 0; index < type.fields.size();) {
        const Field& field = type.fields[index];
        if (field.isAttribute || field.isText || field.isAnyAttribute || field.isTextPieces) {
            ++index;
            continue;
        }
        if (field.isWildcard) {
            body += readWildcard(schema, model, index, external);
            ++index;
        } else if (!field.alternatives.empty()) {
            body += readChoiceList(schema, model, field, external);
            ++index;
        } else if (field.group >= 0) {
            body += readGroup(schema, model, index, external);
        } else {
            body += readElement(schema, model, field, external);
            ++index;
        }
    }
    return body;
}

KxCString readTextBody(const ClassModel& model) {
    for (const Field& field : model.type->fields) {
        if (field.isText) {
            const KxCString read = "orvo::readValue(element, element.text(), value);" +
                                   checkList(field, "element", "value") +
                                   checkFacets(field.simple, "element", "element.text()");
            return "    {\n        " + field.cppType + " value{};\n        " + read + "\n        " +
                   storeItem(model, field) + "\n    }\n";
        }
    }
    return {};
}

// A function's body with what comes before it: `object` named for a member
// function that uses it, and the parameters the body does not use marked
// as such, so that the generated code compiles without warnings.
KxCString withPrologue(const ClassModel& model, bool external, bool constant, const KxCString& body,
                       const char* parameter) {
    const auto uses = [&](const KxCString& word) {
        return body.find(word + ".") != KxCString::npos ||
               body.find("&" + word) != KxCString::npos ||
               body.find("(" + word) != KxCString::npos ||
               body.find(", " + word) != KxCString::npos ||
               body.find("*" + word) != KxCString::npos;
    };
    KxCString text;
    if (uses("object")) {
        if (!external) {
            text +=
                "    " + KxCString(constant ? "const " : "") + model.name + "& object = *this;\n";
        }
    } else if (external) {
        text += "    (void)object;\n";
    }
    if (!uses(parameter)) {
        text += "    (void)" + KxCString(parameter) + ";\n";
    }
    return text + body;
}

// The call of the base class's function of that name, or nothing without
// a base.
KxCString baseCall(const ClassModel& model, bool external, const KxCString& function,
                   const KxCString& arguments) {
    if (model.base == nullptr) {
        return {};
    }
    return model.baseQualifiedName + (external ? "Marshaller::" : "::") + function + "(" +
           arguments + (external ? ", object" : "") + ")";
}

}  // namespace data_code

using namespace data_code;

namespace {

// The bodies of the class's own part of the four functions, fields read and
// written by generated statements.
XmlFunctionBodies statementBodies(const Schema& schema, const ClassModel& model, bool external) {
    XmlFunctionBodies bodies;
    bodies.writeAttributes = writeAttributesBody(model);
    bodies.writeContent = writeContentBody(schema, model, external);
    if (model.hasAttributes) {
        bodies.readAttributes += "    std::string text;\n";
        for (const Field& field : model.type->fields) {
            if (field.isAttribute) {
                bodies.readAttributes += readAttribute(model, field);
            }
        }
    }
    bodies.readAttributes += readTextBody(model) + readOpenAttributes(model);
    bodies.readContent = readContentBody(schema, model, external) + "    return child;\n";
    return bodies;
}

// The call of the base class's function first, or nothing without a base.
KxCString baseFirst(const ClassModel& model, bool external, const char* function,
                    const char* arguments, const char* assigned = "") {
    const KxCString call = baseCall(model, external, function, arguments);
    return call.empty() ? KxCString() : "    " + KxCString(assigned) + call + ";\n";
}

}  // namespace

XmlFunctionBodies xmlFunctionBodies(const Schema& schema, const ClassModel& model, bool external) {
    const bool table = tableDriven(model);
    XmlFunctionBodies own =
        table ? tableBodies(model, external) : statementBodies(schema, model, external);
    XmlFunctionBodies bodies;
    bodies.writeAttributes = withPrologue(
        model, external, true,
        baseFirst(model, external, "writeAttributes", "out") + own.writeAttributes, "out");
    bodies.writeContent =
        withPrologue(model, external, true,
                     baseFirst(model, external, "writeContent", "out") + own.writeContent, "out");
    bodies.readAttributes = withPrologue(
        model, external, false,
        baseFirst(model, external, "readAttributes", "element") + own.readAttributes, "element");
    bodies.readContent = withPrologue(
        model, external, false,
        baseFirst(model, external, "readContent", "element, child", "child = ") + own.readContent,
        "element");
    if (table) {
        bodies.fieldTable = fieldTableBody(schema, model, external);
        bodies.fieldLookup = fieldLookupBody(model);
    }
    return bodies;
}

}  // namespace kx::gen
