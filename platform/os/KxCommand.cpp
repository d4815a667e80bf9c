// The command interpreter: splits a generator command line into words,
// starts the program with posix_spawnp (no shell) and waits for it under a
// time limit.
#include "platform/os/KxCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>

#include "platform/os/KxOs.h"
#include "platform/os/KxProcessWait.h"

extern char** environ;

namespace kx::os {

namespace {

using process::hasEnded;
using process::openProcessDescriptor;
using process::reap;
using process::waitUntil;

// ---- parsing ----------------------------------------------------------------

// What the splitter found, including the redirection target when one was
// read before the line turned out to be unreadable: the error message then
// goes into that file, where the output would have gone.
struct ParseResult {
    CommandLine line;
    std::optional<KxCString> error;
};

ParseResult splitCommandLine(const KxCString& text) {
    ParseResult result;
    std::vector<KxCString> words;
    std::vector<KxCString> redirectWords;
    bool redirected = false;
    bool secondRedirect = false;
    bool quoted = false;
    bool inWord = false;
    KxCString word;

    auto endWord = [&] {
        if (inWord) {
            (redirected ? redirectWords : words).push_back(word);
            word.clear();
            inWord = false;
        }
    };

    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (quoted) {
            word += c;
        } else if (c == ' ' || c == '\t') {
            endWord();
        } else if (c == '>') {
            endWord();
            if (redirected) {
                secondRedirect = true;
            }
            redirected = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    endWord();
    const KxCString where = "command line \"" + text + "\": ";

    if (quoted) {
        // A quote left open (a stray " in a field) swallows the rest of the
        // line, the redirection included: the program would run with
        // arguments nobody chose and its output would go astray. Nothing
        // runs; the reason goes where the output was meant to go when the
        // line ends in "> file" with one plain file name.
        result.error = where + "a double quote is not closed";
        const auto arrow = text.rfind('>');
        if (arrow != KxCString::npos) {
            const auto first = text.find_first_not_of(" \t", arrow + 1);
            const auto last = text.find_last_not_of(" \t");
            if (first != KxCString::npos && last >= first) {
                KxCString file = text.substr(first, last - first + 1);
                if (file.find_first_of(" \t\"") == KxCString::npos) {
                    result.line.redirectTo = std::move(file);
                }
            }
        }
        return result;
    }

    result.line.arguments = std::move(words);
    if (!redirectWords.empty()) {
        result.line.redirectTo = redirectWords.front();
    }

    if (result.line.arguments.empty() && !redirected) {
        result.error = where + "the line is empty";
    } else if (secondRedirect) {
        result.error = where + "more than one \">\" redirection";
    } else if (redirected && redirectWords.empty()) {
        result.error = where + "\">\" is not followed by a file name";
    } else if (redirectWords.size() > 1) {
        result.error =
            where + "words follow the redirection file \"" + redirectWords.front() + "\"";
    } else if (redirected && redirectWords.front().empty()) {
        result.error = where + "the redirection file name is empty";
    } else if (result.line.arguments.empty()) {
        result.error = where + "there is no program to run";
    }
    // The reason for the error goes into the redirection file only when the
    // line names exactly one usable file; after ">>" or "> a > b" nothing is
    // truncated.
    if (result.error && result.line.redirectTo &&
        (secondRedirect || result.line.redirectTo->empty())) {
        result.line.redirectTo.reset();
    }
    return result;
}

// ---- output -----------------------------------------------------------------

KxCString describeError(int errorNumber) {
    return errorText(errorNumber).value_or("error " + std::to_string(errorNumber));
}

// Creates or truncates the redirection file in the calling thread's current
// directory, replacing a symbolic link there rather than writing through it.
// The descriptor is kept above 2 so that duplicating it onto the
// child's standard output and error always clears close-on-exec.
int openRedirectFile(const KxCString& name) {
    int fd = createForWriting(name);
    if (fd >= 0 && fd <= 2) {
        int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        int saved = errno;
        ::close(fd);
        errno = saved;
        fd = high;
    }
    return fd;
}

// Owns a file descriptor for the lifetime of one command.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }

  private:
    int fd_;
};

KxCString secondsText(std::chrono::milliseconds limit) {
    auto ms = limit.count();
    KxCString text = std::to_string(ms / 1000);
    if (auto fraction = ms % 1000; fraction != 0) {
        KxCString digits = std::to_string(1000 + fraction).substr(1);
        while (digits.back() == '0') {
            digits.pop_back();
        }
        text += "." + digits;
    }
    return text;
}

// ---- time limit -------------------------------------------------------------

constexpr std::int64_t kDefaultLimitMs = 600 * 1000;
constexpr std::int64_t kLimitUnset = INT64_MIN;
constexpr std::int64_t kLongestLimitMs = std::int64_t{100} * 365 * 24 * 3600 * 1000;

std::atomic<std::int64_t> gLimitMs{kLimitUnset};

std::int64_t limitFromEnvironment() {
    std::optional<KxCString> value = getEnvironment("KX_COMMAND_TIME_LIMIT");
    if (!value || value->empty() || value->size() > 9) {
        return kDefaultLimitMs;
    }
    std::int64_t seconds = 0;
    for (char c : *value) {
        if (c < '0' || c > '9') {
            return kDefaultLimitMs;
        }
        seconds = seconds * 10 + (c - '0');
    }
    return seconds > 0 ? seconds * 1000 : kDefaultLimitMs;
}

// ---- starting and waiting ---------------------------------------------------

class SpawnSetup {
  public:
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawnattr_init(&attributes_);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Returns 0 or an error number.
    int prepare(int outputFd) {
        int rc = ::posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        if (rc == 0 && outputFd >= 0) {
            rc = ::posix_spawn_file_actions_adddup2(&actions_, outputFd, 1);
        }
        if (rc == 0 && outputFd >= 0) {
            rc = ::posix_spawn_file_actions_adddup2(&actions_, outputFd, 2);
        }
        // A process group of its own lets the time limit end the program
        // together with everything it started. Signals the server blocks or
        // ignores (SIGPIPE in particular) are reset for the program.
        sigset_t empty;
        sigset_t defaults;
        sigemptyset(&empty);
        sigemptyset(&defaults);
        for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2}) {
            sigaddset(&defaults, sig);
        }
        if (rc == 0) {
            rc = ::posix_spawnattr_setpgroup(&attributes_, 0);
        }
        if (rc == 0) {
            rc = ::posix_spawnattr_setsigmask(&attributes_, &empty);
        }
        if (rc == 0) {
            rc = ::posix_spawnattr_setsigdefault(&attributes_, &defaults);
        }
        if (rc == 0) {
            rc = ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP |
                                                              POSIX_SPAWN_SETSIGMASK |
                                                              POSIX_SPAWN_SETSIGDEF);
        }
        return rc;
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

  private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// Ends the child's process group: SIGTERM, a short grace, then SIGKILL for
// anything still there. The child is reaped by the caller afterwards, so the
// group id cannot have been reused in the meantime.
void endProcessGroup(pid_t pid, int processFd) {
    ::kill(-pid, SIGTERM);
    waitUntil(pid, processFd, std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
    ::kill(-pid, SIGKILL);
}

}  // namespace

CommandLine parseCommandLine(const KxCString& text) {
    ParseResult result = splitCommandLine(text);
    if (result.error) {
        throw KxCommandError(*result.error);
    }
    return std::move(result.line);
}

void setCommandTimeLimit(std::chrono::milliseconds limit) {
    gLimitMs.store(limit.count());
}

std::chrono::milliseconds commandTimeLimit() {
    std::int64_t value = gLimitMs.load();
    if (value == kLimitUnset) {
        std::int64_t fromEnvironment = limitFromEnvironment();
        // Another thread may have set or read the limit meanwhile; its value wins.
        if (gLimitMs.compare_exchange_strong(value, fromEnvironment)) {
            value = fromEnvironment;
        }
    }
    return std::chrono::milliseconds(value);
}

int runCommand(const KxCString& commandLine) {
    ParseResult parsed = splitCommandLine(commandLine);
    const CommandLine& line = parsed.line;

    Descriptor output(line.redirectTo ? openRedirectFile(*line.redirectTo) : -1);
    if (line.redirectTo && output.get() < 0) {
        writeAll(STDERR_FILENO, *line.redirectTo + ": " + describeError(errno) + "\n");
        if (parsed.error) {
            writeAll(STDERR_FILENO, *parsed.error + "\n");
            return 2;
        }
        return 1;
    }
    const int messageFd = line.redirectTo ? output.get() : STDERR_FILENO;
    if (parsed.error) {
        writeAll(messageFd, *parsed.error + "\n");
        return 2;
    }

    const KxCString& program = line.arguments.front();
    std::vector<char*> argv;
    argv.reserve(line.arguments.size() + 1);
    for (const KxCString& argument : line.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    SpawnSetup setup;
    int rc = setup.prepare(output.get());
    pid_t pid = -1;
    if (rc == 0) {
        // Without CLONE_FS the child copies the calling thread's file-system
        // context, so it starts in this thread's current directory.
        rc = ::posix_spawnp(&pid, program.c_str(), setup.actions(), setup.attributes(), argv.data(),
                            environ);
    }
    if (rc == ENOENT) {
        writeAll(messageFd, program + ": command not found\n");
        return kCommandNotFound;
    }
    if (rc != 0) {
        writeAll(messageFd, program + ": " + describeError(rc) + "\n");
        return 126;
    }

    // A limit of zero or less means no limit; very long ones are capped so the
    // deadline cannot overflow the clock.
    const std::chrono::milliseconds limit =
        std::min(commandTimeLimit(), std::chrono::milliseconds(kLongestLimitMs));
    Descriptor processFd(openProcessDescriptor(pid));
    bool ended = true;
    if (limit.count() > 0) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        ended = waitUntil(pid, processFd.get(), deadline);
    }
    if (!ended) {
        endProcessGroup(pid, processFd.get());
    }
    int status = reap(pid);
    if (!ended) {
        writeAll(messageFd,
                 program + ": ended after the time limit of " + secondsText(limit) + " s\n");
        return kCommandTimedOut;
    }
    return status < 0 ? 1 : process::exitStatusOf(status);
}

}  // namespace kx::os
