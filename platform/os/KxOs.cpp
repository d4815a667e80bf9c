// POSIX implementation of the operating-system boundary. Paths arrive with
// backslashes and are converted by nativePath() right before each system call.
#include "platform/os/KxOs.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kx::os {

KxCString nativePath(const KxCString& path) {
    KxCString native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool fileStatus(const KxCString& path, FileStatus& status) {
    status = FileStatus{};
    struct stat info;
    if (::stat(nativePath(path).c_str(), &info) != 0) {
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        status.kind = FileKind::Regular;
    } else if (S_ISDIR(info.st_mode)) {
        status.kind = FileKind::Directory;
    } else {
        status.kind = FileKind::Other;
    }
    status.size = static_cast<std::uintmax_t>(info.st_size);
    status.device = static_cast<std::uintmax_t>(info.st_dev);
    status.inode = static_cast<std::uintmax_t>(info.st_ino);
    return true;
}

bool isSymbolicLink(const KxCString& path) {
    KxCString native = nativePath(path);
    while (native.size() > 1 && native.back() == '/') {
        native.pop_back();
    }
    struct stat info;
    return ::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool makeDirectory(const KxCString& path) {
    return ::mkdir(nativePath(path).c_str(), 0777) == 0;
}

namespace {

std::ios::openmode withMode(std::ios::openmode base, OpenMode mode) {
    return mode == OpenMode::Binary ? (base | std::ios::binary) : base;
}

}  // namespace

std::ifstream openForReading(const KxCString& path, OpenMode mode) {
    return std::ifstream(nativePath(path), withMode(std::ios::in, mode));
}

std::ofstream openForWriting(const KxCString& path, OpenMode mode) {
    return std::ofstream(nativePath(path), withMode(std::ios::out | std::ios::trunc, mode));
}

int openRegularFile(const KxCString& path, bool followLinks) {
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    const int fd = ::open(nativePath(path).c_str(), flags);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // Regular files never block; reads go on in the usual blocking mode.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ReadOutcome readRegularFile(const KxCString& path, KxCString& content, std::size_t limit,
                            Overflow overflow) {
    content.clear();
    const int fd = openRegularFile(path);
    if (fd < 0) {
        return errno == EINVAL ? ReadOutcome::NotRegular : ReadOutcome::Failed;
    }
    // Read in chunks rather than trusting the size: a file may grow while it
    // is read, and one byte past the limit is enough to know it is too long.
    ReadOutcome outcome = ReadOutcome::Complete;
    char chunk[8192];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            outcome = ReadOutcome::Failed;
            break;
        }
        if (got == 0) {
            break;
        }
        if (content.size() + static_cast<std::size_t>(got) > limit) {
            content.append(chunk, limit - content.size());
            outcome =
                overflow == Overflow::KeepPrefix ? ReadOutcome::Truncated : ReadOutcome::TooLarge;
            break;
        }
        content.append(chunk, static_cast<std::size_t>(got));
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    if (outcome != ReadOutcome::Complete && outcome != ReadOutcome::Truncated) {
        content.clear();
    }
    return outcome;
}

bool readWholeFile(const KxCString& path, KxCString& content, OpenMode) {
    return readRegularFile(path, content, kWholeFileLimit) == ReadOutcome::Complete;
}

int createForWriting(const KxCString& path) {
    const KxCString native = nativePath(path);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0 && errno == ELOOP) {
        // A link in the file's place: remove the link itself, then make the
        // file anew. O_EXCL refuses a link planted again in between.
        if (::unlink(native.c_str()) != 0) {
            return -1;
        }
        fd = ::open(native.c_str(), flags | O_EXCL, 0666);
    }
    return fd;
}

KxCString realPathOf(int fd) {
    return realPathOf("/proc/self/fd/" + std::to_string(fd));
}

KxCString realPathOf(const KxCString& path) {
    char* resolved = ::realpath(nativePath(path).c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    KxCString result = resolved;
    std::free(resolved);
    return result;
}

KxCString currentExecutable() {
    return realPathOf(KxCString("/proc/self/exe"));
}

bool isBelow(const KxCString& child, const KxCString& folder) {
    if (child.empty() || folder.empty()) {
        return false;
    }
    const KxCString prefix = folder.ends_with('/') ? folder : folder + "/";
    return child.size() > prefix.size() && child.starts_with(prefix);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

KxPathBuffer getCurrentDirectory() {
    KxPathBuffer buffer;
    if (::getcwd(buffer.path, KxPathBuffer::capacity) == nullptr) {
        buffer.path[0] = '\0';
    }
    return buffer;
}

bool setCurrentDirectory(const KxCString& path) {
    return ::chdir(nativePath(path).c_str()) == 0;
}

bool giveThreadOwnCurrentDirectory() {
    return ::unshare(CLONE_FS) == 0;
}

std::optional<KxCString> getEnvironment(const KxCString& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return KxCString(value);
}

std::optional<KxCString> errorText(int errorNumber) {
    // strerrordesc_np gives the text of known values and NULL for the rest,
    // unlike strerror, which invents "Unknown error N". It is thread-safe.
    const char* text = ::strerrordesc_np(errorNumber);
    if (text == nullptr) {
        return std::nullopt;
    }
    return KxCString(text);
}

namespace {

// Reads "major.minor" from the start of a kernel release such as
// "6.1.0-18-amd64"; a missing part counts as 0.
unsigned leadingNumber(const char*& cursor) {
    unsigned value = 0;
    while (*cursor >= '0' && *cursor <= '9') {
        value = value * 10 + static_cast<unsigned>(*cursor - '0');
        ++cursor;
    }
    return value;
}

bool kernelVersion(VersionInfo& info) {
    info = VersionInfo{};
    struct utsname names;
    if (::uname(&names) != 0) {
        return false;
    }
    const char* cursor = names.release;
    info.major = leadingNumber(cursor);
    if (*cursor == '.') {
        ++cursor;
        info.minor = leadingNumber(cursor);
    }
    return true;
}

}  // namespace

bool queryVersionEx(VersionInfo& info) {
    return kernelVersion(info);
}

bool queryVersion(VersionInfo& info) {
    return kernelVersion(info);
}

}  // namespace kx::os
