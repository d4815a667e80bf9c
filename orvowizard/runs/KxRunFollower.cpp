#include "orvowizard/runs/KxRunFollower.h"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "orvowizard/runs/KxRunRegistry.h"
#include "platform/os/KxOs.h"

namespace {

using Clock = std::chrono::steady_clock;

// The shortest wait between two looks at the output.
constexpr std::chrono::milliseconds kFirstPoll{10};

// An event whose data are the given lines (none: one empty data line).
std::string event(std::string_view name, std::string_view lines) {
    std::string text = "event: ";
    text += name;
    text += '\n';
    std::size_t start = 0;
    do {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        text += "data: ";
        text += lines.substr(start, end - start);
        text += '\n';
        start = end + 1;
    } while (start < lines.size());
    text += '\n';
    return text;
}

// The file's name for the note past the output limit.
std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

KxRunOutputStream::KxRunOutputStream(std::string id, Timing timing)
    : id_(std::move(id)), timing_(timing), started_(Clock::now()), lastSent_(started_) {}

std::optional<std::string> KxRunOutputStream::next() {
    if (cancelled() || phase_ == Phase::Done) {
        return std::nullopt;
    }
    KxRunRegistry& runs = KxRunRegistry::shared();
    if (phase_ == Phase::Waiting) {
        // The form that starts the run is sent beside this request: wait for
        // the run a while, a short wait at a time so cancelling is seen.
        const auto state = runs.await(id_, std::min(timing_.poll * 4, timing_.startWait));
        if (state) {
            file_ = state->outputFile;
            phase_ = Phase::Following;
            return "";
        }
        if (Clock::now() - started_ >= timing_.startWait) {
            phase_ = Phase::Done;
            return event("unknown", "");
        }
        return keepAliveIfDue();
    }
    std::string text = readOutput(false);
    if (!text.empty()) {
        lastSent_ = Clock::now();
        idlePolls_ = 0;
        return text;
    }
    // Looks again soon after output came, less often the longer none comes:
    // the first line of a run shows at once, an idle run costs little.
    const auto wait = std::min(timing_.poll, kFirstPoll * (1 << std::min(idlePolls_, 4)));
    ++idlePolls_;
    const auto state = runs.awaitEnd(id_, wait);
    if (!state || !state->running) {
        // What the run wrote last, to the end of the file.
        phase_ = Phase::Done;
        std::string rest;
        do {
            rest += readOutput(true);
        } while (lastRead_ == kPieceSize);
        return rest + event("end", "");
    }
    return keepAliveIfDue();
}

std::string KxRunOutputStream::keepAliveIfDue() {
    if (Clock::now() - lastSent_ < timing_.keepAlive) {
        return "";
    }
    lastSent_ = Clock::now();
    return ": still running\n\n";
}

std::string KxRunOutputStream::readOutput(bool runEnded) {
    std::string text;
    lastRead_ = 0;
    const int fd = kx::os::openRegularFile(file_, false);
    if (fd >= 0) {
        struct stat status {};
        if (::fstat(fd, &status) == 0) {
            // A file written anew (replaced, or cut short) is read from its
            // start.
            if (status.st_ino != inode_ || status.st_size < offset_) {
                inode_ = status.st_ino;
                offset_ = 0;
                partial_.clear();
            }
            std::string piece(kPieceSize, '\0');
            const ssize_t got = ::pread(fd, piece.data(), piece.size(), offset_);
            if (got > 0) {
                offset_ += got;
                lastRead_ = static_cast<std::size_t>(got);
                piece.resize(static_cast<std::size_t>(got));
                text = std::move(piece);
            }
        }
        ::close(fd);
    }
    // Complete lines only, until the end. CR LF, CR and LF each end one
    // line; a CR LF split between two reads is still one line end.
    for (const char c : text) {
        if (c != '\n' || !lastWasCr_) {
            partial_ += c == '\r' ? '\n' : c;
        }
        lastWasCr_ = c == '\r';
    }
    std::size_t cut = partial_.rfind('\n');
    if (runEnded) {
        cut = partial_.empty() ? std::string::npos : partial_.size();
    }
    if (cut == std::string::npos) {
        return "";
    }
    std::string lines = partial_.substr(0, cut);
    partial_.erase(0, std::min(cut + 1, partial_.size()));
    if (sent_ >= kMaxOutput) {
        return "";
    }
    sent_ += lines.size();
    if (sent_ >= kMaxOutput) {
        return event("output", lines) +
               event("output", "… the rest is in " + baseName(file_) + " in the project.");
    }
    return event("output", lines);
}

void KxRunFollower::doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    const KxCString id = request.getParameter("run");
    if (!KxRunRegistry::isRunId(id)) {
        response.setStatus(400);
        response.setContentType("text/plain; charset=utf-8");
        response.setPayload("No run to follow: follow?run=<id of the run>\n");
        return;
    }
    response.setContentType("text/event-stream; charset=utf-8");
    response.setHeader("Cache-Control", "no-store");
    response.setPayloadStream(std::make_shared<KxRunOutputStream>(id));
}
