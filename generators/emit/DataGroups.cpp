// The statements that read the model groups of a data class: a choice or
// all read as a group of fields, and a repeated group read as a list of
// items in document order.
#include <algorithm>

#include "generators/emit/DataClassWriter.h"
#include "generators/emit/DataCodeParts.h"
#include "generators/emit/DataWildcards.h"
#include "generators/support/Text.h"

namespace kx::gen::data_code {

namespace {

// The element fields of the group that starts at fields[first], its
// wildcards last (they take what the named members do not); first is moved
// past the group.
std::vector<const Field*> groupMembers(const DataType& type, std::size_t& first) {
    const int groupIndex = type.fields[first].group;
    std::vector<const Field*> members;
    while (first < type.fields.size() && type.fields[first].group == groupIndex) {
        if (!type.fields[first].isAttribute) {
            members.push_back(&type.fields[first]);
        }
        ++first;
    }
    std::stable_partition(members.begin(), members.end(),
                          [](const Field* member) { return !member->isWildcard; });
    return members;
}

// How one group (a choice or all) of element fields is read: which
// members it must have seen (one of them for a required choice, each
// required member of an all), and whether a choice reads on.
struct GroupReading {
    // last: the index of the group's last field in type.fields.
    GroupReading(const FieldGroup& group, std::vector<const Field*> fields, const DataType& type,
                 std::size_t last)
        : members(std::move(fields)),
          type(type),
          last(last),
          all(group.kind == FieldGroup::Kind::All),
          nested(group.nested),
          checked(members.size(), false) {
        for (std::size_t i = 0; i < members.size(); ++i) {
            checked[i] =
                !group.optional && (all ? !members[i]->optional && !members[i]->repeated : true);
            anyChecked = anyChecked || checked[i];
            readsOn = readsOn || (!all && (nested || members[i]->repeated));
        }
    }

    // The flags the loop keeps: seen (a required choice), seenN (each
    // required member of an all), chosen (the alternative of a choice
    // with repeated members), readN (each single member of an all or of a
    // choice that holds a sequence).
    KxCString declarations() const {
        KxCString text = anyChecked && !all ? "        bool seen = false;\n" : "";
        if (readsOn && !nested) {
            text += "        int chosen = -1;\n";
        }
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (readsOnce(i)) {
                text += "        bool read" + std::to_string(i) + " = false;\n";
            }
            if (all && checked[i]) {
                text += "        bool seen" + std::to_string(i) + " = false;\n";
            }
        }
        return text;
    }

    // Whether member i is read at most once while the group reads on: a
    // single member of a choice that holds a sequence, or of an all (whose
    // second element of the same name is then left to the check that
    // nothing unexpected follows).
    bool readsOnce(std::size_t i) const {
        return !members[i]->repeated && (all || (readsOn && nested));
    }

    // The test for member i's element, and what its branch marks.
    std::pair<KxCString, KxCString> condition(std::size_t i) const {
        const Field& field = *members[i];
        const KxCString number = std::to_string(i);
        KxCString test = field.isWildcard ? wildcardTest(field) : isChild(field);
        KxCString mark;
        if (readsOn && !nested) {
            test += field.repeated ? " && (chosen < 0 || chosen == " + number + ")"
                                   : KxCString(" && chosen < 0");
            mark = "                chosen = " + number + ";\n";
        } else if (readsOnce(i)) {
            test += " && !read" + number;
            mark = "                read" + number + " = true;\n";
        }
        if (checked[i]) {
            mark += "                seen" + (all ? number : KxCString()) + " = true;\n";
        }
        return {test, mark};
    }

    // The checks after the loop for what the group lacks.
    KxCString checks() const {
        KxCString text;
        KxCString names;
        for (std::size_t i = 0; i < members.size(); ++i) {
            names += (names.empty() ? "" : ", ") + (members[i]->isWildcard
                                                        ? KxCString("any element")
                                                        : inLiteral(members[i]->xml.shown()));
            if (all && checked[i]) {
                text += "        if (!seen" + std::to_string(i) +
                        ") {\n            orvo::lacksChild(element, child, \"" +
                        inLiteral(members[i]->xml.shown()) + "\");\n        }\n";
            }
        }
        if (!all && anyChecked) {
            text += "        if (!seen) {\n            orvo::lacksChild(element, child, \"one of " +
                    names + "\");\n        }\n";
        }
        return text;
    }

    // A wildcard member takes an element of its namespaces that is neither a
    // named member nor declared after the group.
    KxCString wildcardTest(const Field& field) const {
        KxCString named;
        for (const Field* member : members) {
            if (!member->isWildcard) {
                named += (named.empty() ? "" : " || ") + KxCString("child.is(") +
                         literalNames(member->xml) + ")";
            }
        }
        return takesAlternative(type, last, field) + (named.empty() ? "" : " && !(" + named + ")");
    }

    std::vector<const Field*> members;
    const DataType& type;
    std::size_t last = 0;
    bool all = false;
    bool nested = false;
    std::vector<bool> checked;
    bool anyChecked = false;
    // A choice reads one element, unless it holds a sequence or a
    // repeated element: then it reads on while the children are its
    // fields, each single one once.
    bool readsOn = false;
};

}  // namespace

// The statements that read the element fields of one group (a choice or
// all) starting at fields[first]; first is moved past them.
KxCString readGroup(const Schema& schema, const ClassModel& model, std::size_t& first,
                    bool external) {
    const DataType& type = *model.type;
    const FieldGroup& group = type.groups[static_cast<std::size_t>(type.fields[first].group)];
    std::vector<const Field*> members = groupMembers(type, first);
    const GroupReading reading(group, std::move(members), type, first - 1);
    KxCString body = "    {\n" + reading.declarations() + "        for (;;) {\n";
    for (std::size_t i = 0; i < reading.members.size(); ++i) {
        const auto [test, mark] = reading.condition(i);
        body += KxCString(i == 0 ? "            if (" : " else if (") + test + ") {\n" +
                readAndStore(schema, model, *reading.members[i], "                ", external) +
                mark + "            }";
    }
    body += " else {\n                break;\n            }\n";
    body += "            child = child.nextSibling();\n";
    if (!reading.all && !reading.readsOn) {
        body += "            break;\n";
    }
    return body + "        }\n" + reading.checks() + "    }\n";
}

// The statements that read a repeated choice: an item per child element
// that is one of the alternatives, in document order.
KxCString readChoiceList(const Schema& schema, const ClassModel& model, const Field& field,
                         bool external) {
    KxCString body = "    {\n        std::size_t count = 0;\n        for (;;) {\n            " +
                     field.cppType + " item;\n";
    KxCString names;
    const std::size_t index = static_cast<std::size_t>(&field - model.type->fields.data());
    bool first = true;
    // The named alternatives first: a wildcard takes what they do not.
    for (const bool wildcards : {false, true}) {
        for (const Field& alternative : field.alternatives) {
            if (alternative.isWildcard != wildcards) {
                continue;
            }
            names += (names.empty() ? "" : ", ") +
                     inLiteral(wildcards ? KxCString("any element") : alternative.xml.shown());
            body += KxCString(first ? "            if (" : " else if (") +
                    (wildcards ? takesAlternative(*model.type, index, alternative)
                               : isChild(alternative)) +
                    ") {\n" + readItem(schema, alternative, "                ", external) +
                    "                item." + alternative.member + " = std::move(value);\n" +
                    "            }";
            first = false;
        }
    }
    body +=
        " else {\n                break;\n            }\n"
        "            object.add" +
        accessor(model, field) +
        "(std::move(item));\n"
        "            child = child.nextSibling();\n"
        "            ++count;\n"
        "        }\n";
    if (field.minOccurs > 0) {
        body += "        if (count < " + std::to_string(field.minOccurs) +
                ") {\n            orvo::lacksChild(element, child, \"one of " + names +
                "\");\n        }\n";
    }
    return body + "    }\n";
}

}  // namespace kx::gen::data_code
