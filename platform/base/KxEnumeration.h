#pragma once
// Enumerations: a handle (KxEnumeration<T>) over a reference-counted body
// (KxEnumerationImpl<T>). Copies of a handle share one body, so they walk the
// same sequence.
#include <utility>
#include <vector>

#include "platform/base/KxRefCount.h"
#include "platform/base/Kxxmsg.h"

template <class T>
class KxEnumerationImpl : public KxRefCounted {
  public:
    ~KxEnumerationImpl() override = default;

    virtual bool hasMoreElements() { return false; }
    virtual T nextElement() { throw KxBoundsError("Invalid usage"); }
};

template <class T>
class KxEnumeration {
  public:
    KxEnumeration() noexcept = default;
    // Takes a body made with new; the last handle deletes it.
    explicit KxEnumeration(KxEnumerationImpl<T>* impl) noexcept : impl_(impl) {
        if (impl_) {
            impl_->addReference();
        }
    }
    KxEnumeration(const KxEnumeration& other) noexcept : KxEnumeration(other.impl_) {}
    KxEnumeration(KxEnumeration&& other) noexcept : impl_(std::exchange(other.impl_, nullptr)) {}
    KxEnumeration& operator=(KxEnumeration other) noexcept {
        std::swap(impl_, other.impl_);
        return *this;
    }
    ~KxEnumeration() {
        if (impl_) {
            impl_->removeReference();
        }
    }

    bool isValid() const noexcept { return impl_ != nullptr; }

    KxEnumerationImpl<T>& getImpl() const {
        if (!impl_) {
            throw KxNullReferenceError("KxEnumeration: null reference");
        }
        return *impl_;
    }

    bool hasMoreElements() const { return impl_ && impl_->hasMoreElements(); }
    T nextElement() const { return getImpl().nextElement(); }

  private:
    KxEnumerationImpl<T>* impl_ = nullptr;
};

// An enumeration over its own copy of a vector, front to back.
template <class T>
class KxVectorEnumerationImpl : public KxEnumerationImpl<T> {
  public:
    explicit KxVectorEnumerationImpl(std::vector<T> items) : items_(std::move(items)) {}

    bool hasMoreElements() override { return next_ < items_.size(); }
    T nextElement() override {
        if (next_ >= items_.size()) {
            throw KxBoundsError("Invalid usage");
        }
        return items_[next_++];
    }

  private:
    std::vector<T> items_;
    std::size_t next_ = 0;
};
