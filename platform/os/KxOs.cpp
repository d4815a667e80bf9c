// POSIX implementation of the operating-system boundary. Paths arrive with
// backslashes and are converted by nativePath() right before each system call.
#include "platform/os/KxOs.h"

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
    return true;
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

bool readWholeFile(const KxCString& path, KxCString& content, OpenMode mode) {
    content.clear();
    std::ifstream in = openForReading(path, mode);
    if (!in.is_open()) {
        return false;
    }
    // Read in chunks rather than asking for the size first: files under /proc
    // and pipes report no useful size.
    char chunk[8192];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        content.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (in.eof()) {
            break;
        }
    }
    return !in.bad();
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
