#pragma once
// A plain mutex with the container's names. It is BasicLockable, so
// std::lock_guard<KxMutexLock> holds it for a scope and lets go also when an
// exception passes.
#include <mutex>

class KxMutexLock {
  public:
    KxMutexLock() = default;
    KxMutexLock(const KxMutexLock&) = delete;
    KxMutexLock& operator=(const KxMutexLock&) = delete;

    void acquire() { mutex_.lock(); }
    void release() { mutex_.unlock(); }

    void lock() { acquire(); }
    void unlock() { release(); }

  private:
    std::mutex mutex_;
};
