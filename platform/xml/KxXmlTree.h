#pragma once
// A whole XML document as a tree of elements, read with the pull reader
// (KxXmlReader), so that it refuses what the reader refuses: external
// entities, entity text past the expansion bound, start tags with more than
// kMaxXmlAttributes attributes, and nesting deeper than kMaxXmlDepth. The generators read WSDL,
// XSD and project files this way, the container its deployment descriptor.
// When the document is malformed, the tree holds everything read before the
// fault and the fault is reported beside it, so that a caller can still check
// what it has seen.
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/KxCString.h"

namespace kx {

// A position in a document, 1-based; 0 when unknown.
struct XmlLocation {
    long line = 0;
    long column = 0;
};

// The namespace prefixes in scope at an element: prefix (empty for the
// default namespace) to URI. Elements that declare nothing share their
// parent's.
using XmlNamespaceScope = std::map<KxCString, KxCString>;

struct XmlElement {
    KxCString name;          // local name, without prefix
    KxCString namespaceUri;  // empty when the element is in no namespace
    std::shared_ptr<const XmlNamespaceScope> scope;
    std::vector<std::pair<KxCString, KxCString>> attributes;
    KxCString text;  // the text before the first child element
    XmlLocation at;  // where the start tag begins
    std::vector<XmlElement> children;

    // The attribute's value, or nullptr when the tag has none.
    const KxCString* attribute(std::string_view attributeName) const;
    // The attribute's value, or fallback when the tag has none.
    KxCString attributeOr(std::string_view attributeName, const KxCString& fallback = {}) const;
    // The children with that local name, in document order.
    std::vector<const XmlElement*> childrenNamed(std::string_view childName) const;
    // The first child with that local name, or nullptr.
    const XmlElement* child(std::string_view childName) const;
    // The URI the prefix is bound to here (empty prefix: the default
    // namespace; "xml" is always bound); nothing when it is not bound.
    std::optional<KxCString> namespaceOf(std::string_view prefix) const;
};

// libxml2's message (without its "line N:" prefix) and the line it names.
struct XmlFault {
    KxCString message;
    XmlLocation at;
};

struct XmlDocument {
    std::optional<XmlElement> root;
    std::optional<XmlFault> fault;
};

// The deepest nesting of elements a document may have (the root is level
// 1); deeper nesting is a fault, so that no input exhausts the stack. Below
// libxml2's own bound (256), so that this message is the one users see.
inline constexpr std::size_t kMaxXmlDepth = 128;

// Which entity declarations a document is refused for: external ones (the
// reader's rule; internal ones are expanded within a bound), or any at all.
enum class XmlEntityRefusal { Internal, All };

// Reads the document. Never throws for malformed text.
XmlDocument parseXmlDocument(const KxCString& text,
                             XmlEntityRefusal refusal = XmlEntityRefusal::Internal);

// Splits a reader message "line 37: text" or "line 37, column 5: text" into
// its location and text.
XmlFault splitFaultMessage(const KxCString& message);

}  // namespace kx
