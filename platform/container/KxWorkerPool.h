#pragma once
// The threads that call servlets. A servlet may block for minutes (a
// generator run), so servlet calls never run on the threads that drive the
// connections. Every worker gives itself a current directory of its own at
// start, so generator runs on different threads do not disturb each other.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kx::container {

class KxWorkerPool {
  public:
    using Job = std::function<void()>;
    // Told about a worker that could not set up its current directory.
    using Warning = std::function<void(const std::string& message)>;

    KxWorkerPool(unsigned threads, Warning warning);
    KxWorkerPool(const KxWorkerPool&) = delete;
    KxWorkerPool& operator=(const KxWorkerPool&) = delete;
    // Waits for the workers to finish unless stop() was called already.
    ~KxWorkerPool();

    // Queues a job; jobs run in the order given. Jobs submitted after stop()
    // are dropped.
    void submit(Job job);

    // Lets the running and queued jobs finish, then ends the workers. Returns
    // false when they are still busy at the deadline; the workers are then
    // left running (detached) and the caller must not unload the code they
    // run.
    bool stop(std::chrono::steady_clock::time_point deadline);

    unsigned size() const { return static_cast<unsigned>(threads_.size()); }

  private:
    void run(const std::string& processDirectory);

    Warning warning_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    unsigned running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kx::container
