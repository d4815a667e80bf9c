#pragma once
// The generator runs and builds going on in this process, so that a page
// can follow a run's console output while it happens. A run is known by an
// id that the browser made up when it sent the form (the follow page asks
// for that id); a build also holds its project folder, so that one folder
// has one build at a time. Ended runs are remembered for a few minutes, so
// that a follower that comes late still gets the whole output and the end.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class KxRunRegistry {
  public:
    // Ends its run when destroyed.
    class Run {
      public:
        Run(KxRunRegistry& registry, std::uint64_t serial) : registry_(registry), serial_(serial) {}
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
        ~Run() { registry_.end(serial_); }

      private:
        KxRunRegistry& registry_;
        std::uint64_t serial_;
    };

    struct State {
        std::string outputFile;  // the console output, in the system's form
        bool running = false;
    };

    // The process's registry.
    static KxRunRegistry& shared();

    // Whether text can be a run id: 8 to 64 letters, digits and '-'.
    static bool isRunId(const std::string& text);

    // Starts a run writing its console output to outputFile, which the
    // caller has emptied (a follower reads it from its start). id may be
    // empty (nobody follows it) or a run id. With a folder, the run is
    // refused (nothing returned) while another run holding that folder goes
    // on; prepare, when given, runs once the folder is the run's and before
    // anyone can follow it (it empties the output file of a run that must
    // not disturb another's).
    std::unique_ptr<Run> begin(const std::string& id, const std::string& outputFile,
                               const std::string& exclusiveFolder = "",
                               const std::function<void()>& prepare = {});

    // The run of that id, waiting at most timeout for it to start.
    std::optional<State> await(const std::string& id, std::chrono::milliseconds timeout);
    // The run's state after waiting at most timeout for it to end.
    std::optional<State> awaitEnd(const std::string& id, std::chrono::milliseconds timeout);

  private:
    struct Entry {
        std::uint64_t serial = 0;
        std::string id;
        std::string folder;
        State state;
        std::chrono::steady_clock::time_point ended;
    };

    void end(std::uint64_t serial);
    // The state of the newest run of that id once done says so, or after
    // timeout.
    std::optional<State> awaitState(const std::string& id, std::chrono::milliseconds timeout,
                                    const std::function<bool(const std::optional<State>&)>& done);
    // The state of the newest run of that id; the caller holds the mutex.
    std::optional<State> newest(const std::string& id) const;
    // Drops ended runs older than the memory and keeps the table bounded.
    void prune();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Entry> entries_;
    std::uint64_t nextSerial_ = 1;
};
