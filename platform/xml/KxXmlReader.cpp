// The pull reader on libxml2's xmlTextReader.
//
// The reader keeps one node of lookahead: the next start tag, end tag or end
// of document, together with the text met before it. Asking what comes next
// fills the lookahead; reading a start or end tag consumes it. An empty
// element (<a/>) is delivered as its start followed by a pending end, so that
// callers treat <a/> and <a></a> alike.
//
// The document is handed to libxml2 in small pieces, each ending just after a
// '>', so that the parser runs at most about one markup token ahead of the
// caller: a fault is raised where the caller meets it, and everything before
// it (such as the complete records ahead of a truncated one) reads normally.
//
// libxml2 never writes to standard error on behalf of this reader: parser
// errors go to a handler of the reader's own, which keeps the first one, and
// every call into libxml2 runs with the calling thread's process handlers
// (libxml2 keeps those per thread) pointed at that same record or at nothing.
#include "platform/xml/KxXmlReader.h"

#include <libxml/entities.h>
#include <libxml/globals.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/xml/KxXmlLimits.h"

const KxXmlAttribute* KxXmlAttributeSet::find(const KxXmlName& name) const {
    for (const KxXmlAttribute& attribute : attributes_) {
        if (attribute.getName() == name) {
            return &attribute;
        }
    }
    return nullptr;
}

namespace {

// The line and text of the first error libxml2 reports to one reader;
// warnings are ignored.
struct ErrorSink {
    std::optional<std::pair<long, KxCString>> recordedError;

    void noteError(const xmlError& error);
};

// Structured handlers receive xmlErrorPtr in libxml2 2.9 and a pointer to a
// const error in later releases; this adapter takes what the headers declare.
template <typename Function>
struct StructuredHandler;

template <typename Error>
struct StructuredHandler<void (*)(void*, Error)> {
    static void record(void* sink, Error error) {
        if (sink != nullptr && error != nullptr) {
            static_cast<ErrorSink*>(sink)->noteError(*error);
        }
    }
};

void silentGeneric(void*, const char*, ...) {}

// For as long as it lives, routes libxml2's process handlers for the calling
// thread away from standard error: structured errors go to the reader's sink
// (the encoding layer reports its faults there, not to the parser context),
// the generic ones nowhere. Then puts back what was there before.
class QuietLibxml {
  public:
    explicit QuietLibxml(ErrorSink* sink)
        : generic_(xmlGenericError),
          genericContext_(xmlGenericErrorContext),
          structured_(xmlStructuredError),
          structuredContext_(xmlStructuredErrorContext) {
        xmlSetGenericErrorFunc(nullptr, &silentGeneric);
        xmlSetStructuredErrorFunc(sink, &StructuredHandler<xmlStructuredErrorFunc>::record);
    }
    QuietLibxml(const QuietLibxml&) = delete;
    QuietLibxml& operator=(const QuietLibxml&) = delete;
    ~QuietLibxml() {
        xmlSetGenericErrorFunc(genericContext_, generic_);
        xmlSetStructuredErrorFunc(structuredContext_, structured_);
    }

  private:
    xmlGenericErrorFunc generic_;
    void* genericContext_;
    xmlStructuredErrorFunc structured_;
    void* structuredContext_;
};

KxCString toString(const xmlChar* text) {
    return text == nullptr ? KxCString() : KxCString(reinterpret_cast<const char*>(text));
}

// libxml2's message on one line, without the trailing line break.
KxCString oneLine(const xmlError& error) {
    KxCString text;
    bool breakPending = false;
    for (const char* c = error.message == nullptr ? "" : error.message; *c != '\0'; ++c) {
        if (*c == '\n' || *c == '\r') {
            breakPending = true;
            continue;
        }
        if (breakPending && !text.empty()) {
            text += ' ';
        }
        breakPending = false;
        text += *c;
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "the document is not well-formed";
    }
    return text;
}

void ErrorSink::noteError(const xmlError& error) {
    if (error.level >= XML_ERR_ERROR && !recordedError) {
        recordedError.emplace(error.line, oneLine(error));
    }
}

// An attribute value in the form it has in the document, as far as libxml2
// keeps it: the characters that cannot appear there literally are given as
// references again. Literal tabs and line breaks are normalised to spaces by
// the parser, so those that remain were written as character references.
// Quotes stay characters (the delimiter used is not known), and a character
// reference to any other character comes back as that character.
void appendWritten(KxCString& out, const xmlChar* text) {
    if (text == nullptr) {
        return;
    }
    for (const char* c = reinterpret_cast<const char*>(text); *c != '\0'; ++c) {
        switch (*c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += *c;
                break;
        }
    }
}

// The largest piece of the document handed to the parser at once, for text
// runs without markup.
constexpr std::size_t kMaxPiece = 4096;

// The most replacement text the entity references of one document may stand
// for: a multiple of the document's own size, and a bound in all.
constexpr std::size_t kMaxEntityAmplification = 10;
constexpr std::size_t kMaxEntityExpansion = 1024 * 1024;

}  // namespace

struct KxXmlReader::State : ErrorSink {
    struct Attribute {
        KxCString name;
        KxCString expanded;  // references replaced
        KxCString written;   // references as in the document
        KxCString namespaceUri;
    };

    // A start tag, an end tag (real, or pending after an empty element) or
    // the end of the document.
    struct Node {
        NodeType type = EndOfDocument;
        KxCString name;
        long line = 0;
        bool empty = false;
        std::vector<Attribute> attributes;
        long column = 0;  // the parser's column when it delivered a start tag
        KxCString namespaceUri;
        std::vector<KxXmlNamespaceDeclaration> declarations;
    };

    struct OpenElement {
        KxCString name;
        long line = 0;
    };

    KxCString document;
    std::size_t position = 0;  // how much of the document libxml2 has been given
    // A start tag with too many attributes: libxml2 is given the document
    // only up to it, so that everything before it reads normally.
    std::optional<kx::XmlCrowdedTag> crowded;
    xmlTextReaderPtr reader = nullptr;
    bool expandAttributeReference = true;
    bool externalEntitiesRefused = false;

    std::optional<KxCString> fault;  // set once the reader has failed

    std::optional<Node> next;       // the lookahead
    KxCString pendingText;          // text met before the lookahead
    std::vector<OpenElement> open;  // elements started and not yet ended
    NodeType lastType = None;
    KxXmlAttributeSet lastAttributes;
    long lastLine = 0;  // of the last start tag read
    long lastColumn = 0;
    KxCString lastNamespaceUri;
    std::vector<KxXmlNamespaceDeclaration> lastDeclarations;

    ~State() {
        if (reader != nullptr) {
            xmlFreeTextReader(reader);
        }
    }

    // Gives libxml2 the document up to and including the next '>'.
    static int readPiece(void* context, char* buffer, int length) {
        auto* state = static_cast<State*>(context);
        const KxCString& text = state->document;
        const std::size_t available = state->crowded ? state->crowded->offset : text.size();
        if (length <= 0 || state->position >= available) {
            return 0;
        }
        std::size_t limit =
            std::min({available - state->position, static_cast<std::size_t>(length), kMaxPiece});
        // At least four bytes first, which libxml2 uses to detect the encoding.
        std::size_t from = state->position + std::min<std::size_t>(limit, 4) - 1;
        std::size_t close = text.find('>', from);
        std::size_t size = limit;
        if (close != KxCString::npos && close + 1 - state->position < limit) {
            size = close + 1 - state->position;
        }
        text.copy(buffer, size, state->position);
        state->position += size;
        return static_cast<int>(size);
    }

    // Errors from the encoding layer carry no line; the parser's is close.
    KxCString withLine(long line, const KxCString& text) const {
        if (line <= 0 && reader != nullptr) {
            line = xmlTextReaderGetParserLineNumber(reader);
        }
        return line > 0 ? "line " + std::to_string(line) + ": " + text : text;
    }

    [[noreturn]] void throwFault() const { throw KxXmlException(*fault); }

    // The reader yields nothing more after this.
    [[noreturn]] void fail(KxCString message) {
        fault = std::move(message);
        next.reset();
        pendingText.clear();
        lastType = EndOfDocument;
        throwFault();
    }

    void checkUsable() const {
        if (fault) {
            throwFault();
        }
    }

    // Fills the lookahead, collecting text on the way and passing over
    // comments, processing instructions and the document type. A reference
    // to an entity that is not declared is a fault.
    Node& peek() {
        checkUsable();
        while (!next) {
            int result = xmlTextReaderRead(reader);
            // Where libxml2's text ends early, the tag it was not given is
            // the fault, whatever libxml2 makes of the cut.
            if (crowded && position >= crowded->offset && (recordedError || result <= 0)) {
                fail(crowded->message());
            }
            // libxml2 goes on returning nodes of its own making once it has
            // met an error; none of them reaches the caller.
            if (recordedError) {
                fail(withLine(recordedError->first, recordedError->second));
            }
            if (result < 0) {
                fail(withLine(0, "the document cannot be read"));
            }
            if (result == 0) {
                next = Node{};
                break;
            }
            switch (xmlTextReaderNodeType(reader)) {
                case XML_READER_TYPE_ELEMENT:
                    next = startNode();
                    break;
                case XML_READER_TYPE_END_ELEMENT:
                    next = Node{ElementEnd,
                                toString(xmlTextReaderConstLocalName(reader)),
                                xmlGetLineNo(xmlTextReaderCurrentNode(reader)),
                                false,
                                {},
                                0,
                                {},
                                {}};
                    break;
                case XML_READER_TYPE_TEXT:
                case XML_READER_TYPE_CDATA:
                case XML_READER_TYPE_WHITESPACE:
                case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
                    pendingText += toString(xmlTextReaderConstValue(reader));
                    break;
                case XML_READER_TYPE_DOCUMENT_TYPE:
                    checkDeclaredEntities();
                    break;
                case XML_READER_TYPE_ENTITY_REFERENCE:
                    // Declared entities are put in place; this one is not
                    // declared where the reader looks.
                    fail(withLine(xmlGetLineNo(xmlTextReaderCurrentNode(reader)),
                                  "the entity " + toString(xmlTextReaderConstName(reader)) +
                                      " is not declared in the document (an external DTD "
                                      "subset is not read)"));
                default:
                    break;
            }
        }
        return *next;
    }

    // Namespace declarations (xmlns, xmlns:p) are not among the attributes.
    Node startNode() {
        xmlNodePtr current = xmlTextReaderCurrentNode(reader);
        Node node{ElementStart,
                  toString(xmlTextReaderConstLocalName(reader)),
                  current == nullptr ? 0 : xmlGetLineNo(current),
                  xmlTextReaderIsEmptyElement(reader) == 1,
                  {},
                  xmlTextReaderGetParserColumnNumber(reader),
                  {},
                  {}};
        if (current != nullptr) {
            if (current->ns != nullptr) {
                node.namespaceUri = toString(current->ns->href);
            }
            for (xmlNsPtr declared = current->nsDef; declared != nullptr;
                 declared = declared->next) {
                node.declarations.push_back({toString(declared->prefix), toString(declared->href)});
            }
        }
        // One walk along the attributes (moving to the i-th would walk
        // from the first each time).
        for (int more = xmlTextReaderMoveToFirstAttribute(reader); more == 1;
             more = xmlTextReaderMoveToNextAttribute(reader)) {
            if (xmlTextReaderIsNamespaceDecl(reader) == 1) {
                continue;
            }
            Attribute attribute{toString(xmlTextReaderConstLocalName(reader)),
                                toString(xmlTextReaderConstValue(reader)), KxCString(),
                                KxCString()};
            xmlNodePtr attributeNode = xmlTextReaderCurrentNode(reader);
            if (attributeNode != nullptr && attributeNode->ns != nullptr) {
                attribute.namespaceUri = toString(attributeNode->ns->href);
            }
            if (attributeNode != nullptr && attributeNode->type == XML_ATTRIBUTE_NODE) {
                for (xmlNodePtr part = attributeNode->children; part != nullptr;
                     part = part->next) {
                    if (part->type == XML_ENTITY_REF_NODE) {
                        attribute.written += '&' + toString(part->name) + ';';
                    } else {
                        appendWritten(attribute.written, part->content);
                    }
                }
            } else {
                appendWritten(attribute.written,
                              reinterpret_cast<const xmlChar*>(attribute.expanded.c_str()));
            }
            node.attributes.push_back(std::move(attribute));
        }
        xmlTextReaderMoveToElement(reader);
        return node;
    }

    // "line L, column C" of a place in the document.
    KxCString locationOf(std::size_t offset) const {
        const auto begin = document.begin();
        const long line = 1 + static_cast<long>(std::count(
                                  begin, begin + static_cast<std::ptrdiff_t>(offset), '\n'));
        const std::size_t lineStart =
            offset == 0 ? KxCString::npos : document.rfind('\n', offset - 1);
        const long column =
            static_cast<long>(offset - (lineStart == KxCString::npos ? 0 : lineStart + 1) + 1);
        return "line " + std::to_string(line) + ", column " + std::to_string(column);
    }

    // Fails at the declaration of the entity, with its line and column when
    // the text shows it.
    [[noreturn]] void failAtDeclaration(const KxCString& name, const KxCString& text) {
        constexpr std::string_view kDeclaration = "<!ENTITY";
        for (std::size_t at = document.find(kDeclaration); at != KxCString::npos;
             at = document.find(kDeclaration, at + 1)) {
            std::size_t start = at + kDeclaration.size();
            start = document.find_first_not_of(" \t\r\n%", start);
            const std::size_t end = document.find_first_of(" \t\r\n", start);
            if (start != KxCString::npos && document.compare(start, end - start, name) == 0 &&
                end - start == name.size()) {
                fail(locationOf(at) + ": " + text);
            }
        }
        fail(withLine(0, text));
    }

    // The entity references of text: (offset, name) of each &name; that
    // names no character.
    static std::vector<std::pair<std::size_t, KxCString>> referencesIn(std::string_view text) {
        std::vector<std::pair<std::size_t, KxCString>> found;
        for (std::size_t at = text.find('&'); at != std::string_view::npos;
             at = text.find('&', at + 1)) {
            const std::size_t end = text.find_first_of(";&<>\"' \t\r\n", at + 1);
            if (end != std::string_view::npos && text[end] == ';' && end > at + 1 &&
                text[at + 1] != '#') {
                found.emplace_back(at, KxCString(text.substr(at + 1, end - at - 1)));
            }
        }
        return found;
    }

    // The entities of the document's type declaration, as real XML tools take
    // them. External entities (general or parameter) are refused: they would
    // read files. Internal general entities are expanded, but first their
    // expansion is worked out: the replacement text of all references
    // together may be at most kMaxEntityAmplification times the document and
    // at most kMaxEntityExpansion bytes, so that a few nested or repeated
    // references cannot stand for gigabytes of text. Callers that refuse
    // entities altogether get every declaration refused. The external DTD
    // subset is never read; a reference to an entity it might declare is a
    // fault where it is met.
    void checkDeclaredEntities() {
        xmlNodePtr node = xmlTextReaderCurrentNode(reader);
        xmlDtdPtr subset = node == nullptr || node->doc == nullptr ? nullptr : node->doc->intSubset;
        if (subset == nullptr) {
            return;
        }
        std::vector<KxCString> all;
        for (void* table : {subset->entities, subset->pentities}) {
            if (table != nullptr) {
                xmlHashScan(static_cast<xmlHashTablePtr>(table), &noteEntity,
                            static_cast<void*>(&all));
            }
        }
        if (all.empty()) {
            return;
        }
        if (externalEntitiesRefused) {
            std::sort(all.begin(), all.end());
            failAtDeclaration(all.front(), "the document declares the entity " + all.front() +
                                               "; documents that declare entities are refused");
        }
        for (void* table : {subset->entities, subset->pentities}) {
            if (table != nullptr) {
                xmlHashScan(static_cast<xmlHashTablePtr>(table), &sortEntity,
                            static_cast<void*>(&sorted));
            }
        }
        for (const auto& [name, entity] : sorted.external) {
            (void)entity;
            failAtDeclaration(name, "the document declares the external entity " + name +
                                        "; external entities are not read");
        }
        for (const auto& [name, entity] : sorted.internal) {
            if (const auto crowded = kx::findCrowdedStartTag(toString(entity->content))) {
                failAtDeclaration(name, "the entity " + name + " holds an element with more than " +
                                            std::to_string(kx::kMaxXmlAttributes) + " attributes");
            }
        }
        const std::size_t limit =
            std::min(kMaxEntityExpansion, kMaxEntityAmplification * document.size());
        std::map<KxCString, std::size_t> sizes;
        std::set<KxCString> expanding;
        // The size of an entity's replacement text with its references
        // replaced, saturating just past the limit.
        std::function<std::size_t(const KxCString&)> sizeOf = [&](const KxCString& name) {
            if (auto known = sizes.find(name); known != sizes.end()) {
                return known->second;
            }
            const auto entity = sorted.internal.find(name);
            if (entity == sorted.internal.end()) {
                return std::size_t{0};  // predefined or undeclared: the parser decides
            }
            if (!expanding.insert(name).second) {
                failAtDeclaration(name, "the entity " + name + " refers to itself");
            }
            const KxCString text = toString(entity->second->content);
            std::size_t size = text.size();
            for (const auto& [at, inner] : referencesIn(text)) {
                size = std::min(limit + 1, size + sizeOf(inner));
            }
            expanding.erase(name);
            sizes[name] = size;
            return size;
        };
        // References after the internal subset: those inside it are part
        // of the entities' own text, counted above.
        const std::size_t doctype = document.find("<!DOCTYPE");
        const std::size_t subsetEnd =
            doctype == KxCString::npos ? KxCString::npos : document.find("]>", doctype);
        const std::size_t from = subsetEnd == KxCString::npos ? 0 : subsetEnd + 2;
        std::size_t total = 0;
        for (auto [at, name] : referencesIn(std::string_view(document).substr(from))) {
            at += from;
            if (sorted.internal.count(name) == 0) {
                continue;
            }
            total += sizeOf(name);
            if (total > limit) {
                fail(locationOf(at) + ": the reference to the entity " + name +
                     " takes the document's entity text past " + std::to_string(limit) +
                     " bytes (" + std::to_string(kMaxEntityAmplification) +
                     " times the document, at most " + std::to_string(kMaxEntityExpansion) +
                     " bytes); the document is refused");
            }
        }
        // Vetted: the parser may now put the replacement text in place.
        xmlTextReaderSetParserProp(reader, XML_PARSER_SUBST_ENTITIES, 1);
    }

    struct SortedEntities {
        std::map<KxCString, const xmlEntity*> internal;  // general, with text of their own
        std::map<KxCString, const xmlEntity*> external;  // general or parameter
    } sorted;

    static void noteEntity(void* payload, void* data, const xmlChar* /*name*/) {
        const auto* entity = static_cast<const xmlEntity*>(payload);
        if (entity != nullptr) {
            static_cast<std::vector<KxCString>*>(data)->push_back(toString(entity->name));
        }
    }

    static void sortEntity(void* payload, void* data, const xmlChar* /*name*/) {
        const auto* entity = static_cast<const xmlEntity*>(payload);
        if (entity == nullptr) {
            return;
        }
        auto& sorted = *static_cast<SortedEntities*>(data);
        switch (entity->etype) {
            case XML_INTERNAL_GENERAL_ENTITY:
                sorted.internal[toString(entity->name)] = entity;
                break;
            case XML_INTERNAL_PARAMETER_ENTITY:
            case XML_INTERNAL_PREDEFINED_ENTITY:
                break;  // put in place within the declaration already
            default:
                sorted.external[toString(entity->name)] = entity;
                break;
        }
    }

    // Consumes the lookahead and the text before it.
    Node take() {
        Node node = std::move(*next);
        next.reset();
        pendingText.clear();
        if (node.type == ElementStart && node.empty) {
            next = Node{ElementEnd, node.name, node.line, false, {}, 0, {}, {}};
        }
        return node;
    }

    // Consumes nodes up to and including the end tag that closes the element
    // open at this point.
    void passOverContent() {
        std::size_t depth = 0;
        for (;;) {
            if (peek().type == EndOfDocument) {
                fail("the document ends inside an element");
            }
            Node node = take();
            if (node.type == ElementStart) {
                ++depth;
            } else if (depth == 0) {
                return;
            } else {
                --depth;
            }
        }
    }

    KxXmlAttributeSet attributeSet(const Node& node) const {
        KxXmlAttributeSet set;
        for (const Attribute& attribute : node.attributes) {
            set.add(
                KxXmlAttribute(KxXmlName(attribute.name),
                               expandAttributeReference ? attribute.expanded : attribute.written,
                               attribute.namespaceUri));
        }
        return set;
    }

    // Consumes the start tag in the lookahead and opens its element.
    void consumeStart() {
        Node start = take();
        open.push_back({start.name, start.line});
        lastAttributes = attributeSet(start);
        lastLine = start.line;
        lastColumn = start.column;
        lastNamespaceUri = std::move(start.namespaceUri);
        lastDeclarations = std::move(start.declarations);
    }

    static KxCString describe(const Node& node) {
        switch (node.type) {
            case ElementStart:
                return "<" + node.name + "> at line " + std::to_string(node.line);
            case ElementEnd:
                return "</" + node.name + ">, the end of the element begun at line " +
                       std::to_string(node.line);
            default:
                return "the end of the document";
        }
    }
};

KxXmlReader::KxXmlReader(const KxCString& document) : state_(std::make_unique<State>()) {
    QuietLibxml quiet(state_.get());
    xmlInitParser();
    state_->document = document;
    state_->crowded = kx::findCrowdedStartTag(state_->document);
    // No entity substitution (XML_PARSE_NOENT) until the document type's
    // entities have been checked, no DTD loading (XML_PARSE_DTDLOAD) and no
    // network: external entities are never fetched, from the network or from
    // files; a document that declares one is refused as the reader meets the
    // declaration.
    state_->reader = xmlReaderForIO(&State::readPiece, nullptr, state_.get(), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_BIG_LINES);
    if (state_->reader == nullptr) {
        state_->fault = "the XML reader could not be created";
        state_->lastType = EndOfDocument;
        return;
    }
    xmlTextReaderSetParserProp(state_->reader, XML_PARSER_LOADDTD, 0);
    xmlTextReaderSetParserProp(state_->reader, XML_PARSER_SUBST_ENTITIES, 0);
    xmlTextReaderSetStructuredErrorHandler(state_->reader,
                                           &StructuredHandler<xmlStructuredErrorFunc>::record,
                                           static_cast<ErrorSink*>(state_.get()));
}

KxXmlReader::~KxXmlReader() {
    QuietLibxml quiet(nullptr);
    state_.reset();
}

void KxXmlReader::refuseExternalEntities() {
    state_->externalEntitiesRefused = true;
}

void KxXmlReader::setExpandAttributeReference(bool expand) {
    state_->expandAttributeReference = expand;
}

// A start of another element, or any other node, is left where it is: the
// caller may go on reading after the exception.
KxXmlAttributeSet KxXmlReader::readElementStart(const KxXmlName& name) {
    QuietLibxml quiet(state_.get());
    State::Node& node = state_->peek();
    state_->lastType = node.type;
    if (node.type != ElementStart || node.name != name.getName()) {
        throw KxXmlException("expected <" + name.getName() + "> but found " +
                             State::describe(node));
    }
    state_->consumeStart();
    return state_->lastAttributes;
}

// Raises a fault met while looking ahead; once the reader has failed it only
// answers false.
bool KxXmlReader::isElementNext(const KxXmlName& name) {
    if (state_->fault) {
        return false;
    }
    QuietLibxml quiet(state_.get());
    State::Node& node = state_->peek();
    state_->lastType = node.type;
    return node.type == ElementStart && node.name == name.getName();
}

KxXmlReader::NodeType KxXmlReader::getLastNodeType() const {
    return state_->lastType;
}

KxCString KxXmlReader::readElementValue() {
    QuietLibxml quiet(state_.get());
    state_->peek();
    KxCString value = std::move(state_->pendingText);
    state_->pendingText.clear();
    state_->lastType = Text;
    return value;
}

void KxXmlReader::readElementEnd(const KxXmlName& name) {
    QuietLibxml quiet(state_.get());
    state_->checkUsable();
    if (state_->open.empty()) {
        throw KxXmlException("expected </" + name.getName() + "> but no element is open");
    }
    const State::OpenElement& current = state_->open.back();
    if (current.name != name.getName()) {
        throw KxXmlException("expected </" + name.getName() + "> but the open element is <" +
                             current.name + ">, begun at line " + std::to_string(current.line));
    }
    state_->passOverContent();
    state_->open.pop_back();
    state_->lastType = ElementEnd;
}

void KxXmlReader::skipElement() {
    QuietLibxml quiet(state_.get());
    State::Node& node = state_->peek();
    if (node.type == EndOfDocument) {
        state_->lastType = EndOfDocument;
        return;
    }
    if (node.type == ElementEnd) {
        state_->lastType = ElementEnd;
        // Consuming the end tag would close an element the caller still has
        // open; stopping here also keeps a caller's loop from running on.
        throw KxXmlException("expected an element to pass over but found " + State::describe(node));
    }
    state_->take();
    state_->passOverContent();
    state_->lastType = ElementEnd;
}

// Looks ahead, so that the end is seen as soon as only the end of the document
// (or trailing comments) remains. A fault met while looking ahead counts as the
// end and is raised by the next read.
bool KxXmlReader::eof() {
    if (state_->fault) {
        return true;
    }
    QuietLibxml quiet(state_.get());
    try {
        State::Node& node = state_->peek();
        state_->lastType = node.type;
        return node.type == EndOfDocument;
    } catch (const KxXmlException&) {
        // The fault is kept; the next read raises it.
        return true;
    }
}

const KxXmlAttributeSet& KxXmlReader::getLastAttributes() const {
    return state_->lastAttributes;
}

bool KxXmlReader::nextElement(KxCString& name, KxXmlAttributeSet& attributes) {
    QuietLibxml quiet(state_.get());
    State::Node& node = state_->peek();
    state_->lastType = node.type;
    if (node.type != ElementStart) {
        return false;
    }
    name = node.name;
    state_->consumeStart();
    attributes = state_->lastAttributes;
    return true;
}

long KxXmlReader::getLineNumber() const {
    return state_->lastLine;
}

long KxXmlReader::getColumnNumber() const {
    return state_->lastColumn;
}

const KxCString& KxXmlReader::getLastNamespaceUri() const {
    return state_->lastNamespaceUri;
}

const std::vector<KxXmlNamespaceDeclaration>& KxXmlReader::getLastNamespaceDeclarations() const {
    return state_->lastDeclarations;
}
