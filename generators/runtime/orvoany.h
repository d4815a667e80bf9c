// orvoany.h: what the generated classes keep of content the schema leaves
// open: elements a wildcard (xsd:any) takes, held as a generic element tree,
// and attributes an xsd:anyAttribute takes, each read and written back as
// it stands.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "orvobase.h"
#include "orvowriter.h"
#include "orvoxml.h"

namespace orvo {

// All the text pieces of mixed content, concatenated.
inline std::string joinedText(const std::vector<std::string>& pieces) {
    std::string joined;
    for (const std::string& piece : pieces) {
        joined += piece;
    }
    return joined;
}

// An attribute the class does not declare: {ns}name="value".
struct AnyAttribute {
    std::string ns;  // "" for an unqualified attribute
    std::string name;
    std::string value;

    bool operator==(const AnyAttribute& other) const {
        return ns == other.ns && name == other.name && value == other.value;
    }
    bool operator!=(const AnyAttribute& other) const { return !(*this == other); }
};

// An object of some class, held without its type showing in the holder's:
// the class an element a lax or strict wildcard took was read into, or the
// derived type an element named with xsi:type (orvoderived.h). Copies
// share it; it is never changed.
class KnownObject {
  public:
    KnownObject() = default;
    template <class T>
    static KnownObject of(T object) {
        KnownObject known;
        known.object_ = std::make_shared<const T>(std::move(object));
        known.type_ = &typeid(T);
        return known;
    }

    explicit operator bool() const { return object_ != nullptr; }
    // The object when it is of class T, else null.
    template <class T>
    const T* as() const {
        return object_ && *type_ == typeid(T) ? static_cast<const T*>(object_.get()) : nullptr;
    }

  private:
    std::shared_ptr<const void> object_;
    const std::type_info* type_ = nullptr;
};

// An element with everything in it: its name with namespace, its
// attributes and its content in document order (the text pieces between
// its child elements, as Element::textPieces gives them).
class AnyElement {
  public:
    // How deep a tree may be read; libxml2 refuses deeper documents first.
    static constexpr std::size_t kMaxDepth = 256;

    std::string ns;      // "" for no namespace
    std::string name;    // the local name
    std::string prefix;  // as written in the document; asked for when written
    // The namespaces declared on it in the document, (prefix, namespace):
    // declared again where it is written, with those prefixes where they
    // are free, so that prefixed names in its text keep their meaning.
    std::vector<std::pair<std::string, std::string>> declarations;
    std::vector<AnyAttribute> attributes;
    std::vector<AnyElement> children;
    // texts[i] comes before children[i]; the last one after the last child.
    std::vector<std::string> texts;

    // Where a lax or strict wildcard took an element the schema declares:
    // the object of its class it was also read into (as<T>() gives it).
    // The tree above is what is written back.
    KnownObject known;

    // All the text of the element's own content, concatenated.
    std::string text() const { return joinedText(texts); }
    // The object of class T the element was read into, else null.
    template <class T>
    const T* as() const {
        return known.as<T>();
    }

    bool operator==(const AnyElement& other) const {
        return ns == other.ns && name == other.name && attributes == other.attributes &&
               children == other.children && texts == other.texts;
    }
    bool operator!=(const AnyElement& other) const { return !(*this == other); }
};

namespace detail {

inline void readAnyInto(const Element& element, AnyElement& into, std::size_t depth) {
    if (depth > AnyElement::kMaxDepth) {
        element.fail("the element " + element.qualifiedName() + " is nested more than " +
                     std::to_string(AnyElement::kMaxDepth) + " deep");
    }
    into.ns = element.namespaceUri();
    into.name = element.localName();
    into.prefix = element.prefix();
    into.declarations = element.declaredNamespaces();
    element.forEachAttribute([&into](std::string ns, std::string name, std::string value) {
        into.attributes.push_back({std::move(ns), std::move(name), std::move(value)});
    });
    into.texts = element.textPieces();
    for (Element child = element.firstChild(); child; child = child.nextSibling()) {
        into.children.emplace_back();
        readAnyInto(child, into.children.back(), depth + 1);
    }
}

}  // namespace detail

// The element with everything in it.
inline AnyElement readAny(const Element& element) {
    AnyElement read;
    detail::readAnyInto(element, read, 1);
    return read;
}

inline void writeAnyAs(Writer& out, const AnyElement& element, const std::string& ns,
                       const std::string& name);

// Writes the element back, declaring the namespaces it needs, with the
// prefixes it was read with where they are free.
inline void writeAny(Writer& out, const AnyElement& element) {
    writeAnyAs(out, element, element.ns, element.name);
}

// Writes the element's attributes and content under the name given: an
// element of xsd:anyType held by a class is written with the field's name.
inline void writeAnyAs(Writer& out, const AnyElement& element, const std::string& ns,
                       const std::string& name) {
    for (const auto& declaration : element.declarations) {
        out.prefer(declaration.first, declaration.second);
    }
    if (!ns.empty() && !element.prefix.empty() && ns == element.ns) {
        out.prefer(element.prefix, ns);
    }
    out.start(ns, name);
    for (const auto& declaration : element.declarations) {
        if (!declaration.first.empty() && !declaration.second.empty()) {
            out.prefix(declaration.second);
        }
    }
    for (const AnyAttribute& attribute : element.attributes) {
        out.attribute(attribute.ns, attribute.name, attribute.value);
    }
    out.mixedText(element.texts);
    for (const AnyElement& child : element.children) {
        writeAny(out, child);
    }
    out.end();
}

// Reads element, which the schema declares with class T, into a T as well
// as the tree: read(element, object) reads it (a class's readXml or its
// marshaller's). An element that does not fit its class keeps its tree
// alone: the tree holds all of it either way, and a document is never
// refused for what a wildcard takes.
template <class T, class Read>
void readKnown(const Element& element, AnyElement& value, Read read) {
    T object;
    try {
        read(element, object);
    } catch (const XmlError&) {
        return;
    }
    value.known = KnownObject::of(std::move(object));
}

// The element of an XML document, as a tree (for a wildcard's field).
inline AnyElement anyFromXml(const std::string& xml) {
    const Document document = Document::parse(xml);
    return readAny(document.root());
}

// An object of a data class as the element its toXml() writes, knowing the
// object (as<T>() gives it back).
template <class T>
AnyElement anyOf(const T& object) {
    AnyElement element = anyFromXml(object.toXml());
    element.known = KnownObject::of(object);
    return element;
}

// An xsd:anyType value made from text alone (a default value, a sample),
// and its text.
inline void parse(const std::string& text, AnyElement& value) {
    value = AnyElement();
    value.texts = {text};
}
inline std::string format(const AnyElement& value) {
    return value.text();
}

// Whether the namespace ns ("" for none) is one of the list.
inline bool inNamespaces(const std::string& ns, std::initializer_list<const char*> list) {
    for (const char* name : list) {
        if (ns == name) {
            return true;
        }
    }
    return false;
}

// Writes the attributes on the element just started.
inline void writeAnyAttributes(Writer& out, const std::vector<AnyAttribute>& attributes) {
    for (const AnyAttribute& attribute : attributes) {
        out.attribute(attribute.ns, attribute.name, attribute.value);
    }
}

}  // namespace orvo
