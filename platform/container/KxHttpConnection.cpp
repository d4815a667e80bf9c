#include "platform/container/KxHttpConnection.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <sys/stat.h>

#include <array>
#include <condition_variable>
#include <optional>
#include <thread>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxRequestHandler.h"

namespace kx::container {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using ErrorCode = boost::system::error_code;

namespace {

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// The most of a file read for one write to the socket.
constexpr std::size_t kFileBufferSize = 64 * 1024;
// How much of a request line that could not be read goes to the access log.
constexpr std::size_t kLoggedLineLimit = 2048;

// Counts a request as in flight for as long as a copy is held: by the
// connection until the answer is written, by the servlet job until it ends.
class InFlight {
  public:
    explicit InFlight(std::shared_ptr<KxConnectionShared> shared) : shared_(std::move(shared)) {
        ++shared_->inFlight;
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    ~InFlight() { --shared_->inFlight; }

  private:
    std::shared_ptr<KxConnectionShared> shared_;
};

// Hands the pieces of a streamed answer from the thread that produces them
// to the connection that sends them: the producer waits until the piece
// before has been written, so at most one piece is held at a time.
struct StreamPump {
    explicit StreamPump(std::shared_ptr<KxPayloadStream> stream) : stream(std::move(stream)) {}

    // The producer: waits until the next piece may be made; false once the
    // connection has given up on the stream.
    bool awaitTurn() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return mayProduce || abandoned; });
        mayProduce = false;
        return !abandoned;
    }
    // The connection: the piece is written, make the next one.
    void release() {
        std::lock_guard lock(mutex);
        mayProduce = true;
        changed.notify_one();
    }
    // The connection: no more pieces are wanted.
    void abandon() {
        stream->cancel();
        std::lock_guard lock(mutex);
        abandoned = true;
        changed.notify_one();
    }

    const std::shared_ptr<KxPayloadStream> stream;
    std::mutex mutex;
    std::condition_variable changed;
    bool mayProduce = true;
    bool abandoned = false;
};

// A regular file, or a range of it, as the body of an answer: read piece by
// piece as the socket takes it, so memory stays the same whatever its size.
struct FileRangeBody {
    struct value_type {
        std::shared_ptr<KxBodyFile> file;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };

    static std::uint64_t size(const value_type& body) { return body.length; }

    class writer {
      public:
        using const_buffers_type = asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(http::header<isRequest, Fields>&, value_type& body)
            : body_(body),
              position_(body.offset),
              remaining_(body.length),
              capacity_(
                  static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, kFileBufferSize))),
              buffer_(new char[std::max<std::size_t>(capacity_, 1)]) {}

        void init(ErrorCode& error) { error = {}; }

        boost::optional<std::pair<const_buffers_type, bool>> get(ErrorCode& error) {
            error = {};
            if (remaining_ == 0) {
                return boost::none;
            }
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, capacity_));
            const ssize_t got =
                ::pread(body_.file->fd(), buffer_.get(), wanted, static_cast<off_t>(position_));
            if (got <= 0) {
                // The file shrank or cannot be read: the connection ends, as
                // the promised length cannot be kept.
                error = got == 0 ? ErrorCode(http::error::short_read)
                                 : ErrorCode(errno, boost::system::system_category());
                return boost::none;
            }
            position_ += static_cast<std::uint64_t>(got);
            remaining_ -= static_cast<std::uint64_t>(got);
            return {
                {asio::const_buffer(buffer_.get(), static_cast<std::size_t>(got)), remaining_ > 0}};
        }

      private:
        value_type& body_;
        std::uint64_t position_;
        std::uint64_t remaining_;
        // As large as the body up to kFileBufferSize, so a style sheet or a
        // script leaves with its header in one write.
        std::size_t capacity_;
        std::unique_ptr<char[]> buffer_;
    };
};

// The number of bytes of the file that make the body.
std::uint64_t fileBodyLength(const KxHttpResponseData& data) {
    if (data.fileLength) {
        return *data.fileLength;
    }
    struct stat status {};
    return ::fstat(data.file->fd(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

}  // namespace

class KxHttpConnection : public std::enable_shared_from_this<KxHttpConnection> {
  public:
    KxHttpConnection(tcp::socket socket, std::shared_ptr<KxConnectionShared> shared)
        : socket_(std::move(socket)),
          timer_(socket_.get_executor()),
          shared_(std::move(shared)),
          limits_(shared_->limits) {
        ++shared_->open;
        ErrorCode error;
        // Answers leave as soon as they are written: the last piece of one
        // must not wait for the client's delayed acknowledgement.
        socket_.set_option(tcp::no_delay(true), error);
        const auto remote = socket_.remote_endpoint(error);
        client_ = error ? std::string("-") : remote.address().to_string();
    }

    KxHttpConnection(const KxHttpConnection&) = delete;
    KxHttpConnection& operator=(const KxHttpConnection&) = delete;
    ~KxHttpConnection() { --shared_->open; }

    void start() {
        asio::dispatch(socket_.get_executor(),
                       [self = shared_from_this()] { self->readRequest(); });
    }

    // The container stops: a connection waiting for a request closes now; a
    // streamed answer is asked to end.
    void stop() {
        asio::dispatch(socket_.get_executor(), [self = shared_from_this()] {
            if (self->phase_ == Phase::Idle || self->phase_ == Phase::Header ||
                self->phase_ == Phase::Closing) {
                self->closeNow();
            } else if (self->phase_ == Phase::Streaming && self->pump_) {
                self->pump_->stream->cancel();
            }
        });
    }

  private:
    enum class Phase { Idle, Header, Body, Handling, Writing, Streaming, Closing };

    // ---- deadlines ----------------------------------------------------------
    // One timer per connection; each phase sets its own limit. When it runs
    // out the pending socket operation is cancelled and its handler sees
    // timedOut_.

    void arm(std::chrono::milliseconds limit) {
        ++generation_;
        timedOut_ = false;
        timer_.expires_after(limit);
        timer_.async_wait([self = shared_from_this(), generation = generation_](ErrorCode error) {
            if (error || generation != self->generation_) {
                return;
            }
            self->timedOut_ = true;
            ErrorCode ignored;
            self->socket_.cancel(ignored);
        });
    }

    void disarm() {
        ++generation_;
        timer_.cancel();
    }

    // ---- reading ------------------------------------------------------------

    void readRequest() {
        if (shared_->stopping) {
            closeNow();
            return;
        }
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(limits_.clientHeaderBufferSize));
        parser_->body_limit(limits_.clientMaxBodySize);
        method_.clear();
        target_.clear();
        requestLine_.clear();
        referer_.clear();
        userAgent_.clear();
        if (served_ > 0 && buffer_.size() == 0) {
            // Kept alive: wait for the next request's first bytes.
            phase_ = Phase::Idle;
            arm(limits_.keepaliveTimeout);
            socket_.async_wait(tcp::socket::wait_read,
                               [self = shared_from_this()](ErrorCode error) {
                                   if (error || self->timedOut_ || self->shared_->stopping) {
                                       self->closeNow();
                                   } else {
                                       self->readHeader();
                                   }
                               });
        } else {
            readHeader();
        }
    }

    void readHeader() {
        phase_ = Phase::Header;
        started_ = Clock::now();
        arm(limits_.clientHeaderTimeout);
        http::async_read_header(
            socket_, buffer_, *parser_,
            [self = shared_from_this()](ErrorCode error, std::size_t) { self->onHeader(error); });
    }

    void onHeader(ErrorCode error) {
        if (error) {
            onReadError(error);
            return;
        }
        rememberRequestLine();
        if (parser_->is_done()) {
            dispatch();
            return;
        }
        const auto expect = parser_->get()[http::field::expect];
        if (beast::iequals(expect, "100-continue")) {
            arm(limits_.sendTimeout);
            asio::async_write(socket_, asio::buffer(kContinue.data(), kContinue.size()),
                              [self = shared_from_this()](ErrorCode error, std::size_t) {
                                  if (error || self->timedOut_) {
                                      self->closeNow();
                                  } else {
                                      self->readBody();
                                  }
                              });
            return;
        }
        readBody();
    }

    void readBody() {
        phase_ = Phase::Body;
        arm(limits_.clientBodyTimeout);
        http::async_read(
            socket_, buffer_, *parser_,
            [self = shared_from_this()](ErrorCode error, std::size_t) { self->onBody(error); });
    }

    void onBody(ErrorCode error) {
        if (error) {
            onReadError(error);
            return;
        }
        dispatch();
    }

    void onReadError(ErrorCode error) {
        if (timedOut_) {
            sendError(408, "Request timeout", "The request did not arrive in time.");
        } else if (error == http::error::header_limit) {
            sendError(431, "Request header fields too large",
                      "The request line and header fields are larger than this server accepts.");
        } else if (error == http::error::body_limit) {
            sendError(413, "Content too large",
                      "The request body is larger than this server accepts.");
        } else if (error == http::error::end_of_stream || error == asio::error::eof ||
                   error == asio::error::connection_reset || error == asio::error::broken_pipe ||
                   error == asio::error::operation_aborted ||
                   error == asio::error::bad_descriptor) {
            closeNow();
        } else {
            sendError(400, "Bad request", "The request is not valid HTTP.");
        }
    }

    void rememberRequestLine() {
        const auto& request = parser_->get();
        method_ = std::string(request.method_string());
        target_ = std::string(request.target());
        requestLine_ =
            method_ + " " + target_ + (request.version() == 10 ? " HTTP/1.0" : " HTTP/1.1");
        referer_ = std::string(request[http::field::referer]);
        userAgent_ = std::string(request[http::field::user_agent]);
    }

    // ---- handling -----------------------------------------------------------

    void dispatch() {
        disarm();
        phase_ = Phase::Handling;
        auto& message = parser_->get();
        keepAlive_ = message.keep_alive();
        version_ = message.version();
        if (shared_->stopping) {
            sendError(503, "Service unavailable", "The server is stopping.");
            return;
        }

        KxHttpRequestData request;
        request.method = method_;
        request.target = target_;
        for (const auto& field : message) {
            request.headers.emplace_back(std::string(field.name_string()),
                                         std::string(field.value()));
        }
        request.body = std::move(message.body());

        auto inFlight = std::make_shared<InFlight>(shared_);
        inFlight_ = inFlight;
        auto delivered = std::make_shared<std::atomic<bool>>(false);
        shared_->handler.handle(std::move(request), [self = shared_from_this(), inFlight,
                                                     delivered](KxHttpResponseData response) {
            if (delivered->exchange(true)) {
                return;
            }
            asio::post(self->socket_.get_executor(),
                       [self, response = std::move(response)]() mutable {
                           self->write(std::move(response), false);
                       });
        });
    }

    // ---- writing ------------------------------------------------------------

    void sendError(int status, std::string_view title, std::string_view text) {
        if (requestLine_.empty()) {
            // The request was not understood: the log shows its first line
            // as it came (bounded), as far as it came.
            const std::string_view received(static_cast<const char*>(buffer_.data().data()),
                                            buffer_.size());
            requestLine_ =
                received.substr(0, std::min(received.find_first_of("\r\n"), kLoggedLineLimit));
        }
        write(KxRequestHandler::page(status, title, text), true);
    }

    void write(KxHttpResponseData data, bool closeAfter) {
        phase_ = Phase::Writing;
        status_ = data.status;
        const bool keepAlive = keepAlive_ && !closeAfter && !shared_->stopping &&
                               served_ + 1 < limits_.keepaliveRequests;
        if (data.stream) {
            if (data.omitBody) {
                data.stream->cancel();  // HEAD: the header fields only
                data.stream.reset();
            } else {
                startStream(std::move(data));
                return;
            }
        }
        if (data.file && !data.omitBody) {
            auto response = std::make_shared<http::response<FileRangeBody>>();
            response->body().offset = data.fileOffset;
            response->body().length = fileBodyLength(data);
            response->body().file = std::move(data.file);
            setHeaders(*response, data, keepAlive);
            response->prepare_payload();
            bytes_ = response->body().length;
            send(std::move(response), keepAlive);
            return;
        }
        auto response = std::make_shared<http::response<http::string_body>>();
        setHeaders(*response, data, keepAlive);
        if (data.file) {
            // HEAD: the file's length, no body.
            response->content_length(fileBodyLength(data));
            bytes_ = 0;
        } else {
            response->body() = std::move(data.body);
            response->prepare_payload();
            bytes_ = response->body().size();
            if (data.omitBody) {
                response->body().clear();  // Content-Length stays that of the body
                bytes_ = 0;
            }
        }
        send(std::move(response), keepAlive);
    }

    template <class Body>
    void setHeaders(http::response<Body>& response, const KxHttpResponseData& data,
                    bool keepAlive) {
        response.version(version_);
        response.result(static_cast<unsigned>(data.status));
        for (const auto& [name, value] : data.headers) {
            response.insert(name, value);
        }
        response.set(http::field::server, "kxcontainer");
        response.set("X-Content-Type-Options", "nosniff");
        if (!data.findHeader("Content-Security-Policy")) {
            response.set("Content-Security-Policy", kContentSecurityPolicy);
        }
        response.keep_alive(keepAlive);
    }

    // Writes the answer piece by piece; the send timeout runs for each piece,
    // so a large file reaches a slow client as long as it keeps reading.
    template <class Body>
    void send(std::shared_ptr<http::response<Body>> response, bool keepAlive) {
        auto serializer = std::make_shared<http::response_serializer<Body>>(*response);
        sendPiece(std::move(response), std::move(serializer), keepAlive);
    }

    template <class Body>
    void sendPiece(std::shared_ptr<http::response<Body>> response,
                   std::shared_ptr<http::response_serializer<Body>> serializer, bool keepAlive) {
        arm(limits_.sendTimeout);
        http::async_write_some(socket_, *serializer,
                               [self = shared_from_this(), response, serializer, keepAlive](
                                   ErrorCode error, std::size_t) {
                                   if (!error && !self->timedOut_ && !serializer->is_done()) {
                                       self->sendPiece(response, serializer, keepAlive);
                                   } else {
                                       self->onWrite(error, keepAlive);
                                   }
                               });
    }

    // ---- streamed answers -----------------------------------------------------
    // The header goes first; then a thread of the stream's own makes one
    // piece after another (it may wait as long as the stream needs) and the
    // connection sends each as a chunk (HTTP/1.0: as it is, and the
    // connection ends with the body). While the stream waits, a read on the
    // socket notices a client that has gone.

    void startStream(KxHttpResponseData data) {
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
        const bool chunked = version_ >= 11;
        // The connection ends after the stream: the hang-up watch holds its
        // read side until then.
        auto header = std::make_shared<http::response<http::empty_body>>();
        setHeaders(*header, data, false);
        if (chunked) {
            header->chunked(true);
        }
        pump_ = std::make_shared<StreamPump>(std::move(data.stream));
        auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*header);
        arm(limits_.sendTimeout);
        http::async_write_header(
            socket_, *serializer,
            [self = shared_from_this(), header, serializer, chunked](ErrorCode error, std::size_t) {
                self->disarm();
                if (error || self->timedOut_) {
                    self->endStream(true);
                    return;
                }
                self->watchForHangUp();
                self->startProducer(chunked);
            });
    }

    void startProducer(bool chunked) {
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
                               self->onPiece(pump, std::move(piece), chunked);
                           });
                if (last) {
                    break;
                }
            }
        }).detach();
    }

    void onPiece(const std::shared_ptr<StreamPump>& pump, std::optional<std::string> piece,
                 bool chunked) {
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
                                  self->endStream(error || self->timedOut_);
                              });
            return;
        }
        if (piece->empty()) {
            pump->release();
            return;
        }
        bytes_ += piece->size();
        auto text = std::make_shared<std::string>(std::move(*piece));
        auto done = [self = shared_from_this(), pump, text](ErrorCode error, std::size_t) {
            self->disarm();
            if (error || self->timedOut_) {
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

    // A client sends nothing while it reads a stream: a read that ends means
    // it has gone (or sent what it should not), and the stream is cancelled.
    void watchForHangUp() {
        socket_.async_read_some(asio::buffer(discard_),
                                [self = shared_from_this(), pump = pump_](ErrorCode, std::size_t) {
                                    if (pump == self->pump_) {
                                        pump->stream->cancel();
                                        self->hungUp_ = true;
                                    }
                                });
    }

    void endStream(bool failed) {
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

    void onWrite(ErrorCode error, bool keepAlive) {
        disarm();
        KxAccessRecord record;
        record.client = client_;
        record.request = requestLine_;
        record.referer = referer_;
        record.userAgent = userAgent_;
        record.time = std::chrono::system_clock::now();
        record.status = status_;
        record.bytes = bytes_;
        record.duration =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
        shared_->log.access(record);
        inFlight_.reset();
        ++served_;
        if (error || timedOut_) {
            closeNow();
        } else if (!keepAlive) {
            lingerAndClose();
        } else {
            readRequest();
        }
    }

    // ---- closing ------------------------------------------------------------

    // Ends sending, then reads and drops what the client still sends, so the
    // answer already sent is not destroyed by a reset on close.
    void lingerAndClose() {
        phase_ = Phase::Closing;
        ErrorCode ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        lingerUntil_ = Clock::now() + limits_.lingeringTime;
        linger();
    }

    void linger() {
        const auto now = Clock::now();
        if (now >= lingerUntil_ || shared_->stopping) {
            closeNow();
            return;
        }
        arm(std::min(limits_.lingeringTimeout,
                     std::chrono::duration_cast<std::chrono::milliseconds>(lingerUntil_ - now)));
        socket_.async_read_some(asio::buffer(discard_),
                                [self = shared_from_this()](ErrorCode error, std::size_t) {
                                    if (error || self->timedOut_) {
                                        self->closeNow();
                                    } else {
                                        self->linger();
                                    }
                                });
    }

    void closeNow() {
        disarm();
        phase_ = Phase::Closing;
        ErrorCode ignored;
        socket_.shutdown(tcp::socket::shutdown_both, ignored);
        socket_.close(ignored);
    }

    tcp::socket socket_;
    asio::steady_timer timer_;
    std::shared_ptr<KxConnectionShared> shared_;
    const KxConnectionLimits& limits_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::shared_ptr<InFlight> inFlight_;
    std::shared_ptr<StreamPump> pump_;  // while an answer is streamed
    bool hungUp_ = false;
    std::array<char, 4096> discard_{};

    Phase phase_ = Phase::Header;
    unsigned generation_ = 0;
    bool timedOut_ = false;
    bool keepAlive_ = false;
    unsigned version_ = 11;
    unsigned served_ = 0;
    Clock::time_point lingerUntil_;

    // For the access log.
    std::string client_;
    std::string method_;
    std::string target_;
    std::string requestLine_;
    std::string referer_;
    std::string userAgent_;
    int status_ = 0;
    std::size_t bytes_ = 0;
    Clock::time_point started_ = Clock::now();
};

void startHttpConnection(tcp::socket socket, std::shared_ptr<KxConnectionShared> shared) {
    auto connection = std::make_shared<KxHttpConnection>(std::move(socket), shared);
    {
        std::lock_guard lock(shared->mutex);
        std::erase_if(shared->connections, [](const auto& weak) { return weak.expired(); });
        shared->connections.push_back(connection);
    }
    connection->start();
}

void closeIdleHttpConnections(KxConnectionShared& shared) {
    std::vector<std::weak_ptr<KxHttpConnection>> connections;
    {
        std::lock_guard lock(shared.mutex);
        connections = shared.connections;
    }
    for (const auto& weak : connections) {
        if (auto connection = weak.lock()) {
            connection->stop();
        }
    }
}

}  // namespace kx::container
