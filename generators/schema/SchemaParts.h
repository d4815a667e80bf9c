#pragma once
// What the parts of the schema model share: the bounds of a run, the
// attribute readers, and the settings of one schema element.
#include <algorithm>

#include "generators/schema/Schema.h"
#include "platform/base/KxText.h"

namespace kx::gen {

namespace schema_parts {

// Types nest this deep at most when one simple type restricts another, and
// groups this deep when they refer to each other.
constexpr int kMaxTypeDepth = 32;
// The most schema files one run reads through include and import.
constexpr std::size_t kMaxSchemaFiles = 1000;
// The most schema text one run reads, all files together: the parsed trees
// stay in memory for the whole run.
constexpr std::size_t kMaxSchemaBytes = 64 * 1024 * 1024;

constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// minOccurs or maxOccurs as a number; "unbounded" is the largest.
inline std::size_t occursValue(const XmlElement& element, const char* attribute) {
    const KxCString text = element.attributeOr(attribute, "1");
    if (text == "unbounded") {
        return static_cast<std::size_t>(-1);
    }
    std::size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return 1;
        }
        value = value > 100000000 ? value : value * 10 + static_cast<std::size_t>(c - '0');
    }
    return value;
}

inline bool isTrueAttribute(const XmlElement& element, const char* attribute) {
    const KxCString value(kx::trimWhitespace(element.attributeOr(attribute)));
    return value == "true" || value == "1";
}

inline KxCString qualifiedCppName(const KxCString& cppNamespace, const KxCString& className) {
    return cppNamespace.empty() ? "::" + className : "::" + cppNamespace + "::" + className;
}

}  // namespace schema_parts

// One schema element and the settings that apply inside it.
struct Schema::Document {
    const XmlElement* schema = nullptr;
    SourceFile source;
    KxCString targetNamespace;
    bool chameleon = false;  // an include without a target namespace takes the includer's
    bool elementsQualified = false;
    bool attributesQualified = false;
};

}  // namespace kx::gen
