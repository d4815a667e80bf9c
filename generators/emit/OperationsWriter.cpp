#include "generators/emit/OperationsWriter.h"

#include <algorithm>

#include "generators/emit/TemplateRendering.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

KxCString occurs(std::size_t count) {
    return std::to_string(count);
}

// One element to describe: a part or a field.
struct ElementItem {
    QName xml;
    bool isClass = false;
    int classIndex = -1;
    SimpleKind simple;
    bool nillable = false;
    KxCString min = "1";
    KxCString max = "1";
};

ElementItem itemOf(const Field& field) {
    return {field.xml,
            field.isClass,
            field.classIndex,
            field.simple,
            field.nillable,
            occurs(field.optional ? 0 : field.minOccurs),
            field.repeated ? "unbounded" : "1"};
}

// The attributes of one node of the tree, in the order they are written.
class Attributes {
  public:
    Attributes& add(const char* name, const KxCString& value) {
        list_.push_back(
            kxcreateRecord({{"name", kxcreateContextObject(name)}, {"value", inputText(value)}}));
        return *this;
    }
    Attributes& addSimple(const SimpleKind& kind) {
        const SimpleShape shape = shapeOf(kind);
        add("type", shape.type);
        return shape.list ? add("list", "true") : *this;
    }
    KxContextObject take() { return kxcreateContextObject(std::move(list_)); }

  private:
    std::vector<KxContextObject> list_;
};

// One node of the input tree (element, attribute, text or choice), as the
// template's #node writes it: open when it has values or children (a choice
// always is), marked recursive when its content is left out.
KxContextObject node(const char* kind, Attributes attributes, std::vector<KxContextObject> values,
                     std::vector<KxContextObject> children, bool recursive = false) {
    const bool open = !values.empty() || !children.empty() || KxCString(kind) == "choice";
    return kxcreateRecord({{"kind", kxcreateContextObject(kind)},
                           {"attributes", attributes.take()},
                           {"values", kxcreateContextObject(std::move(values))},
                           {"children", kxcreateContextObject(std::move(children))},
                           {"recursive", kxcreateContextObject(recursive)},
                           {"open", kxcreateContextObject(open)}});
}

// Builds the input tree of one operation, keeping count of the nodes and of
// the complex types being expanded.
class InputTree {
  public:
    explicit InputTree(const Schema& schema) : schema_(schema) {}

    KxContextObject element(const ElementItem& item, int depth);
    bool truncated() const { return truncated_; }

  private:
    std::vector<KxContextObject> content(int classIndex, int depth);
    std::optional<KxContextObject> repeatedChoice(const Field& field, int depth);
    KxContextObject choice(const std::vector<ElementItem>& alternatives, const KxCString& min,
                           const KxCString& max, int depth);
    KxContextObject attribute(const Field& field);
    // The enumeration values of a simple value (none for a list).
    std::vector<KxContextObject> values(const SimpleKind& kind) const;

    const Schema& schema_;
    std::vector<int> expanding_;
    int nodes_ = 0;
    bool truncated_ = false;
};

std::vector<KxContextObject> InputTree::values(const SimpleKind& kind) const {
    std::vector<KxContextObject> texts;
    if (kind.enumIndex < 0 || kind.xsdType == "list") {
        return texts;
    }
    for (const EnumValue& value :
         schema_.enums()[static_cast<std::size_t>(kind.enumIndex)].values) {
        texts.push_back(inputText(value.text));
    }
    return texts;
}

KxContextObject InputTree::element(const ElementItem& item, int depth) {
    ++nodes_;
    Attributes attributes;
    attributes.add("name", item.xml.local).add("ns", item.xml.ns);
    if (!item.isClass) {
        attributes.addSimple(item.simple);
    }
    attributes.add("min", item.min).add("max", item.max);
    if (item.nillable) {
        attributes.add("nillable", "true");
    }
    if (!item.isClass) {
        return node("element", std::move(attributes), values(item.simple), {});
    }
    const bool inside =
        std::find(expanding_.begin(), expanding_.end(), item.classIndex) != expanding_.end();
    if (inside || depth >= kMaxInputDepth || nodes_ >= kMaxInputNodes) {
        truncated_ = truncated_ || !inside;
        return node("element", std::move(attributes), {}, {}, true);
    }
    expanding_.push_back(item.classIndex);
    std::vector<KxContextObject> children = content(item.classIndex, depth);
    expanding_.pop_back();
    return node("element", std::move(attributes), {}, std::move(children));
}

KxContextObject InputTree::choice(const std::vector<ElementItem>& alternatives,
                                  const KxCString& min, const KxCString& max, int depth) {
    ++nodes_;
    Attributes attributes;
    attributes.add("min", min).add("max", max);
    std::vector<KxContextObject> children;
    for (const ElementItem& alternative : alternatives) {
        children.push_back(element(alternative, depth + 1));
    }
    return node("choice", std::move(attributes), {}, std::move(children));
}

KxContextObject InputTree::attribute(const Field& field) {
    ++nodes_;
    Attributes attributes;
    attributes.add("name", field.xml.local).add("ns", field.xml.ns).addSimple(field.simple);
    attributes.add("required", field.optional ? "false" : "true");
    if (!field.defaultValue.empty()) {
        attributes.add("default", field.defaultValue);
    }
    if (!field.fixedValue.empty()) {
        attributes.add("fixed", field.fixedValue);
    }
    return node("attribute", std::move(attributes), values(field.simple), {});
}

// A repeated choice's alternatives; nothing when every one is open content,
// which has no form.
std::optional<KxContextObject> InputTree::repeatedChoice(const Field& field, int depth) {
    std::vector<ElementItem> alternatives;
    for (const Field& alternative : field.alternatives) {
        if (!alternative.isWildcard) {
            alternatives.push_back(itemOf(alternative));
            alternatives.back().min = "1";
        }
    }
    if (alternatives.empty()) {
        return std::nullopt;
    }
    return choice(alternatives, occurs(field.minOccurs), "unbounded", depth);
}

std::vector<KxContextObject> InputTree::content(int classIndex, int depth) {
    // The base types' content comes first: the chain from the root down.
    std::vector<const DataType*> chain;
    for (int at = classIndex; at >= 0 && chain.size() <= schema_.types().size();
         at = schema_.types()[static_cast<std::size_t>(at)].baseIndex) {
        chain.insert(chain.begin(), &schema_.types()[static_cast<std::size_t>(at)]);
    }
    std::vector<KxContextObject> nodes;
    for (const DataType* type : chain) {
        for (const Field& field : type->fields) {
            if (field.isAttribute) {
                nodes.push_back(attribute(field));
            }
        }
    }
    for (const DataType* type : chain) {
        const std::vector<Field>& fields = type->fields;
        for (std::size_t at = 0; at < fields.size(); ++at) {
            const Field& field = fields[at];
            // Open content (wildcards, other attributes, mixed text) has no
            // form of its own to describe.
            if (field.isAttribute || field.isWildcard || field.isAnyAttribute ||
                field.isTextPieces) {
                continue;
            }
            if (field.isText) {
                ++nodes_;
                Attributes attributes;
                attributes.addSimple(field.simple);
                nodes.push_back(node("text", std::move(attributes), values(field.simple), {}));
                continue;
            }
            // One alternative per occurrence: a repeated choice holds them as
            // one field, a single choice as fields of one group side by side.
            if (!field.alternatives.empty()) {
                if (std::optional<KxContextObject> repeated = repeatedChoice(field, depth)) {
                    nodes.push_back(std::move(*repeated));
                }
                continue;
            }
            if (field.group >= 0 && type->groups[static_cast<std::size_t>(field.group)].kind ==
                                        FieldGroup::Kind::Choice) {
                const FieldGroup& group = type->groups[static_cast<std::size_t>(field.group)];
                std::vector<ElementItem> alternatives;
                for (; at < fields.size() && fields[at].group == field.group; ++at) {
                    if (!fields[at].isAttribute) {
                        alternatives.push_back(itemOf(fields[at]));
                        alternatives.back().min = "1";
                    }
                }
                --at;
                nodes.push_back(choice(alternatives, group.optional ? "0" : "1", "1", depth));
                continue;
            }
            nodes.push_back(element(itemOf(field), depth + 1));
        }
    }
    return nodes;
}

KxContextObject operationValues(const Schema& schema, const ServedOperation& operation) {
    InputTree tree(schema);
    std::vector<KxContextObject> inputs;
    for (const ServedPart& part : operation.inputs) {
        inputs.push_back(tree.element({part.xml, part.use.isClass, part.use.classIndex,
                                       part.use.simple, part.nillable, "1", "1"},
                                      1));
    }
    return kxcreateRecord({{"name", inputText(operation.name)},
                           {"action", inputText(operation.soapAction)},
                           {"style", kxcreateContextObject(operation.rpc ? "rpc" : "document")},
                           {"oneWay", kxcreateContextObject(operation.oneWay ? "true" : "false")},
                           {"truncated", kxcreateContextObject(tree.truncated())},
                           {"documentation", inputText(operation.documentation)},
                           {"rpc", kxcreateContextObject(operation.rpc)},
                           {"wrapper", inputText(operation.wrapper.local)},
                           {"wrapperNs", inputText(operation.wrapper.ns)},
                           {"inputs", kxcreateContextObject(std::move(inputs))}});
}

}  // namespace

SimpleShape shapeOf(const SimpleKind& kind) {
    if (kind.xsdType == "union") {
        return {"string", false};
    }
    if (kind.xsdType != "list") {
        return {kind.xsdType, false};
    }
    // Only the C++ type of the items is kept; the built-in types are tried in
    // a fixed order so that the same C++ type always gives the same name.
    static const char* const kItemTypes[] = {"boolean",
                                             "byte",
                                             "short",
                                             "int",
                                             "long",
                                             "unsignedByte",
                                             "unsignedShort",
                                             "unsignedInt",
                                             "unsignedLong",
                                             "integer",
                                             "nonNegativeInteger",
                                             "positiveInteger",
                                             "nonPositiveInteger",
                                             "negativeInteger",
                                             "float",
                                             "double",
                                             "decimal",
                                             "dateTime",
                                             "date",
                                             "time",
                                             "duration",
                                             "base64Binary",
                                             "hexBinary"};
    for (const char* name : kItemTypes) {
        if (std::optional<SimpleKind> builtin = builtinType(name);
            builtin && builtin->cppType == kind.listItem) {
            return {name, true};
        }
    }
    return {"string", true};
}

KxCString operationsXml(const KxCString& tool, const KxCString& wsdlFile, const Schema& schema,
                        const std::vector<ServedPort>& ports) {
    std::vector<KxContextObject> portValues;
    for (const ServedPort& port : ports) {
        std::vector<KxContextObject> operations;
        for (const ServedOperation& operation : port.operations) {
            operations.push_back(operationValues(schema, operation));
        }
        portValues.push_back(
            kxcreateRecord({{"servlet", inputText(port.servlet)},
                            {"path", inputText(port.path)},
                            {"address", inputText(port.address)},
                            {"soap", kxcreateContextObject(port.soap12 ? "1.2" : "1.1")},
                            {"operations", kxcreateContextObject(std::move(operations))}}));
    }
    return renderTemplate("service/operations.tl",
                          {{"heading", inputText("operations.xml: generated by " + tool + " from " +
                                                 wsdlFile + ". The operations web.xml")},
                           {"wsdl", inputText(wsdlFile)},
                           {"ports", kxcreateContextObject(std::move(portValues))}});
}

}  // namespace kx::gen
