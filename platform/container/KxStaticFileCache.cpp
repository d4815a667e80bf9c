#include "platform/container/KxStaticFileCache.h"

#include <unistd.h>

#include <chrono>

#include "platform/container/KxHttpConventions.h"
#include "platform/os/KxOs.h"

namespace kx::container {

namespace {

std::int64_t nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// The file's bytes through its descriptor; null when it is shorter than its
// size said or cannot be read.
std::shared_ptr<const std::string> readAll(int fd, std::uint64_t size) {
    auto content = std::make_shared<std::string>(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < content->size()) {
        const ssize_t got =
            ::pread(fd, content->data() + done, content->size() - done, static_cast<off_t>(done));
        if (got <= 0) {
            return nullptr;
        }
        done += static_cast<std::size_t>(got);
    }
    return content;
}

}  // namespace

KxFileVersion KxFileVersion::of(const struct stat& status) {
    return {.device = static_cast<std::uint64_t>(status.st_dev),
            .inode = static_cast<std::uint64_t>(status.st_ino),
            .size = static_cast<std::uint64_t>(status.st_size),
            .modifiedNs = nanoseconds(status.st_mtim),
            .changedNs = nanoseconds(status.st_ctim)};
}

KxStaticLookup KxStaticFileCache::lookUp(const std::string& path, std::string_view name,
                                         bool needBytes) {
    // lstat() does not follow a final symbolic link, as the open() below
    // does not: either way such a link, a folder or a device is no file.
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return {};
    }
    if (auto kept = find(path, KxFileVersion::of(status))) {
        if (kept->content || !needBytes) {
            return {.file = std::move(kept), .descriptor = nullptr, .failed = false};
        }
    }
    return openAndRemember(path, name);
}

// Opens the file and describes the version opened (the descriptor's, which
// may be newer than the lstat() before); keeps it when it has settled.
KxStaticLookup KxStaticFileCache::openAndRemember(const std::string& path, std::string_view name) {
    const int fd = kx::os::openRegularFile(path, /*followLinks=*/false);
    if (fd < 0) {
        return {};
    }
    KxStaticLookup found{.file = nullptr, .descriptor = std::make_shared<KxBodyFile>(fd)};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        found.failed = true;
        return found;
    }
    const KxFileVersion version = KxFileVersion::of(status);
    if (auto kept = find(path, version)) {
        found.file = std::move(kept);  // a file too large to keep, or kept meanwhile
        return found;
    }
    auto file = describe(name, status);
    const auto age = std::chrono::system_clock::now().time_since_epoch() -
                     std::chrono::nanoseconds(version.changedNs);
    if (age < limits_.settleTime) {
        found.file = std::move(file);  // answered from the descriptor, not kept
        return found;
    }
    if (version.size <= limits_.maxFileBytes) {
        file->content = readAll(fd, version.size);
        struct stat after {};
        if (!file->content || ::fstat(fd, &after) != 0 || KxFileVersion::of(after) != version) {
            file->content.reset();  // changed while it was read
            found.file = std::move(file);
            return found;
        }
    }
    found.file = file;
    keep(path, std::move(file));
    return found;
}

std::shared_ptr<KxStaticFile> KxStaticFileCache::describe(std::string_view name,
                                                          const struct stat& status) const {
    auto file = std::make_shared<KxStaticFile>();
    file->version = KxFileVersion::of(status);
    file->modified = status.st_mtim.tv_sec;
    file->contentType = typeOf_(name);
    file->lastModified = formatHttpDate(file->modified);
    file->plainTag = makeEntityTag(file->version.size, file->version.modifiedNs);
    file->gzipTag = gzipEntityTag(file->plainTag);
    file->compressible = isCompressibleType(file->contentType) &&
                         file->version.size >= kGzipMinimumSize &&
                         file->version.size <= kGzipMaximumStaticSize;
    return file;
}

std::shared_ptr<const KxStaticFile> KxStaticFileCache::find(const std::string& path,
                                                            const KxFileVersion& version) const {
    std::lock_guard lock(mutex_);
    const auto entry = entries_.find(path);
    if (entry == entries_.end() || entry->second->version != version) {
        return nullptr;
    }
    return entry->second;
}

void KxStaticFileCache::keep(const std::string& path, std::shared_ptr<const KxStaticFile> file) {
    const std::size_t size = file->content ? file->content->size() : 0;
    if (size > limits_.maxBytes || limits_.maxEntries == 0) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (const auto entry = entries_.find(path); entry != entries_.end()) {
        // A newer version in the old one's place (and its place in line).
        bytes_ -= entry->second->content ? entry->second->content->size() : 0;
        bytes_ += size;
        entry->second = std::move(file);
    } else {
        bytes_ += size;
        entries_.emplace(path, std::move(file));
        order_.push_back(path);
    }
    while (entries_.size() > limits_.maxEntries || bytes_ > limits_.maxBytes) {
        dropOldest();
    }
}

void KxStaticFileCache::dropOldest() {
    const auto entry = entries_.find(order_.front());
    bytes_ -= entry->second->content ? entry->second->content->size() : 0;
    entries_.erase(entry);
    order_.pop_front();
}

std::size_t KxStaticFileCache::entries() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::size_t KxStaticFileCache::keptBytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

}  // namespace kx::container
