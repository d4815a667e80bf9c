// orvoruntime.h: support for the classes orvowizard's generators write.
// Reading XML documents (through libxml2), writing XML text with the
// namespace declarations it needs, the lexical forms of the XML Schema
// simple types, and SOAP 1.1 envelopes and faults.
//
// Header only, valid C++17. Build with `pkg-config --cflags --libs libxml-2.0`.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

// Floating-point std::from_chars/std::to_chars are missing from older standard
// libraries; streams in the classic locale stand in for them there.
#if !defined(__cpp_lib_to_chars) || defined(ORVO_NO_FLOAT_CHARCONV)
#include <cstdlib>
#include <locale>
#include <sstream>
#define ORVO_STREAM_FLOATS 1
#endif

namespace orvo {

// Namespaces the generated code uses.
inline constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr const char* kSoapEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

namespace detail {

inline std::string located(const std::string& message, long line, long column) {
    if (line <= 0) {
        return message;
    }
    std::string out = "line " + std::to_string(line);
    if (column > 0) {
        out += ", column " + std::to_string(column);
    }
    return out + ": " + message;
}

}  // namespace detail

// Malformed XML, or a document whose content does not fit the classes.
class XmlError : public std::runtime_error {
  public:
    explicit XmlError(const std::string& message, long line = 0, long column = 0)
        : std::runtime_error(detail::located(message, line, column)),
          message_(message),
          line_(line),
          column_(column) {}
    // The message without the location.
    const std::string& message() const { return message_; }
    // 1-based; 0 when unknown.
    long line() const { return line_; }
    long column() const { return column_; }

  private:
    std::string message_;
    long line_;
    long column_;
};

class Writer;

// A SOAP fault: its code ("Client" for a bad request, "Server" for a failure
// of the service) and text. A fault the WSDL declares is a class derived
// from it that writes its detail element.
class Fault : public std::runtime_error {
  public:
    Fault(std::string code, const std::string& text)
        : std::runtime_error(text), code_(std::move(code)) {}
    const std::string& code() const { return code_; }

    // Whether the fault carries a detail, and writes it (the content of the
    // fault's detail element).
    virtual bool hasDetail() const { return false; }
    virtual void writeDetail(Writer& out) const { (void)out; }

  private:
    std::string code_;
};

namespace detail {

inline const char* chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}

inline bool same(const xmlChar* text, std::string_view other) {
    return other == chars(text);
}

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without leading and trailing XML white space.
inline std::string_view trim(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isSpace(text[first])) {
        ++first;
    }
    while (last > first && isSpace(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// The text in quotes for a message: at most 40 characters, "..." when cut.
inline std::string quote(std::string_view text) {
    if (text.size() <= 40) {
        return "'" + std::string(text) + "'";
    }
    std::size_t cut = 40;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;  // not inside a UTF-8 sequence
    }
    return "'" + std::string(text.substr(0, cut)) + "...'";
}

inline void initParser() {
    static const bool initialized = (xmlInitParser(), true);
    (void)initialized;
}

// What one parse learns through its handlers; reached through the parser
// context's _private field, which libxml2 leaves to its user.
struct ParseState {
    bool failed = false;
    std::string message;
    long line = 0;
    long column = 0;
    std::string entity;  // the first entity the document declares
    long doctypeLine = 0;
};

inline ParseState& stateOf(void* context) {
    return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

// The handler's error parameter is xmlErrorPtr in older libxml2 and
// const xmlError* in newer; it is taken from the function type itself.
template <class F>
struct ErrorHandler;

template <class E>
struct ErrorHandler<void (*)(void*, E)> {
    static void handle(void* context, E error) {
        if (context == nullptr || error == nullptr || error->level < XML_ERR_ERROR) {
            return;  // warnings are not failures
        }
        ParseState& state = stateOf(context);
        if (state.failed) {
            return;  // the first error says the most
        }
        state.failed = true;
        state.message = error->message != nullptr ? error->message : "malformed XML";
        while (!state.message.empty() && isSpace(state.message.back())) {
            state.message.pop_back();
        }
        state.line = error->line;
        state.column = error->int2;
    }
};

inline void onInternalSubset(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    stateOf(context).doctypeLine = parser->input != nullptr ? parser->input->line : 0;
}

// Entities are refused before any is expanded: the parse stops at the first
// declaration, so no entity can amplify the document.
inline void refuseEntity(void* context, const xmlChar* name) {
    ParseState& state = stateOf(context);
    if (state.entity.empty()) {
        state.entity = name != nullptr ? chars(name) : "";
        if (state.entity.empty()) {
            state.entity = "?";
        }
    }
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

inline void onEntityDecl(void* context, const xmlChar* name, int, const xmlChar*, const xmlChar*,
                         xmlChar*) {
    refuseEntity(context, name);
}

inline void onUnparsedEntityDecl(void* context, const xmlChar* name, const xmlChar*, const xmlChar*,
                                 const xmlChar*) {
    refuseEntity(context, name);
}

// The most attributes one start tag may have. libxml2 checks a tag's
// attributes against each other in quadratic time before any handler is
// called, so the text is looked over first, in one pass that passes over
// comments, CDATA, processing instructions, declarations and quoted values.
inline constexpr std::size_t kMaxAttributes = 1000;

// Throws XmlError naming the first start tag with more attributes.
inline void refuseCrowdedStartTags(std::string_view text) {
    const auto passOver = [&](std::size_t at, std::string_view open, std::string_view close) {
        const std::size_t end = text.find(close, at + open.size());
        return end == std::string_view::npos ? text.size() : end + close.size();
    };
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        if (rest.substr(0, 4) == "<!--") {
            at = passOver(at, "<!--", "-->");
            continue;
        }
        if (rest.substr(0, 9) == "<![CDATA[") {
            at = passOver(at, "<![CDATA[", "]]>");
            continue;
        }
        if (rest.substr(0, 2) == "<?") {
            at = passOver(at, "<?", "?>");
            continue;
        }
        if (rest.substr(0, 2) == "</") {
            at = passOver(at, "</", ">");
            continue;
        }
        const bool declaration = rest.substr(0, 2) == "<!";
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
            } else if (c == '=' && !declaration && ++attributes > kMaxAttributes) {
                long line = 1;
                std::size_t lineStart = 0;
                for (std::size_t i = 0; i < at; ++i) {
                    if (text[i] == '\n') {
                        ++line;
                        lineStart = i + 1;
                    }
                }
                const std::size_t nameEnd = text.find_first_of(" \t\r\n/>", at + 1);
                throw XmlError(
                    "the element <" +
                        std::string(text.substr(at + 1, std::min(nameEnd, end) - at - 1)) +
                        "> has more than " + std::to_string(kMaxAttributes) + " attributes",
                    line, static_cast<long>(at - lineStart + 1));
            }
        }
        at = end;
    }
}

struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};

struct ContextFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

}  // namespace detail

class Document;

// A view of one element of a Document; valid while the Document lives.
// Cheap to copy. Default-constructed, it is no element.
class Element {
  public:
    Element() = default;

    explicit operator bool() const { return node_ != nullptr; }

    // The accessors below give empty results on a null Element.
    std::string localName() const { return node_ != nullptr ? detail::chars(node_->name) : ""; }

    // "" when the element has no namespace.
    std::string namespaceUri() const {
        return node_ != nullptr && node_->ns != nullptr && node_->ns->href != nullptr
                   ? detail::chars(node_->ns->href)
                   : "";
    }

    // Whether this is the element {ns}local; ns "" means no namespace.
    bool is(std::string_view ns, std::string_view local) const {
        if (node_ == nullptr || !detail::same(node_->name, local)) {
            return false;
        }
        const xmlChar* href = node_->ns != nullptr ? node_->ns->href : nullptr;
        return href == nullptr || *href == 0 ? ns.empty() : detail::same(href, ns);
    }

    long line() const { return node_ != nullptr ? xmlGetLineNo(node_) : 0; }

    // "{uri}local", or "local" without a namespace: for messages.
    std::string qualifiedName() const {
        const std::string ns = namespaceUri();
        return ns.empty() ? localName() : "{" + ns + "}" + localName();
    }

    // The attribute {ns}local (ns "" for an unqualified attribute), its
    // references replaced; false when the element does not carry it.
    bool attribute(std::string_view ns, std::string_view local, std::string& value) const {
        if (node_ == nullptr) {
            return false;
        }
        for (xmlAttrPtr a = node_->properties; a != nullptr; a = a->next) {
            const xmlChar* href = a->ns != nullptr ? a->ns->href : nullptr;
            const bool nsMatches =
                href == nullptr || *href == 0 ? ns.empty() : detail::same(href, ns);
            if (!nsMatches || !detail::same(a->name, local)) {
                continue;
            }
            value.clear();
            for (xmlNodePtr part = a->children; part != nullptr; part = part->next) {
                if (part->content != nullptr) {
                    value += detail::chars(part->content);
                }
            }
            return true;
        }
        return false;
    }

    // True when the element carries xsi:nil="true" (or "1").
    bool isNil() const {
        std::string value;
        if (!attribute(kXsiNamespace, "nil", value)) {
            return false;
        }
        const std::string_view word = detail::trim(value);
        return word == "true" || word == "1";
    }

    // The text and CDATA of the element's own children, concatenated; the
    // text of child elements is left out.
    std::string text() const {
        if (node_ == nullptr) {
            return std::string();
        }
        std::size_t size = 0;
        for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
            if (isText(child)) {
                size += std::strlen(detail::chars(child->content));
            }
        }
        std::string out;
        out.reserve(size);
        for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
            if (isText(child)) {
                out += detail::chars(child->content);
            }
        }
        return out;
    }

    // The first child element; a null Element when there is none.
    Element firstChild() const {
        return Element(node_ != nullptr ? elementFrom(node_->children) : nullptr);
    }
    // The next sibling element; a null Element at the end.
    Element nextSibling() const {
        return Element(node_ != nullptr ? elementFrom(node_->next) : nullptr);
    }

    // Throws XmlError(message) with this element's line.
    [[noreturn]] void fail(const std::string& message) const { throw XmlError(message, line(), 0); }

    // The namespace a prefix is bound to here ("" for the default namespace);
    // false when it is not bound. For xsd:QName values.
    bool lookupNamespace(const std::string& prefix, std::string& uri) const {
        if (node_ == nullptr) {
            return false;
        }
        xmlNsPtr ns = xmlSearchNs(
            node_->doc, node_,
            prefix.empty() ? nullptr : reinterpret_cast<const xmlChar*>(prefix.c_str()));
        if (ns == nullptr || ns->href == nullptr || *ns->href == 0) {
            return false;  // unbound, or undeclared with xmlns=""
        }
        uri = detail::chars(ns->href);
        return true;
    }

  private:
    friend class Document;

    explicit Element(xmlNodePtr node) : node_(node) {}

    static bool isText(xmlNodePtr node) {
        return (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) &&
               node->content != nullptr;
    }

    static xmlNodePtr elementFrom(xmlNodePtr node) {
        while (node != nullptr && node->type != XML_ELEMENT_NODE) {
            node = node->next;
        }
        return node;
    }

    xmlNodePtr node_ = nullptr;
};

// A parsed document; it owns libxml2's tree. Move-only.
class Document {
  public:
    // Reads the text. Throws XmlError, with the line and column libxml2
    // gives, for malformed text and for documents that declare entities, and
    // for a start tag with more than detail::kMaxAttributes attributes.
    // Nothing is printed; no DTD or other file is loaded.
    static Document parse(const std::string& text) {
        detail::initParser();
        if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            throw XmlError("the document is too large to read");
        }
        detail::refuseCrowdedStartTags(text);
        std::unique_ptr<xmlParserCtxt, detail::ContextFree> context(xmlNewParserCtxt());
        if (!context || context->sax == nullptr) {
            throw XmlError("out of memory");
        }
        detail::ParseState state;
        context->_private = &state;
        context->sax->serror = &detail::ErrorHandler<xmlStructuredErrorFunc>::handle;
        context->sax->internalSubset = &detail::onInternalSubset;
        context->sax->entityDecl = &detail::onEntityDecl;
        context->sax->unparsedEntityDecl = &detail::onUnparsedEntityDecl;
        std::unique_ptr<xmlDoc, detail::DocFree> doc(xmlCtxtReadMemory(
            context.get(), text.data(), static_cast<int>(text.size()), nullptr, nullptr,
            XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT));
        if (!state.entity.empty()) {
            throw XmlError("the document declares the entity " + state.entity +
                               "; documents that declare entities are refused",
                           state.doctypeLine);
        }
        if (state.failed) {
            throw XmlError(state.message, state.line, state.column);
        }
        if (!doc || !context->wellFormed || xmlDocGetRootElement(doc.get()) == nullptr) {
            throw XmlError("the document could not be read");
        }
        return Document(doc.release());
    }

    Element root() const { return Element(xmlDocGetRootElement(doc_.get())); }

  private:
    explicit Document(xmlDocPtr doc) : doc_(doc) {}

    std::unique_ptr<xmlDoc, detail::DocFree> doc_;
};

namespace detail {

[[noreturn]] inline void refuseCharacter(unsigned long code) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string number;
    for (int shift = code > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
        number += kHex[(code >> shift) & 0xF];
    }
    throw XmlError("the value holds the character U+" + number + ", which XML cannot hold");
}

[[noreturn]] inline void refuseUtf8(std::size_t offset) {
    throw XmlError("the value holds invalid UTF-8 (at byte " + std::to_string(offset) + ")");
}

// The length of the UTF-8 sequence at p, which starts with a byte of 0x80 or
// more; throws for malformed sequences and for U+FFFE and U+FFFF.
inline std::size_t utf8Length(const unsigned char* p, const unsigned char* end,
                              std::size_t offset) {
    const unsigned char c = *p;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        refuseUtf8(offset);
    }
    if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high) {
        refuseUtf8(offset);
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            refuseUtf8(offset);
        }
    }
    if (c == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF)) {
        refuseCharacter(p[2] == 0xBE ? 0xFFFE : 0xFFFF);
    }
    return length;
}

// Appends the value escaped for text content, or for an attribute value in
// double quotes (where white space other than the space is kept as a
// character reference, so that reading does not normalize it away).
inline void appendEscapedUnchecked(std::string& out, const std::string& value, bool inAttribute) {
    const auto* begin = reinterpret_cast<const unsigned char*>(value.data());
    const auto* end = begin + value.size();
    const auto* run = begin;
    for (const auto* p = begin; p < end;) {
        const unsigned char c = *p;
        if (c >= 0x80) {
            p += utf8Length(p, end, static_cast<std::size_t>(p - begin));
            continue;
        }
        const char* replacement = nullptr;
        switch (c) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '"':
                replacement = inAttribute ? "&quot;" : nullptr;
                break;
            case '\t':
                replacement = inAttribute ? "&#9;" : nullptr;
                break;
            case '\n':
                replacement = inAttribute ? "&#10;" : nullptr;
                break;
            case '\r':
                replacement = "&#13;";
                break;
            default:
                if (c < 0x20) {
                    refuseCharacter(c);
                }
                break;
        }
        if (replacement != nullptr) {
            out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
            out += replacement;
            run = p + 1;
        }
        ++p;
    }
    out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(end - run));
}

// As appendEscapedUnchecked; a refused value leaves out as it was.
inline void appendEscaped(std::string& out, const std::string& value, bool inAttribute) {
    const std::size_t mark = out.size();
    try {
        appendEscapedUnchecked(out, value, inAttribute);
    } catch (...) {
        out.resize(mark);
        throw;
    }
}

}  // namespace detail

// Writes XML text: elements, attributes and text, declaring namespaces where
// they are first needed. No XML declaration is written.
class Writer {
  public:
    Writer() {
        out_.reserve(4096);
        bindings_.emplace_back("xml", "http://www.w3.org/XML/1998/namespace");  // always bound
        preferred_.emplace_back("xsi", kXsiNamespace);
    }

    // Asks that namespace ns be written with this prefix when it must be
    // declared. An empty prefix is ignored (the default namespace is never
    // declared), and so is "xmlns", which cannot be bound.
    void prefer(const std::string& prefix, const std::string& ns) {
        if (prefix.empty() || prefix == "xmlns") {
            return;
        }
        for (auto& entry : preferred_) {
            if (entry.second == ns) {
                entry.first = prefix;
                return;
            }
        }
        preferred_.emplace_back(prefix, ns);
    }

    // Starts element {ns}local (ns "" for no namespace), declaring ns on it
    // when no prefix in scope is bound to it.
    void start(std::string_view ns, std::string_view local) {
        closeStartTag();
        frames_.push_back(Frame{bindings_.size(), names_.size()});
        out_ += '<';
        const std::size_t nameStart = out_.size();
        bool declared = false;
        std::size_t binding = 0;
        if (!ns.empty()) {
            binding = bind(ns, declared);
            out_ += bindings_[binding].first;
            out_ += ':';
        }
        out_ += local;
        names_.append(out_, nameStart, std::string::npos);
        open_ = true;
        if (declared) {
            declare(binding);
        }
    }

    // An attribute of the element just started, before its text or children.
    // A qualified attribute's namespace is declared on the element if needed.
    void attribute(std::string_view ns, std::string_view local, const std::string& value) {
        requireStartTag("attribute");
        const std::size_t mark = out_.size();
        const std::size_t bindings = bindings_.size();
        if (ns.empty()) {
            out_ += ' ';
        } else {
            const std::size_t binding = declared(ns);
            out_ += ' ';
            out_ += bindings_[binding].first;
            out_ += ':';
        }
        out_ += local;
        out_ += "=\"";
        try {
            detail::appendEscaped(out_, value, true);
        } catch (...) {
            // A refused value leaves neither the attribute nor its declaration.
            out_.resize(mark);
            bindings_.erase(bindings_.begin() + static_cast<std::ptrdiff_t>(bindings),
                            bindings_.end());
            throw;
        }
        out_ += '"';
    }

    // xsi:nil="true" on the element just started.
    void nil() { attribute(kXsiNamespace, "nil", "true"); }

    // The prefix bound to ns in scope (declared on the element just started
    // when there is none), for writing xsd:QName values; "" for ns "".
    std::string prefix(const std::string& ns) {
        return ns.empty() ? std::string() : bindings_[declared(ns)].first;
    }

    void text(const std::string& value) {
        if (frames_.empty()) {
            throw std::logic_error("orvo::Writer: text outside any element");
        }
        closeStartTag();
        detail::appendEscaped(out_, value, false);
    }

    // Ends the innermost open element (<a/> when it has no content).
    void end() {
        if (frames_.empty()) {
            throw std::logic_error("orvo::Writer: end() without an open element");
        }
        const Frame frame = frames_.back();
        frames_.pop_back();
        if (open_) {
            out_ += "/>";
            open_ = false;
        } else {
            out_ += "</";
            out_.append(names_, frame.nameStart, std::string::npos);
            out_ += '>';
        }
        names_.resize(frame.nameStart);
        bindings_.erase(bindings_.begin() + static_cast<std::ptrdiff_t>(frame.bindings),
                        bindings_.end());
    }

    // Makes room for a document of about that many bytes, so that a large
    // one is not copied as it grows.
    void reserve(std::size_t bytes) { out_.reserve(bytes); }

    // The text written so far; every element must have been ended.
    const std::string& str() const {
        if (!frames_.empty()) {
            throw std::logic_error("orvo::Writer: the element " +
                                   names_.substr(frames_.back().nameStart) + " is not ended");
        }
        return out_;
    }

  private:
    struct Frame {
        std::size_t bindings;   // size of bindings_ when the element started
        std::size_t nameStart;  // where its name starts in names_
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void closeStartTag() {
        if (open_) {
            out_ += '>';
            open_ = false;
        }
    }

    void requireStartTag(const char* what) const {
        if (!open_) {
            throw std::logic_error(std::string("orvo::Writer: ") + what +
                                   " after the element's content or outside any element");
        }
    }

    // The binding of ns in scope. A prefix is never bound again while it is
    // in scope, so the innermost binding of ns is the one that holds.
    std::size_t find(std::string_view ns) const {
        for (std::size_t i = bindings_.size(); i-- > 0;) {
            if (bindings_[i].second == ns) {
                return i;
            }
        }
        return kNone;
    }

    bool inUse(const std::string& prefix) const {
        for (const auto& binding : bindings_) {
            if (binding.first == prefix) {
                return true;
            }
        }
        return false;
    }

    // The binding of ns, made (and declared set) when there is none.
    std::size_t bind(std::string_view ns, bool& declared) {
        const std::size_t found = find(ns);
        if (found != kNone) {
            return found;
        }
        std::string chosen;
        for (const auto& entry : preferred_) {
            if (entry.second == ns && !inUse(entry.first)) {
                chosen = entry.first;
            }
        }
        for (unsigned number = 1; chosen.empty(); ++number) {
            std::string candidate = "ns" + std::to_string(number);
            if (!inUse(candidate)) {
                chosen = std::move(candidate);
            }
        }
        bindings_.emplace_back(std::move(chosen), std::string(ns));
        declared = true;
        return bindings_.size() - 1;
    }

    // The binding of ns, declared on the element just started when needed.
    std::size_t declared(std::string_view ns) {
        const std::size_t binding = find(ns);
        if (binding != kNone) {
            return binding;
        }
        requireStartTag("namespace declaration");
        bool added = false;
        const std::size_t made = bind(ns, added);
        declare(made);
        return made;
    }

    void declare(std::size_t binding) {
        out_ += " xmlns:";
        out_ += bindings_[binding].first;
        out_ += "=\"";
        detail::appendEscaped(out_, bindings_[binding].second, true);
        out_ += '"';
    }

    std::string out_;
    std::string names_;  // the qualified names of the open elements, one after another
    std::vector<Frame> frames_;
    std::vector<std::pair<std::string, std::string>> bindings_;   // (prefix, namespace)
    std::vector<std::pair<std::string, std::string>> preferred_;  // (prefix, namespace)
    bool open_ = false;  // a start tag is waiting for its '>'
};

// ---- values -----------------------------------------------------------------
// parse() reads a lexical form of an XML Schema simple type and throws
// XmlError (without a location) for text that is not one; format() writes the
// lexical form. Except for strings, surrounding white space is ignored.

inline void parse(const std::string& text, std::string& value) {
    value = text;
}

inline std::string format(const std::string& value) {
    return value;
}

// So that a string literal is not taken for a bool.
inline std::string format(const char* value) {
    return value;
}

inline void parse(const std::string& text, bool& value) {
    const std::string_view word = detail::trim(text);
    if (word == "true" || word == "1") {
        value = true;
    } else if (word == "false" || word == "0") {
        value = false;
    } else {
        throw XmlError(detail::quote(word) + " is not a boolean (true, false, 1 or 0)");
    }
}

inline std::string format(bool value) {
    return value ? "true" : "false";
}

namespace detail {

template <class T>
using IfInteger = std::enable_if_t<std::is_integral<T>::value && !std::is_same<T, bool>::value>;

template <class T>
struct NonDeduced {
    using type = T;
};

template <class T>
std::string integerText(T value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

template <class T>
[[noreturn]] void outOfRange(std::string_view word, T min, T max) {
    throw XmlError(quote(word) + " is out of range (" + integerText(min) + " to " +
                   integerText(max) + ")");
}

}  // namespace detail

// Integers: an optional sign and decimal digits.
template <class T, class = detail::IfInteger<T>>
void parse(const std::string& text, T& value) {
    const std::string_view word = detail::trim(text);
    std::size_t i = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
        i = 1;
    }
    if (i == word.size()) {
        throw XmlError(detail::quote(word) + " is not an integer");
    }
    for (std::size_t j = i; j < word.size(); ++j) {
        if (word[j] < '0' || word[j] > '9') {
            throw XmlError(detail::quote(word) + " is not an integer");
        }
    }
    constexpr T kMin = std::numeric_limits<T>::min();
    constexpr T kMax = std::numeric_limits<T>::max();
    std::uint64_t magnitude = 0;
    const auto result = std::from_chars(word.data() + i, word.data() + word.size(), magnitude);
    if (result.ec != std::errc()) {
        detail::outOfRange(word, kMin, kMax);
    }
    if (negative && magnitude != 0) {
        if constexpr (std::is_signed<T>::value) {
            // -magnitude fits when magnitude - 1 <= -(kMin + 1), which is kMax.
            if (magnitude - 1 > static_cast<std::uint64_t>(kMax)) {
                detail::outOfRange(word, kMin, kMax);
            }
            value = static_cast<T>(-static_cast<std::int64_t>(magnitude - 1) - 1);
            return;
        }
        detail::outOfRange(word, kMin, kMax);
    }
    if (magnitude > static_cast<std::uint64_t>(kMax)) {
        detail::outOfRange(word, kMin, kMax);
    }
    value = static_cast<T>(magnitude);
}

template <class T, class = detail::IfInteger<T>>
std::string format(T value) {
    return detail::integerText(value);
}

// An integer that must also lie within [min, max] (a restricted type). The
// bounds are not deduced, so literals of any integer type convert to T.
template <class T, class = detail::IfInteger<T>>
void parseInRange(const std::string& text, T& value, typename detail::NonDeduced<T>::type min,
                  typename detail::NonDeduced<T>::type max) {
    T read{};
    parse(text, read);
    if (read < min || read > max) {
        detail::outOfRange(detail::trim(text), min, max);
    }
    value = read;
}

namespace detail {

// Reads a number already checked against the XML Schema grammar (no '+');
// false when it is too large for T. Too small a number becomes zero.
template <class T>
bool readFloat(std::string_view word, T& value) {
#if defined(ORVO_STREAM_FLOATS)
    std::istringstream in{std::string(word)};
    in.imbue(std::locale::classic());
    T read{};
    in >> read;
    if (in.fail()) {
        if (read == 0) {  // some libraries fail on underflow with zero
            value = word[0] == '-' ? -T(0) : T(0);
            return true;
        }
        return false;
    }
    value = read;
    return true;
#else
    T read{};
    const auto result = std::from_chars(word.data(), word.data() + word.size(), read);
    if (result.ec == std::errc()) {
        value = read;
        return true;
    }
    // Out of range: the decimal exponent of the leading digit tells whether
    // the number is too large or too small.
    // (0.1 <= 10^-exponent * |number| < 1).
    long exponent = 0;
    bool leading = false;  // a digit other than 0 has been seen
    bool point = false;
    std::size_t i = word[0] == '-' ? 1 : 0;
    for (; i < word.size() && word[i] != 'e' && word[i] != 'E'; ++i) {
        if (word[i] == '.') {
            point = true;
        } else if (!leading) {
            if (word[i] != '0') {
                leading = true;
                exponent = point ? exponent : 1;
            } else if (point) {
                --exponent;
            }
        } else if (!point) {
            ++exponent;
        }
    }
    if (i < word.size()) {
        long written = 0;
        const char* first = word.data() + i + 1;
        first += *first == '+' ? 1 : 0;
        const auto parsed = std::from_chars(first, word.data() + word.size(), written);
        if (parsed.ec != std::errc()) {
            written = *first == '-' ? -100000 : 100000;
        }
        exponent += written;
    }
    if (exponent > 0) {
        return false;
    }
    value = word[0] == '-' ? -T(0) : T(0);
    return true;
#endif
}

template <class T>
void parseFloat(const std::string& text, T& value, const char* typeName) {
    const std::string_view word = trim(text);
    if (word == "NaN") {
        value = std::numeric_limits<T>::quiet_NaN();
        return;
    }
    if (word == "INF" || word == "+INF" || word == "-INF") {
        value = word[0] == '-' ? -std::numeric_limits<T>::infinity()
                               : std::numeric_limits<T>::infinity();
        return;
    }
    std::size_t i = 0;
    const auto digits = [&word, &i]() {
        const std::size_t start = i;
        while (i < word.size() && word[i] >= '0' && word[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
        ++i;
    }
    std::size_t mantissa = digits();
    if (i < word.size() && word[i] == '.') {
        ++i;
        mantissa += digits();
    }
    bool valid = mantissa > 0;
    if (valid && i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
            ++i;
        }
        valid = digits() > 0;
    }
    if (!valid || i != word.size()) {
        throw XmlError(quote(word) + " is not a number");
    }
    if (!readFloat(word[0] == '+' ? word.substr(1) : word, value)) {
        throw XmlError(quote(word) + " is out of range for a " + typeName);
    }
}

template <class T>
std::string formatFloat(T value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
#if defined(ORVO_STREAM_FLOATS)
    // The fewest significant digits that read back to the same value, then
    // the shorter of the fixed and exponent forms with them.
    const auto write = [value](std::ios_base::fmtflags form, int precision) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out.setf(form, std::ios_base::floatfield);
        out.precision(precision);
        out << value;
        return out.str();
    };
    std::string text;
    for (int digits = 1; digits <= std::numeric_limits<T>::max_digits10; ++digits) {
        text = write(std::ios_base::scientific, digits - 1);
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        T back{};
        if ((in >> back) && back == value) {
            const int exponent = std::atoi(text.c_str() + text.find('e') + 1);
            const int decimals = digits - 1 - exponent;
            const std::string fixed = write(std::ios_base::fixed, decimals > 0 ? decimals : 0);
            return fixed.size() <= text.size() ? fixed : text;
        }
    }
    return text;
#else
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
#endif
}

}  // namespace detail

// float and double: decimal or exponent form, INF, +INF, -INF and NaN;
// written with the fewest digits that read back to the same value.
inline void parse(const std::string& text, float& value) {
    detail::parseFloat(text, value, "float");
}
inline void parse(const std::string& text, double& value) {
    detail::parseFloat(text, value, "double");
}
inline std::string format(float value) {
    return detail::formatFloat(value);
}
inline std::string format(double value) {
    return detail::formatFloat(value);
}

namespace detail {

// Reads the lexical forms of dates, times and durations.
struct Scanner {
    std::string_view text;
    std::size_t at = 0;

    bool done() const { return at == text.size(); }
    bool peek(char c) const { return at < text.size() && text[at] == c; }
    bool eat(char c) {
        if (!peek(c)) {
            return false;
        }
        ++at;
        return true;
    }
    std::size_t digitRun() {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            ++at;
        }
        return at - start;
    }
    // Exactly count digits, as a number.
    bool number(std::size_t count, int& value) {
        const std::size_t start = at;
        if (digitRun() != count) {
            return false;
        }
        value = 0;
        for (std::size_t i = start; i < at; ++i) {
            value = value * 10 + (text[i] - '0');
        }
        return true;
    }
};

// -?YYYY-MM-DD: a year of four digits or more (not 0000, no leading zero
// beyond four digits), a month, and a day that the month has in that year.
inline bool readDate(Scanner& in) {
    in.eat('-');
    const std::size_t start = in.at;
    const std::size_t length = in.digitRun();
    if (length < 4 || (length > 4 && in.text[start] == '0')) {
        return false;
    }
    if (in.text.substr(start, length).find_first_not_of('0') == std::string_view::npos) {
        return false;
    }
    int lastFour = 0;  // 10000 is a multiple of 400, so these decide leap years
    for (std::size_t i = in.at - 4; i < in.at; ++i) {
        lastFour = lastFour * 10 + (in.text[i] - '0');
    }
    const bool leap = lastFour % 4 == 0 && (lastFour % 100 != 0 || lastFour % 400 == 0);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    int day = 0;
    if (!in.eat('-') || !in.number(2, month) || !in.eat('-') || !in.number(2, day) || month < 1 ||
        month > 12) {
        return false;
    }
    return day >= 1 && day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// hh:mm:ss(.f+)?, or 24:00:00 with a zero fraction.
inline bool readTime(Scanner& in) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!in.number(2, hour) || !in.eat(':') || !in.number(2, minute) || !in.eat(':') ||
        !in.number(2, second) || minute > 59 || second > 59) {
        return false;
    }
    bool zeroFraction = true;
    if (in.eat('.')) {
        const std::size_t start = in.at;
        if (in.digitRun() == 0) {
            return false;
        }
        zeroFraction =
            in.text.substr(start, in.at - start).find_first_not_of('0') == std::string_view::npos;
    }
    return hour < 24 || (hour == 24 && minute == 0 && second == 0 && zeroFraction);
}

// An optional time zone: Z or (+|-)hh:mm, at most 14:00 away.
inline bool readZone(Scanner& in) {
    if (in.eat('Z') || in.done()) {
        return true;
    }
    int hours = 0;
    int minutes = 0;
    if (!(in.eat('+') || in.eat('-')) || !in.number(2, hours) || !in.eat(':') ||
        !in.number(2, minutes)) {
        return false;
    }
    return minutes <= 59 && (hours < 14 || (hours == 14 && minutes == 0));
}

inline bool isDateTime(std::string_view text) {
    Scanner in{text};
    return readDate(in) && in.eat('T') && readTime(in) && readZone(in) && in.done();
}

inline bool isDate(std::string_view text) {
    Scanner in{text};
    return readDate(in) && readZone(in) && in.done();
}

inline bool isTime(std::string_view text) {
    Scanner in{text};
    return readTime(in) && readZone(in) && in.done();
}

// -?P(nY)?(nM)?(nD)?(T(nH)?(nM)?(n(.n)?S)?)? with at least one component,
// and at least one after a T.
inline bool isDuration(std::string_view text) {
    Scanner in{text};
    in.eat('-');
    if (!in.eat('P')) {
        return false;
    }
    // Numbers with their designators, in the order given, up to a T or the end.
    const auto components = [&in](const char* designators, bool seconds) {
        std::size_t next = 0;
        bool any = false;
        while (!in.done() && !in.peek('T')) {
            if (in.digitRun() == 0) {
                return false;
            }
            if (seconds && in.eat('.')) {
                if (in.digitRun() == 0 || !in.eat('S')) {
                    return false;
                }
                return in.done();
            }
            const char* found = std::strchr(designators + next, in.text[in.at]);
            if (found == nullptr || *found == 0) {
                return false;
            }
            next = static_cast<std::size_t>(found - designators) + 1;
            ++in.at;
            any = true;
        }
        return any;
    };
    if (!in.peek('T') && !components("YMD", false)) {
        return false;
    }
    if (in.eat('T')) {
        return components("HMS", true) && in.done();
    }
    return in.done();
}

// The text of a value type checked by isValid; message names the lexical
// form for errors.
template <class Tag>
class Lexical {
  public:
    Lexical() : text_(Tag::kDefault) {}
    explicit Lexical(const std::string& text) : text_(trim(text)) {
        if (!Tag::isValid(text_)) {
            throw XmlError(quote(text_) + " is not " + Tag::kWhat);
        }
    }
    const std::string& str() const { return text_; }
    friend bool operator==(const Lexical& a, const Lexical& b) { return a.text_ == b.text_; }
    friend bool operator!=(const Lexical& a, const Lexical& b) { return a.text_ != b.text_; }

  private:
    std::string text_;
};

inline bool isDecimal(std::string_view text) {
    std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point) {
            point = true;
        } else if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    return digits > 0;
}

struct DecimalTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "a decimal number";
    static bool isValid(std::string_view text) { return isDecimal(text); }
};
struct DateTimeTag {
    static constexpr const char* kDefault = "1970-01-01T00:00:00";
    static constexpr const char* kWhat = "a date and time (YYYY-MM-DDThh:mm:ss)";
    static bool isValid(std::string_view text) { return isDateTime(text); }
};
struct DateTag {
    static constexpr const char* kDefault = "1970-01-01";
    static constexpr const char* kWhat = "a date (YYYY-MM-DD)";
    static bool isValid(std::string_view text) { return isDate(text); }
};
struct TimeTag {
    static constexpr const char* kDefault = "00:00:00";
    static constexpr const char* kWhat = "a time (hh:mm:ss)";
    static bool isValid(std::string_view text) { return isTime(text); }
};
struct DurationTag {
    static constexpr const char* kDefault = "PT0S";
    static constexpr const char* kWhat = "a duration (PnYnMnDTnHnMnS)";
    static bool isValid(std::string_view text) { return isDuration(text); }
};

}  // namespace detail

// xsd:decimal, every digit kept exactly as written.
class Decimal : public detail::Lexical<detail::DecimalTag> {
  public:
    using Lexical::Lexical;
    double toDouble() const {
        std::string_view text = str();
        if (text[0] == '+') {
            text.remove_prefix(1);
        }
        double value = 0;
        if (!detail::readFloat(text, value)) {
            value = text[0] == '-' ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
        }
        return value;
    }
};

// xsd:dateTime, xsd:date, xsd:time and xsd:duration, kept as written.
class DateTime : public detail::Lexical<detail::DateTimeTag> {
  public:
    using Lexical::Lexical;
};
class Date : public detail::Lexical<detail::DateTag> {
  public:
    using Lexical::Lexical;
};
class Time : public detail::Lexical<detail::TimeTag> {
  public:
    using Lexical::Lexical;
};
class Duration : public detail::Lexical<detail::DurationTag> {
  public:
    using Lexical::Lexical;
};

// Decimal, DateTime, Date, Time, Duration and the unbounded integers: the
// text is checked as the type's constructor checks it.
template <class Tag>
void parse(const std::string& text, detail::Lexical<Tag>& value) {
    value = detail::Lexical<Tag>(text);
}
template <class Tag>
std::string format(const detail::Lexical<Tag>& value) {
    return value.str();
}

namespace detail {

// An integer of any size: an optional sign and digits. Sign says which
// values the type allows: 0 all, 1 at least 0, 2 at least 1, -1 at most 0,
// -2 at most -1.
inline bool isIntegerOf(std::string_view text, int sign) {
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    bool zero = true;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        zero = zero && text[i] == '0';
    }
    switch (sign) {
        case 1:
            return !negative || zero;
        case 2:
            return !negative && !zero;
        case -1:
            return negative || zero;
        case -2:
            return negative && !zero;
        default:
            return true;
    }
}

struct IntegerTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "an integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, 0); }
};
struct NonNegativeIntegerTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "a non-negative integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, 1); }
};
struct PositiveIntegerTag {
    static constexpr const char* kDefault = "1";
    static constexpr const char* kWhat = "a positive integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, 2); }
};
struct NonPositiveIntegerTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "a non-positive integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, -1); }
};
struct NegativeIntegerTag {
    static constexpr const char* kDefault = "-1";
    static constexpr const char* kWhat = "a negative integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, -2); }
};

}  // namespace detail

// xsd:integer and the integer types derived from it without a bound in
// bits, every digit kept as written.
class Integer : public detail::Lexical<detail::IntegerTag> {
  public:
    using Lexical::Lexical;
};
class NonNegativeInteger : public detail::Lexical<detail::NonNegativeIntegerTag> {
  public:
    using Lexical::Lexical;
};
class PositiveInteger : public detail::Lexical<detail::PositiveIntegerTag> {
  public:
    using Lexical::Lexical;
};
class NonPositiveInteger : public detail::Lexical<detail::NonPositiveIntegerTag> {
  public:
    using Lexical::Lexical;
};
class NegativeInteger : public detail::Lexical<detail::NegativeIntegerTag> {
  public:
    using Lexical::Lexical;
};

// xsd:base64Binary and xsd:hexBinary.
struct Base64Binary {
    std::vector<unsigned char> bytes;
};
struct HexBinary {
    std::vector<unsigned char> bytes;
};
inline bool operator==(const Base64Binary& a, const Base64Binary& b) {
    return a.bytes == b.bytes;
}
inline bool operator!=(const Base64Binary& a, const Base64Binary& b) {
    return a.bytes != b.bytes;
}
inline bool operator==(const HexBinary& a, const HexBinary& b) {
    return a.bytes == b.bytes;
}
inline bool operator!=(const HexBinary& a, const HexBinary& b) {
    return a.bytes != b.bytes;
}

// Base64 with white space allowed anywhere and '=' padding to a multiple of
// four characters.
inline void parse(const std::string& text, Base64Binary& value) {
    std::string data;
    data.reserve(text.size());
    for (char c : text) {
        if (!detail::isSpace(c)) {
            data += c;
        }
    }
    const auto refuse = [&text]() {
        throw XmlError(detail::quote(detail::trim(text)) + " is not base64 data");
    };
    std::size_t padding = 0;
    while (padding < data.size() && data[data.size() - 1 - padding] == '=') {
        ++padding;
    }
    if (data.size() % 4 != 0 || padding > 2) {
        refuse();
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(data.size() / 4 * 3);
    unsigned long group = 0;
    const std::size_t symbols = data.size() - padding;
    for (std::size_t i = 0; i < symbols; ++i) {
        const char c = data[i];
        unsigned digit = 0;
        if (c >= 'A' && c <= 'Z') {
            digit = static_cast<unsigned>(c - 'A');
        } else if (c >= 'a' && c <= 'z') {
            digit = static_cast<unsigned>(c - 'a' + 26);
        } else if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0' + 52);
        } else if (c == '+' || c == '/') {
            digit = c == '+' ? 62 : 63;
        } else {
            refuse();
        }
        group = (group << 6) | digit;
        if (i % 4 == 3) {
            bytes.push_back(static_cast<unsigned char>(group >> 16));
            bytes.push_back(static_cast<unsigned char>(group >> 8));
            bytes.push_back(static_cast<unsigned char>(group));
            group = 0;
        }
    }
    if (padding == 2) {
        bytes.push_back(static_cast<unsigned char>(group >> 4));
    } else if (padding == 1) {
        bytes.push_back(static_cast<unsigned char>(group >> 10));
        bytes.push_back(static_cast<unsigned char>(group >> 2));
    }
    value.bytes = std::move(bytes);
}

inline std::string format(const Base64Binary& value) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::vector<unsigned char>& bytes = value.bytes;
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) |
                                    (static_cast<unsigned long>(bytes[i + 1]) << 8) | bytes[i + 2];
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += kAlphabet[(group >> 6) & 63];
        out += kAlphabet[group & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) |
                                    (two ? static_cast<unsigned long>(bytes[i + 1]) << 8 : 0);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += two ? kAlphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// Hexadecimal digits in pairs; either case is read, uppercase is written.
inline void parse(const std::string& text, HexBinary& value) {
    const std::string_view word = detail::trim(text);
    const auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::vector<unsigned char> bytes;
    bytes.reserve(word.size() / 2);
    for (std::size_t i = 0; i < word.size(); i += 2) {
        const int high = digit(word[i]);
        const int low = i + 1 < word.size() ? digit(word[i + 1]) : -1;
        if (high < 0 || low < 0) {
            throw XmlError(detail::quote(word) + " is not hexadecimal data");
        }
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    value.bytes = std::move(bytes);
}

inline std::string format(const HexBinary& value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.bytes.size() * 2);
    for (unsigned char byte : value.bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

// ---- SOAP -----------------------------------------------------------------------
// SOAP 1.1 and 1.2 envelopes and faults. A fault's code is written as the
// version names it: "Client" and "Server" of SOAP 1.1 are "Sender" and
// "Receiver" in SOAP 1.2, and are read back as "Client" and "Server".

inline constexpr const char* kSoap12EnvelopeNamespace = "http://www.w3.org/2003/05/soap-envelope";

enum class SoapVersion { Soap11, Soap12 };

inline const char* soapNamespace(SoapVersion version) {
    return version == SoapVersion::Soap12 ? kSoap12EnvelopeNamespace : kSoapEnvelopeNamespace;
}

// The content type of a message: text/xml for SOAP 1.1, application/soap+xml
// (with the action, when there is one) for SOAP 1.2.
inline std::string soapContentType(SoapVersion version, const std::string& action = {}) {
    if (version == SoapVersion::Soap11) {
        return "text/xml; charset=utf-8";
    }
    std::string type = "application/soap+xml; charset=utf-8";
    if (!action.empty()) {
        type += "; action=\"" + action + "\"";
    }
    return type;
}

// What an HTTP answer carries: its status, content type and body.
struct SoapAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
};

namespace detail {

inline std::string lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

inline std::string unquoted(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

}  // namespace detail

// The action of a request: SOAP 1.2's action parameter of the content type,
// else SOAP 1.1's SOAPAction header; without quotes.
inline std::string soapActionOf(const std::string& contentType, const std::string& soapAction) {
    const std::string lower = detail::lowercase(contentType);
    const std::size_t at = lower.find("action=");
    if (at != std::string::npos && (at == 0 || lower[at - 1] == ';' || lower[at - 1] == ' ')) {
        const std::size_t end = contentType.find(';', at);
        return detail::unquoted(
            std::string_view(contentType)
                .substr(at + 7, end == std::string::npos ? std::string::npos : end - at - 7));
    }
    return detail::unquoted(soapAction);
}

// The Body of an envelope of either version, which version tells. An
// envelope of neither is a VersionMismatch fault; one without a Body a
// Client fault.
inline Element soapBody(const Document& envelope, SoapVersion& version) {
    const Element root = envelope.root();
    if (root.is(kSoapEnvelopeNamespace, "Envelope")) {
        version = SoapVersion::Soap11;
    } else if (root.is(kSoap12EnvelopeNamespace, "Envelope")) {
        version = SoapVersion::Soap12;
    } else {
        version = SoapVersion::Soap11;
        throw Fault("VersionMismatch", "the message is not a SOAP envelope: its root element is " +
                                           root.qualifiedName());
    }
    const char* ns = soapNamespace(version);
    for (Element child = root.firstChild(); child; child = child.nextSibling()) {
        if (child.is(ns, "Body")) {
            return child;
        }
    }
    throw Fault("Client", "the SOAP envelope has no Body");
}

// Refuses a header block the receiver must understand (mustUnderstand "1"
// or "true"): the services the generator writes understand none, so such
// a block is a MustUnderstand fault.
inline void refuseHeadersToUnderstand(const Document& envelope, SoapVersion version) {
    const char* ns = soapNamespace(version);
    for (Element part = envelope.root().firstChild(); part; part = part.nextSibling()) {
        if (!part.is(ns, "Header")) {
            continue;
        }
        for (Element block = part.firstChild(); block; block = block.nextSibling()) {
            std::string value;
            if (block.attribute(ns, "mustUnderstand", value)) {
                const std::string_view word = detail::trim(value);
                if (word == "1" || word == "true") {
                    throw Fault("MustUnderstand",
                                "the header block " + block.qualifiedName() + " is not understood");
                }
            }
        }
    }
}

// The first element inside a SOAP 1.1 or 1.2 envelope's Body; a null
// Element when the Body is empty.
inline Element soapBodyContent(const Document& envelope) {
    SoapVersion version = SoapVersion::Soap11;
    return soapBody(envelope, version).firstChild();
}

// Starts <soap:Envelope><soap:Body>; the caller writes the content and then
// ends both elements.
inline void startSoapEnvelope(Writer& out, SoapVersion version = SoapVersion::Soap11) {
    const char* ns = soapNamespace(version);
    out.prefer("soap", ns);
    out.start(ns, "Envelope");
    out.start(ns, "Body");
}

// A Fault element with the fault's code (as a QName in the envelope
// namespace) and text, in the shape of the version.
inline void writeFault(Writer& out, const Fault& fault, SoapVersion version = SoapVersion::Soap11) {
    const char* ns = soapNamespace(version);
    out.start(ns, "Fault");
    const std::string prefix = out.prefix(ns);
    if (version == SoapVersion::Soap11) {
        out.start("", "faultcode");
        out.text(prefix + ":" + fault.code());
        out.end();
        out.start("", "faultstring");
        out.text(fault.what());
        out.end();
        if (fault.hasDetail()) {
            out.start("", "detail");
            fault.writeDetail(out);
            out.end();
        }
    } else {
        const std::string code = fault.code() == "Client"   ? "Sender"
                                 : fault.code() == "Server" ? "Receiver"
                                                            : fault.code();
        out.start(ns, "Code");
        out.start(ns, "Value");
        out.text(prefix + ":" + code);
        out.end();
        out.end();
        out.start(ns, "Reason");
        out.start(ns, "Text");
        out.attribute("http://www.w3.org/XML/1998/namespace", "lang", "en");
        out.text(fault.what());
        out.end();
        out.end();
        if (fault.hasDetail()) {
            out.start(ns, "Detail");
            fault.writeDetail(out);
            out.end();
        }
    }
    out.end();
}

// A whole envelope holding the fault.
inline std::string faultEnvelope(const Fault& fault, SoapVersion version) {
    Writer out;
    startSoapEnvelope(out, version);
    writeFault(out, fault, version);
    out.end();
    out.end();
    return out.str();
}

// Whether a Body's content is a fault (either version).
inline bool isFault(const Element& bodyContent) {
    return bodyContent.is(kSoapEnvelopeNamespace, "Fault") ||
           bodyContent.is(kSoap12EnvelopeNamespace, "Fault");
}

// The first element in a fault's detail (SOAP 1.1 detail, SOAP 1.2 Detail);
// a null Element when it has none.
inline Element faultDetail(const Element& fault) {
    for (Element child = fault.firstChild(); child; child = child.nextSibling()) {
        if (child.is("", "detail") || child.is(kSoap12EnvelopeNamespace, "Detail")) {
            return child.firstChild();
        }
    }
    return Element();
}

// The code (with the SOAP 1.1 names) and text of a fault element.
inline Fault faultOf(const Element& fault) {
    std::string code = "Server";
    std::string text = "the service reported a fault";
    const auto localCode = [](const std::string& written) {
        const std::string_view qname = detail::trim(written);
        const std::size_t colon = qname.rfind(':');
        const std::string local(colon == std::string_view::npos ? qname : qname.substr(colon + 1));
        return local == "Sender"     ? std::string("Client")
               : local == "Receiver" ? std::string("Server")
                                     : local;
    };
    for (Element child = fault.firstChild(); child; child = child.nextSibling()) {
        const std::string name = child.localName();
        if (name == "faultcode") {
            code = localCode(child.text());
        } else if (name == "faultstring") {
            text = child.text();
        } else if (name == "Code" && child.firstChild().localName() == "Value") {
            code = localCode(child.firstChild().text());
        } else if (name == "Reason" && child.firstChild().localName() == "Text") {
            text = child.firstChild().text();
        }
    }
    return Fault(code, text);
}

// Throws the fault a response's body content carries (either version), if
// it is one.
inline void throwIfFault(const Element& bodyContent) {
    if (isFault(bodyContent)) {
        throw faultOf(bodyContent);
    }
}

// ---- For the generated classes ---------------------------------------------
// The generated code reads and writes every value through these, so that the
// parse() and format() of an enumeration, declared beside it in its own
// namespace, are found as well as the ones above.

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
