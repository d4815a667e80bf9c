// orvofields.h: reading and writing a data class's fields from a table.
// A class whose fields are all attributes, text content or elements in
// sequence (values, classes, each held as it is, in a std::optional or in a
// std::vector) describes them in a table of FieldEntry, and its XML
// functions call the functions below. The reading and writing is then
// compiled once here, not once per field of every class.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "orvoclasses.h"

// The functions below are called from every class of a table; each is
// compiled once per source, not into every caller.
#ifndef ORVO_NOINLINE
#if defined(_MSC_VER)
#define ORVO_NOINLINE __declspec(noinline)
#elif defined(__GNUC__) || defined(__clang__)
#define ORVO_NOINLINE __attribute__((noinline))
#else
#define ORVO_NOINLINE
#endif
#endif

namespace orvo {

// What the table-driven functions do with one stored field: its values (one,
// an optional one or a list) and how each is read and written. Entries that
// do not apply to the kind of value are null.
struct FieldOps {
    void (*clear)(void* stored);   // no value, or the empty one; null: read again anyway
    void* (*fresh)(void* stored);  // a new value in the field, to read into
    std::size_t (*count)(const void* stored);
    const void* (*item)(const void* stored, std::size_t index);
    void (*readText)(const Element& at, std::string text, void* value);
    void (*readElement)(const Element& child, void* value);
    void (*writeAttribute)(Writer& out, const void* value, std::string_view ns,
                           std::string_view local);
    void (*writeText)(Writer& out, const void* value);
    void (*writeElement)(Writer& out, const void* value, std::string_view ns,
                         std::string_view local);
};

// One field of a class: what it is in the element and how it is held.
struct FieldEntry {
    enum class Kind : unsigned char { Attribute, Text, Element };
    enum class Occurs : unsigned char { One, Optional, Many };
    Kind kind;
    Occurs occurs;
    std::size_t minOccurs;  // of a repeated element
    const char* ns;
    const char* local;
    const char* shown;  // the name as messages give it
    const FieldOps* ops;
};

// A class's fields, in the order of the schema, and where the object keeps
// each of them (by its index in the table). Writing only reads through the
// pointer the class gives.
struct FieldTable {
    const FieldEntry* fields;
    std::size_t count;
    void* (*stored)(void* object, std::size_t index);

    const FieldEntry* begin() const { return fields; }
    const FieldEntry* end() const { return fields + count; }
    void* in(void* object, const FieldEntry* field) const {
        return stored(object, static_cast<std::size_t>(field - fields));
    }
    const void* in(const void* object, const FieldEntry* field) const {
        return in(const_cast<void*>(object), field);
    }
};

namespace detail {

// How the values of a field are held.
template <class Stored>
struct Holding {
    using Value = Stored;
    static void clear(void* stored) { *static_cast<Stored*>(stored) = Stored{}; }
    static void* fresh(void* stored) { return stored; }
    static std::size_t count(const void*) { return 1; }
    static const void* item(const void* stored, std::size_t) { return stored; }
};
template <class T>
struct Holding<std::optional<T>> {
    using Value = T;
    static void clear(void* stored) { static_cast<std::optional<T>*>(stored)->reset(); }
    static void* fresh(void* stored) { return &static_cast<std::optional<T>*>(stored)->emplace(); }
    static std::size_t count(const void* stored) {
        return static_cast<const std::optional<T>*>(stored)->has_value() ? 1 : 0;
    }
    static const void* item(const void* stored, std::size_t) {
        return &**static_cast<const std::optional<T>*>(stored);
    }
};
template <class T>
struct Holding<std::vector<T>> {
    using Value = T;
    static void clear(void* stored) { static_cast<std::vector<T>*>(stored)->clear(); }
    static void* fresh(void* stored) {
        return &static_cast<std::vector<T>*>(stored)->emplace_back();
    }
    static std::size_t count(const void* stored) {
        return static_cast<const std::vector<T>*>(stored)->size();
    }
    static const void* item(const void* stored, std::size_t index) {
        return &(*static_cast<const std::vector<T>*>(stored))[index];
    }
};

// The text of a value as written: a QName's prefix is bound where it is
// written, so the writer takes part.
template <class T>
decltype(auto) textIn(Writer&, const T& value) {
    return toText(value);
}
inline std::string textIn(Writer& out, const QName& value) {
    return toText(out, value);
}

// A value written as text: a string, number, boolean, enumeration, date or
// qualified name.
template <class T>
struct SimpleValue {
    static void readText(const Element& at, std::string text, void* value) {
        readValue(at, std::move(text), *static_cast<T*>(value));
    }
    static void readElement(const Element& child, void* value) {
        readValue(child, child.text(), *static_cast<T*>(value));
    }
    static void writeAttribute(Writer& out, const void* value, std::string_view ns,
                               std::string_view local) {
        out.attribute(ns, local, textIn(out, *static_cast<const T*>(value)));
    }
    static void writeText(Writer& out, const void* value) {
        out.text(textIn(out, *static_cast<const T*>(value)));
    }
    static void writeElement(Writer& out, const void* value, std::string_view ns,
                             std::string_view local) {
        out.start(ns, local);
        writeText(out, value);
        out.end();
    }
};

// An object of a data class, which reads and writes itself.
template <class T>
struct ClassValue {
    static void readElement(const Element& child, void* value) {
        static_cast<T*>(value)->readXml(child);
    }
    static void writeElement(Writer& out, const void* value, std::string_view ns,
                             std::string_view local) {
        static_cast<const T*>(value)->writeXml(out, ns, local);
    }
};

// An object of a data class read and written by its marshaller.
template <class T, class Marshaller>
struct MarshalledValue {
    static void readElement(const Element& child, void* value) {
        Marshaller::readXml(child, *static_cast<T*>(value));
    }
    static void writeElement(Writer& out, const void* value, std::string_view ns,
                             std::string_view local) {
        Marshaller::writeXml(out, *static_cast<const T*>(value), ns, local);
    }
};

// An object held as it is needs no clearing: it is a required element,
// which its own readXml() reads again from the start.
template <class Stored>
constexpr auto clearObjects() -> void (*)(void*) {
    if constexpr (std::is_same_v<typename Holding<Stored>::Value, Stored>) {
        return nullptr;
    } else {
        return &Holding<Stored>::clear;
    }
}

template <class Stored, class How>
constexpr FieldOps objectOps() {
    using Held = Holding<Stored>;
    return {clearObjects<Stored>(), &Held::fresh, &Held::count, &Held::item,       nullptr,
            &How::readElement,      nullptr,      nullptr,      &How::writeElement};
}

}  // namespace detail

// The operations of a field stored as Stored (T, std::optional<T> or
// std::vector<T>) whose values are of a simple type, of a data class, or of
// a data class with a marshaller.
template <class Stored, class T = typename detail::Holding<Stored>::Value>
inline constexpr FieldOps simpleField = {
    &detail::Holding<Stored>::clear,         &detail::Holding<Stored>::fresh,
    &detail::Holding<Stored>::count,         &detail::Holding<Stored>::item,
    &detail::SimpleValue<T>::readText,       &detail::SimpleValue<T>::readElement,
    &detail::SimpleValue<T>::writeAttribute, &detail::SimpleValue<T>::writeText,
    &detail::SimpleValue<T>::writeElement};

template <class Stored, class T = typename detail::Holding<Stored>::Value>
inline constexpr FieldOps classField = detail::objectOps<Stored, detail::ClassValue<T>>();

template <class Stored, class Marshaller, class T = typename detail::Holding<Stored>::Value>
inline constexpr FieldOps marshalledField =
    detail::objectOps<Stored, detail::MarshalledValue<T, Marshaller>>();

// The error of a child element that none of its parent's fields reads.
[[noreturn]] ORVO_NOINLINE inline void refuseUnexpected(const Element& child,
                                                        const Element& parent) {
    child.fail("the element " + child.qualifiedName() + " is not expected in " +
               parent.qualifiedName());
}

// Gives every field of the table no value, or the empty one: the state
// of a new object, before it is read.
ORVO_NOINLINE inline void clearFields(void* object, const FieldTable& table) {
    for (const FieldEntry* field = table.begin(); field != table.end(); ++field) {
        if (field->ops->clear != nullptr) {
            field->ops->clear(table.in(object, field));
        }
    }
}

// Reads the attributes and then the text content of the table's fields from
// the element into the object.
ORVO_NOINLINE inline void readFieldAttributes(const Element& element, void* object,
                                              const FieldTable& table) {
    std::string text;
    for (const FieldEntry* field = table.begin(); field != table.end(); ++field) {
        if (field->kind != FieldEntry::Kind::Attribute) {
            continue;
        }
        if (element.attribute(field->ns, field->local, text)) {
            field->ops->readText(element, std::move(text),
                                 field->ops->fresh(table.in(object, field)));
            text.clear();
        } else if (field->occurs == FieldEntry::Occurs::One) {
            element.fail("the element " + element.qualifiedName() + " lacks its attribute " +
                         field->shown);
        }
    }
    for (const FieldEntry* field = table.begin(); field != table.end(); ++field) {
        if (field->kind == FieldEntry::Kind::Text) {
            field->ops->readText(element, element.text(),
                                 field->ops->fresh(table.in(object, field)));
        }
    }
}

// Reads the table's elements, in order, from child on into the object;
// returns the first child it does not read.
ORVO_NOINLINE inline Element readFieldElements(const Element& element, Element child, void* object,
                                               const FieldTable& table) {
    for (const FieldEntry* field = table.begin(); field != table.end(); ++field) {
        if (field->kind != FieldEntry::Kind::Element) {
            continue;
        }
        void* const stored = table.in(object, field);
        std::size_t read = 0;
        while (child && child.is(field->ns, field->local)) {
            field->ops->readElement(child, field->ops->fresh(stored));
            child = child.nextSibling();
            if (++read == 1 && field->occurs != FieldEntry::Occurs::Many) {
                break;
            }
        }
        const std::size_t least = field->occurs == FieldEntry::Occurs::One    ? 1
                                  : field->occurs == FieldEntry::Occurs::Many ? field->minOccurs
                                                                              : 0;
        if (read < least) {
            lacksChild(element, child, field->shown);
        }
    }
    return child;
}

// Writes the attributes of the table's fields that hold a value.
ORVO_NOINLINE inline void writeFieldAttributes(Writer& out, const void* object,
                                               const FieldTable& table) {
    for (const FieldEntry* field = table.begin(); field != table.end(); ++field) {
        if (field->kind != FieldEntry::Kind::Attribute) {
            continue;
        }
        const void* const stored = table.in(object, field);
        if (field->ops->count(stored) != 0) {
            field->ops->writeAttribute(out, field->ops->item(stored, 0), field->ns, field->local);
        }
    }
}

// Writes the text content and the elements of the table's fields, in order.
ORVO_NOINLINE inline void writeFieldContent(Writer& out, const void* object,
                                            const FieldTable& table) {
    for (const FieldEntry* field = table.begin(); field != table.end(); ++field) {
        if (field->kind == FieldEntry::Kind::Attribute) {
            continue;
        }
        const void* const stored = table.in(object, field);
        const std::size_t items = field->ops->count(stored);
        for (std::size_t i = 0; i < items; ++i) {
            const void* const value = field->ops->item(stored, i);
            if (field->kind == FieldEntry::Kind::Text) {
                field->ops->writeText(out, value);
            } else {
                field->ops->writeElement(out, value, field->ns, field->local);
            }
        }
    }
}

// The whole of reading an object from its element: its fields cleared,
// then its attributes, text and child elements read, and a child left over
// refused.
ORVO_NOINLINE inline void readFields(const Element& element, void* object,
                                     const FieldTable& table) {
    clearFields(object, table);
    readFieldAttributes(element, object, table);
    if (const Element rest = readFieldElements(element, element.firstChild(), object, table)) {
        refuseUnexpected(rest, element);
    }
}

// The whole of writing an object as the element {ns}local.
ORVO_NOINLINE inline void writeFields(Writer& out, const void* object, const FieldTable& table,
                                      std::string_view ns, std::string_view local) {
    out.start(ns, local);
    writeFieldAttributes(out, object, table);
    writeFieldContent(out, object, table);
    out.end();
}

namespace detail {
// An object of a table-driven class as the root of a document.
struct TableRoot {
    void* object;
    FieldTable table;
    std::string_view ns;
    std::string_view local;
};
}  // namespace detail

// toXml() and fromXml() of a table-driven class: the document whose root
// element {ns}local is the object.
inline std::string writeFieldsDocument(const PreferredPrefix* prefixes, std::size_t count,
                                       const void* object, const FieldTable& table,
                                       std::string_view ns, std::string_view local) {
    const detail::TableRoot root{const_cast<void*>(object), table, ns, local};
    return writeDocument(prefixes, count, &root, [](Writer& out, const void* written) {
        const auto& root = *static_cast<const detail::TableRoot*>(written);
        writeFields(out, root.object, root.table, root.ns, root.local);
    });
}

inline void readFieldsDocument(const std::string& xml, std::string_view ns, std::string_view local,
                               std::string_view shown, void* object, const FieldTable& table) {
    detail::TableRoot root{object, table, ns, local};
    readDocument(xml, ns, local, shown, &root, [](const Element& element, void* read) {
        const auto& root = *static_cast<const detail::TableRoot*>(read);
        readFields(element, root.object, root.table);
    });
}

}  // namespace orvo
