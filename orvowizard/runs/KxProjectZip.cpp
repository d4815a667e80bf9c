#include "orvowizard/runs/KxProjectZip.h"

#include "orvowizard/tryit/KxServiceRegistry.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace {

// How much of a file one read takes.
constexpr std::size_t kBlockBytes = 64 * 1024;
// How much one call of next() reads at most: a file that compresses well
// would otherwise be read whole before a piece is ready, and the stream would
// not see cancelled() in between.
constexpr std::size_t kReadPerCall = 4 * 1024 * 1024;
// How much of a file's start isBuildOutput looks at.
constexpr std::size_t kMagicBytes = 4;

// The archive marks its names as UTF-8 (as unzip tools expect today); a byte
// of a name that is not part of valid UTF-8 becomes an underscore, so that a
// strangely named file still comes along and the archive stays readable. So
// do a backslash, which extractors on Windows take for a folder separator
// (`..\..\x` would land outside the target folder), and control characters,
// which would let a name rewrite a terminal's listing of the archive.
std::string entryName(std::string_view name) {
    std::string result;
    result.reserve(name.size());
    while (!name.empty()) {
        const std::size_t length = kx::utf8SequenceLength(name);
        const unsigned char first = static_cast<unsigned char>(name.front());
        const bool replaced = length == 0 || first == '\\' || first < 0x20 || first == 0x7f;
        result.append(replaced ? "_" : name.substr(0, length));
        name.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return result;
}

// The archive's top folder: one name, never a path or a way out of the
// folder it is unpacked in.
std::string safeRootName(std::string name) {
    std::replace(name.begin(), name.end(), '/', '_');
    if (name.find_first_not_of('.') == std::string::npos) {
        return "project";
    }
    return entryName(name);
}

bool isRealFolder(int fd, struct stat& info) {
    return ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> sortedNames(int folderFd) {
    std::vector<std::string> names;
    const int listFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (listFd < 0) {
        return names;
    }
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return names;
    }
    while (names.size() < kZipMaxEntries) {
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool isAllDigitsAndDots(std::string_view text) {
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text.front())) &&
           text.find_first_not_of("0123456789.") == std::string_view::npos;
}

}  // namespace

bool isBuildOutput(std::string_view fileName, std::string_view firstBytes) {
    if (firstBytes.starts_with("\x7f"
                               "ELF")) {
        return true;
    }
    std::string name(fileName);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // libfoo.so.1, libfoo.so.1.2.3
    const auto so = name.find(".so.");
    if (so != std::string::npos && so > 0 &&
        isAllDigitsAndDots(std::string_view(name).substr(so + 4))) {
        return true;
    }
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return false;
    }
    const std::string_view extension = std::string_view(name).substr(dot + 1);
    for (const std::string_view output : {"o", "obj", "so", "a", "lib", "dll", "d", "gch"}) {
        if (extension == output) {
            return true;
        }
    }
    return false;
}

KxProjectZipStream::KxProjectZipStream(const KxCString& folder, std::string rootName,
                                       bool includeBuildOutputs)
    : rootName_(safeRootName(std::move(rootName))), includeBuildOutputs_(includeBuildOutputs) {
    KxCString path = kx::os::nativePath(folder);
    // A trailing slash would make the open follow a link named by the path.
    while (path.size() > 1 && path.ends_with('/')) {
        path.pop_back();
    }
    const int rootFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0) {
        return;
    }
    struct stat info;
    rootReal_ = kx::os::realPathOf(rootFd);
    archive_ = archive_write_new();
    if (!isRealFolder(rootFd, info) || rootReal_.empty() || archive_ == nullptr ||
        archive_write_set_format_zip(archive_) != ARCHIVE_OK ||
        archive_write_zip_set_compression_deflate(archive_) != ARCHIVE_OK ||
        // Names are marked as UTF-8, whatever the server's locale.
        archive_write_set_format_option(archive_, "zip", "hdrcharset", "UTF-8") != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(archive_, 0) != ARCHIVE_OK ||
        archive_write_open2(archive_, this, nullptr, &KxProjectZipStream::appendOutput, nullptr,
                            nullptr) != ARCHIVE_OK) {
        ::close(rootFd);
        closeAll();
        return;
    }
    ok_ = enterFolder(rootFd, rootName_);
    if (!ok_) {
        closeAll();
    }
}

KxProjectZipStream::~KxProjectZipStream() {
    closeAll();
}

bool KxProjectZipStream::ok() const {
    return ok_;
}

std::optional<std::string> KxProjectZipStream::next() {
    if (ended_ || !ok_ || cancelled()) {
        ended_ = true;
        closeAll();
        return std::nullopt;
    }
    readThisCall_ = 0;
    while (!walkDone_ && pending_.size() < kZipPieceBytes && readThisCall_ < kReadPerCall) {
        if (cancelled() || !step()) {
            ended_ = true;
            closeAll();
            return std::nullopt;
        }
    }
    if (walkDone_ && archive_ != nullptr) {
        // Writes the central directory.
        const int closed = archive_write_close(archive_);
        archive_write_free(archive_);
        archive_ = nullptr;
        if (closed != ARCHIVE_OK) {
            ended_ = true;
            return std::nullopt;
        }
    }
    if (pending_.empty() && archive_ == nullptr) {
        ended_ = true;
        return std::nullopt;
    }
    return std::exchange(pending_, {});
}

ssize_t KxProjectZipStream::appendOutput(struct archive*, void* self, const void* buffer,
                                         std::size_t length) {
    static_cast<KxProjectZipStream*>(self)->pending_.append(static_cast<const char*>(buffer),
                                                            length);
    return static_cast<ssize_t>(length);
}

bool KxProjectZipStream::step() {
    if (fileFd_ >= 0) {
        return readFileBlock();
    }
    if (folders_.empty() || entries_ >= kZipMaxEntries) {
        walkDone_ = true;
        return true;
    }
    Folder& top = folders_.back();
    if (top.index >= top.names.size()) {
        ::close(top.fd);
        folders_.pop_back();
        return true;
    }
    const std::string name = top.names[top.index++];
    return addEntry(top, name);
}

int KxProjectZipStream::writeHeader(const std::string& entryPath, const struct stat& info) {
    archive_entry* entry = archive_entry_new();
    if (entry == nullptr) {
        return ARCHIVE_FATAL;
    }
    const bool folder = S_ISDIR(info.st_mode);
    archive_entry_set_pathname_utf8(entry, (folder ? entryPath + "/" : entryPath).c_str());
    archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, info.st_mode & 0777);
    archive_entry_set_mtime(entry, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    if (folder) {
        archive_entry_set_size(entry, 0);
    }
    // A file's size is left unsaid: it may shrink while it is read, and the
    // sizes then follow the data (a data descriptor, with Zip64 sizes as
    // libarchive writes them for a size it is not told).
    const int status = archive_write_header(archive_, entry);
    archive_entry_free(entry);
    if (status >= ARCHIVE_WARN) {
        ++entries_;
    }
    return status;
}

bool KxProjectZipStream::enterFolder(int fd, std::string entryPath) {
    struct stat info;
    const int status = isRealFolder(fd, info) ? writeHeader(entryPath, info) : ARCHIVE_FAILED;
    if (status < ARCHIVE_WARN) {
        // A folder whose header cannot be written is left out; only a broken
        // archive ends the walk.
        ::close(fd);
        return status != ARCHIVE_FATAL;
    }
    folders_.push_back(Folder{fd, std::move(entryPath), sortedNames(fd), 0});
    return true;
}

bool KxProjectZipStream::addEntry(Folder& parent, const std::string& name) {
    struct stat info;
    if (::fstatat(parent.fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return true;  // gone since the folder was listed
    }
    std::string entryPath = parent.entryPath + "/" + entryName(name);
    if (S_ISDIR(info.st_mode)) {
        if (folders_.size() > kZipMaxDepth) {
            return true;
        }
        // The folder a running service keeps its descriptor copy, output
        // and logs in is a product of running, like the build's outputs.
        if (!includeBuildOutputs_ && folders_.size() == 1 &&
            name == KxServiceRegistry::kServiceFolder) {
            return true;
        }
        const int fd =
            ::openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            return true;
        }
        if (!kx::os::isBelow(kx::os::realPathOf(fd), rootReal_)) {
            ::close(fd);
            return true;
        }
        return enterFolder(fd, std::move(entryPath));
    }
    if (!S_ISREG(info.st_mode)) {
        return true;  // a link, device, FIFO or socket
    }
    // Opened without waiting, in case a FIFO took the file's place.
    const int fd = ::openat(parent.fd, name.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return true;  // unreadable
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !kx::os::isBelow(kx::os::realPathOf(fd), rootReal_)) {
        ::close(fd);
        return true;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!includeBuildOutputs_) {
        char magic[kMagicBytes];
        const ssize_t got = ::pread(fd, magic, sizeof magic, 0);
        if (isBuildOutput(name, std::string_view(magic, got > 0 ? got : 0))) {
            ::close(fd);
            return true;
        }
    }
    const int status = writeHeader(entryPath, info);
    if (status < ARCHIVE_WARN) {
        ::close(fd);
        return status != ARCHIVE_FATAL;
    }
    fileFd_ = fd;
    fileLeft_ = info.st_size;
    return true;
}

bool KxProjectZipStream::readFileBlock() {
    // Never more than the header announced: a file that grows is cut at the
    // size it had, one that shrinks ends where its data ends.
    const std::size_t want = std::min<std::size_t>(kBlockBytes, fileLeft_);
    ssize_t got = 0;
    if (want > 0) {
        block_.resize(kBlockBytes);
        do {
            got = ::read(fileFd_, block_.data(), want);
        } while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
        closeFile();
        return archive_write_finish_entry(archive_) >= ARCHIVE_WARN;
    }
    if (archive_write_data(archive_, block_.data(), got) < 0) {
        return false;
    }
    fileLeft_ -= got;
    readThisCall_ += got;
    return true;
}

void KxProjectZipStream::closeFile() {
    if (fileFd_ >= 0) {
        ::close(fileFd_);
        fileFd_ = -1;
    }
}

void KxProjectZipStream::closeAll() {
    closeFile();
    for (const Folder& folder : folders_) {
        ::close(folder.fd);
    }
    folders_.clear();
    if (archive_ != nullptr) {
        // Closed before it is freed (what the close writes is dropped): freed
        // after archive_write_fail instead, libarchive 3.6 leaks the zip
        // writer's state.
        archive_write_close(archive_);
        archive_write_free(archive_);
        archive_ = nullptr;
        pending_.clear();
    }
}
