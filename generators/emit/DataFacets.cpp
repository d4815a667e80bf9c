// The statements that check a simple value's facets after it is read: one
// static orvo::Facets per value, built when first used.
#include <string>

#include "generators/emit/DataCodeParts.h"
#include "generators/support/Text.h"
#include "platform/xml/KxXsdSamples.h"

namespace kx::gen::data_code {

namespace {

// How the runtime counts the value's length and compares its range.
const char* facetKind(const SimpleKind& simple) {
    const KxCString& type = simple.xsdType;
    if (type == "list") {
        return "List";
    }
    if (type == "hexBinary") {
        return "Hex";
    }
    if (type == "base64Binary") {
        return "Base64";
    }
    if (type == "float" || type == "double") {
        return "Float";
    }
    if (type == "decimal" || isXsdIntegerType(type)) {
        return "Number";
    }
    if (simple.cppType == "std::string" && type != "QName" && type != "NOTATION") {
        return "Text";
    }
    return "Other";
}

const char* whiteSpaceRule(const SimpleKind& simple) {
    const KxCString& rule = simple.facets.whiteSpace;
    if (rule == "preserve" || (rule.empty() && simple.xsdType == "string")) {
        return "Preserve";
    }
    if (rule == "replace" || (rule.empty() && simple.xsdType == "normalizedString")) {
        return "Replace";
    }
    return "Collapse";
}

KxCString count(const std::optional<std::size_t>& value) {
    return value ? std::to_string(*value) : KxCString("orvo::Facets::kNone");
}

KxCString bound(const std::string& text) {
    return text.empty() ? KxCString("nullptr") : cppLiteral(text);
}

}  // namespace

KxCString checkFacets(const SimpleKind& simple, const KxCString& at, const KxCString& text,
                      const KxCString& attribute) {
    const Facets& facets = simple.facets;
    const KxCString kind = facetKind(simple);
    const bool ranged = (kind == "Number" || kind == "Float") && !simple.range.empty();
    if (simple.enumIndex >= 0 || (facets.empty() && !ranged)) {
        return {};
    }
    KxCString made = "orvo::Facets(orvo::Facets::Kind::" + kind +
                     ", orvo::WhiteSpace::" + whiteSpaceRule(simple) + ")";
    for (const KxCString& pattern : facets.patterns) {
        made += ".pattern(" + cppLiteral(pattern) + ")";
    }
    if (facets.minLength || facets.maxLength) {
        made += ".length(" + (facets.minLength ? std::to_string(*facets.minLength) : "0") + ", " +
                count(facets.maxLength) + ")";
    }
    if (facets.totalDigits || facets.fractionDigits) {
        made += ".digits(" + count(facets.totalDigits) + ", " + count(facets.fractionDigits) + ")";
    }
    if (ranged) {
        const XsdRange& range = simple.range;
        made += ".range(" + bound(range.minInclusive) + ", " + bound(range.maxInclusive) + ", " +
                bound(range.minExclusive) + ", " + bound(range.maxExclusive) + ")";
    }
    return " { static const orvo::Facets facets = " + made + "; facets.check(" + at + ", " + text +
           (attribute.empty() ? KxCString() : ", " + cppLiteral(attribute)) + "); }";
}

}  // namespace kx::gen::data_code
