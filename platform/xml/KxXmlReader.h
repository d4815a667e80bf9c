#pragma once
// A pull reader of elements and attributes over a whole document held in
// memory, on libxml2's streaming reader. The caller says what it expects next
// ("the start of <message>", "the end of <Error>") and the reader checks it;
// malformed input raises KxXmlException where the reader meets it. Nothing is
// ever printed to standard error. External entities and DTDs are never
// loaded, and a document whose type declaration defines internal entities
// (or, on request, any entity) is refused ("line L, column C: the document declares the entity
// NAME; ...") before any of them can be expanded.
#include <memory>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/Kxxmsg.h"

// A fault in the document, or an element other than the one expected. The
// text is libxml2's own message (with its line) or the reader's.
class KxXmlException : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

// An element or attribute name, without namespace.
class KxXmlName {
  public:
    KxXmlName() = default;
    KxXmlName(const char* name) : name_(name) {}
    KxXmlName(KxCString name) : name_(std::move(name)) {}

    const KxCString& getName() const { return name_; }
    bool operator==(const KxXmlName& other) const = default;

  private:
    KxCString name_;
};

class KxXmlAttribute {
  public:
    KxXmlAttribute(KxXmlName name, KxCString value, KxCString namespaceUri = {})
        : name_(std::move(name)),
          value_(std::move(value)),
          namespaceUri_(std::move(namespaceUri)) {}

    const KxXmlName& getName() const { return name_; }
    const KxCString& getValue() const { return value_; }
    // The namespace of a prefixed attribute; empty for an unprefixed one.
    const KxCString& getNamespaceUri() const { return namespaceUri_; }

  private:
    KxXmlName name_;
    KxCString value_;
    KxCString namespaceUri_;
};

// A namespace declaration: the prefix (empty for xmlns="...") and the URI.
struct KxXmlNamespaceDeclaration {
    KxCString prefix;
    KxCString uri;
};

// The attributes of one start tag, in document order.
class KxXmlAttributeSet {
  public:
    // The attribute with that name, or nullptr when the tag has none.
    const KxXmlAttribute* find(const KxXmlName& name) const;

    void add(KxXmlAttribute attribute) { attributes_.push_back(std::move(attribute)); }
    std::size_t size() const { return attributes_.size(); }
    bool empty() const { return attributes_.empty(); }
    auto begin() const { return attributes_.begin(); }
    auto end() const { return attributes_.end(); }

  private:
    std::vector<KxXmlAttribute> attributes_;
};

class KxXmlReader {
  public:
    // The kind of node the reader last looked at.
    enum NodeType {
        ElementStart = 0,
        ElementEnd = 1,
        Text = 2,
        EndOfDocument = 3,
        None = 4,  // nothing looked at yet
    };

    // Reads from the document text; the text is copied.
    explicit KxXmlReader(const KxCString& document);
    KxXmlReader(const KxXmlReader&) = delete;
    KxXmlReader& operator=(const KxXmlReader&) = delete;
    ~KxXmlReader();

    // Whether entity and character references in attribute values are
    // replaced by what they stand for (the default) or left as written.
    void setExpandAttributeReference(bool expand);

    // Refuses every entity declaration, internal ones too (which are
    // otherwise expanded within a bound), so that the document may declare
    // no entity at all. Called before anything is read.
    void refuseExternalEntities();

    // Consumes the start tag of the named element, which must be the next
    // element, and returns its attributes. Text and comments before it are
    // passed over. Throws KxXmlException when another node comes next.
    KxXmlAttributeSet readElementStart(const KxXmlName& name);

    // Looks at the next element node (passing over text and comments) without
    // consuming it: true when it is the start of the named element.
    bool isElementNext(const KxXmlName& name);

    // The kind of node the reader last looked at.
    NodeType getLastNodeType() const;

    // The text content of the element just started (text and CDATA up to its
    // first child or its end), leaving the reader before what follows.
    KxCString readElementValue();

    // Consumes the end tag of the named element, first passing over anything
    // still unread inside it. Throws KxXmlException when the element open at
    // this point has another name.
    void readElementEnd(const KxXmlName& name);

    // Passes over the next element with everything inside it.
    void skipElement();

    // True once the end of the document is reached, or after a fault.
    bool eof();

    // The attributes of the last start tag read.
    const KxXmlAttributeSet& getLastAttributes() const;

    // For a walk over elements whose names the caller does not know ahead:
    // when a start tag comes next (text and comments before it are passed
    // over), consumes it, gives its local name and attributes and returns
    // true. Returns false, consuming nothing, when an end tag or the end of
    // the document comes next; getLastNodeType() then tells which.
    bool nextElement(KxCString& name, KxXmlAttributeSet& attributes);

    // Where the last start tag read stands in the document: its line, and
    // the column at which the parser stood when it delivered the tag (just
    // past the tag's '>' for most documents). Both 1-based, 0 before any
    // start tag is read.
    long getLineNumber() const;
    long getColumnNumber() const;

    // The namespace of the last start tag read (empty for none), and the
    // namespace declarations written on it.
    const KxCString& getLastNamespaceUri() const;
    const std::vector<KxXmlNamespaceDeclaration>& getLastNamespaceDeclarations() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};
