#pragma once
// The conventions every HTTP server keeps, as plain functions: validators
// (ETag, Last-Modified) and the conditional requests that use them, byte
// ranges, and gzip content coding negotiated through Accept-Encoding. The
// request handler applies them to static files and servlet answers.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kx::container {

// Bodies smaller than this are sent as they are: gzip's header and trailer
// would eat what compression saves.
inline constexpr std::size_t kGzipMinimumSize = 1024;
// Static files larger than this are sent as they are: compressing one means
// reading it whole into memory.
inline constexpr std::uint64_t kGzipMaximumStaticSize = 8 * 1024 * 1024;

// ---- validators -------------------------------------------------------------

// A strong entity tag for a file from its size and modification time in
// nanoseconds, quoted: "1f4-17e0c8a2b4c5d6e7".
std::string makeEntityTag(std::uint64_t size, std::int64_t modifiedNanoseconds);
// The tag of the gzip representation of the same content: "...-gz".
std::string gzipEntityTag(std::string_view entityTag);

// Whether an If-None-Match value ("*" or a list of tags, weak or strong)
// names the tag, by weak comparison: W/"x" and "x" are the same.
bool noneMatchHits(std::string_view ifNoneMatch, std::string_view entityTag);

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string formatHttpDate(std::time_t time);
// An HTTP date in any of its three forms (IMF-fixdate, RFC 850, asctime);
// nothing when it is none of them.
std::optional<std::time_t> parseHttpDate(std::string_view text);

// ---- ranges -----------------------------------------------------------------

struct KxRangeRequest {
    enum class Kind {
        Whole,          // no usable Range: send everything (200)
        Partial,        // send first..last (206)
        Unsatisfiable,  // no byte of it exists (416)
    };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;  // inclusive
};

// Reads a Range header for a body of size bytes. One range of bytes
// (a-b, a-, -n) is honoured; several ranges, other units and malformed
// values give Whole, as a server may ignore them.
KxRangeRequest parseRange(std::string_view header, std::uint64_t size);

// ---- content coding ---------------------------------------------------------

// Whether an Accept-Encoding value lets the answer be gzip-coded: gzip (or
// x-gzip) with a q above 0, or else * with a q above 0. An empty value,
// "identity" and "gzip;q=0" do not.
bool acceptsGzip(std::string_view acceptEncoding);

// Whether answers of this Content-Type are text worth compressing.
bool isCompressibleType(std::string_view contentType);

// The data gzip-coded; nothing when zlib fails.
std::optional<std::string> gzipCompress(std::string_view data);

// Gzip representations of static files, kept so each is compressed once per
// version of the file (its size and modification time, as in its entity
// tag). At most maxBytes of compressed data are kept, the oldest entries
// going first. Safe from any thread.
class KxGzipCache {
  public:
    explicit KxGzipCache(std::size_t maxBytes) : maxBytes_(maxBytes) {}

    // The kept representation of that version of the file; null when none.
    std::shared_ptr<const std::string> find(const std::string& path,
                                            const std::string& version) const;
    // Keeps it, in place of any other version of the file.
    void insert(const std::string& path, const std::string& version,
                std::shared_ptr<const std::string> data);

  private:
    struct Entry {
        std::string version;
        std::shared_ptr<const std::string> data;
        std::list<std::string>::iterator age;
    };
    void drop(std::unordered_map<std::string, Entry>::iterator entry);

    const std::size_t maxBytes_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> ages_;  // paths, oldest first
    std::size_t bytes_ = 0;
};

}  // namespace kx::container
