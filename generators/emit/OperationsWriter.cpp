#include "generators/emit/OperationsWriter.h"

#include <algorithm>

#include "generators/support/Text.h"

namespace kx::gen {

namespace {

// The built-in type a simple value rests on, as XML Schema names it. A union
// is read as its text; a list's items are named by the type they are checked
// against (text when none is).
struct SimpleShape {
    KxCString type;
    bool list = false;
};

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

KxCString attribute(const char* name, const KxCString& value) {
    return KxCString(" ") + name + "=\"" + xmlEscape(value) + "\"";
}

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

// Writes the input tree of one operation, keeping count of the nodes and of
// the complex types being expanded.
class InputWriter {
  public:
    explicit InputWriter(const Schema& schema) : schema_(schema) {}

    void element(const ElementItem& item, int depth, const KxCString& indent);
    bool truncated() const { return truncated_; }
    const KxCString& text() const { return text_; }

  private:
    void content(int classIndex, int depth, const KxCString& indent);
    void choice(const std::vector<ElementItem>& alternatives, const KxCString& min,
                const KxCString& max, int depth, const KxCString& indent);
    // The type, list flag and enumeration values of a simple value: the
    // attributes, and the children (empty when none).
    KxCString simpleAttributes(const SimpleKind& kind) const;
    KxCString values(const SimpleKind& kind, const KxCString& indent) const;

    const Schema& schema_;
    KxCString text_;
    std::vector<int> expanding_;
    int nodes_ = 0;
    bool truncated_ = false;
};

KxCString InputWriter::simpleAttributes(const SimpleKind& kind) const {
    const SimpleShape shape = shapeOf(kind);
    return attribute("type", shape.type) + (shape.list ? " list=\"true\"" : "");
}

KxCString InputWriter::values(const SimpleKind& kind, const KxCString& indent) const {
    if (kind.enumIndex < 0 || kind.xsdType == "list") {
        return {};
    }
    KxCString text;
    for (const EnumValue& value :
         schema_.enums()[static_cast<std::size_t>(kind.enumIndex)].values) {
        text += indent + "<value>" + xmlEscape(value.text) + "</value>\n";
    }
    return text;
}

void InputWriter::element(const ElementItem& item, int depth, const KxCString& indent) {
    ++nodes_;
    text_ += indent + "<element" + attribute("name", item.xml.local) + attribute("ns", item.xml.ns);
    if (!item.isClass) {
        text_ += simpleAttributes(item.simple);
    }
    text_ += attribute("min", item.min) + attribute("max", item.max);
    if (item.nillable) {
        text_ += " nillable=\"true\"";
    }
    if (!item.isClass) {
        const KxCString children = values(item.simple, indent + "  ");
        text_ += children.empty() ? "/>\n" : ">\n" + children + indent + "</element>\n";
        return;
    }
    const bool inside =
        std::find(expanding_.begin(), expanding_.end(), item.classIndex) != expanding_.end();
    if (inside || depth >= kMaxInputDepth || nodes_ >= kMaxInputNodes) {
        truncated_ = truncated_ || !inside;
        text_ += " recursive=\"true\"/>\n";
        return;
    }
    text_ += ">\n";
    const std::size_t start = text_.size();
    expanding_.push_back(item.classIndex);
    content(item.classIndex, depth, indent + "  ");
    expanding_.pop_back();
    if (text_.size() == start) {
        // No content: the element is written empty.
        text_.resize(start - 2);
        text_ += "/>\n";
        return;
    }
    text_ += indent + "</element>\n";
}

void InputWriter::choice(const std::vector<ElementItem>& alternatives, const KxCString& min,
                         const KxCString& max, int depth, const KxCString& indent) {
    ++nodes_;
    text_ += indent + "<choice" + attribute("min", min) + attribute("max", max) + ">\n";
    for (const ElementItem& alternative : alternatives) {
        element(alternative, depth + 1, indent + "  ");
    }
    text_ += indent + "</choice>\n";
}

void InputWriter::content(int classIndex, int depth, const KxCString& indent) {
    // The base types' content comes first: the chain from the root down.
    std::vector<const DataType*> chain;
    for (int at = classIndex; at >= 0 && chain.size() <= schema_.types().size();
         at = schema_.types()[static_cast<std::size_t>(at)].baseIndex) {
        chain.insert(chain.begin(), &schema_.types()[static_cast<std::size_t>(at)]);
    }
    for (const DataType* type : chain) {
        for (const Field& field : type->fields) {
            if (!field.isAttribute) {
                continue;
            }
            ++nodes_;
            text_ += indent + "<attribute" + attribute("name", field.xml.local) +
                     attribute("ns", field.xml.ns) + simpleAttributes(field.simple) +
                     attribute("required", field.optional ? "false" : "true");
            if (!field.defaultValue.empty()) {
                text_ += attribute("default", field.defaultValue);
            }
            if (!field.fixedValue.empty()) {
                text_ += attribute("fixed", field.fixedValue);
            }
            const KxCString children = values(field.simple, indent + "  ");
            text_ += children.empty() ? "/>\n" : ">\n" + children + indent + "</attribute>\n";
        }
    }
    for (const DataType* type : chain) {
        const std::vector<Field>& fields = type->fields;
        for (std::size_t at = 0; at < fields.size(); ++at) {
            const Field& field = fields[at];
            if (field.isAttribute) {
                continue;
            }
            if (field.isText) {
                ++nodes_;
                const KxCString children = values(field.simple, indent + "  ");
                text_ += indent + "<text" + simpleAttributes(field.simple) +
                         (children.empty() ? "/>\n" : ">\n" + children + indent + "</text>\n");
                continue;
            }
            // One alternative per occurrence: a repeated choice holds them as
            // one field, a single choice as fields of one group side by side.
            if (!field.alternatives.empty()) {
                std::vector<ElementItem> alternatives;
                for (const Field& alternative : field.alternatives) {
                    alternatives.push_back(itemOf(alternative));
                    alternatives.back().min = "1";
                }
                choice(alternatives, occurs(field.minOccurs), "unbounded", depth, indent);
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
                choice(alternatives, group.optional ? "0" : "1", "1", depth, indent);
                continue;
            }
            element(itemOf(field), depth + 1, indent);
        }
    }
}

}  // namespace

KxCString operationsXml(const KxCString& tool, const KxCString& wsdlFile, const Schema& schema,
                        const std::vector<ServedPort>& ports) {
    KxCString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- " +
                    xmlCommentText("operations.xml: generated by " + tool + " from " + wsdlFile +
                                   ". The operations web.xml") +
                    "\n     " +
                    xmlCommentText(
                        "serves, with the elements of their requests, for pages that "
                        "call them.") +
                    " -->\n<operations" + attribute("wsdl", wsdlFile) + ">\n";
    for (const ServedPort& port : ports) {
        xml += "  <port" + attribute("name", port.servlet) + attribute("path", port.path) +
               attribute("address", port.address) + attribute("soap", port.soap12 ? "1.2" : "1.1") +
               ">\n";
        for (const ServedOperation& operation : port.operations) {
            InputWriter input(schema);
            for (const ServedPart& part : operation.inputs) {
                input.element({part.xml, part.use.isClass, part.use.classIndex, part.use.simple,
                               part.nillable, "1", "1"},
                              1, "        ");
            }
            xml += "    <operation" + attribute("name", operation.name) +
                   attribute("action", operation.soapAction) +
                   attribute("style", operation.rpc ? "rpc" : "document") +
                   attribute("one-way", operation.oneWay ? "true" : "false") +
                   (input.truncated() ? " truncated=\"true\"" : "") + ">\n";
            if (!operation.documentation.empty()) {
                xml += "      <documentation>" + xmlEscape(operation.documentation) +
                       "</documentation>\n";
            }
            xml += "      <input";
            if (operation.rpc) {
                xml += attribute("wrapper", operation.wrapper.local) +
                       attribute("wrapper-ns", operation.wrapper.ns);
            }
            xml += input.text().empty() ? "/>\n" : ">\n" + input.text() + "      </input>\n";
            xml += "    </operation>\n";
        }
        xml += "  </port>\n";
    }
    return xml + "</operations>\n";
}

}  // namespace kx::gen
