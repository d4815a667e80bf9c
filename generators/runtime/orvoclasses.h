// orvoclasses.h: what the generated classes call to read and write their
// fields: values to and from text, list items, and the errors of elements
// that lack a child.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "orvobase.h"
#include "orvolexical.h"
#include "orvovalues.h"
#include "orvoxml.h"

namespace orvo {

// The generated code reads and writes every value through these, so that the
// parse() and format() of an enumeration, declared beside it in its own
// namespace, are found as well as those of orvovalues.h and orvolexical.h.

template <class T>
std::string toText(const T& value) {
    return format(value);
}
// A string is written as it is, without a copy.
inline const std::string& toText(const std::string& value) {
    return value;
}

template <class T>
T fromText(const std::string& text) {
    T value{};
    parse(text, value);
    return value;
}

// The text with white space collapsed: runs of space, tab and line breaks
// made one space, none at either end (how enumeration values are compared).
inline std::string collapseWhiteSpace(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool space = false;
    for (char c : text) {
        if (detail::isSpace(c)) {
            space = !out.empty();
        } else {
            if (space) {
                out += ' ';
                space = false;
            }
            out += c;
        }
    }
    return out;
}

// The text quoted for a message, cut when long.
inline std::string quoted(const std::string& text) {
    return detail::quote(text);
}

// The values of an enumeration as written in XML, in the order of its
// enumerators (the first is 0): every enumeration's conversions look their
// value up here, so that each is a table of data and not code.
struct EnumTexts {
    const char* const* texts;
    std::size_t count;
    const char* typeName;  // the enumeration's XML name, for messages
};

// The text of the enumerator numbered value; "" for a number outside.
inline const char* enumText(const EnumTexts& table, int value) {
    return value >= 0 && static_cast<std::size_t>(value) < table.count ? table.texts[value] : "";
}

// The number of the enumerator written as text (white space collapsed); an
// unknown value is an XmlError.
inline int enumValue(const EnumTexts& table, const std::string& text) {
    const std::string word = collapseWhiteSpace(text);
    for (std::size_t i = 0; i < table.count; ++i) {
        if (word == table.texts[i]) {
            return static_cast<int>(i);
        }
    }
    throw XmlError(quoted(text) + " is not a value of the enumeration " + table.typeName);
}

// Reads the text of an element or attribute into value; a text that is not
// of the value's type is an XmlError at the element's line.
template <class T>
void readValue(const Element& at, const std::string& text, T& value) {
    try {
        parse(text, value);
    } catch (const XmlError& error) {
        at.fail(error.message() + " in " + at.qualifiedName());
    }
}
// A string read from the document is taken over, not copied.
inline void readValue(const Element&, std::string&& text, std::string& value) {
    value = std::move(text);
}

// Checks each item of a list value (items separated by white space) against
// the item type Item.
template <class Item>
void checkListItems(const Element& at, const std::string& text) {
    std::size_t first = 0;
    while (first < text.size()) {
        while (first < text.size() && detail::isSpace(text[first])) {
            ++first;
        }
        std::size_t end = first;
        while (end < text.size() && !detail::isSpace(text[end])) {
            ++end;
        }
        if (end > first) {
            Item item{};
            readValue(at, text.substr(first, end - first), item);
        }
        first = end;
    }
}

// A required child element that is not where it must be.
[[noreturn]] inline void lacksChild(const Element& parent, const Element& found,
                                    const std::string& expected) {
    if (found) {
        found.fail("the element " + parent.qualifiedName() + " lacks its child " + expected +
                   " (found " + found.qualifiedName() + " in its place)");
    }
    parent.fail("the element " + parent.qualifiedName() + " lacks its child " + expected);
}

}  // namespace orvo
