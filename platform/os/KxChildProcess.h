#pragma once
// A program started beside this one that runs until it is stopped: a service
// such as a project's own container, not a command that is waited for (that
// is runCommand in KxCommand.h). The program lives in a process group of its
// own, so stopping it reaches everything it started, and it is tied to this
// program's life: it gets SIGTERM when this program ends, even by SIGKILL.
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/Kxxmsg.h"

namespace kx::os {

struct ChildProcessSpec {
    std::vector<KxCString> arguments;  // [0]: the program's path as it is (no PATH lookup)
    KxCString directory;   // the child's working directory (system form; nativePath applies)
    KxCString outputFile;  // standard output goes here (created or truncated)
    KxCString errorFile;   // standard error goes here (created or truncated)
};

// Why a program could not be started: the program and the system's reason.
class KxChildProcessError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

// A program started to run beside this one until it is stopped: a service,
// not a command that is waited for. Every start happens on one launcher
// thread that lasts as long as this program, since the kernel's parent-death
// signal follows the thread that started a child, and the threads that ask
// for a start (servlet workers, temporary threads) may end long before the
// child should. One object may be used from several threads at once.
class KxChildProcess {
  public:
    // Starts the program: standard input /dev/null, output and error to their files, its own
    // process group (so stopping it reaches what it started), no descriptor of this process
    // inherited beyond 0-2. It gets SIGTERM when this program ends in any way, also when
    // killed (PR_SET_PDEATHSIG). Throws KxChildProcessError with the reason (the errno text,
    // including a program that cannot be executed) when it cannot be started.
    static std::unique_ptr<KxChildProcess> start(const ChildProcessSpec& spec);
    ~KxChildProcess();  // stops it (stop(std::chrono::seconds(5))) when it still runs
    KxChildProcess(const KxChildProcess&) = delete;
    KxChildProcess& operator=(const KxChildProcess&) = delete;

    int pid() const;
    // Whether it still runs; when it has ended, it is reaped here once and exitStatus() is set.
    bool running();
    // After it ended: its exit status, or 128 + the signal number when a signal ended it.
    std::optional<int> exitStatus() const;
    // SIGTERM to its process group, then SIGKILL to the group after grace; waits for it and
    // returns exitStatus(). Safe to call again and after it ended by itself.
    int stop(std::chrono::milliseconds grace);

  private:
    KxChildProcess(int pid, int processFd);

    const int pid_;
    const int processFd_;  // a pidfd to wait on, or -1 where the kernel has none
    std::mutex stopping_;  // one stop() at a time
    mutable std::mutex state_;
    bool beingStopped_ = false;  // while set, only stop() reaps the child
    std::optional<int> exitStatus_;
};

}  // namespace kx::os
