#include "platform/template/KxContextObject.h"

#include <charconv>

// ---- handle -----------------------------------------------------------------

KxContextObject::KxContextObject(KxContextObjectImpl* impl) : impl_(impl) {}

KxCString KxContextObject::toString() const {
    return impl_ ? impl_->toString() : KxCString();
}
long KxContextObject::toLong() const {
    return impl_ ? impl_->toLong() : 0;
}
double KxContextObject::toDouble() const {
    return impl_ ? impl_->toDouble() : 0.0;
}
bool KxContextObject::toBoolean() const {
    return impl_ && impl_->toBoolean();
}

KxEnumeration<KxContextObject> KxContextObject::getAsEnumeration() const {
    return impl_ ? impl_->getAsEnumeration() : KxEnumeration<KxContextObject>();
}

KxContextObject KxContextObject::getAttribute(const KxCString& name) const {
    return impl_ ? impl_->getAttribute(name) : KxContextObject();
}

KxContextObject KxContextObject::invokeMethod(const KxCString& name,
                                              const std::vector<KxContextObject>& arguments) const {
    return impl_ ? impl_->invokeMethod(name, arguments) : KxContextObject();
}

// ---- defaults of the extension base -----------------------------------------

KxEnumeration<KxContextObject> KxContextObjectImpl::getAsEnumeration() {
    return KxEnumeration<KxContextObject>();
}
KxCString KxContextObjectImpl::toString() {
    return {};
}
long KxContextObjectImpl::toLong() {
    return 0;
}
double KxContextObjectImpl::toDouble() {
    return 0.0;
}
bool KxContextObjectImpl::toBoolean() {
    if (type_ == KxContextObject::kEnumerable) {
        return getAsEnumeration().hasMoreElements();
    }
    return type_ == KxContextObject::kRecord;
}
bool KxContextObjectImpl::isValid() {
    return type_ != KxContextObject::kInvalid;
}
void* KxContextObjectImpl::getInternalObject() {
    return nullptr;
}
KxContextObject KxContextObjectImpl::invokeMethod(const KxCString&,
                                                  const std::vector<KxContextObject>&) {
    return {};
}
void KxContextObjectImpl::setValue(const KxContextObject&) {}
KxContextObject KxContextObjectImpl::getAttribute(const KxCString&) {
    return {};
}
void KxContextObjectImpl::setAttribute(const KxCString&, const KxContextObject&) {}
KxContextObject KxContextObjectImpl::guarded(KxCString text) {
    return kxcreateContextObject(std::move(text));
}

void KxContextObjectImpl::appendTo(KxCString& out) {
    out += toString();
}

// ---- the engine's own values ------------------------------------------------

long KxTextValueImpl::toLong() {
    const KxCString& value = text();
    long number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    return number;
}

namespace {

class StringValue : public KxTextValueImpl {
  public:
    explicit StringValue(KxCString text) : text_(std::move(text)) {}

    const KxCString& text() const override { return text_; }

  private:
    KxCString text_;
};

class BooleanValue : public KxContextObjectImpl {
  public:
    explicit BooleanValue(bool value)
        : KxContextObjectImpl(KxContextObject::kBoolean), value_(value) {}

    KxCString toString() override { return value_ ? "true" : "false"; }
    long toLong() override { return value_ ? 1 : 0; }
    double toDouble() override { return value_ ? 1.0 : 0.0; }
    bool toBoolean() override { return value_; }
    void* getInternalObject() override { return &value_; }
    void appendTo(KxCString& out) override { out += value_ ? "true" : "false"; }

  private:
    bool value_;
};

template <class Number, KxContextObject::Type kType>
class NumberValue : public KxContextObjectImpl {
  public:
    explicit NumberValue(Number value) : KxContextObjectImpl(kType), value_(value) {}

    KxCString toString() override {
        KxCString out;
        appendTo(out);
        return out;
    }
    long toLong() override { return static_cast<long>(value_); }
    double toDouble() override { return static_cast<double>(value_); }
    bool toBoolean() override { return value_ != 0; }
    void* getInternalObject() override { return &value_; }
    void appendTo(KxCString& out) override {
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value_);
        out.append(buffer, result.ptr);
    }

  private:
    Number value_;
};

using LongValue = NumberValue<long long, KxContextObject::kLong>;
using UnsignedValue = NumberValue<unsigned long long, KxContextObject::kUnsignedLong>;
using DoubleValue = NumberValue<double, KxContextObject::kDouble>;

class ListValue : public KxContextObjectImpl {
  public:
    explicit ListValue(std::vector<KxContextObject> values)
        : KxContextObjectImpl(KxContextObject::kEnumerable), values_(std::move(values)) {}

    KxEnumeration<KxContextObject> getAsEnumeration() override {
        return KxEnumeration<KxContextObject>(
            new KxVectorEnumerationImpl<KxContextObject>(values_));
    }
    bool toBoolean() override { return !values_.empty(); }
    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>&) override {
        if (name == "entries" || name == "size") {
            return kxcreateContextObject(static_cast<unsigned long>(values_.size()));
        }
        return {};
    }

  private:
    std::vector<KxContextObject> values_;
};

// Answers each of its names with its value; a record has a handful of
// names, so a walk is quicker than a map.
class RecordValue : public KxContextObjectImpl {
  public:
    explicit RecordValue(KxRecordFields fields)
        : KxContextObjectImpl(KxContextObject::kRecord), fields_(std::move(fields)) {}

    KxContextObject getAttribute(const KxCString& name) override {
        for (const auto& [key, value] : fields_) {
            if (key == name) {
                return value;
            }
        }
        return {};
    }

  private:
    KxRecordFields fields_;
};

}  // namespace

KxContextObject kxcreateContextObject(const KxCString& text) {
    return KxContextObject(std::make_shared<StringValue>(text));
}
KxContextObject kxcreateContextObject(KxCString&& text) {
    return KxContextObject(std::make_shared<StringValue>(std::move(text)));
}
KxContextObject kxcreateContextObject(const char* text) {
    return kxcreateContextObject(KxCString(text ? text : ""));
}
KxContextObject kxcreateContextObject(std::string_view text) {
    return kxcreateContextObject(KxCString(text));
}
// Values never change once made, so every flag shares one of two.
KxContextObject kxcreateContextObject(bool value) {
    static const KxContextObject kTrue(std::make_shared<BooleanValue>(true));
    static const KxContextObject kFalse(std::make_shared<BooleanValue>(false));
    return value ? kTrue : kFalse;
}
KxContextObject kxcreateContextObject(int value) {
    return KxContextObject(std::make_shared<LongValue>(value));
}
KxContextObject kxcreateContextObject(long value) {
    return KxContextObject(std::make_shared<LongValue>(value));
}
KxContextObject kxcreateContextObject(long long value) {
    return KxContextObject(std::make_shared<LongValue>(value));
}
KxContextObject kxcreateContextObject(unsigned value) {
    return KxContextObject(std::make_shared<UnsignedValue>(value));
}
KxContextObject kxcreateContextObject(unsigned long value) {
    return KxContextObject(std::make_shared<UnsignedValue>(value));
}
KxContextObject kxcreateContextObject(unsigned long long value) {
    return KxContextObject(std::make_shared<UnsignedValue>(value));
}
KxContextObject kxcreateContextObject(double value) {
    return KxContextObject(std::make_shared<DoubleValue>(value));
}
KxContextObject kxcreateContextObject(std::vector<KxContextObject> values) {
    return KxContextObject(std::make_shared<ListValue>(std::move(values)));
}
KxContextObject kxcreateRecord(KxRecordFields fields) {
    return KxContextObject(std::make_shared<RecordValue>(std::move(fields)));
}
