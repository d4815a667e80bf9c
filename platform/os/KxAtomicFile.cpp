// POSIX implementation of AtomicFile: open(O_CREAT | O_EXCL) under a fresh
// name in the target's folder, write, fsync, rename, fsync the folder.
#include "platform/os/KxAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

#include "platform/os/KxOs.h"

namespace kx::os {

namespace {

// A temporary name is retried this often when it happens to be taken.
constexpr int kNameAttempts = 16;

std::atomic<unsigned> gSequence{0};

// "folder/.name.<pid>-<sequence>-<random>.kxtmp" for "folder/name": hidden,
// and with an ending no page lists as a generated file.
KxCString temporaryNameFor(const KxCString& nativeTarget) {
    const auto slash = nativeTarget.rfind('/');
    const KxCString folder =
        slash == KxCString::npos ? KxCString() : nativeTarget.substr(0, slash + 1);
    const KxCString name = slash == KxCString::npos ? nativeTarget : nativeTarget.substr(slash + 1);
    thread_local std::minstd_rand random{std::random_device{}()};
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(gSequence.fetch_add(1)) + "-" + std::to_string(random() % 1000000) +
           ".kxtmp";
}

// Makes the rename itself durable. A folder that cannot be opened or synced
// (some file systems refuse) leaves the rename done all the same.
void syncFolderOf(const KxCString& nativeTarget) {
    const auto slash = nativeTarget.rfind('/');
    const KxCString folder = slash == KxCString::npos ? KxCString(".")
                             : slash == 0             ? KxCString("/")
                                                      : nativeTarget.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

AtomicFile::AtomicFile(const KxCString& path) : target_(nativePath(path)) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        KxCString candidate = temporaryNameFor(target_);
        // 0666: the umask applies, as for a file made by opening the target.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = std::move(candidate);
            return;
        }
        if (errno != EEXIST) {
            return;
        }
    }
}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::write(std::string_view bytes) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (failed_) {
        return false;
    }
    if (!writeAll(fd_, bytes)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool AtomicFile::commit() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (failed_) {
        const int saved = errno;
        discard();
        errno = saved;
        return false;
    }
    // The replacement keeps the permissions of the file it replaces.
    struct stat existing;
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd_, existing.st_mode & 07777);
    }
    if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
        const int saved = errno;
        fd_ = -1;
        discard();
        errno = saved;
        return false;
    }
    fd_ = -1;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int saved = errno;
        discard();
        errno = saved;
        return false;
    }
    temporary_.clear();
    syncFolderOf(target_);
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

bool writeFileAtomically(const KxCString& path, std::string_view content) {
    int error = 0;
    bool done = false;
    {
        AtomicFile file(path);
        done = file.isOpen() && file.write(content) && file.commit();
        error = errno;
    }
    // What the cleanup left in errno does not matter; the failure's does.
    errno = done ? 0 : error;
    return done;
}

}  // namespace kx::os
