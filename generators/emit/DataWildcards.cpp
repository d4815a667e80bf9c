#include "generators/emit/DataWildcards.h"

#include <stdexcept>

#include "generators/emit/DataClassWriter.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

const KxCString& accessorOf(const ClassModel& model, const Field& field) {
    for (const FieldModel& named : model.fields) {
        if (named.field == &field) {
            return named.accessor;
        }
    }
    throw std::logic_error("the field " + field.member + " is not one of " + model.name);
}

KxCString getter(const ClassModel& model, const Field& field) {
    return "object.get" + accessorOf(model, field) + "()";
}

// A test of a namespace (the expression ns) against the wildcard's; empty
// when it takes every namespace.
KxCString namespaceTest(const Wildcard& wildcard, const KxCString& ns) {
    if (wildcard.anyNamespace) {
        return {};
    }
    KxCString list;
    for (const KxCString& name : wildcard.namespaces) {
        list += (list.empty() ? "" : ", ") + cppLiteral(name);
    }
    return KxCString(wildcard.except ? "!" : "") + "orvo::inNamespaces(" + ns + ", {" + list + "})";
}

// What a wildcard takes, for the message when it lacks an element.
KxCString describedWildcard(const Wildcard& wildcard) {
    if (wildcard.anyNamespace) {
        return "(any element)";
    }
    KxCString names;
    for (const KxCString& ns : wildcard.namespaces) {
        names += (names.empty() ? "" : " ") + (ns.empty() ? KxCString("(no namespace)") : ns);
    }
    return KxCString("(an element ") + (wildcard.except ? "not of " : "of ") + names + ")";
}

// The test that the element `child` is one of the elements declared after
// the field at fields[index]: the wildcard leaves those to their fields.
KxCString declaredAfter(const DataType& type, std::size_t index) {
    KxCString known;
    const auto add = [&known](const Field& field) {
        known +=
            (known.empty() ? "" : " || ") + KxCString("child.is(") + literalNames(field.xml) + ")";
    };
    for (std::size_t at = index + 1; at < type.fields.size(); ++at) {
        const Field& field = type.fields[at];
        if (field.isAttribute || field.isText || isOpenField(field)) {
            continue;
        }
        if (field.alternatives.empty()) {
            add(field);
        }
        for (const Field& alternative : field.alternatives) {
            if (!alternative.isWildcard) {
                add(alternative);
            }
        }
    }
    return known;
}

// Whether the attribute (ns, name) is one the class or its bases declare.
KxCString declaredAttributeTest(const ClassModel& model) {
    KxCString test = "ns == orvo::kXsiNamespace";
    for (const DataType* part : model.lineage) {
        for (const Field& field : part->fields) {
            if (field.isAttribute) {
                test += " ||\n            (ns == " + cppLiteral(field.xml.ns) +
                        " && name == " + cppLiteral(field.xml.local) + ")";
            }
        }
    }
    return test;
}

}  // namespace

bool isOpenField(const Field& field) {
    return field.isWildcard || field.isAnyAttribute || field.isTextPieces;
}

KxCString writeOpenAttributes(const ClassModel& model) {
    KxCString body;
    for (const Field& field : model.type->fields) {
        if (field.isAnyAttribute) {
            body += "    orvo::writeAnyAttributes(out, " + getter(model, field) + ");\n";
        } else if (field.isTextPieces) {
            body += "    out.mixedText(" + getter(model, field) + ");\n";
        }
    }
    return body;
}

KxCString writeWildcard(const ClassModel& model, const Field& field) {
    const KxCString value = getter(model, field);
    if (field.repeated) {
        return "    for (const auto& item : " + value +
               ") {\n        orvo::writeAny(out, item);\n    }\n";
    }
    if (field.optional) {
        return "    if (" + value + ") {\n        orvo::writeAny(out, *" + value + ");\n    }\n";
    }
    return "    orvo::writeAny(out, " + value + ");\n";
}

// For a class whose base keeps the other attributes: the statement that
// takes back out of the base's list the attributes this class declares.
KxCString declaredAfterBase(const ClassModel& model) {
    const Field* kept = nullptr;
    for (const DataType* part : model.lineage) {
        for (const Field& field : part->fields) {
            kept = part != model.type && field.isAnyAttribute ? &field : kept;
        }
    }
    KxCString test;
    for (const Field& field : model.type->fields) {
        if (field.isAttribute) {
            test += (test.empty() ? "" : " ||\n                   ") + KxCString("(a.ns == ") +
                    cppLiteral(field.xml.ns) + " && a.name == " + cppLiteral(field.xml.local) + ")";
        }
    }
    if (kept == nullptr || test.empty()) {
        return {};
    }
    return "    {\n        auto& kept = object.get" + upperFirst(kept->member) +
           "();\n        kept.erase(std::remove_if(kept.begin(), kept.end(),\n"
           "                                  [](const orvo::AnyAttribute& a) {\n"
           "                                      return " +
           test +
           ";\n                                  }),\n                   kept.end());\n    }\n";
}

KxCString readOpenAttributes(const ClassModel& model) {
    KxCString body = declaredAfterBase(model);
    for (const Field& field : model.type->fields) {
        if (field.isTextPieces) {
            body += "    object.set" + accessorOf(model, field) + "(element.textPieces());\n";
        }
        if (!field.isAnyAttribute) {
            continue;
        }
        KxCString test = namespaceTest(field.wildcard, "ns");
        test = test.empty() || test[0] != '!' ? "!" + test : test.substr(1);
        body +=
            "    element.forEachAttribute([&object](std::string ns, std::string name, "
            "std::string value) {\n        if (" +
            declaredAttributeTest(model) + (test == "!" ? "" : " ||\n            " + test) +
            ") {\n            return;\n        }\n        object.add" + accessorOf(model, field) +
            "({std::move(ns), std::move(name), std::move(value)});\n    });\n";
    }
    return body;
}

KxCString takesAlternative(const DataType& type, std::size_t index, const Field& alternative) {
    KxCString takes = "child";
    if (const KxCString test = namespaceTest(alternative.wildcard, "child.namespaceUri()");
        !test.empty()) {
        takes += " && " + test;
    }
    if (const KxCString after = declaredAfter(type, index); !after.empty()) {
        takes += " && !(" + after + ")";
    }
    return takes;
}

KxCString readKnownElements(const Schema& schema, const Wildcard& wildcard, const KxCString& target,
                            const KxCString& indent, bool external) {
    KxCString body;
    for (const GlobalElement* element : knownElements(schema, wildcard)) {
        const KxCString type =
            qualifiedClassName(schema.types()[static_cast<std::size_t>(element->use->classIndex)]);
        const KxCString read = external ? type + "Marshaller::readXml(e, o);" : "o.readXml(e);";
        body += indent + (body.empty() ? "" : "} else ") + "if (child.is(" +
                literalNames(element->name) + ")) {\n" + indent + "    orvo::readKnown<" + type +
                ">(child, " + target + ", [](const orvo::Element& e, " + type + "& o) { " + read +
                " });\n";
    }
    return body.empty() ? body : body + indent + "}\n";
}

KxCString readWildcard(const Schema& schema, const ClassModel& model, std::size_t index,
                       bool external) {
    const Field& field = model.type->fields[index];
    KxCString takes = "child";
    if (const KxCString test = namespaceTest(field.wildcard, "child.namespaceUri()");
        !test.empty()) {
        takes += " && " + test;
    }
    if (const KxCString after = declaredAfter(*model.type, index); !after.empty()) {
        takes += " && !(" + after + ")";
    }
    const KxCString setter =
        "object." + KxCString(field.repeated ? "add" : "set") + accessorOf(model, field);
    const KxCString known =
        readKnownElements(schema, field.wildcard, "value", "            ", external);
    const KxCString store = known.empty()
                                ? setter + "(orvo::readAny(child));\n"
                                : "{\n            auto value = orvo::readAny(child);\n" + known +
                                      "            " + setter + "(std::move(value));\n        }\n";
    const KxCString lacks = "orvo::lacksChild(element, child, " +
                            cppLiteral(describedWildcard(field.wildcard)) + ");\n";
    if (field.repeated) {
        KxCString body = "    {\n        std::size_t count = 0;\n        while (" + takes +
                         ") {\n            " + store +
                         "            child = child.nextSibling();\n            ++count;\n"
                         "        }\n";
        if (field.minOccurs > 0) {
            body += "        if (count < " + std::to_string(field.minOccurs) + ") {\n            " +
                    lacks + "        }\n";
        }
        return body + "    }\n";
    }
    if (field.optional) {
        return "    if (" + takes + ") {\n        " + store +
               "        child = child.nextSibling();\n    }\n";
    }
    return "    if (!(" + takes + ")) {\n        " + lacks + "    }\n    " + store +
           "    child = child.nextSibling();\n";
}

}  // namespace kx::gen
