#pragma once
// The connection itself, shared by the two sources that implement it:
// KxHttpConnection.cpp (reading a request, handing it on, closing) and
// KxHttpAnswers.cpp (writing the answer: buffered, from a file, streamed).
// Everything here runs on the connection's strand.
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/container/KxAnswerHead.h"
#include "platform/container/KxConnectionDeadline.h"
#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpConnection.h"
#include "platform/container/KxHttpData.h"
#include "platform/container/KxStreamPump.h"

namespace kx::container {

// Counts a request as in flight for as long as a copy is held: by the
// connection until the answer is written, by the servlet job until it ends.
// It also remembers whether the answer was delivered, as only the first
// delivery counts.
class KxRequestInFlight {
  public:
    explicit KxRequestInFlight(std::shared_ptr<KxConnectionShared> shared)
        : shared_(std::move(shared)) {
        ++shared_->inFlight;
    }
    KxRequestInFlight(const KxRequestInFlight&) = delete;
    KxRequestInFlight& operator=(const KxRequestInFlight&) = delete;
    ~KxRequestInFlight() { --shared_->inFlight; }

    // True for the first caller only.
    bool deliver() { return !delivered_.exchange(true); }

  private:
    std::shared_ptr<KxConnectionShared> shared_;
    std::atomic<bool> delivered_{false};
};

class KxHttpConnection : public std::enable_shared_from_this<KxHttpConnection> {
  public:
    using tcp = boost::asio::ip::tcp;
    using Clock = std::chrono::steady_clock;
    using ErrorCode = boost::system::error_code;

    KxHttpConnection(tcp::socket socket, std::shared_ptr<KxConnectionShared> shared);
    KxHttpConnection(const KxHttpConnection&) = delete;
    KxHttpConnection& operator=(const KxHttpConnection&) = delete;
    ~KxHttpConnection() { --shared_->open; }

    void start();
    // The container stops: a connection waiting for a request closes now; a
    // streamed answer is asked to end.
    void stop();

  private:
    enum class Phase { Idle, Header, Body, Handling, Writing, Streaming, Closing };

    // ---- deadlines: one timer for every phase (KxConnectionDeadline) ----
    void arm(std::chrono::milliseconds limit) { deadline_.arm(limit); }
    void disarm() { deadline_.disarm(); }
    bool timedOut() const { return deadline_.expired(); }

    // ---- reading (KxHttpConnection.cpp) ----
    void readRequest();
    void awaitRequest();
    void readHeader();
    void onHeader(ErrorCode error);
    void readBody();
    void onBody(ErrorCode error);
    void onReadError(ErrorCode error);
    void rememberRequestLine();
    void dispatch();

    // ---- answers (KxHttpAnswers.cpp) ----
    void sendError(int status, std::string_view title, std::string_view text);
    void write(KxHttpResponseData data, bool closeAfter);
    void sendPiece(bool keepAlive);
    void onPieceSent(ErrorCode error, std::size_t sent, bool keepAlive);
    bool readFilePiece(ErrorCode& error);
    void startStream(KxHttpResponseData data);
    void startProducer(bool chunked);
    void onStreamPiece(const std::shared_ptr<KxStreamPump>& pump, std::optional<std::string> piece,
                       bool chunked);
    void watchForHangUp();
    void endStream(bool failed);
    void onWrite(ErrorCode error, bool keepAlive);

    // ---- closing (KxHttpConnection.cpp) ----
    void lingerAndClose();
    void linger();
    void closeNow();

    tcp::socket socket_;
    KxConnectionDeadline deadline_;
    std::shared_ptr<KxConnectionShared> shared_;
    const KxConnectionLimits& limits_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    std::shared_ptr<KxRequestInFlight> inFlight_;
    std::shared_ptr<KxStreamPump> pump_;  // while an answer is streamed
    bool hungUp_ = false;
    std::array<char, 4096> discard_{};

    // The answer being sent: its head, then its body (a string, a kept
    // string, or a file read piece by piece into fileBuffer_).
    KxAnswerHead head_;
    std::size_t headSent_ = 0;
    std::string body_;
    std::shared_ptr<const std::string> sharedBody_;  // a kept body, not copied
    std::shared_ptr<KxBodyFile> file_;
    std::uint64_t filePosition_ = 0;
    std::uint64_t fileRemaining_ = 0;
    std::unique_ptr<char[]> fileBuffer_;
    std::size_t fileBufferSize_ = 0;
    std::string_view piece_;  // of body_, sharedBody_ or fileBuffer_, not yet sent

    Phase phase_ = Phase::Header;
    bool keepAlive_ = false;
    unsigned version_ = 11;
    unsigned served_ = 0;
    Clock::time_point lingerUntil_;
    Clock::time_point started_ = Clock::now();

    // The access log's line, filled as the request is read and answered;
    // its strings keep their capacity from one request to the next.
    KxAccessRecord record_;
};

}  // namespace kx::container
