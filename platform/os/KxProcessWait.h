#pragma once
// Waiting for a child process, shared by the command interpreter (which
// waits for each program it runs) and the long-running child processes.
// Until it is reaped, a child that has ended keeps its process id and group
// id reserved, so that a signal sent to its group after a wait never reaches
// a stranger.
#include <sys/types.h>

#include <chrono>

namespace kx::os::process {

// The exit status of a raw wait status, or 128 + the signal number when a
// signal ended the process.
int exitStatusOf(int rawStatus);

// Reaps the child, blocking. Returns the raw wait status, or -1 when the
// child cannot be waited for (someone else reaped it).
int reap(pid_t pid);

// Whether the child has ended, without reaping it. A child that cannot be
// waited for counts as ended.
bool hasEnded(pid_t pid);

// A close-on-exec process descriptor to wait on, or -1 where the kernel has
// none.
int openProcessDescriptor(pid_t pid);

// Waits until the child ends or the deadline passes, without reaping it:
// on the process descriptor when there is one, otherwise with sleeps
// growing from 1 ms to 50 ms. Returns true when it ended.
bool waitUntil(pid_t pid, int processFd, std::chrono::steady_clock::time_point deadline);

}  // namespace kx::os::process
