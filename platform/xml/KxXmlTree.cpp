#include "platform/xml/KxXmlTree.h"

#include <cctype>
#include <cstdlib>

#include "platform/xml/KxXmlReader.h"

namespace kx {

const KxCString* XmlElement::attribute(std::string_view attributeName) const {
    for (const auto& [key, value] : attributes) {
        if (key == attributeName) {
            return &value;
        }
    }
    return nullptr;
}

KxCString XmlElement::attributeOr(std::string_view attributeName, const KxCString& fallback) const {
    const KxCString* value = attribute(attributeName);
    return value != nullptr ? *value : fallback;
}

std::vector<const XmlElement*> XmlElement::childrenNamed(std::string_view childName) const {
    std::vector<const XmlElement*> found;
    for (const XmlElement& element : children) {
        if (element.name == childName) {
            found.push_back(&element);
        }
    }
    return found;
}

const XmlElement* XmlElement::child(std::string_view childName) const {
    for (const XmlElement& element : children) {
        if (element.name == childName) {
            return &element;
        }
    }
    return nullptr;
}

std::optional<KxCString> XmlElement::namespaceOf(std::string_view prefix) const {
    if (prefix == "xml") {
        return KxCString("http://www.w3.org/XML/1998/namespace");
    }
    if (scope != nullptr) {
        if (auto found = scope->find(KxCString(prefix)); found != scope->end()) {
            // xmlns="" undeclares the default namespace.
            if (!found->second.empty() || !prefix.empty()) {
                return found->second;
            }
        }
    }
    return std::nullopt;
}

XmlFault splitFaultMessage(const KxCString& message) {
    XmlFault fault{message, {}};
    constexpr std::string_view kPrefix = "line ";
    if (message.compare(0, kPrefix.size(), kPrefix) != 0) {
        return fault;
    }
    std::size_t end = kPrefix.size();
    while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end])) != 0) {
        ++end;
    }
    const long line = std::atol(message.c_str() + kPrefix.size());
    long column = 0;
    constexpr std::string_view kColumn = ", column ";
    if (end != kPrefix.size() && message.compare(end, kColumn.size(), kColumn) == 0) {
        const std::size_t digits = end + kColumn.size();
        end = digits;
        while (end < message.size() &&
               std::isdigit(static_cast<unsigned char>(message[end])) != 0) {
            ++end;
        }
        column = end == digits ? 0 : std::atol(message.c_str() + digits);
    }
    if (end == kPrefix.size() || end >= message.size() || message[end] != ':') {
        return fault;
    }
    fault.at = {line, column};
    std::size_t text = end + 1;
    while (text < message.size() && message[text] == ' ') {
        ++text;
    }
    fault.message = message.substr(text);
    return fault;
}

namespace {

// The reader gives the line on which a start tag ends and the column just
// past it; a tag spread over several lines is better shown where it begins.
// Starting from that point, the nearest '<' before it is the tag's beginning
// (a '<' cannot appear literally inside a tag).
class Positions {
  public:
    explicit Positions(const KxCString& text) : text_(text) {
        lineStarts_.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                lineStarts_.push_back(i + 1);
            }
        }
    }

    XmlLocation tagStart(long line, long column) const {
        if (line <= 0 || static_cast<std::size_t>(line) > lineStarts_.size()) {
            return {line, 0};
        }
        std::size_t offset = lineStarts_[static_cast<std::size_t>(line) - 1] +
                             static_cast<std::size_t>(column > 0 ? column - 1 : 0);
        offset = std::min(offset, text_.size());
        const std::size_t open = offset == 0 ? KxCString::npos : text_.rfind('<', offset - 1);
        if (open == KxCString::npos) {
            return {line, column};
        }
        return at(open);
    }

  private:
    XmlLocation at(std::size_t offset) const {
        std::size_t index = 0;
        std::size_t low = 0;
        std::size_t high = lineStarts_.size();
        while (low < high) {  // the last line start not after offset
            const std::size_t middle = (low + high) / 2;
            if (lineStarts_[middle] <= offset) {
                index = middle;
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return {static_cast<long>(index) + 1, static_cast<long>(offset - lineStarts_[index]) + 1};
    }

    const KxCString& text_;
    std::vector<std::size_t> lineStarts_;
};

// Fills in the name, namespace, scope, attributes and position of the
// element just started.
void startElement(const KxXmlReader& reader, const Positions& positions, const KxCString& name,
                  const KxXmlAttributeSet& attributes,
                  const std::shared_ptr<const XmlNamespaceScope>& parentScope,
                  XmlElement& element) {
    element.name = name;
    element.namespaceUri = reader.getLastNamespaceUri();
    const auto& declarations = reader.getLastNamespaceDeclarations();
    if (declarations.empty()) {
        element.scope = parentScope;
    } else {
        auto scope = parentScope != nullptr ? std::make_shared<XmlNamespaceScope>(*parentScope)
                                            : std::make_shared<XmlNamespaceScope>();
        for (const KxXmlNamespaceDeclaration& declaration : declarations) {
            (*scope)[declaration.prefix] = declaration.uri;
        }
        element.scope = std::move(scope);
    }
    for (const KxXmlAttribute& attribute : attributes) {
        element.attributes.emplace_back(attribute.getName().getName(), attribute.getValue());
    }
    element.at = positions.tagStart(reader.getLineNumber(), reader.getColumnNumber());
}

// Reads the content of the element just started, up to and including its end
// tag. Children are added before they are read, so that a fault leaves every
// element met so far in the tree.
void readContent(KxXmlReader& reader, const Positions& positions, XmlElement& element,
                 std::size_t depth) {
    element.text = reader.readElementValue();
    KxCString name;
    KxXmlAttributeSet attributes;
    while (reader.nextElement(name, attributes)) {
        if (depth >= kMaxXmlDepth) {
            throw KxXmlException("line " + std::to_string(reader.getLineNumber()) +
                                 ": elements are nested more than " + std::to_string(kMaxXmlDepth) +
                                 " levels deep");
        }
        XmlElement& child = element.children.emplace_back();
        startElement(reader, positions, name, attributes, element.scope, child);
        readContent(reader, positions, child, depth + 1);
    }
    reader.readElementEnd(element.name);
}

}  // namespace

XmlDocument parseXmlDocument(const KxCString& text, XmlEntityRefusal refusal) {
    XmlDocument document;
    const Positions positions(text);
    try {
        KxXmlReader reader(text);
        if (refusal == XmlEntityRefusal::All) {
            reader.refuseExternalEntities();
        }
        KxCString name;
        KxXmlAttributeSet attributes;
        if (!reader.nextElement(name, attributes)) {
            document.fault = XmlFault{"the document has no root element", {}};
            return document;
        }
        XmlElement& root = document.root.emplace();
        startElement(reader, positions, name, attributes, nullptr, root);
        readContent(reader, positions, root, 1);
        // Looking past the root raises a fault met there (such as a second
        // root element).
        reader.readElementValue();
        if (!reader.eof()) {
            document.fault = XmlFault{"content after the root element", {}};
        }
    } catch (const KxXmlException& fault) {
        document.fault = splitFaultMessage(fault.why());
    }
    return document;
}

}  // namespace kx
