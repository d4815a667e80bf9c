#pragma once
// The operating system at one boundary. Every path the system hands over is
// written with backslashes (the system joins paths that way); on POSIX each
// backslash becomes a slash here, just before the system call, and nowhere
// else. Functions that wrap a failing system call leave errno as that call
// set it, so callers can report it.
#include <cstdint>
#include <fstream>
#include <optional>
#include <string_view>

#include "platform/base/KxCString.h"

namespace kx::os {

// The path as the operating system spells it: on POSIX, backslashes become
// slashes.
KxCString nativePath(const KxCString& path);

// ---- file status ------------------------------------------------------------

enum class FileKind { Missing, Regular, Directory, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    std::uintmax_t size = 0;
    // Which file it is: two paths name the same file when both are equal,
    // whatever links or folder aliases lie between them.
    std::uintmax_t device = 0;
    std::uintmax_t inode = 0;

    bool isDirectory() const { return kind == FileKind::Directory; }
    bool isRegular() const { return kind == FileKind::Regular; }
};

// Reads the status of path, following symbolic links. Returns false (errno
// set) when it cannot be read.
bool fileStatus(const KxCString& path, FileStatus& status);

// Whether path itself (its last component) is a symbolic link.
bool isSymbolicLink(const KxCString& path);

// ---- directories ------------------------------------------------------------

// Creates one directory level with the default permissions (0777 less the
// umask). Returns false with errno set on failure.
bool makeDirectory(const KxCString& path);

// ---- files ------------------------------------------------------------------

enum class OpenMode { Text, Binary };

std::ifstream openForReading(const KxCString& path, OpenMode mode = OpenMode::Text);
// Creates the file or truncates it to empty.
std::ofstream openForWriting(const KxCString& path, OpenMode mode = OpenMode::Text);

// ---- bounded reading ---------------------------------------------------------

// What the system reads whole is a regular file of at most this many bytes:
// a device, a FIFO or a huge file named by a request must neither block a
// servlet thread nor fill the memory.
inline constexpr std::size_t kWholeFileLimit = 16 * 1024 * 1024;

enum class ReadOutcome {
    Complete,    // the whole file is in content
    Truncated,   // the file is longer than the limit; content holds its first part
    TooLarge,    // the file is longer than the limit; content is empty
    NotRegular,  // a directory, device, FIFO or socket; nothing was read
    Failed,      // missing or unreadable (errno set); nothing was read
};

enum class Overflow { Refuse, KeepPrefix };

// Opens path for reading only when it is a regular file. The open never
// waits (a FIFO is opened without blocking and then refused). With
// followLinks false, a symbolic link as the last component is refused too.
// Returns the descriptor (close-on-exec), or -1 with errno set (EINVAL for a
// file that is not regular, ELOOP for a refused link).
int openRegularFile(const KxCString& path, bool followLinks = true);

// Reads a regular file of at most limit bytes; past the limit, overflow says
// whether its first limit bytes are kept or nothing.
ReadOutcome readRegularFile(const KxCString& path, KxCString& content, std::size_t limit,
                            Overflow overflow = Overflow::Refuse);

// Reads a whole regular file of at most kWholeFileLimit bytes. Returns false
// when it cannot be opened or read, is not a regular file or is larger;
// content is then empty.
bool readWholeFile(const KxCString& path, KxCString& content, OpenMode mode = OpenMode::Binary);

// Creates or truncates path for writing without writing through a symbolic
// link: a link found there is removed and a new file made in its place, so a
// link planted in a project cannot redirect what is written to a file
// elsewhere. Returns the descriptor (close-on-exec, mode 0666 less the umask),
// or -1 with errno set.
int createForWriting(const KxCString& path);

// The real path (links resolved) of an open descriptor or of a path; empty
// when it cannot be found.
KxCString realPathOf(int fd);
KxCString realPathOf(const KxCString& path);

// Whether the real path child lies strictly below the real path folder.
bool isBelow(const KxCString& child, const KxCString& folder);

// Writes all bytes to a descriptor, retrying short writes and interruptions.
// Returns false (errno set) when a write fails.
bool writeAll(int fd, std::string_view bytes);

// The path of this program's executable file; empty when it cannot be read.
KxCString currentExecutable();

// ---- current directory ------------------------------------------------------

// A fixed 512-byte buffer holding a NUL-terminated path: the current directory
// as the caller keeps it between getCurrentDirectory and setCurrentDirectory.
struct KxPathBuffer {
    static constexpr std::size_t capacity = 512;
    char path[capacity] = {};

    const char* c_str() const { return path; }
};

// The calling thread's current directory. A directory that does not fit in
// 512 bytes (or cannot be read) gives an empty buffer, which no later
// setCurrentDirectory accepts.
KxPathBuffer getCurrentDirectory();

// Changes the current directory. Returns false (errno set) on failure.
bool setCurrentDirectory(const KxCString& path);

// Gives the calling thread a current directory of its own (Linux
// unshare(CLONE_FS)): from then on, changing it affects this thread and the
// programs it starts, and no other thread. Returns false (errno set) when the
// system refuses.
bool giveThreadOwnCurrentDirectory();

// ---- environment and messages ----------------------------------------------

// The value of an environment variable; nothing when it is not set.
std::optional<KxCString> getEnvironment(const KxCString& name);

// The platform's message text for an errno value; nothing when the platform
// has no text for it.
std::optional<KxCString> errorText(int errorNumber);

// ---- version ----------------------------------------------------------------

enum class PlatformFamily { WindowsNT, Windows9x, Posix };

struct VersionInfo {
    PlatformFamily family = PlatformFamily::Posix;
    unsigned major = 0;
    unsigned minor = 0;
};

// The extended and the plain version query of the operating system. On a
// POSIX system both report the POSIX family with the kernel release numbers;
// no Windows version is ever reported there.
bool queryVersionEx(VersionInfo& info);
bool queryVersion(VersionInfo& info);

}  // namespace kx::os
