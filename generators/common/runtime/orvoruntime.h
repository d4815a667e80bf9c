// orvoruntime.h: support for the classes the orvowizard reference generators
// write. XML text (escaping, reading one element and its children), value
// formatting and parsing, SOAP envelopes and faults. Header only; C++17.
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <locale>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvo {

// A SOAP fault: its code ("Client" for a bad request, "Server" for a failure
// of the service) and text.
class Fault : public std::runtime_error {
  public:
    Fault(std::string code, const std::string& text)
        : std::runtime_error(text), code_(std::move(code)) {}
    const std::string& code() const { return code_; }

  private:
    std::string code_;
};

// ---- text ------------------------------------------------------------------

inline std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

// The UTF-8 form of a character number.
inline void appendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Replaces the predefined entities and character references; anything else
// after '&' stays as written.
inline std::string unescape(const std::string& text) {
    static const std::pair<const char*, char> kEntities[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semicolon == std::string::npos || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        const std::string name = text.substr(i + 1, semicolon - i - 1);
        bool replaced = false;
        for (const auto& entity : kEntities) {
            if (name == entity.first) {
                out += entity.second;
                replaced = true;
            }
        }
        if (!replaced && name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(hex ? 2 : 1);
            const std::size_t valid =
                digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789");
            if (!digits.empty() && valid == std::string::npos) {
                appendUtf8(out, std::stoul(digits, nullptr, hex ? 16 : 10));
                replaced = true;
            }
        }
        if (replaced) {
            i = semicolon;
        } else {
            out += text[i];
        }
    }
    return out;
}

inline std::string trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::string();
    }
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// ---- values ----------------------------------------------------------------

inline std::string format(const std::string& value) {
    return value;
}
inline std::string format(bool value) {
    return value ? "true" : "false";
}

// Numbers in the XML Schema lexical form; floating-point values with the
// fewest digits that read back to the same value.
template <typename T>
std::string format(const T& value) {
    static_assert(std::is_arithmetic<T>::value, "orvo::format takes numbers, bool and strings");
    if constexpr (std::is_floating_point<T>::value) {
        if (std::isnan(value)) {
            return "NaN";
        }
        if (std::isinf(value)) {
            return value > 0 ? "INF" : "-INF";
        }
        // The fewest significant digits that read back to the same value.
        int digits = 1;
        std::string text;
        for (;; ++digits) {
            std::ostringstream out;
            out.imbue(std::locale::classic());
            out.precision(digits);
            out << value;
            text = out.str();
            std::istringstream in(text);
            in.imbue(std::locale::classic());
            T back{};
            if (digits >= std::numeric_limits<T>::max_digits10 || ((in >> back) && back == value)) {
                break;
            }
        }
        // Written without an exponent unless the value is very large or small
        // (10 rather than 1e+01).
        const int exponent =
            value == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value))));
        if (text.find('e') != std::string::npos && exponent >= -5 && exponent < 17) {
            std::ostringstream out;
            out.imbue(std::locale::classic());
            out.setf(std::ios::fixed, std::ios::floatfield);
            out.precision(digits - 1 - exponent > 0 ? digits - 1 - exponent : 0);
            out << value;
            text = out.str();
        }
        return text;
    } else {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out << +value;
        return out.str();
    }
}

inline bool parse(const std::string& text, std::string& value) {
    value = text;
    return true;
}

inline bool parse(const std::string& text, bool& value) {
    const std::string word = trim(text);
    if (word == "true" || word == "1") {
        value = true;
    } else if (word == "false" || word == "0") {
        value = false;
    } else {
        return false;
    }
    return true;
}

// Reads a number written in the XML Schema lexical form; false (the value
// unchanged) for anything else.
template <typename T>
bool parse(const std::string& text, T& value) {
    static_assert(std::is_arithmetic<T>::value, "orvo::parse takes numbers, bool and strings");
    const std::string word = trim(text);
    if constexpr (std::is_floating_point<T>::value) {
        if (word == "NaN" || word == "INF" || word == "-INF") {
            value = word == "NaN"   ? std::numeric_limits<T>::quiet_NaN()
                    : word == "INF" ? std::numeric_limits<T>::infinity()
                                    : -std::numeric_limits<T>::infinity();
            return true;
        }
    }
    if constexpr (std::is_unsigned<T>::value) {
        if (!word.empty() && word[0] == '-') {
            return false;
        }
    }
    std::istringstream in(word);
    in.imbue(std::locale::classic());
    T parsed{};
    if (word.empty() || !(in >> parsed) || in.peek() != std::char_traits<char>::eof()) {
        return false;
    }
    value = parsed;
    return true;
}

// ---- writing XML -------------------------------------------------------------

// ' name="value"', the value escaped.
inline std::string attribute(const std::string& name, const std::string& value) {
    return " " + name + "=\"" + escape(value) + "\"";
}

// <name>text</name>, the text escaped.
inline std::string element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + escape(text) + "</" + name + ">";
}

// ---- reading XML -------------------------------------------------------------

inline std::string localName(const std::string& name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

// One element: its local name, its attributes (local names, values
// unescaped, namespace declarations left out) and its content as written.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string content;
};

namespace detail {

struct Tag {
    std::string name;
    std::map<std::string, std::string> attributes;
    bool closing = false;
    bool selfClosing = false;
    std::size_t end = 0;  // just past the '>'
};

// Just past a comment, processing instruction, CDATA section or declaration
// starting at pos; npos when it does not end. pos itself when none starts.
inline std::size_t skipSpecial(const std::string& xml, std::size_t pos) {
    struct Kind {
        const char* open;
        const char* close;
    };
    static const Kind kKinds[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}};
    for (const Kind& kind : kKinds) {
        if (xml.compare(pos, std::char_traits<char>::length(kind.open), kind.open) == 0) {
            const std::size_t close = xml.find(kind.close, pos);
            return close == std::string::npos ? close
                                              : close + std::char_traits<char>::length(kind.close);
        }
    }
    return pos;
}

inline bool isNameEnd(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>' || c == '=';
}

// Reads the start or end tag at pos (which holds '<').
inline bool readTag(const std::string& xml, std::size_t pos, Tag& tag) {
    tag = Tag();
    std::size_t i = pos + 1;
    if (i < xml.size() && xml[i] == '/') {
        tag.closing = true;
        ++i;
    }
    const std::size_t nameStart = i;
    while (i < xml.size() && !isNameEnd(xml[i])) {
        ++i;
    }
    if (i == nameStart) {
        return false;
    }
    tag.name = localName(xml.substr(nameStart, i - nameStart));
    for (;;) {
        while (i < xml.size() &&
               (xml[i] == ' ' || xml[i] == '\t' || xml[i] == '\r' || xml[i] == '\n')) {
            ++i;
        }
        if (i >= xml.size()) {
            return false;
        }
        if (xml[i] == '>') {
            tag.end = i + 1;
            return true;
        }
        if (xml[i] == '/' && i + 1 < xml.size() && xml[i + 1] == '>') {
            tag.selfClosing = true;
            tag.end = i + 2;
            return true;
        }
        const std::size_t attributeStart = i;
        while (i < xml.size() && !isNameEnd(xml[i])) {
            ++i;
        }
        const std::string name = xml.substr(attributeStart, i - attributeStart);
        while (i < xml.size() && xml[i] != '=' && xml[i] != '>') {
            ++i;
        }
        if (name.empty() || i >= xml.size() || xml[i] != '=') {
            return false;
        }
        i = xml.find_first_of("\"'", i);
        if (i == std::string::npos) {
            return false;
        }
        const std::size_t close = xml.find(xml[i], i + 1);
        if (close == std::string::npos) {
            return false;
        }
        if (name != "xmlns" && name.compare(0, 6, "xmlns:") != 0) {
            tag.attributes[localName(name)] = unescape(xml.substr(i + 1, close - i - 1));
        }
        i = close + 1;
    }
}

// The next tag at or after pos, passing over text and special markup.
inline bool nextTag(const std::string& xml, std::size_t& pos, Tag& tag) {
    for (;;) {
        pos = xml.find('<', pos);
        if (pos == std::string::npos) {
            return false;
        }
        const std::size_t skipped = skipSpecial(xml, pos);
        if (skipped == std::string::npos) {
            return false;
        }
        if (skipped != pos) {
            pos = skipped;
            continue;
        }
        return readTag(xml, pos, tag);
    }
}

// From just past a start tag, finds the matching end tag: contentEnd is
// where it begins and after is just past it.
inline bool findEnd(const std::string& xml, std::size_t pos, std::size_t& contentEnd,
                    std::size_t& after) {
    int depth = 0;
    Tag tag;
    while (nextTag(xml, pos, tag)) {
        if (tag.closing) {
            if (depth == 0) {
                contentEnd = pos;
                after = tag.end;
                return true;
            }
            --depth;
        } else if (!tag.selfClosing) {
            ++depth;
        }
        pos = tag.end;
    }
    return false;
}

}  // namespace detail

// Reads the first element of the text; false when there is none or it is
// not complete.
inline bool parseElement(const std::string& xml, Element& element) {
    std::size_t pos = 0;
    detail::Tag tag;
    if (!detail::nextTag(xml, pos, tag) || tag.closing) {
        return false;
    }
    element.name = tag.name;
    element.attributes = tag.attributes;
    element.content.clear();
    if (tag.selfClosing) {
        return true;
    }
    std::size_t contentEnd = 0;
    std::size_t after = 0;
    if (!detail::findEnd(xml, tag.end, contentEnd, after)) {
        return false;
    }
    element.content = xml.substr(tag.end, contentEnd - tag.end);
    return true;
}

// The child elements of an element's content with that local name (every
// child when the name is empty), each as its whole markup, in order.
inline std::vector<std::string> children(const std::string& content, const std::string& name) {
    std::vector<std::string> found;
    std::size_t pos = 0;
    detail::Tag tag;
    while (detail::nextTag(content, pos, tag) && !tag.closing) {
        std::size_t after = tag.end;
        std::size_t contentEnd = 0;
        if (!tag.selfClosing && !detail::findEnd(content, tag.end, contentEnd, after)) {
            break;
        }
        if (name.empty() || tag.name == name) {
            found.push_back(content.substr(pos, after - pos));
        }
        pos = after;
    }
    return found;
}

// The text of an element (its markup given whole), unescaped; CDATA is kept
// as written and child elements are left out.
inline std::string text(const std::string& xml) {
    Element element;
    if (!parseElement(xml, element)) {
        return std::string();
    }
    const std::string& content = element.content;
    std::string out;
    std::string run;  // text not yet unescaped
    int depth = 0;
    std::size_t pos = 0;
    while (pos < content.size()) {
        if (content[pos] != '<') {
            if (depth == 0) {
                run += content[pos];
            }
            ++pos;
            continue;
        }
        if (content.compare(pos, 9, "<![CDATA[") == 0) {
            const std::size_t close = content.find("]]>", pos);
            if (depth == 0) {
                out += unescape(run);
                run.clear();
                out += content.substr(
                    pos + 9, close == std::string::npos ? std::string::npos : close - pos - 9);
            }
            pos = close == std::string::npos ? content.size() : close + 3;
            continue;
        }
        const std::size_t skipped = detail::skipSpecial(content, pos);
        if (skipped != pos) {
            pos = skipped == std::string::npos ? content.size() : skipped;
            continue;
        }
        detail::Tag tag;
        if (!detail::readTag(content, pos, tag)) {
            break;
        }
        if (tag.closing) {
            --depth;
        } else if (!tag.selfClosing) {
            ++depth;
        }
        pos = tag.end;
    }
    return out + unescape(run);
}

// ---- SOAP ------------------------------------------------------------------

inline std::string soapEnvelope(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
           "<soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

// The first element inside the envelope's Body; the text itself when it is
// no envelope. Throws a Client fault for an envelope without a Body.
inline std::string soapBody(const std::string& envelope) {
    Element outer;
    if (!parseElement(envelope, outer) || outer.name != "Envelope") {
        return envelope;
    }
    const std::vector<std::string> bodies = children(outer.content, "Body");
    Element body;
    if (bodies.empty() || !parseElement(bodies.front(), body)) {
        throw Fault("Client", "the SOAP envelope has no Body");
    }
    const std::vector<std::string> content = children(body.content, "");
    return content.empty() ? std::string() : content.front();
}

inline std::string faultElement(const Fault& fault) {
    return "<soap:Fault><faultcode>soap:" + escape(fault.code()) + "</faultcode><faultstring>" +
           escape(fault.what()) + "</faultstring></soap:Fault>";
}

// Throws the fault a response body carries, if it is one.
inline void throwIfFault(const std::string& body) {
    Element element;
    if (!parseElement(body, element) || element.name != "Fault") {
        return;
    }
    std::string code = "Server";
    std::string message = "the service reported a fault";
    for (const std::string& child : children(element.content, "faultcode")) {
        code = localName(trim(text(child)));
    }
    for (const std::string& child : children(element.content, "faultstring")) {
        message = text(child);
    }
    throw Fault(code, message);
}

}  // namespace orvo
