#include "platform/container/KxHttpConventions.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "platform/base/KxText.h"

namespace kx::container {

namespace {

constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view& text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
}

// The elements of a comma-separated header value, trimmed, empty ones
// left out.
template <class Visit>
void forEachElement(std::string_view value, Visit visit) {
    while (!value.empty()) {
        const auto comma = value.find(',');
        const std::string_view element = trimBlanks(value.substr(0, comma));
        if (!element.empty()) {
            visit(element);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        value.remove_prefix(comma + 1);
    }
}

// A decimal number of digits only; nothing for anything else. A number
// too large for 64 bits reads as the largest one.
std::optional<std::uint64_t> readDigits(std::string_view text) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range) {
        return UINT64_MAX;
    }
    return number;
}

// A qvalue: "0", "1", "0.5", "1.000"; nothing when malformed.
std::optional<int> readQuality(std::string_view text) {
    if (text.empty() || (text.front() != '0' && text.front() != '1')) {
        return std::nullopt;
    }
    int thousandths = text.front() == '1' ? 1000 : 0;
    text.remove_prefix(1);
    if (text.empty()) {
        return thousandths;
    }
    if (text.front() != '.' || text.size() > 4) {
        return std::nullopt;
    }
    text.remove_prefix(1);
    int scale = 100;
    for (char c : text) {
        if (c < '0' || c > '9' || (thousandths == 1000 && c != '0')) {
            return std::nullopt;
        }
        thousandths += (c - '0') * scale;
        scale /= 10;
    }
    return thousandths;
}

}  // namespace

std::string makeEntityTag(std::uint64_t size, std::int64_t modifiedNanoseconds) {
    // Written digit by digit (as snprintf's "%llx" would), once per static
    // answer.
    std::string tag;
    tag.reserve(2 * 16 + 3);
    char digits[16];
    tag += '"';
    tag.append(digits, std::to_chars(digits, digits + sizeof digits, size, 16).ptr);
    tag += '-';
    tag.append(digits, std::to_chars(digits, digits + sizeof digits,
                                     static_cast<std::uint64_t>(modifiedNanoseconds), 16)
                           .ptr);
    tag += '"';
    return tag;
}

std::string gzipEntityTag(std::string_view entityTag) {
    if (entityTag.size() < 2 || entityTag.back() != '"') {
        return std::string(entityTag);
    }
    return std::string(entityTag.substr(0, entityTag.size() - 1)) + "-gz\"";
}

bool noneMatchHits(std::string_view ifNoneMatch, std::string_view entityTag) {
    const std::string_view wanted = entityTag.starts_with("W/") ? entityTag.substr(2) : entityTag;
    std::string_view rest = trimBlanks(ifNoneMatch);
    if (rest == "*") {
        return true;
    }
    // Tags are read one by one rather than split at commas: a comma may
    // stand inside the quotes.
    while (true) {
        while (!rest.empty() && (isBlank(rest.front()) || rest.front() == ',')) {
            rest.remove_prefix(1);
        }
        if (rest.empty()) {
            return false;
        }
        if (rest.starts_with("W/")) {
            rest.remove_prefix(2);
        }
        if (rest.empty() || rest.front() != '"') {
            return false;  // malformed: nothing after it counts
        }
        const auto close = rest.find('"', 1);
        if (close == std::string_view::npos) {
            return false;
        }
        if (rest.substr(0, close + 1) == wanted) {
            return true;
        }
        rest.remove_prefix(close + 1);
    }
}

std::string formatHttpDate(std::time_t time) {
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    const int year = parts.tm_year + 1900;
    if (year < 0 || year > 9999) {
        char text[64];
        std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                      kDays[static_cast<std::size_t>(parts.tm_wday) % 7], parts.tm_mday,
                      kMonths[static_cast<std::size_t>(parts.tm_mon) % 12], year, parts.tm_hour,
                      parts.tm_min, parts.tm_sec);
        return text;
    }
    // "Sun, 06 Nov 1994 08:49:37 GMT", written digit by digit: every static
    // answer carries one.
    std::string text = "Ddd, 00 Mmm 0000 00:00:00 GMT";
    const auto digits = [&text](std::size_t at, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    text.replace(0, 3, kDays[static_cast<std::size_t>(parts.tm_wday) % 7], 3);
    digits(5, parts.tm_mday, 2);
    text.replace(8, 3, kMonths[static_cast<std::size_t>(parts.tm_mon) % 12], 3);
    digits(12, year, 4);
    digits(17, parts.tm_hour, 2);
    digits(20, parts.tm_min, 2);
    digits(23, parts.tm_sec, 2);
    return text;
}

std::optional<std::time_t> parseHttpDate(std::string_view text) {
    const std::string value(trimBlanks(text));
    // strptime's names of days and months are the C locale's, which the
    // container never changes.
    for (const char* format :
         {"%a, %d %b %Y %H:%M:%S GMT", "%A, %d-%b-%y %H:%M:%S GMT", "%a %b %e %H:%M:%S %Y"}) {
        std::tm parts{};
        const char* end = ::strptime(value.c_str(), format, &parts);
        if (end != nullptr && *end == '\0') {
            return ::timegm(&parts);
        }
    }
    return std::nullopt;
}

KxRangeRequest parseRange(std::string_view header, std::uint64_t size) {
    KxRangeRequest whole;
    std::string_view value = trimBlanks(header);
    if (value.size() < 6 || !equalsIgnoringCase(value.substr(0, 6), "bytes=")) {
        return whole;
    }
    value = trimBlanks(value.substr(6));
    if (value.find(',') != std::string_view::npos) {
        return whole;  // several ranges: the whole body answers them all
    }
    const auto dash = value.find('-');
    if (dash == std::string_view::npos) {
        return whole;
    }
    const std::string_view firstText = trimBlanks(value.substr(0, dash));
    const std::string_view lastText = trimBlanks(value.substr(dash + 1));
    KxRangeRequest range;
    range.kind = KxRangeRequest::Kind::Partial;
    if (firstText.empty()) {
        // -n: the last n bytes.
        const auto suffix = readDigits(lastText);
        if (!suffix) {
            return whole;
        }
        if (*suffix == 0 || size == 0) {
            range.kind = KxRangeRequest::Kind::Unsatisfiable;
            return range;
        }
        range.first = size - std::min(*suffix, size);
        range.last = size - 1;
        return range;
    }
    const auto first = readDigits(firstText);
    std::optional<std::uint64_t> last;
    if (!first || (!lastText.empty() && !(last = readDigits(lastText))) ||
        (last && *last < *first)) {
        return whole;
    }
    if (*first >= size) {
        range.kind = KxRangeRequest::Kind::Unsatisfiable;
        return range;
    }
    range.first = *first;
    range.last = last ? std::min(*last, size - 1) : size - 1;
    return range;
}

bool acceptsGzip(std::string_view acceptEncoding) {
    std::optional<int> gzip;
    std::optional<int> any;
    forEachElement(acceptEncoding, [&](std::string_view element) {
        const auto semicolon = element.find(';');
        const std::string_view coding = trimBlanks(element.substr(0, semicolon));
        int quality = 1000;
        std::string_view parameters =
            semicolon == std::string_view::npos ? std::string_view() : element.substr(semicolon);
        while (!parameters.empty()) {
            parameters.remove_prefix(1);  // the ';'
            const auto next = parameters.find(';');
            std::string_view parameter = trimBlanks(parameters.substr(0, next));
            parameters =
                next == std::string_view::npos ? std::string_view() : parameters.substr(next);
            if (parameter.size() >= 2 && (parameter[0] == 'q' || parameter[0] == 'Q')) {
                parameter.remove_prefix(1);
                skipBlanks(parameter);
                if (!parameter.empty() && parameter.front() == '=') {
                    parameter.remove_prefix(1);
                    skipBlanks(parameter);
                    // A q that cannot be read refuses: better sent plain than
                    // coded for a client that cannot decode it.
                    quality = readQuality(parameter).value_or(0);
                }
            }
        }
        if (equalsIgnoringCase(coding, "gzip") || equalsIgnoringCase(coding, "x-gzip")) {
            gzip = std::max(gzip.value_or(0), quality);
        } else if (coding == "*") {
            any = quality;
        }
    });
    if (gzip) {
        return *gzip > 0;
    }
    return any.value_or(0) > 0;
}

bool isCompressibleType(std::string_view contentType) {
    const std::string type = toLowerAscii(trimBlanks(contentType.substr(0, contentType.find(';'))));
    for (std::string_view text : {"text/html", "text/css", "text/plain", "text/xml",
                                  "text/javascript", "application/javascript", "application/xml",
                                  "application/json", "application/soap+xml", "image/svg+xml"}) {
        if (type == text) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> gzipCompress(std::string_view data) {
    z_stream stream{};
    // 15 window bits, +16 for the gzip wrapper.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return std::nullopt;
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const auto written = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        return std::nullopt;
    }
    out.resize(written);
    return out;
}

std::shared_ptr<const std::string> KxGzipCache::find(const std::string& path,
                                                     const std::string& version) const {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(path);
    if (found == entries_.end() || found->second.version != version) {
        return nullptr;
    }
    return found->second.data;
}

void KxGzipCache::drop(std::unordered_map<std::string, Entry>::iterator entry) {
    bytes_ -= entry->second.data->size();
    ages_.erase(entry->second.age);
    entries_.erase(entry);
}

void KxGzipCache::insert(const std::string& path, const std::string& version,
                         std::shared_ptr<const std::string> data) {
    if (!data || data->size() > maxBytes_) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (auto old = entries_.find(path); old != entries_.end()) {
        drop(old);
    }
    while (!ages_.empty() && bytes_ + data->size() > maxBytes_) {
        drop(entries_.find(ages_.front()));
    }
    bytes_ += data->size();
    ages_.push_back(path);
    entries_.emplace(path, Entry{version, std::move(data), std::prev(ages_.end())});
}

}  // namespace kx::container
