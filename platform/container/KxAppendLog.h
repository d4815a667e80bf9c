#pragma once
// A log file that many threads append lines to without waiting for each
// other: each line (which carries its own time) goes to the file in one write()
// on a descriptor opened for appending, so it is in the system's hands (and
// survives a crash of the process) when append() returns, and lines of
// different threads never mix. Only rotation takes the lock exclusively: when
// the file would pass its size limit it becomes NAME.1.EXT, the older ones
// move up to NAME.KEEP.EXT, and a new file is started.
#include <atomic>
#include <cstddef>
#include <shared_mutex>
#include <string>
#include <string_view>

namespace kx::container {

class KxAppendLog {
  public:
    // Opens (creates) path for appending; throws std::runtime_error when it
    // cannot. keep: how many older files are kept.
    KxAppendLog(std::string path, std::size_t maxSize, std::size_t keep);
    ~KxAppendLog();
    KxAppendLog(const KxAppendLog&) = delete;
    KxAppendLog& operator=(const KxAppendLog&) = delete;

    // Appends the text and a line break. A failed write is dropped: a log
    // must not stop the server.
    void append(std::string_view text);
    // Appends a line that ends with its line break already, as it is.
    void appendLine(std::string_view line);

    // The name of the index-th older file ("access.log", 2 -> "access.2.log").
    static std::string olderName(const std::string& path, std::size_t index);

  private:
    void rotate(std::size_t seen);

    const std::string path_;
    const std::size_t maxSize_;
    const std::size_t keep_;
    std::shared_mutex mutex_;  // shared: appending; exclusive: rotating
    int fd_ = -1;
    std::atomic<std::size_t> size_{0};
    std::atomic<std::size_t> generation_{0};  // rotations so far
};

}  // namespace kx::container
