#include "platform/container/KxWorkerPool.h"

#include <cerrno>

#include "platform/os/KxOs.h"

namespace kx::container {

KxWorkerPool::KxWorkerPool(unsigned threads, Warning warning) : warning_(std::move(warning)) {
    const std::string processDirectory = kx::os::getCurrentDirectory().c_str();
    if (threads == 0) {
        threads = 1;
    }
    running_ = threads;
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        threads_.emplace_back([this, processDirectory] { run(processDirectory); });
    }
}

KxWorkerPool::~KxWorkerPool() {
    if (!threads_.empty()) {
        stop(std::chrono::steady_clock::time_point::max());
    }
}

void KxWorkerPool::submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool KxWorkerPool::stop(std::chrono::steady_clock::time_point deadline) {
    {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        wake_.notify_all();
        if (!idle_.wait_until(lock, deadline, [this] { return running_ == 0; })) {
            for (auto& thread : threads_) {
                thread.detach();
            }
            threads_.clear();
            return false;
        }
    }
    for (auto& thread : threads_) {
        thread.join();
    }
    threads_.clear();
    return true;
}

void KxWorkerPool::run(const std::string& processDirectory) {
    auto warn = [this](const std::string& what, int error) {
        if (warning_) {
            warning_("worker thread: " + what + ": " +
                     kx::os::errorText(error).value_or("error " + std::to_string(error)));
        }
    };
    if (!kx::os::giveThreadOwnCurrentDirectory()) {
        warn("no current directory of its own", errno);
    } else if (!kx::os::setCurrentDirectory(processDirectory)) {
        warn("cannot change to " + processDirectory, errno);
    }
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            break;  // stopping and nothing left
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        try {
            job();
        } catch (...) {
            // Jobs report their own faults; one that escapes must not end
            // the worker.
        }
        job = nullptr;  // what the job holds goes before the lock is taken again
        lock.lock();
    }
    --running_;
    idle_.notify_all();
}

}  // namespace kx::container
