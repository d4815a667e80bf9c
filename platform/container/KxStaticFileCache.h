#pragma once
// What answering a static file takes, kept per version of the file: its
// validators, its type and, for small files, its bytes. A request looks the
// file up with one lstat() and, while the file is the version kept, needs
// neither open() nor read(). Whether there is a file to serve is decided
// exactly as before: a regular file whose last path part is not a symbolic
// link (the parts before it may be), looked at on every request.
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/container/KxHttpData.h"

namespace kx::container {

// What tells one version of a file from the next: the file itself (device
// and inode), its size, its modification time and its status change time
// (which every write, rename, chmod or touch moves and no program can set).
struct KxFileVersion {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    static KxFileVersion of(const struct stat& status);
    bool operator==(const KxFileVersion&) const = default;
};

// One version of a static file, as its answers need it.
struct KxStaticFile {
    KxFileVersion version;
    std::time_t modified = 0;
    std::string contentType;
    std::string lastModified;   // HTTP date
    std::string plainTag;       // strong entity tag of the bytes as they are
    std::string gzipTag;        // the tag of their gzip representation
    bool compressible = false;  // text, and of a size worth compressing
    // The whole file, when it is small enough to keep; null otherwise.
    std::shared_ptr<const std::string> content;
};

// A static file found for one request: its version and, when its bytes are
// not kept, the file opened (if the lookup had to open it).
struct KxStaticLookup {
    std::shared_ptr<const KxStaticFile> file;  // null: no regular file there
    std::shared_ptr<KxBodyFile> descriptor;
    bool failed = false;  // a file is there but could not be looked at
};

struct KxStaticCacheLimits {
    std::size_t maxEntries = 1024;
    std::size_t maxBytes = 16 * 1024 * 1024;  // of kept content, all files
    std::size_t maxFileBytes = 256 * 1024;    // a larger file is read each time
    // A file changed less than this ago is not kept: two writes within one
    // tick of the file system's clock leave the same times, so its bytes
    // could change without its version showing it.
    std::chrono::milliseconds settleTime{2000};
};

// Safe from any thread. The oldest entries go first when a bound is reached.
class KxStaticFileCache {
  public:
    // The Content-Type of a file by its name (never empty).
    using TypeOf = std::function<std::string(std::string_view name)>;

    KxStaticFileCache(KxStaticCacheLimits limits, TypeOf typeOf)
        : limits_(limits), typeOf_(std::move(typeOf)) {}

    // The file at path (a native path; name is its name below the static
    // folder, for its type). With needBytes, the result holds the content
    // or an open descriptor of the same version; without, a kept version
    // comes back without the file being opened.
    KxStaticLookup lookUp(const std::string& path, std::string_view name, bool needBytes);

    std::size_t entries() const;
    std::size_t keptBytes() const;

  private:
    KxStaticLookup openAndRemember(const std::string& path, std::string_view name);
    std::shared_ptr<const KxStaticFile> find(const std::string& path,
                                             const KxFileVersion& version) const;
    std::shared_ptr<KxStaticFile> describe(std::string_view name, const struct stat& status) const;
    void keep(const std::string& path, std::shared_ptr<const KxStaticFile> file);
    void dropOldest();

    const KxStaticCacheLimits limits_;
    const TypeOf typeOf_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<const KxStaticFile>> entries_;
    std::deque<std::string> order_;  // paths, in the order they were kept
    std::size_t bytes_ = 0;
};

}  // namespace kx::container
