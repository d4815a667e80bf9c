// Writing a connection's answers: the head from the connection's reused
// head buffer, sent together with the body in one gathered write; a file
// body read piece by piece as the socket takes it; a streamed body sent in
// chunks as its producer makes them.
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/chunk_encode.hpp>
#include <boost/beast/http/error.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "platform/container/KxHttpConnectionImpl.h"
#include "platform/container/KxRequestHandler.h"

namespace kx::container {

namespace asio = boost::asio;
namespace http = boost::beast::http;

namespace {

// The most of a file read for one write to the socket.
constexpr std::size_t kFileBufferSize = 64 * 1024;
// How much of a request line that could not be read goes to the access log.
constexpr std::size_t kLoggedLineLimit = 2048;

// The number of bytes of the file that make the body.
std::uint64_t fileBodyLength(const KxHttpResponseData& data) {
    if (data.fileLength) {
        return *data.fileLength;
    }
    struct stat status {};
    return ::fstat(data.file->fd(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

}  // namespace

void KxHttpConnection::sendError(int status, std::string_view title, std::string_view text) {
    if (record_.request.empty()) {
        // The request was not understood: the log shows its first line as
        // it came (bounded), as far as it came.
        const std::string_view received(static_cast<const char*>(buffer_.data().data()),
                                        buffer_.size());
        record_.request =
            received.substr(0, std::min(received.find_first_of("\r\n"), kLoggedLineLimit));
    }
    write(KxRequestHandler::page(status, title, text), true);
}

void KxHttpConnection::write(KxHttpResponseData data, bool closeAfter) {
    phase_ = Phase::Writing;
    record_.status = data.status;
    const bool keepAlive =
        keepAlive_ && !closeAfter && !shared_->stopping && served_ + 1 < limits_.keepaliveRequests;
    if (data.stream) {
        if (!data.omitBody) {
            startStream(std::move(data));
            return;
        }
        data.stream->cancel();  // HEAD: the header fields only
        data.stream.reset();
    }
    KxAnswerFraming framing{.version = version_,
                            .keepAlive = keepAlive,
                            .contentLength = std::nullopt,
                            .chunked = false};
    const bool bodyless = isBodylessStatus(data.status);
    if (!bodyless) {
        // HEAD announces the length of the body it leaves out.
        framing.contentLength = data.file         ? fileBodyLength(data)
                                : data.sharedBody ? data.sharedBody->size()
                                                  : data.body.size();
    }
    head_.compose(data, framing);
    headSent_ = 0;
    piece_ = {};
    record_.bytes = 0;
    if (!bodyless && !data.omitBody) {
        if (data.file) {
            file_ = std::move(data.file);
            filePosition_ = data.fileOffset;
            fileRemaining_ = *framing.contentLength;
        } else if (data.sharedBody) {
            sharedBody_ = std::move(data.sharedBody);
            piece_ = *sharedBody_;
        } else {
            body_ = std::move(data.body);
            piece_ = body_;
        }
        record_.bytes = static_cast<std::size_t>(*framing.contentLength);
    }
    if (file_ && fileRemaining_ == 0) {
        file_.reset();  // an empty file or range: the head alone
    }
    ErrorCode error;
    if (file_ && !readFilePiece(error)) {
        onWrite(error, keepAlive);
        return;
    }
    sendPiece(keepAlive);
}

// The next piece of the file into fileBuffer_ (as large as the rest of the
// file up to kFileBufferSize, so a style sheet or a script leaves with its
// head in one write). False when the file shrank or cannot be read: the
// connection ends then, as the promised length cannot be kept.
bool KxHttpConnection::readFilePiece(ErrorCode& error) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileRemaining_, kFileBufferSize));
    if (fileBufferSize_ < wanted) {
        fileBuffer_ = std::make_unique<char[]>(wanted);
        fileBufferSize_ = wanted;
    }
    const ssize_t got =
        ::pread(file_->fd(), fileBuffer_.get(), wanted, static_cast<off_t>(filePosition_));
    if (got <= 0) {
        error = got == 0 ? ErrorCode(http::error::short_read)
                         : ErrorCode(errno, boost::system::system_category());
        file_.reset();
        return false;
    }
    filePosition_ += static_cast<std::uint64_t>(got);
    fileRemaining_ -= static_cast<std::uint64_t>(got);
    piece_ = std::string_view(fileBuffer_.get(), static_cast<std::size_t>(got));
    return true;
}

// Writes what is left of the head and the current piece of the body in one
// gathered write; the send limit runs for each write, so a large answer
// reaches a slow client as long as it keeps reading.
void KxHttpConnection::sendPiece(bool keepAlive) {
    arm(limits_.sendTimeout);
    const std::string_view head = head_.text().substr(headSent_);
    const std::array<asio::const_buffer, 2> buffers{asio::buffer(head.data(), head.size()),
                                                    asio::buffer(piece_.data(), piece_.size())};
    socket_.async_write_some(
        buffers, [self = shared_from_this(), keepAlive](ErrorCode error, std::size_t sent) {
            self->onPieceSent(error, sent, keepAlive);
        });
}

void KxHttpConnection::onPieceSent(ErrorCode error, std::size_t sent, bool keepAlive) {
    if (error || timedOut()) {
        file_.reset();
        sharedBody_.reset();
        onWrite(error, keepAlive);
        return;
    }
    const std::size_t headLeft = head_.text().size() - headSent_;
    const std::size_t ofHead = std::min(sent, headLeft);
    headSent_ += ofHead;
    piece_.remove_prefix(sent - ofHead);
    if (headSent_ < head_.text().size() || !piece_.empty()) {
        sendPiece(keepAlive);
        return;
    }
    if (file_ && fileRemaining_ > 0) {
        if (!readFilePiece(error)) {
            onWrite(error, keepAlive);
            return;
        }
        sendPiece(keepAlive);
        return;
    }
    file_.reset();
    sharedBody_.reset();
    std::string().swap(body_);  // a large page is not held while the connection waits
    onWrite(error, keepAlive);
}

// ---- streamed answers -----------------------------------------------------------
// The head goes first; then a thread of the stream's own makes one piece
// after another (it may wait as long as the stream needs) and the
// connection sends each as a chunk (HTTP/1.0: as it is, and the connection
// ends with the body). While the stream waits, a read on the socket notices
// a client that has gone.

void KxHttpConnection::startStream(KxHttpResponseData data) {
    if (shared_->streams.fetch_add(1) >= limits_.maxStreams) {
        --shared_->streams;
        data.stream->cancel();
        auto busy = KxRequestHandler::page(503, "Service unavailable",
                                           "Too many answers are being streamed; try again.");
        busy.setHeader("Retry-After", "5");
        write(std::move(busy), true);
        return;
    }
    phase_ = Phase::Streaming;
    hungUp_ = false;
    record_.bytes = 0;
    const bool chunked = version_ >= 11;
    // The connection ends after the stream: the hang-up watch holds its
    // read side until then.
    head_.compose(data, {.version = version_,
                         .keepAlive = false,
                         .contentLength = std::nullopt,
                         .chunked = chunked});
    pump_ = std::make_shared<KxStreamPump>(std::move(data.stream));
    arm(limits_.sendTimeout);
    asio::async_write(socket_, head_.buffer(),
                      [self = shared_from_this(), chunked](ErrorCode error, std::size_t) {
                          self->disarm();
                          if (error || self->timedOut()) {
                              self->endStream(true);
                              return;
                          }
                          self->watchForHangUp();
                          self->startProducer(chunked);
                      });
}

void KxHttpConnection::startProducer(bool chunked) {
    std::thread([self = shared_from_this(), pump = pump_, chunked] {
        while (pump->awaitTurn()) {
            std::optional<std::string> piece;
            try {
                if (!pump->stream->cancelled()) {
                    piece = pump->stream->next();
                }
            } catch (...) {
                piece.reset();  // a failing stream ends its body
            }
            const bool last = !piece;
            asio::post(self->socket_.get_executor(),
                       [self, pump, piece = std::move(piece), chunked]() mutable {
                           self->onStreamPiece(pump, std::move(piece), chunked);
                       });
            if (last) {
                break;
            }
        }
    }).detach();
}

void KxHttpConnection::onStreamPiece(const std::shared_ptr<KxStreamPump>& pump,
                                     std::optional<std::string> piece, bool chunked) {
    if (pump != pump_) {
        return;  // the stream was given up already
    }
    if (!piece) {
        if (!chunked) {
            endStream(false);
            return;
        }
        arm(limits_.sendTimeout);
        auto last = std::make_shared<http::chunk_last<>>();
        asio::async_write(socket_, *last,
                          [self = shared_from_this(), last](ErrorCode error, std::size_t) {
                              self->disarm();
                              self->endStream(error || self->timedOut());
                          });
        return;
    }
    if (piece->empty()) {
        pump->release();
        return;
    }
    record_.bytes += piece->size();
    auto text = std::make_shared<std::string>(std::move(*piece));
    auto done = [self = shared_from_this(), pump, text](ErrorCode error, std::size_t) {
        self->disarm();
        if (error || self->timedOut()) {
            self->endStream(true);
        } else {
            pump->release();
        }
    };
    arm(limits_.sendTimeout);
    if (chunked) {
        asio::async_write(socket_, http::make_chunk(asio::buffer(*text)), std::move(done));
    } else {
        asio::async_write(socket_, asio::buffer(*text), std::move(done));
    }
}

// A client sends nothing while it reads a stream: a read that ends means it
// has gone (or sent what it should not), and the stream is cancelled.
void KxHttpConnection::watchForHangUp() {
    socket_.async_read_some(asio::buffer(discard_),
                            [self = shared_from_this(), pump = pump_](ErrorCode, std::size_t) {
                                if (pump == self->pump_) {
                                    pump->stream->cancel();
                                    self->hungUp_ = true;
                                }
                            });
}

void KxHttpConnection::endStream(bool failed) {
    if (!pump_) {
        return;
    }
    pump_->abandon();
    pump_.reset();
    --shared_->streams;
    // The read that watched for the client's hang-up ends here; the
    // connection closes after a streamed answer.
    ErrorCode ignored;
    socket_.cancel(ignored);
    onWrite(failed || hungUp_ ? asio::error::operation_aborted : ErrorCode{}, false);
}

// The answer is sent (or given up): logged, and the connection reads the
// next request, lingers or closes.
void KxHttpConnection::onWrite(ErrorCode error, bool keepAlive) {
    disarm();
    const bool failed = error || timedOut();
    record_.time = std::chrono::system_clock::now();
    record_.duration =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
    shared_->log.access(record_);
    inFlight_.reset();
    ++served_;
    if (failed) {
        closeNow();
    } else if (!keepAlive) {
        lingerAndClose();
    } else {
        readRequest();
    }
}

}  // namespace kx::container
