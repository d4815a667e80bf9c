#pragma once
// Lets at most a fixed number of servlet calls run at once. A call is run
// at once on the thread that read its request, so an answer needs no hand-
// over between threads; past the limit it waits in a queue, and as a running
// call ends the next queued one is handed to the server's threads.
//
// The server runs more threads than the limit, so that however long the
// servlet calls take (a generator run takes minutes), some threads are always
// free for connections, static files, refusals and the stop.
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace kx::container {

class KxServletGate {
  public:
    using Job = std::function<void()>;
    // Runs a job soon on some thread of the server (not the caller's).
    using Post = std::function<void(Job)>;

    KxServletGate(unsigned limit, Post post);
    KxServletGate(const KxServletGate&) = delete;
    KxServletGate& operator=(const KxServletGate&) = delete;

    // Runs the job now, on this thread, when fewer than limit() calls are
    // running; queues it otherwise (queued jobs start in the order given).
    // A job reports its own faults; one that escapes is swallowed.
    void submit(Job job);

    unsigned limit() const { return limit_; }
    std::size_t running() const;
    std::size_t queued() const;

  private:
    // Runs job, then hands the next queued job on with the same slot, or
    // frees the slot.
    void runThenNext(Job job);

    const unsigned limit_;
    const Post post_;
    mutable std::mutex mutex_;
    std::size_t running_ = 0;
    std::deque<Job> queue_;
};

}  // namespace kx::container
