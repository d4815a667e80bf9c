#pragma once
// Template values. Every value a template sees passes through one adapter
// interface, KxContextObjectImpl: attribute look-up, method call, iteration
// and conversion to text, number or truth. KxContextObject is the handle that
// owns an implementation; a default-constructed handle is the empty
// (invalid) value. Copies of a handle share the implementation, which values
// never change after they are made.
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/KxEnumeration.h"

class KxContextObjectImpl;

class KxContextObject {
  public:
    // The kind of value an implementation is.
    enum Type {
        kInvalid = 0,
        kString = 1,
        kEnumerable = 2,  // a list: getAsEnumeration walks it
        kBoolean = 3,
        kLong = 4,
        kUnsignedLong = 5,
        kDouble = 6,
        kRecord = 98,  // an object answering getAttribute
    };

    KxContextObject() = default;
    // Takes ownership of an implementation made with new.
    explicit KxContextObject(KxContextObjectImpl* impl);
    explicit KxContextObject(std::shared_ptr<KxContextObjectImpl> impl) : impl_(std::move(impl)) {}

    // True when the handle holds a value that says it is valid.
    bool isValid() const;
    Type getType() const;

    KxCString toString() const;
    long toLong() const;
    double toDouble() const;
    bool toBoolean() const;
    KxEnumeration<KxContextObject> getAsEnumeration() const;
    KxContextObject getAttribute(const KxCString& name) const;
    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>& arguments) const;

    // The implementation, or nullptr for the empty value.
    KxContextObjectImpl* getImpl() const { return impl_.get(); }

  private:
    std::shared_ptr<KxContextObjectImpl> impl_;
};

// The extension base for values. Subclasses override what their kind of
// value answers; everything else keeps these defaults: no elements, empty
// text, zero, no attributes, no methods. An implementation is true when it is
// a non-empty list, and otherwise when it is a record; the scalar kinds
// override toBoolean.
class KxContextObjectImpl {
  public:
    explicit KxContextObjectImpl(KxContextObject::Type type) : type_(type) {}
    KxContextObjectImpl(const KxContextObjectImpl&) = delete;
    KxContextObjectImpl& operator=(const KxContextObjectImpl&) = delete;

    virtual ~KxContextObjectImpl() = default;
    virtual KxEnumeration<KxContextObject> getAsEnumeration();
    virtual KxCString toString();
    virtual long toLong();
    virtual double toDouble();
    virtual bool toBoolean();
    virtual bool isValid();
    virtual void* getInternalObject();
    virtual KxContextObject invokeMethod(const KxCString& name,
                                         const std::vector<KxContextObject>& arguments);
    virtual void setValue(const KxContextObject& value);
    virtual KxContextObject getAttribute(const KxCString& name);
    virtual void setAttribute(const KxCString& name, const KxContextObject& value);

    KxContextObject::Type getType() const { return type_; }

    // Writes the value's text to out. Scalars write without building a
    // string; the default writes toString().
    virtual void appendTo(KxCString& out);
    // The value's text when the value holds it as it is, for reading it in
    // place; nullptr (the default) for values that make their text.
    virtual const KxCString* heldText() { return nullptr; }

    // A value that guards its text (one that may be written only in some
    // way, say) passes the guard on to the strings it is interpolated into:
    // "text $value" is then guarded(the joined text), a value of its own
    // kind. The default guards nothing.
    virtual bool guardsText() const { return false; }
    virtual KxContextObject guarded(KxCString text);

  private:
    KxContextObject::Type type_;
};

// Asked for every value a template writes or tests: inline.
inline bool KxContextObject::isValid() const {
    return impl_ && impl_->isValid();
}

inline KxContextObject::Type KxContextObject::getType() const {
    return impl_ ? impl_->getType() : kInvalid;
}

// The base of text values: what a text answers, from the text a subclass
// holds or shows (one kept by another object, which the subclass then keeps
// alive, so that showing it copies nothing). A text is true when it is not
// empty, and its number is the one its leading digits spell.
class KxTextValueImpl : public KxContextObjectImpl {
  public:
    KxTextValueImpl() : KxContextObjectImpl(KxContextObject::kString) {}

    virtual const KxCString& text() const = 0;

    KxCString toString() override { return text(); }
    long toLong() override;
    double toDouble() override { return static_cast<double>(toLong()); }
    bool toBoolean() override { return !text().empty(); }
    void* getInternalObject() override { return const_cast<KxCString*>(&text()); }
    void appendTo(KxCString& out) override { out += text(); }
    const KxCString* heldText() override { return &text(); }
};

// The engine's own values.
KxContextObject kxcreateContextObject(const KxCString& text);
KxContextObject kxcreateContextObject(KxCString&& text);
KxContextObject kxcreateContextObject(const char* text);
KxContextObject kxcreateContextObject(std::string_view text);
KxContextObject kxcreateContextObject(bool value);
KxContextObject kxcreateContextObject(int value);
KxContextObject kxcreateContextObject(long value);
KxContextObject kxcreateContextObject(long long value);
KxContextObject kxcreateContextObject(unsigned value);
KxContextObject kxcreateContextObject(unsigned long value);
KxContextObject kxcreateContextObject(unsigned long long value);
KxContextObject kxcreateContextObject(double value);
// A list of values, enumerated in order.
KxContextObject kxcreateContextObject(std::vector<KxContextObject> values);

// A record of named values made on the spot: answers each name with its
// value, and nothing for other names.
using KxRecordFields = std::vector<std::pair<KxCString, KxContextObject>>;
KxContextObject kxcreateRecord(KxRecordFields fields);
