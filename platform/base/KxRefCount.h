#pragma once
// Atomic reference counts for bodies that several handles share.
#include <atomic>

class KxAtomicRefCount {
  public:
    explicit KxAtomicRefCount(long initial = 0) noexcept : count_(initial) {}
    KxAtomicRefCount(const KxAtomicRefCount&) = delete;
    KxAtomicRefCount& operator=(const KxAtomicRefCount&) = delete;

    void increment() noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
    // Returns true when this call took the count to zero.
    bool decrement() noexcept { return count_.fetch_sub(1, std::memory_order_acq_rel) == 1; }

  private:
    std::atomic<long> count_;
};

// Base of reference-counted bodies: the last handle to let go deletes it.
class KxRefCounted {
  public:
    KxRefCounted() = default;
    KxRefCounted(const KxRefCounted&) = delete;
    KxRefCounted& operator=(const KxRefCounted&) = delete;
    virtual ~KxRefCounted() = default;

    void addReference() const noexcept { refs_.increment(); }
    void removeReference() const noexcept {
        if (refs_.decrement()) {
            delete this;
        }
    }

  private:
    mutable KxAtomicRefCount refs_;
};
