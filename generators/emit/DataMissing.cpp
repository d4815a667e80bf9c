// The body of a data class's collectMissing(): the required fields of the
// object still unset, as paths of XML names, walking into the objects it
// holds. What can be told unset: a repeated field below its minOccurs, a
// required choice with no alternative set, a required field held by
// shared_ptr that is empty, and an xsd:QName held by value without a local
// name. Every other value held by value (a string, number, boolean,
// enumeration, date, a class) always has a value and is not reported; a
// class held is walked into.
#include "generators/emit/DataCode.h"
#include "generators/emit/DataCodeParts.h"

namespace kx::gen::data_code {

namespace {

// The path step of a field: its element's local name, "@name" for an
// attribute, "text()" for simple content.
KxCString stepOf(const Field& field) {
    if (field.isText) {
        return "text()";
    }
    return (field.isAttribute ? "@" : "") + field.xml.local;
}

// "(a|b)": a choice that must hold one of its alternatives.
KxCString choiceStep(const std::vector<const Field*>& members) {
    KxCString step;
    for (const Field* member : members) {
        step += (step.empty() ? "(" : "|") + stepOf(*member);
    }
    return step + ")";
}

KxCString pathCall(const KxCString& step) {
    return "orvo::fieldPath(prefix, \"" + inLiteral(step) + "\")";
}

KxCString report(const KxCString& step, const KxCString& indent) {
    return indent + "out.push_back(" + pathCall(step) + ");\n";
}

// The walk into one held item of a class field, an expression of its item
// type (a shared_ptr or a nillable optional is looked into when set).
KxCString walkItem(const Field& field, const KxCString& item, const KxCString& path,
                   const KxCString& indent) {
    const KxCString call = ".collectMissing(" + path + ", out, depth + 1);\n";
    if (field.pointer || field.nillable) {
        return indent + "if (" + item + ") {\n" + indent + "    (*" + item + ")" + call + indent +
               "}\n";
    }
    return indent + item + call;
}

// A repeated field: too few items reported, each class item walked into.
KxCString repeatedField(const ClassModel& model, const Field& field, const KxCString& member,
                        const KxCString& step) {
    KxCString body;
    if (!field.optional && field.minOccurs > 0) {
        body += "    if (" + member + ".size() < " + std::to_string(field.minOccurs) + ") {\n" +
                report(step, "        ") + "    }\n";
    }
    if (field.isClass && model.walks(field.classIndex)) {
        body += "    for (std::size_t i = 0; i < " + member + ".size(); ++i) {\n" +
                walkItem(field, member + "[i]", "orvo::itemPath(" + pathCall(step) + ", i)",
                         "        ") +
                "    }\n";
    }
    return body;
}

// A repeated choice: too few items reported, the class alternative of each
// item walked into.
KxCString choiceListField(const ClassModel& model, const Field& field, const KxCString& member) {
    std::vector<const Field*> alternatives;
    for (const Field& alternative : field.alternatives) {
        alternatives.push_back(&alternative);
    }
    const KxCString step = choiceStep(alternatives);
    KxCString body;
    if (field.minOccurs > 0) {
        body += "    if (" + member + ".size() < " + std::to_string(field.minOccurs) + ") {\n" +
                report(step, "        ") + "    }\n";
    }
    KxCString walks;
    for (const Field& alternative : field.alternatives) {
        if (alternative.isClass && !alternative.nillable && model.walks(alternative.classIndex)) {
            const KxCString item = member + "[i]." + alternative.member;
            walks += "        if (" + item + ") {\n            (*" + item +
                     ").collectMissing(orvo::fieldPath(orvo::itemPath(" + pathCall(step) +
                     ", i), \"" + inLiteral(stepOf(alternative)) +
                     "\"), out, depth + 1);\n        }\n";
        }
    }
    if (!walks.empty()) {
        body +=
            "    for (std::size_t i = 0; i < " + member + ".size(); ++i) {\n" + walks + "    }\n";
    }
    return body;
}

// A single field: a required one reported when it can be told unset, a
// class walked into when held.
KxCString singleField(const ClassModel& model, const Field& field, const KxCString& member,
                      const KxCString& step) {
    const KxCString path = pathCall(step);
    const bool walked = field.isClass && model.walks(field.classIndex);
    if (field.optional && !field.pointer) {
        // std::optional of the item: looked into when set.
        return walked ? "    if (" + member + ") {\n" +
                            walkItem(field, "(*" + member + ")", path, "        ") + "    }\n"
                      : KxCString();
    }
    if (field.pointer) {
        if (!walked) {
            return field.optional
                       ? KxCString()
                       : "    if (!" + member + ") {\n" + report(step, "        ") + "    }\n";
        }
        const KxCString walk =
            "        " + member + "->collectMissing(" + path + ", out, depth + 1);\n";
        return field.optional ? "    if (" + member + ") {\n" + walk + "    }\n"
                              : "    if (!" + member + ") {\n" + report(step, "        ") +
                                    "    } else {\n" + walk + "    }\n";
    }
    if (field.isClass) {
        return walked ? walkItem(field, member, path, "    ") : KxCString();
    }
    if (field.simple.xsdType == "QName" && !field.nillable) {
        return "    if (orvo::isUnsetValue(" + member + ")) {\n" + report(step, "        ") +
               "    }\n";
    }
    return {};
}

// Whether a field holds something: an item, a set optional or pointer.
KxCString isSet(const Field& field, const KxCString& member) {
    return field.repeated ? "!" + member + ".empty()" : "static_cast<bool>(" + member + ")";
}

KxCString memberOf(const ClassModel& model, const Field& field) {
    return fieldModel(model, field).member;
}

// A choice's members, from fields[first] on (first moved past them): the
// choice reported when required and empty, each member as a field.
KxCString choiceGroup(const ClassModel& model, std::size_t& first) {
    const DataType& type = *model.type;
    const int groupIndex = type.fields[first].group;
    const FieldGroup& group = type.groups[static_cast<std::size_t>(groupIndex)];
    std::vector<const Field*> members;
    KxCString anySet;
    KxCString walks;
    for (; first < type.fields.size() && type.fields[first].group == groupIndex; ++first) {
        const Field& field = type.fields[first];
        if (field.isAttribute || field.isWildcard) {
            continue;
        }
        members.push_back(&field);
        const KxCString member = memberOf(model, field);
        anySet += (anySet.empty() ? "" : " || ") + isSet(field, member);
        walks += field.repeated ? repeatedField(model, field, member, stepOf(field))
                                : singleField(model, field, member, stepOf(field));
    }
    --first;
    if (group.optional || members.empty()) {
        return walks;
    }
    return "    if (!(" + anySet + ")) {\n" + report(choiceStep(members), "        ") + "    }\n" +
           walks;
}

}  // namespace

KxCString missingFieldsBody(const ClassModel& model) {
    const DataType& type = *model.type;
    if (!model.canMiss) {
        return "    // Nothing below the object can be told unset.\n"
               "    (void)prefix;\n    (void)out;\n    (void)depth;\n";
    }
    KxCString body = "    if (!orvo::walksOn(depth, out)) {\n        return;\n    }\n";
    if (model.base != nullptr && model.walks(type.baseIndex)) {
        body += "    " + model.baseQualifiedName + "::collectMissing(prefix, out, depth);\n";
    }
    for (std::size_t at = 0; at < type.fields.size(); ++at) {
        const Field& field = type.fields[at];
        if (field.isWildcard || field.isAnyAttribute || field.isTextPieces) {
            continue;
        }
        const KxCString member = memberOf(model, field);
        if (!field.alternatives.empty()) {
            body += choiceListField(model, field, member);
        } else if (field.group >= 0 && !field.isAttribute &&
                   type.groups[static_cast<std::size_t>(field.group)].kind ==
                       FieldGroup::Kind::Choice) {
            body += choiceGroup(model, at);
        } else if (field.repeated) {
            body += repeatedField(model, field, member, stepOf(field));
        } else {
            body += singleField(model, field, member, stepOf(field));
        }
    }
    if (body.find("prefix") == KxCString::npos) {
        body += "    (void)prefix;\n";
    }
    return body;
}

}  // namespace kx::gen::data_code
