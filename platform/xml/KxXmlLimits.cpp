#include "platform/xml/KxXmlLimits.h"

#include <algorithm>

namespace kx {

namespace {

// Where the construct that starts at `at` with `open` ends (just past
// `close`), or the end of the text.
std::size_t passOver(std::string_view text, std::size_t at, std::string_view open,
                     std::string_view close) {
    const std::size_t end = text.find(close, at + open.size());
    return end == std::string_view::npos ? text.size() : end + close.size();
}

}  // namespace

std::string XmlCrowdedTag::message() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) +
           ": the element <" + name + "> has more than " + std::to_string(kMaxXmlAttributes) +
           " attributes";
}

std::optional<XmlCrowdedTag> findCrowdedStartTag(std::string_view text) {
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        if (rest.starts_with("<!--")) {
            at = passOver(text, at, "<!--", "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            at = passOver(text, at, "<![CDATA[", "]]>");
        } else if (rest.starts_with("<?")) {
            at = passOver(text, at, "<?", "?>");
        } else if (rest.starts_with("</")) {
            at = passOver(text, at, "</", ">");
        } else {
            // A declaration (<!DOCTYPE, <!ENTITY ...) ends at its '>', or at
            // the '[' of an internal subset whose declarations follow; a
            // start tag ends at its '>'. Quoted text may hold either.
            const bool declaration = rest.starts_with("<!");
            std::size_t attributes = 0;
            char quote = 0;
            std::size_t end = at + 1;
            for (; end < text.size(); ++end) {
                const char c = text[end];
                if (quote != 0) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>' || (declaration && c == '[')) {
                    break;
                } else if (c == '=' && !declaration && ++attributes > kMaxXmlAttributes) {
                    XmlCrowdedTag tag;
                    tag.offset = at;
                    const std::string_view before = text.substr(0, at);
                    tag.line =
                        1 + static_cast<long>(std::count(before.begin(), before.end(), '\n'));
                    const std::size_t lineStart = before.rfind('\n');
                    tag.column = static_cast<long>(
                        at - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1);
                    const std::size_t nameEnd = text.find_first_of(" \t\r\n/>", at + 1);
                    tag.name = std::string(text.substr(at + 1, std::min(nameEnd, end) - at - 1));
                    return tag;
                }
            }
            at = end;
        }
    }
    return std::nullopt;
}

}  // namespace kx
