// orvoderived.h: objects of a derived type standing where their base type is
// declared. An element may name, with xsi:type, a type derived from the one
// its declaration gives; the generated classes then read it as that type and
// keep the whole object beside the declared part, so that it is written
// back with its own type and fields.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "orvoany.h"
#include "orvobase.h"
#include "orvoclasses.h"
#include "orvowriter.h"
#include "orvoxml.h"

namespace orvo {

// The type an element names with xsi:type, resolved where it stands; none
// without the attribute. A prefix that is not declared is an error.
inline std::optional<QName> xsiType(const Element& element) {
    std::string text;
    if (!element.attribute(kXsiNamespace, "type", text)) {
        return std::nullopt;
    }
    QName type;
    readValue(element, text, type);
    return type;
}

// The object of a derived type that stands for an object of its declared
// type: empty, or the whole object as read (or as given to of()).
//
// The declared object's own fields are the ones that count: writing puts
// them over a copy of the derived object, so that a change made to them
// after reading is written, and the derived type's fields come from the
// object held here. Copies share the held object, which is never changed.
class Derived {
  public:
    Derived() = default;

    // Holds object, of type Actual, for an object declared as Declared (a
    // base of Actual). Xml writes an Actual with its type named: the class
    // itself, or its marshaller.
    template <class Declared, class Actual, class Xml = Actual>
    static Derived of(Actual object) {
        static_assert(std::is_base_of<Declared, Actual>::value,
                      "orvo::Derived::of: Actual must derive from Declared");
        Derived derived;
        derived.held_ = KnownObject::of(std::move(object));
        derived.declared_ = &typeid(Declared);
        derived.write_ = [](Writer& out, const void* self, const KnownObject& held,
                            std::string_view ns, std::string_view local) {
            Actual copy = *held.as<Actual>();
            static_cast<Declared&>(copy) = *static_cast<const Declared*>(self);
            Xml::writeTyped(out, copy, ns, local);
        };
        return derived;
    }

    explicit operator bool() const { return static_cast<bool>(held_); }

    // The object as T when it is of type T exactly, else null.
    template <class T>
    const T* as() const {
        return held_.as<T>();
    }

    // Whether it stands for an object declared as Declared. An object
    // copied into a field of one of its bases (sliced) does not, and is then
    // written as that base.
    template <class Declared>
    bool standsFor() const {
        return held_ && *declared_ == typeid(Declared);
    }

    // Writes self (of type Declared, standsFor<Declared>() true) as the
    // element {ns}local, of the held object's type.
    template <class Declared>
    void write(Writer& out, const Declared& self, std::string_view ns,
               std::string_view local) const {
        write_(out, &self, held_, ns, local);
    }

  private:
    KnownObject held_;
    const std::type_info* declared_ = nullptr;
    void (*write_)(Writer&, const void*, const KnownObject&, std::string_view,
                   std::string_view) = nullptr;
};

// Reads element, whose xsi:type names Actual, into a new Actual and gives
// object (declared as Declared) its Declared part and the whole of it.
// Xml reads an Actual: the class itself, or its marshaller.
template <class Declared, class Actual, class Xml = Actual>
Derived readDerived(const Element& element, Declared& object) {
    Actual actual;
    Xml::readTyped(element, actual);
    object = static_cast<const Declared&>(actual);
    return Derived::of<Declared, Actual, Xml>(std::move(actual));
}

// Writes the attribute xsi:type naming {ns}local on the element just started.
inline void writeXsiType(Writer& out, std::string_view ns, std::string_view local) {
    out.attribute(kXsiNamespace, "type",
                  toText(out, QName{std::string(ns), std::string(local), std::string()}));
}

}  // namespace orvo
