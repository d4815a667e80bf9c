#include "platform/container/KxAppendLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/os/KxOs.h"

namespace kx::container {

namespace {

// A log is written only into a plain file of its own: a link in its place
// (a project folder may carry `logs/access.log -> ~/.bashrc`) is not
// followed, a FIFO does not block the open, and a file with other names (a
// hard link) is not appended to. Returns -1 with errno set otherwise.
int openForAppending(const std::string& path) {
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

std::string openFailure(const std::string& path, int error) {
    if (error == ELOOP) {
        return path + " is a symbolic link, which a log does not follow";
    }
    if (error == EPERM) {
        return path +
               " is not a plain file of its own (a device, a FIFO or a file with other "
               "names)";
    }
    return "cannot open " + path + ": " + std::strerror(error);
}

}  // namespace

KxAppendLog::KxAppendLog(std::string path, std::size_t maxSize, std::size_t keep)
    : path_(std::move(path)), maxSize_(maxSize), keep_(keep) {
    fd_ = openForAppending(path_);
    if (fd_ < 0) {
        throw std::runtime_error(openFailure(path_, errno));
    }
    struct stat info;
    if (::fstat(fd_, &info) == 0) {
        size_ = static_cast<std::size_t>(info.st_size);
    }
}

KxAppendLog::~KxAppendLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string KxAppendLog::olderName(const std::string& path, std::size_t index) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    std::string name;
    // The number goes before the extension; a name without one (or a dot
    // file) gets it at the end.
    const bool extension =
        dot != std::string::npos && dot != 0 && (slash == std::string::npos || dot > slash + 1);
    name.append(path, 0, extension ? dot : path.size());
    name += '.';
    name += std::to_string(index);
    if (extension) {
        name.append(path, dot, std::string::npos);
    }
    return name;
}

void KxAppendLog::append(std::string_view text) {
    // A buffer of the thread's own, kept from line to line.
    thread_local std::string line;
    line.assign(text.data(), text.size());
    line += '\n';
    appendLine(line);
}

void KxAppendLog::appendLine(std::string_view line) {
    // Room for the line is taken from the size before it is written, so that
    // threads appending at once cannot take the file past its limit.
    while (true) {
        std::shared_lock lock(mutex_);
        std::size_t size = size_.load();
        if (size > 0 && size + line.size() > maxSize_) {
            const std::size_t seen = generation_.load();
            lock.unlock();
            rotate(seen);
            continue;
        }
        if (!size_.compare_exchange_weak(size, size + line.size())) {
            continue;
        }
        kx::os::writeAll(fd_, line);  // a failed write is dropped
        return;
    }
}

void KxAppendLog::rotate(std::size_t seen) {
    std::unique_lock lock(mutex_);
    if (generation_.load() != seen) {
        return;  // another thread rotated meanwhile
    }
    if (keep_ == 0) {
        ::unlink(path_.c_str());
    } else {
        for (std::size_t index = keep_; index > 1; --index) {
            ::rename(olderName(path_, index - 1).c_str(), olderName(path_, index).c_str());
        }
        ::rename(path_.c_str(), olderName(path_, 1).c_str());
    }
    const int fresh = openForAppending(path_);
    if (fresh >= 0) {
        ::close(fd_);
        fd_ = fresh;
    }
    // Without a new file the lines go on into the renamed one rather than be
    // lost; the next try comes after another maxSize bytes.
    size_ = 0;
    ++generation_;
}

}  // namespace kx::container
