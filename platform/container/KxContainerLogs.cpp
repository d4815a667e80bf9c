#include "platform/container/KxContainerLogs.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include "platform/base/KxText.h"
#include "platform/container/KxAppendLog.h"
#include "platform/container/KxFormDecoder.h"
#include "platform/container/KxSecurityChecks.h"

namespace kx::container {

namespace {

// Each log rotates at this size and keeps this many older files.
constexpr std::size_t kLogFileSize = 5 * 1024 * 1024;
constexpr std::size_t kLogFiles = 3;

// spdlog's lines go through the access log's writer: each line in one
// write, rotated the same way, and never through a link in the log's place.
class AppendLogSink final : public spdlog::sinks::base_sink<std::mutex> {
  public:
    explicit AppendLogSink(const std::string& path) : log_(path, kLogFileSize, kLogFiles) {}

  protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(message, formatted);
        std::string_view line(formatted.data(), formatted.size());
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        log_.append(line);
    }
    void flush_() override {}  // every line is in the file once appended

  private:
    KxAppendLog log_;
};

std::shared_ptr<spdlog::logger> openLog(const std::string& name, const std::string& path,
                                        const std::string& pattern) {
    auto sink = std::make_shared<AppendLogSink>(path);
    auto logger = std::make_shared<spdlog::logger>(name, std::move(sink));
    logger->set_pattern(pattern);
    logger->set_level(spdlog::level::info);
    // Every line reaches the file at once: the logs are read while the
    // container runs, and a line lost in a crash is the one that mattered.
    logger->flush_on(spdlog::level::trace);
    return logger;
}

}  // namespace

std::string redactToken(std::string_view target) {
    const auto question = target.find('?');
    if (question == std::string_view::npos) {
        return std::string(target);
    }
    std::string result(target.substr(0, question + 1));
    std::string_view query = target.substr(question + 1);
    bool first = true;
    while (true) {
        const auto end = query.find('&');
        const std::string_view piece = query.substr(0, end);
        if (!first) {
            result += '&';
        }
        first = false;
        // The name is compared as the handler reads it, decoded: "%74oken"
        // and "tok%65n" name the token as well. Case is ignored too, so a
        // near miss that a servlet might still read is kept out.
        const std::string_view name = piece.substr(0, piece.find('='));
        if (equalsIgnoringCase(percentDecode(name, true), KxSecurityChecks::kTokenParameter)) {
            result += std::string(name) + "=***";
        } else {
            result += piece;
        }
        if (end == std::string_view::npos) {
            break;
        }
        query = query.substr(end + 1);
    }
    return result;
}

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Appends the text as a quoted field shows it (see escapeLogField): the
// runs between bytes to escape go in whole.
void appendEscaped(std::string& out, std::string_view text) {
    if (text.empty()) {
        out += '-';
        return;
    }
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte <= 0x7e && byte != '"' && byte != '\\') {
            continue;
        }
        out.append(text.data() + run, i - run);
        const char escaped[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xf]};
        out.append(escaped, sizeof escaped);
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

// Appends the text escaped, with the token's value redacted first; only a
// text with a query needs a redacted copy.
void appendRedactedEscaped(std::string& out, std::string_view text) {
    if (text.find('?') == std::string_view::npos) {
        appendEscaped(out, text);
    } else {
        appendEscaped(out, redactToken(text));
    }
}

// The request line with the target redacted: the target is what stands
// between the method and the protocol; a line of another shape is redacted
// from its first blank on.
void appendRequestLine(std::string& out, std::string_view request) {
    const auto methodEnd = request.find(' ');
    if (methodEnd == std::string_view::npos || request.find('?') == std::string_view::npos) {
        appendEscaped(out, request);
        return;
    }
    const auto protocolStart = request.rfind(' ');
    const auto targetEnd = protocolStart > methodEnd ? protocolStart : request.size();
    std::string redacted(request.substr(0, methodEnd + 1));
    redacted += redactToken(request.substr(methodEnd + 1, targetEnd - methodEnd - 1));
    redacted += request.substr(targetEnd);
    appendEscaped(out, redacted);
}

// "[06/Dec/2026:06:30:00 +0000]" for the time's second in local time; each
// thread keeps the text of the last second it formatted, as most lines fall
// in the same second as the one before.
std::string_view localTimeStamp(std::time_t seconds) {
    thread_local std::time_t lastSeconds = -1;
    thread_local char text[64];
    thread_local std::size_t length = 0;
    if (seconds != lastSeconds) {
        std::tm local{};
        ::localtime_r(&seconds, &local);
        static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const long offset = local.tm_gmtoff / 60;
        const int written = std::snprintf(
            text, sizeof text, "[%02d/%s/%04d:%02d:%02d:%02d %c%02ld%02ld]", local.tm_mday,
            kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
            local.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
        length = written > 0 ? std::min(static_cast<std::size_t>(written), sizeof text - 1) : 0;
        lastSeconds = seconds;
    }
    return {text, length};
}

void appendNumber(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

}  // namespace

std::string escapeLogField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

void appendAccessRecord(std::string& out, const KxAccessRecord& record) {
    appendEscaped(out, record.client);
    out += " - - ";
    out += localTimeStamp(std::chrono::system_clock::to_time_t(record.time));
    out += " \"";
    appendRequestLine(out, record.request);
    out += "\" ";
    appendNumber(out, static_cast<std::uint64_t>(std::max(record.status, 0)));
    out += ' ';
    appendNumber(out, record.bytes);
    out += " \"";
    appendRedactedEscaped(out, record.referer);
    out += "\" \"";
    appendEscaped(out, record.userAgent);
    out += "\" ";
    // Seconds with millisecond resolution: "1.234".
    const auto milliseconds =
        static_cast<std::uint64_t>(std::max<long long>(record.duration.count(), 0));
    appendNumber(out, milliseconds / 1000);
    out += '.';
    const auto fraction = milliseconds % 1000;
    out += static_cast<char>('0' + fraction / 100);
    out += static_cast<char>('0' + fraction / 10 % 10);
    out += static_cast<char>('0' + fraction % 10);
}

std::string formatAccessRecord(const KxAccessRecord& record) {
    std::string line;
    appendAccessRecord(line, record);
    return line;
}

KxContainerLogs::KxContainerLogs(const std::string& directory) : directory_(directory) {
    // Each folder made here is the user's alone: the logs name the files
    // and projects worked on.
    std::filesystem::path made;
    for (const auto& part : std::filesystem::path(directory)) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            throw std::runtime_error("cannot create the log folder " + directory + ": " +
                                     std::strerror(errno));
        }
    }
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        throw std::runtime_error("cannot create the log folder " + directory +
                                 ": it is not a folder");
    }
    try {
        container_ = openLog("kxcontainer", directory + "/" + kContainerLogName,
                             "%Y-%m-%d %H:%M:%S.%e [%l] %v");
        access_ = std::make_unique<KxAppendLog>(directory + "/" + kAccessLogName, kLogFileSize,
                                                kLogFiles);
    } catch (const spdlog::spdlog_ex& e) {
        throw std::runtime_error("cannot open the logs in " + directory + ": " + e.what());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("cannot open the logs in " + directory + ": " + e.what());
    }
}

KxContainerLogs::~KxContainerLogs() {
    flush();
}

void KxContainerLogs::info(std::string_view message) {
    container_->info("{}", message);
}

void KxContainerLogs::error(std::string_view message) {
    container_->error("{}", message);
}

void KxContainerLogs::access(const KxAccessRecord& record) {
    // Formatted into a buffer of the thread's own, kept from line to line,
    // and written with one write() as before.
    thread_local std::string line;
    line.clear();
    appendAccessRecord(line, record);
    line += '\n';
    access_->appendLine(line);
}

void KxContainerLogs::flush() {
    container_->flush();  // the access log has nothing held back
}

}  // namespace kx::container
