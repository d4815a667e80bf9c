// orvoxml.h: reading XML documents through libxml2 into Document and its
// Element views, refusing entity declarations and start tags crowded with
// attributes before libxml2 sees them.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvobase.h"

namespace orvo {

namespace detail {

inline const char* chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}

inline bool same(const xmlChar* text, std::string_view other) {
    return other == chars(text);
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

    // Calls f(namespaceUri, localName, value) for each attribute in the
    // order written ("" for an unqualified one); namespace declarations are
    // not attributes.
    template <class F>
    void forEachAttribute(F&& f) const {
        for (xmlAttrPtr a = node_ != nullptr ? node_->properties : nullptr; a != nullptr;
             a = a->next) {
            std::string value;
            for (xmlNodePtr part = a->children; part != nullptr; part = part->next) {
                if (part->content != nullptr) {
                    value += detail::chars(part->content);
                }
            }
            const xmlChar* href = a->ns != nullptr ? a->ns->href : nullptr;
            f(std::string(href != nullptr ? detail::chars(href) : ""),
              std::string(detail::chars(a->name)), value);
        }
    }

    // The element's own text in pieces: piece i is the text and CDATA
    // before its i-th child element, the last one what follows the last
    // child; one more piece than child elements. Comments and processing
    // instructions are left out.
    std::vector<std::string> textPieces() const {
        std::vector<std::string> pieces(1);
        for (xmlNodePtr child = node_ != nullptr ? node_->children : nullptr; child != nullptr;
             child = child->next) {
            if (isText(child)) {
                pieces.back() += detail::chars(child->content);
            } else if (child->type == XML_ELEMENT_NODE) {
                pieces.emplace_back();
            }
        }
        return pieces;
    }

    // The namespaces declared on the element, as (prefix, namespace); the
    // prefix is "" for the default namespace.
    std::vector<std::pair<std::string, std::string>> declaredNamespaces() const {
        std::vector<std::pair<std::string, std::string>> declared;
        for (xmlNsPtr ns = node_ != nullptr ? node_->nsDef : nullptr; ns != nullptr;
             ns = ns->next) {
            declared.emplace_back(ns->prefix != nullptr ? detail::chars(ns->prefix) : "",
                                  ns->href != nullptr ? detail::chars(ns->href) : "");
        }
        return declared;
    }

    // The prefix the element's name is written with; "" for none.
    std::string prefix() const {
        return node_ != nullptr && node_->ns != nullptr && node_->ns->prefix != nullptr
                   ? detail::chars(node_->ns->prefix)
                   : "";
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

// Reads a document whose root element must be {ns}local (shown so in the
// error otherwise) into an object: read(root, object). The data classes'
// fromXml() call it, so that each compiles a call rather than the parse.
inline void readDocument(const std::string& xml, std::string_view ns, std::string_view local,
                         std::string_view shown, void* object,
                         void (*read)(const Element&, void*)) {
    const Document document = Document::parse(xml);
    const Element root = document.root();
    if (!root.is(ns, local)) {
        root.fail("the root element is " + root.qualifiedName() + "; expected " +
                  std::string(shown));
    }
    read(root, object);
}

}  // namespace orvo
