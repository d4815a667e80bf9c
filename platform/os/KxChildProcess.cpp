// Long-running child processes: every fork happens on one launcher thread
// that lives as long as the program, the child sets itself up with
// async-signal-safe calls only, and an exec failure comes back through a
// close-on-exec pipe.
#include "platform/os/KxChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <thread>

#include "platform/os/KxOs.h"
#include "platform/os/KxProcessWait.h"

namespace kx::os {

namespace {

using process::hasEnded;
using process::openProcessDescriptor;
using process::reap;
using process::waitUntil;

// ---- descriptors ------------------------------------------------------------

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

// Moves a descriptor above 2 (close-on-exec kept), so that duplicating it
// onto 0-2 in the child never meets itself and closing 3 and up in the
// child spares only what is meant to stay. Returns -1 with errno set.
int aboveStandard(int fd) {
    if (fd < 0 || fd > 2) {
        return fd;
    }
    int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int saved = errno;
    ::close(fd);
    errno = saved;
    return high;
}

KxCString describeError(int errorNumber) {
    return errorText(errorNumber).value_or("error " + std::to_string(errorNumber));
}

// ---- the child's side ---------------------------------------------------------

// Where the child failed, sent to the parent with errno before _exit.
enum ChildStep : int { kStepSetup = 1, kStepDirectory = 2, kStepExec = 3 };

struct ChildFailure {
    int step;
    int error;
};

// Everything the child needs, prepared before fork: after fork only
// async-signal-safe calls run, so no string is built and no memory taken.
struct Prepared {
    std::vector<KxCString> arguments;
    std::vector<char*> argv;
    KxCString program;
    KxCString directory;
    int input = -1;
    int output = -1;
    int error = -1;
    int report = -1;  // the pipe's write end
    int descriptorLimit = 0;
    pid_t parent = 0;
};

void closeFrom(int first, int last, int limit) {
    if (first > last) {
        return;
    }
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, static_cast<unsigned>(first), static_cast<unsigned>(last), 0) ==
        0) {
        return;
    }
#endif
    for (int fd = first; fd <= std::min(last, limit); ++fd) {
        ::close(fd);
    }
}

[[noreturn]] void failChild(int report, int step) {
    ChildFailure failure{step, errno};
    ssize_t ignored = ::write(report, &failure, sizeof failure);
    (void)ignored;
    ::_exit(127);
}

[[noreturn]] void runChild(const Prepared& prepared) {
    // Tied to the launcher thread, which lasts as long as this program. When
    // the program died between fork and here, no signal will ever come.
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) {
        failChild(prepared.report, kStepSetup);
    }
    if (::getppid() != prepared.parent) {
        ::_exit(128 + SIGTERM);
    }
    if (::setpgid(0, 0) != 0) {
        failChild(prepared.report, kStepSetup);
    }
    // Signals the container ignores or blocks (SIGPIPE in particular) are
    // the program's own business again.
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) {
            ::sigaction(sig, &defaults, nullptr);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (::dup2(prepared.input, 0) < 0 || ::dup2(prepared.output, 1) < 0 ||
        ::dup2(prepared.error, 2) < 0) {
        failChild(prepared.report, kStepSetup);
    }
    if (::chdir(prepared.directory.c_str()) != 0) {
        failChild(prepared.report, kStepDirectory);
    }
    closeFrom(3, prepared.report - 1, prepared.descriptorLimit);
    closeFrom(prepared.report + 1, INT_MAX, prepared.descriptorLimit);
    ::execv(prepared.program.c_str(), prepared.argv.data());
    failChild(prepared.report, kStepExec);
}

// ---- the launcher thread ------------------------------------------------------

// One thread that forks every child and lives until the program ends: the
// kernel's parent-death signal fires when the thread that forked ends, so a
// child started from a servlet worker or a temporary thread must not be
// forked there.
class Launcher {
  public:
    Launcher() : thread_([this] { serve(); }) {}
    ~Launcher() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Runs work on the launcher thread and waits for its result.
    pid_t run(std::function<pid_t()> work) {
        std::packaged_task<pid_t()> task(std::move(work));
        std::future<pid_t> result = task.get_future();
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(task));
        }
        wake_.notify_one();
        return result.get();
    }

  private:
    void serve() {
        // Signals meant for the program are taken by its other threads; the
        // child clears this mask before exec.
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            std::packaged_task<pid_t()> task = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<pid_t()>> queue_;
    bool ending_ = false;
    std::thread thread_;
};

Launcher& launcher() {
    static Launcher instance;
    return instance;
}

// Forks and execs on the launcher thread. Returns the child's pid; throws
// KxChildProcessError when it cannot be started (the child is reaped).
pid_t launch(Prepared& prepared) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw KxChildProcessError("cannot start " + prepared.program + ": " + describeError(errno));
    }
    Descriptor reader(aboveStandard(ends[0]));
    Descriptor writer(aboveStandard(ends[1]));
    if (reader.get() < 0 || writer.get() < 0) {
        throw KxChildProcessError("cannot start " + prepared.program + ": " + describeError(errno));
    }
    prepared.report = writer.get();
    prepared.parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw KxChildProcessError("cannot start " + prepared.program + ": " + describeError(errno));
    }
    if (pid == 0) {
        runChild(prepared);
    }
    writer.reset();

    // The pipe closes without a word when exec succeeded.
    ChildFailure failure{};
    ssize_t got;
    do {
        got = ::read(reader.get(), &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    if (got == 0) {
        return pid;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof failure)) {
        throw KxChildProcessError("cannot start " + prepared.program +
                                  ": the child failed before exec");
    }
    KxCString reason = describeError(failure.error);
    if (failure.step == kStepDirectory) {
        reason = "working directory " + prepared.directory + ": " + reason;
    }
    throw KxChildProcessError("cannot start " + prepared.program + ": " + reason);
}

// ---- waiting ----------------------------------------------------------------

// Whether a process other than the leader, and not yet ended, is still in
// the process group: read from /proc, since a signal to the group cannot tell
// a live member from the leader's zombie.
bool othersInGroup(pid_t group) {
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", failed)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos ||
            name == std::to_string(group)) {
            continue;
        }
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        // pid (name) state ppid pgrp ...: the name may hold blanks and parentheses.
        const auto close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(stat.substr(close + 1));
        char state = 0;
        long parent = 0;
        long processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' &&
            state != 'X') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::unique_ptr<KxChildProcess> KxChildProcess::start(const ChildProcessSpec& spec) {
    if (spec.arguments.empty() || spec.arguments.front().empty()) {
        throw KxChildProcessError("cannot start a program: no program was named");
    }
    Prepared prepared;
    prepared.arguments = spec.arguments;
    prepared.program = prepared.arguments.front();
    for (KxCString& argument : prepared.arguments) {
        prepared.argv.push_back(argument.data());
    }
    prepared.argv.push_back(nullptr);
    prepared.directory = nativePath(spec.directory.empty() ? KxCString(".") : spec.directory);

    struct rlimit limit {};
    prepared.descriptorLimit =
        ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
            ? static_cast<int>(std::min<rlim_t>(limit.rlim_cur, INT_MAX))
            : 65536;

    // The files are opened here, where a failure can name them; a link in
    // their place is replaced, not written through.
    auto openOutput = [&](const KxCString& path) {
        int fd = aboveStandard(createForWriting(path));
        if (fd < 0) {
            throw KxChildProcessError("cannot start " + prepared.program + ": " + nativePath(path) +
                                      ": " + describeError(errno));
        }
        return fd;
    };
    Descriptor input(aboveStandard(::open("/dev/null", O_RDONLY | O_CLOEXEC)));
    if (input.get() < 0) {
        throw KxChildProcessError("cannot start " + prepared.program +
                                  ": /dev/null: " + describeError(errno));
    }
    Descriptor output(openOutput(spec.outputFile));
    Descriptor error(openOutput(spec.errorFile));
    prepared.input = input.get();
    prepared.output = output.get();
    prepared.error = error.get();

    const pid_t pid = launcher().run([&prepared] { return launch(prepared); });
    return std::unique_ptr<KxChildProcess>(new KxChildProcess(pid, openProcessDescriptor(pid)));
}

KxChildProcess::KxChildProcess(int pid, int processFd) : pid_(pid), processFd_(processFd) {}

KxChildProcess::~KxChildProcess() {
    stop(std::chrono::seconds(5));
    if (processFd_ >= 0) {
        ::close(processFd_);
    }
}

int KxChildProcess::pid() const {
    return pid_;
}

bool KxChildProcess::running() {
    std::lock_guard lock(state_);
    if (exitStatus_) {
        return false;
    }
    if (beingStopped_) {
        // stop() reaps it; until then its pid and group stay reserved.
        return !hasEnded(pid_);
    }
    int raw = 0;
    pid_t got;
    do {
        got = ::waitpid(pid_, &raw, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) {
        return true;
    }
    exitStatus_ = got == pid_ ? process::exitStatusOf(raw) : 1;
    return false;
}

std::optional<int> KxChildProcess::exitStatus() const {
    std::lock_guard lock(state_);
    return exitStatus_;
}

int KxChildProcess::stop(std::chrono::milliseconds grace) {
    std::lock_guard serial(stopping_);
    {
        std::lock_guard lock(state_);
        if (exitStatus_) {
            return *exitStatus_;
        }
        beingStopped_ = true;
    }
    // The child is not reaped before the SIGKILL below, so its group id
    // cannot have passed to another process in between. What it started
    // gets the rest of the grace to finish after it.
    const auto deadline = std::chrono::steady_clock::now() + grace;
    ::kill(-pid_, SIGTERM);
    if (waitUntil(pid_, processFd_, deadline)) {
        auto pause = std::chrono::milliseconds(1);
        while (std::chrono::steady_clock::now() < deadline && othersInGroup(pid_)) {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
    }
    ::kill(-pid_, SIGKILL);
    const int raw = reap(pid_);

    std::lock_guard lock(state_);
    beingStopped_ = false;
    exitStatus_ = raw < 0 ? 1 : process::exitStatusOf(raw);
    return *exitStatus_;
}

}  // namespace kx::os
