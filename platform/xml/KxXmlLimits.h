#pragma once
// Bounds on what one XML start tag may cost. libxml2 checks the attributes
// of a start tag against each other as it parses it, in time quadratic in
// their number, and offers no hook before it does: a tag with 200,000
// attributes holds the parser for minutes. The readers therefore look over
// the text first, in one linear pass, and refuse a tag with more attributes
// than any real document has before libxml2 sees it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// The most attributes (namespace declarations included) one element may have.
inline constexpr std::size_t kMaxXmlAttributes = 1000;

// A start tag with more than kMaxXmlAttributes attributes.
struct XmlCrowdedTag {
    std::size_t offset = 0;  // of its '<'
    long line = 0;           // 1-based, of its '<'
    long column = 0;
    std::string name;

    // "line L, column C: the element <name> has more than 1000 attributes"
    std::string message() const;
};

// The first such tag of the text, passing over comments, CDATA sections,
// processing instructions, declarations and quoted values; nothing when
// every tag is within the bound.
std::optional<XmlCrowdedTag> findCrowdedStartTag(std::string_view text);

}  // namespace kx
