#include "generators/emit/OutputWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "generators/support/Text.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {

// A descriptor closed when it goes out of scope; AT_FDCWD is never closed.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(-1); }

    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) {
            const int saved = errno;
            ::close(fd_);
            errno = saved;
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

// The components of a relative path, either separator counting; empty ones
// (from "a//b") are dropped.
std::vector<KxCString> componentsOf(const KxCString& path) {
    std::vector<KxCString> components;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find_first_of("/\\", start);
        KxCString component = path.substr(start, end - start);
        if (!component.empty()) {
            components.push_back(std::move(component));
        }
        if (end == KxCString::npos) {
            return components;
        }
        start = end + 1;
    }
}

// Opens the directory name below parent, making it when missing, and
// refusing a symbolic link in its place.
int openDirectoryBelow(int parent, const KxCString& name) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
            return -1;
        }
        fd = ::openat(parent, name.c_str(), kFlags);
    }
    if (fd < 0 && errno == ENOTDIR) {
        // O_NOFOLLOW on a link gives ENOTDIR together with O_DIRECTORY.
        struct stat status {};
        if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(status.st_mode)) {
            errno = ELOOP;
        } else {
            errno = ENOTDIR;
        }
    }
    return fd;
}

}  // namespace

bool writeProjectFile(const KxCString& path, const KxCString& content) {
    const std::vector<KxCString> components = componentsOf(path);
    if (isAbsolutePath(path) || components.empty()) {
        errno = EINVAL;
        return false;
    }
    for (const KxCString& component : components) {
        if (component == "." || component == "..") {
            errno = EINVAL;
            return false;
        }
    }
    Descriptor directory(AT_FDCWD);
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        const int next = openDirectoryBelow(directory.get(), components[i]);
        if (next < 0) {
            return false;
        }
        directory.reset(next);
    }
    const KxCString& name = components.back();
    static std::atomic<unsigned> counter{0};
    const KxCString temporary = "." + name + ".tmp" + std::to_string(::getpid()) + "-" +
                                std::to_string(counter.fetch_add(1));
    {
        Descriptor file(::openat(directory.get(), temporary.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.get() < 0) {
            return false;
        }
        if (!kx::os::writeAll(file.get(), content)) {
            const int saved = errno;
            ::unlinkat(directory.get(), temporary.c_str(), 0);
            errno = saved;
            return false;
        }
    }
    if (::renameat(directory.get(), temporary.c_str(), directory.get(), name.c_str()) != 0) {
        const int saved = errno;
        ::unlinkat(directory.get(), temporary.c_str(), 0);
        errno = saved;
        return false;
    }
    return true;
}

OutputWriter::OutputWriter(KxCString outDir, std::ostream& log, Diagnostics& diagnostics)
    : outDir_(std::move(outDir)), log_(log), diagnostics_(diagnostics) {}

bool OutputWriter::writeFile(const KxCString& path, const KxCString& shownName,
                             const KxCString& content) {
    if (writeProjectFile(path, content)) {
        log_ << "  wrote " << shownName << "\n";
        return true;
    }
    const int error = errno;
    if (error == ELOOP) {
        diagnostics_.error("cannot write " + shownName +
                           ": a folder on its path is a symbolic link, which is not followed");
    } else if (error == EINVAL) {
        diagnostics_.error("cannot write " + shownName + ": the path leaves the project");
    } else {
        diagnostics_.error("cannot write " + shownName + ": " + errnoText(error));
    }
    return false;
}

KxCString OutputWriter::shown(const KxCString& name) const {
    return kx::os::nativePath(joinPath(outDir_, name));
}

bool OutputWriter::write(const KxCString& name, const KxCString& content) {
    if (!writeFile(joinPath(outDir_, name), shown(name), content)) {
        return false;
    }
    written_.push_back(name);
    return true;
}

bool OutputWriter::writeSample(const KxCString& name, const KxCString& content) {
    const KxCString path = joinPath(outDir_, name);
    KxCString existing;
    // A link in the sample's place is not read through: it is replaced.
    const int fd = kx::os::openRegularFile(path, false);
    bool edited = false;
    if (fd >= 0) {
        ::close(fd);
        edited = kx::os::readRegularFile(path, existing, kx::os::kWholeFileLimit) ==
                     kx::os::ReadOutcome::Complete &&
                 !existing.empty() && existing != content;
    }
    if (!edited) {
        return write(name, content);
    }
    log_ << "  kept " << shown(name) << " (it differs from the generated sample)\n";
    written_.push_back(name);
    const KxCString sample = name + ".sample";
    if (!writeFile(joinPath(outDir_, sample), shown(sample), content)) {
        return false;
    }
    written_.push_back(sample);
    return true;
}

bool OutputWriter::writeCopy(const KxCString& directory, const KxCString& name,
                             const KxCString& content) {
    const KxCString path = joinPath(directory, name);
    return writeFile(path, kx::os::nativePath(path), content);
}

}  // namespace kx::gen
