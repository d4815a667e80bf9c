#pragma once
// A whole XML document as a tree of elements, read with the platform's pull
// reader. The generators look at WSDL, XSD and project files this way. When
// the document is malformed, the tree holds everything read before the fault
// and the fault is reported beside it, so that a generator can still check
// what it has seen.
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "generators/common/Diagnostics.h"
#include "platform/base/KxCString.h"

namespace kx::gen {

struct XmlElement {
    KxCString name;  // local name, without prefix
    std::vector<std::pair<KxCString, KxCString>> attributes;
    KxCString text;  // the text before the first child element
    Location at;     // where the start tag begins
    std::vector<XmlElement> children;

    // The attribute's value, or nullptr when the tag has none.
    const KxCString* attribute(std::string_view attributeName) const;
    // The attribute's value, or fallback when the tag has none.
    KxCString attributeOr(std::string_view attributeName, const KxCString& fallback = {}) const;
    // The children with that local name, in document order.
    std::vector<const XmlElement*> childrenNamed(std::string_view childName) const;
    // The first child with that local name, or nullptr.
    const XmlElement* child(std::string_view childName) const;
};

// libxml2's message (without its "line N:" prefix) and the line it names.
struct XmlFault {
    KxCString message;
    Location at;
};

struct XmlDocument {
    std::optional<XmlElement> root;
    std::optional<XmlFault> fault;
};

// The deepest nesting of elements a document may have (the root is level
// 1); deeper nesting is a fault, so that no input exhausts the stack. Below
// libxml2's own bound (256), so that this message is the one users see.
inline constexpr std::size_t kMaxXmlDepth = 128;

// Reads the document. Never throws for malformed text.
XmlDocument parseXmlDocument(const KxCString& text);

// Splits a reader message "line 37: text" or "line 37, column 5: text" into
// its location and text.
XmlFault splitFaultMessage(const KxCString& message);

}  // namespace kx::gen
