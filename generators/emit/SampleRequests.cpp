#include "generators/emit/SampleRequests.h"

#include <algorithm>

#include "generators/emit/OperationsWriter.h"
#include "generators/runtime/orvopattern.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

const KxCString& firstEnumText(const Schema& schema, int index) {
    static const KxCString kNone;
    const EnumType& type = schema.enums()[static_cast<std::size_t>(index)];
    return type.values.empty() ? kNone : type.values.front().text;
}

// Writes the statements that fill a data class's required fields.
class SampleFiller {
  public:
    SampleFiller(const Schema& schema, const DataModel& model) : schema_(schema), model_(model) {}

    void fillClass(int classIndex, const KxCString& variable, int depth, const KxCString& indent);

    std::vector<KxCString> lines;

  private:
    // The fields of one type of the class's lineage.
    void fillType(const ClassModel& model, const KxCString& variable, int depth,
                  const KxCString& indent);
    void fillField(const ClassModel& model, const Field& field, const KxCString& variable,
                   int depth, const KxCString& indent);
    void fillChoiceList(const ClassModel& model, const Field& field, const KxCString& variable,
                        int depth, const KxCString& indent);
    // An expression of one item of the field, with the statements it needs
    // written before it; empty when a class is not filled (a cycle, too deep).
    KxCString itemValue(const Field& field, int depth, const KxCString& indent);
    // The statements around minOccurs items (one at least, kMaxSampleOccurrences
    // at most): a block, or a loop for more than one.
    void openItems(std::size_t minOccurs, const KxCString& indent);
    const KxCString& accessorOf(const ClassModel& model, const Field& field) const;

    const Schema& schema_;
    const DataModel& model_;
    std::vector<int> filling_;
    int next_ = 0;
};

const KxCString& SampleFiller::accessorOf(const ClassModel& model, const Field& field) const {
    for (const FieldModel& named : model.fields) {
        if (named.field == &field) {
            return named.accessor;
        }
    }
    throw std::logic_error("the field " + field.member + " is not one of " + model.name);
}

KxCString SampleFiller::itemValue(const Field& field, int depth, const KxCString& indent) {
    if (!field.isClass) {
        const KxCString text =
            sampleText(schema_, field.simple, field.fixedValue, field.defaultValue);
        return field.cppType == "std::string"
                   ? "std::string(" + cppLiteral(text) + ")"
                   : "orvo::fromText<" + field.cppType + ">(" + cppLiteral(text) + ")";
    }
    if (depth >= kMaxSampleDepth ||
        std::find(filling_.begin(), filling_.end(), field.classIndex) != filling_.end()) {
        return {};
    }
    const KxCString name = "value" + std::to_string(++next_);
    lines.push_back(indent + field.cppType + " " + name + ";");
    fillClass(field.classIndex, name, depth + 1, indent);
    return field.pointer ? "std::make_shared<" + field.cppType + ">(std::move(" + name + "))"
                         : "std::move(" + name + ")";
}

void SampleFiller::openItems(std::size_t minOccurs, const KxCString& indent) {
    const std::size_t count = std::clamp<std::size_t>(minOccurs, 1, kMaxSampleOccurrences);
    lines.push_back(count > 1 ? indent + "for (std::size_t i = 0; i < " + std::to_string(count) +
                                    "; ++i) {"
                              : indent + "{");
}

void SampleFiller::fillChoiceList(const ClassModel& model, const Field& field,
                                  const KxCString& variable, int depth, const KxCString& indent) {
    const Field& first = field.alternatives.front();
    openItems(field.minOccurs, indent);
    const KxCString inner = indent + "    ";
    lines.push_back(inner + field.cppType + " item;");
    const KxCString value = itemValue(first, depth, inner);
    if (!value.empty()) {
        lines.push_back(inner + "item." + first.member +
                        (first.pointer ? " = " + value + ";" : ".emplace(" + value + ");"));
    }
    lines.push_back(inner + variable + ".add" + accessorOf(model, field) + "(std::move(item));");
    lines.push_back(indent + "}");
}

void SampleFiller::fillField(const ClassModel& model, const Field& field, const KxCString& variable,
                             int depth, const KxCString& indent) {
    const KxCString& accessor = accessorOf(model, field);
    if (field.repeated) {
        openItems(field.minOccurs, indent);
        const KxCString value = itemValue(field, depth, indent + "    ");
        if (!value.empty()) {
            lines.push_back(indent + "    " + variable + ".add" + accessor + "(" + value + ");");
        }
        lines.push_back(indent + "}");
        return;
    }
    if (!field.isClass) {
        lines.push_back(indent + variable + ".set" + accessor + "(" +
                        itemValue(field, depth, indent) + ");");
        return;
    }
    lines.push_back(indent + "{");
    if (const KxCString value = itemValue(field, depth, indent + "    "); !value.empty()) {
        lines.push_back(indent + "    " + variable + ".set" + accessor + "(" + value + ");");
    }
    lines.push_back(indent + "}");
}

void SampleFiller::fillType(const ClassModel& model, const KxCString& variable, int depth,
                            const KxCString& indent) {
    const DataType& type = *model.type;
    for (std::size_t at = 0; at < type.fields.size(); ++at) {
        const Field& field = type.fields[at];
        if (field.isWildcard || field.isAnyAttribute || field.isTextPieces) {
            continue;
        }
        if (!field.alternatives.empty()) {
            if (field.minOccurs > 0) {
                fillChoiceList(model, field, variable, depth, indent);
            }
            continue;
        }
        const FieldGroup* group = field.group >= 0 && !field.isAttribute
                                      ? &type.groups[static_cast<std::size_t>(field.group)]
                                      : nullptr;
        if (group != nullptr && group->kind == FieldGroup::Kind::Choice) {
            // The first alternative of a required choice; the others stay unset.
            if (!group->optional) {
                fillField(model, field, variable, depth, indent);
            }
            while (at + 1 < type.fields.size() && type.fields[at + 1].group == field.group) {
                ++at;
            }
            continue;
        }
        const bool required = field.repeated ? field.minOccurs > 0 : !field.optional;
        if (required) {
            fillField(model, field, variable, depth, indent);
        }
    }
}

void SampleFiller::fillClass(int classIndex, const KxCString& variable, int depth,
                             const KxCString& indent) {
    filling_.push_back(classIndex);
    const ClassModel& model = model_.classes[static_cast<std::size_t>(classIndex)];
    for (const DataType* type : model.lineage) {
        const auto index = static_cast<std::size_t>(type - schema_.types().data());
        fillType(model_.classes[index], variable, depth, indent);
    }
    filling_.pop_back();
}

}  // namespace

namespace {

// The sample made to fit the type's patterns and lengths: an example of a
// pattern that every pattern takes, a string cut or filled to its length.
KxCString withinFacets(const SimpleKind& kind, KxCString sample) {
    const Facets& facets = kind.facets;
    const std::vector<orvo::Pattern> patterns(facets.patterns.begin(), facets.patterns.end());
    const auto matchesAll = [&patterns](const std::string& text) {
        return std::all_of(patterns.begin(), patterns.end(), [&text](const orvo::Pattern& pattern) {
            return pattern.match(text) != orvo::Pattern::Result::Differs;
        });
    };
    for (auto pattern = patterns.rbegin(); pattern != patterns.rend() && !matchesAll(sample);
         ++pattern) {
        std::string example;
        if (pattern->example(example) && matchesAll(example)) {
            sample = example;
        }
    }
    if (facets.patterns.empty() && kind.cppType == "std::string" && kind.xsdType != "list") {
        if (facets.maxLength && sample.size() > *facets.maxLength) {
            sample.resize(*facets.maxLength);
        }
        if (facets.minLength && sample.size() < *facets.minLength) {
            sample.append(*facets.minLength - sample.size(), 'x');
        }
    }
    if (facets.fractionDigits == 0u && sample.find('.') != KxCString::npos) {
        sample.resize(sample.find('.'));
    }
    return sample;
}

}  // namespace

KxCString sampleText(const Schema& schema, const SimpleKind& kind, const KxCString& fixedValue,
                     const KxCString& defaultValue) {
    if (!fixedValue.empty()) {
        return fixedValue;
    }
    if (!defaultValue.empty()) {
        return defaultValue;
    }
    if (kind.xsdType == "list") {
        return kind.listItemEnum >= 0 ? firstEnumText(schema, kind.listItemEnum)
                                      : KxCString(xsdSampleText(shapeOf(kind).type));
    }
    if (kind.enumIndex >= 0) {
        return firstEnumText(schema, kind.enumIndex);
    }
    // A union's sample is one of its first member type.
    if (!kind.unionMembers.empty()) {
        return sampleText(schema, kind.unionMembers.front(), {}, {});
    }
    return withinFacets(kind, xsdSampleInRange(kind.xsdType, kind.range));
}

std::vector<KxCString> sampleStatements(const Schema& schema, const DataModel& model,
                                        const ServiceParam& param) {
    if (!param.isClass) {
        const KxCString text = cppLiteral(sampleText(schema, param.use.simple));
        return {param.name + " = " +
                (param.cppType == "std::string"
                     ? text
                     : "orvo::fromText<" + param.cppType + ">(" + text + ")") +
                ";"};
    }
    SampleFiller filler(schema, model);
    filler.fillClass(param.use.classIndex, param.name, 1, "");
    return filler.lines;
}

}  // namespace kx::gen
