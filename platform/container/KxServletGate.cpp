#include "platform/container/KxServletGate.h"

#include <algorithm>

namespace kx::container {

KxServletGate::KxServletGate(unsigned limit, Post post)
    : limit_(std::max(limit, 1u)), post_(std::move(post)) {}

void KxServletGate::submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (running_ >= limit_) {
            queue_.push_back(std::move(job));
            return;
        }
        ++running_;
    }
    runThenNext(std::move(job));
}

void KxServletGate::runThenNext(Job job) {
    try {
        job();
    } catch (...) {
        // Jobs report their own faults; one that escapes must not cost the
        // slot.
    }
    job = nullptr;  // what the job holds goes before the next one starts
    Job next;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) {
            --running_;
            return;
        }
        next = std::move(queue_.front());
        queue_.pop_front();
    }
    // Not run here: this thread may be inside the connection whose answer
    // was just given, and that answer goes out only once this returns.
    post_([this, next = std::move(next)]() mutable { runThenNext(std::move(next)); });
}

std::size_t KxServletGate::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

std::size_t KxServletGate::queued() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

}  // namespace kx::container
