#pragma once
// An XML document laid out for reading: one element per line, indented by
// its depth, an element that holds only text on one line, and every piece
// marked with what it is, so that a page can colour tags, attribute names,
// attribute values, text and comments. Text and values stay escaped as XML
// writes them; the page escapes them again for HTML.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

struct XmlDisplayToken {
    enum class Kind { Plain, Tag, AttributeName, AttributeValue, Text, Comment };
    Kind kind = Kind::Plain;
    std::string text;
};

// The tokens of the laid-out document, or nothing when it is not
// well-formed (the page then shows the text as it came). No DTD, entity or
// network access; nesting past kMaxXmlDepth is not well-formed here either.
std::optional<std::vector<XmlDisplayToken>> layOutXml(std::string_view text);

// The class name a page gives a token kind ("tag", "attr", "value", "text",
// "comment"; "" for plain).
const char* displayClass(XmlDisplayToken::Kind kind);

}  // namespace kx
