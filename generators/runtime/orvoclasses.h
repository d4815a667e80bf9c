// orvoclasses.h: what the generated classes call to read and write their
// fields: values to and from text, qualified names, list items, and the
// errors of elements that lack a child.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "orvobase.h"
#include "orvolexical.h"
#include "orvovalues.h"
#include "orvowriter.h"
#include "orvoxml.h"

namespace orvo {

// An xsd:QName value: a namespace and a local name. The prefix it was
// read with is kept so that it is written with the same one where it can.
struct QName {
    std::string ns;  // empty for no namespace
    std::string local;
    std::string prefix;

    bool operator==(const QName& other) const { return ns == other.ns && local == other.local; }
    bool operator!=(const QName& other) const { return !(*this == other); }
};

// Without an element to resolve a prefix at, a QName's text is
// "prefix:local" or "local", its namespace unknown ("{ns}local" names one).
inline void parse(const std::string& text, QName& value) {
    const std::string trimmed(detail::trim(text));
    value = QName{};
    if (!trimmed.empty() && trimmed[0] == '{' && trimmed.find('}') != std::string::npos) {
        value.ns = trimmed.substr(1, trimmed.find('}') - 1);
        value.local = trimmed.substr(trimmed.find('}') + 1);
        return;
    }
    const std::size_t colon = trimmed.find(':');
    value.prefix = colon == std::string::npos ? std::string() : trimmed.substr(0, colon);
    value.local = colon == std::string::npos ? trimmed : trimmed.substr(colon + 1);
}
inline std::string format(const QName& value) {
    return value.prefix.empty() ? value.local : value.prefix + ":" + value.local;
}

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
// A QName's prefix is resolved where it is written; without one it is in
// the default namespace there.
inline void readValue(const Element& at, const std::string& text, QName& value) {
    parse(text, value);
    const bool emptyPrefix = value.prefix.empty() && text.find(':') != std::string::npos;
    if (value.local.empty() || emptyPrefix || value.local.find(':') != std::string::npos) {
        at.fail("the value " + quoted(text) + " in " + at.qualifiedName() +
                " is not a qualified name");
    }
    if (!at.lookupNamespace(value.prefix, value.ns)) {
        if (!value.prefix.empty()) {
            at.fail("the prefix " + value.prefix + " of the value " + quoted(text) + " in " +
                    at.qualifiedName() + " is not declared");
        }
        value.ns.clear();
    }
}

// A QName written with the prefix bound to its namespace in scope, declared
// on the element just started when there is none.
inline std::string toText(Writer& out, const QName& value) {
    if (!value.ns.empty()) {
        out.prefer(value.prefix, value.ns);
    }
    const std::string prefix = out.prefix(value.ns);
    return prefix.empty() ? value.local : prefix + ":" + value.local;
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

// Whether text is a value of type T (whose parse() refuses what is not).
template <class T>
bool isValueOf(const std::string& text) {
    try {
        T value{};
        parse(text, value);
        return true;
    } catch (const XmlError&) {
        return false;
    }
}

// Which member type of a union, Members in order, a value is of: the index
// of the first whose lexical form it has, -1 when none.
template <class... Members>
int unionMember(const std::string& text) {
    int index = 0;
    int found = -1;
    ((found < 0 && isValueOf<Members>(text) ? found = index : 0, ++index), ...);
    return found;
}

// Checks that a union's value read at `at` is of one of its member types
// (a QName's prefix resolved there).
template <class... Members>
void checkUnion(const Element& at, const std::string& text) {
    const auto fits = [&at, &text](auto member) {
        try {
            readValue(at, text, member);
            return true;
        } catch (const XmlError&) {
            return false;
        }
    };
    if (!(fits(Members{}) || ...)) {
        at.fail("the value " + quoted(text) + " in " + at.qualifiedName() +
                " is of none of its union's member types");
    }
}

// ---- required fields still unset ---------------------------------------------
// The generated missingFields() walks an object with these: the path of a
// field below its holder, and which values held by value count as unset.
// A string, number, boolean, enumeration or date held by value always holds
// a value of its type, so only a QName without a local name counts.

// The walk stops this deep in held objects (objects held by shared_ptr may
// make a cycle) and after this many paths.
inline constexpr int kMaxMissingDepth = 64;
inline constexpr std::size_t kMaxMissingFields = 100;

// "prefix/name", or name at the top.
inline std::string fieldPath(const std::string& prefix, const std::string& name) {
    return prefix.empty() ? name : prefix + "/" + name;
}
// "name[index]": one item of a repeated field.
inline std::string itemPath(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

template <class T>
bool isUnsetValue(const T&) {
    return false;
}
inline bool isUnsetValue(const QName& value) {
    return value.local.empty();
}

// Whether the walk may go on: not too deep and not too many found.
inline bool walksOn(int depth, const std::vector<std::string>& found) {
    return depth <= kMaxMissingDepth && found.size() < kMaxMissingFields;
}

// The error a client proxy throws, before sending anything, for a request
// whose required fields are unset (missingFields() of its inputs): a fault
// of the client, naming the first of them.
class IncompleteRequest : public Fault {
  public:
    IncompleteRequest(const std::string& operation, std::vector<std::string> missing)
        : Fault("Client", textOf(operation, missing)), missing_(std::move(missing)) {}
    // The paths of the unset fields, each from the input's element name.
    const std::vector<std::string>& missing() const { return missing_; }

  private:
    static std::string textOf(const std::string& operation,
                              const std::vector<std::string>& missing) {
        std::string text = "the request of " + operation + " is not sent: required ";
        text += missing.size() == 1 ? "field unset: " : "fields unset: ";
        const std::size_t shown = missing.size() < 3 ? missing.size() : 3;
        for (std::size_t i = 0; i < shown; ++i) {
            text += (i == 0 ? "" : ", ") + missing[i];
        }
        if (missing.size() > shown) {
            text += " and " + std::to_string(missing.size() - shown) + " more";
        }
        return text + " (setSendIncomplete(true) sends it as it is)";
    }

    std::vector<std::string> missing_;
};

inline void refuseIncomplete(const std::string& operation, std::vector<std::string> missing) {
    if (!missing.empty()) {
        throw IncompleteRequest(operation, std::move(missing));
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
