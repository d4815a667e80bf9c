#include "platform/os/KxProcessWait.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <thread>

namespace kx::os::process {

int exitStatusOf(int rawStatus) {
    if (WIFEXITED(rawStatus)) {
        return WEXITSTATUS(rawStatus);
    }
    if (WIFSIGNALED(rawStatus)) {
        return 128 + WTERMSIG(rawStatus);
    }
    return 1;
}

int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

bool hasEnded(pid_t pid) {
    siginfo_t info{};
    for (;;) {
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
            return info.si_pid == pid;
        }
        if (errno != EINTR) {
            return true;
        }
    }
}

int openProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return fd;
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

bool waitUntil(pid_t pid, int processFd, std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    auto pause = milliseconds(1);
    for (;;) {
        if (hasEnded(pid)) {
            return true;
        }
        const auto now = steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        const auto left = duration_cast<milliseconds>(deadline - now) + milliseconds(1);
        if (processFd >= 0) {
            pollfd entry{processFd, POLLIN, 0};
            ::poll(&entry, 1, static_cast<int>(std::min<milliseconds::rep>(left.count(), INT_MAX)));
        } else {
            std::this_thread::sleep_for(std::min(pause, left));
            pause = std::min(pause * 2, milliseconds(50));
        }
    }
}

}  // namespace kx::os::process
