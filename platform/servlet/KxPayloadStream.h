#pragma once
// A response body that is produced while it is sent: the console output of a
// run as it arrives, a zip archive of a project written as it is read. The
// container asks for one piece after another on a thread of its own and
// sends each piece as it comes (chunked), so a servlet can answer with more
// than it could hold and the client sees the first piece at once.
#include <atomic>
#include <optional>
#include <string>

class KxPayloadStream {
  public:
    KxPayloadStream() = default;
    KxPayloadStream(const KxPayloadStream&) = delete;
    KxPayloadStream& operator=(const KxPayloadStream&) = delete;
    virtual ~KxPayloadStream() = default;

    // The next piece of the body, waiting for it as long as needed; an empty
    // optional ends the body. An empty string sends nothing and asks again
    // (a stream that waits should return one now and then, so that it sees
    // cancelled() in time). Called from one thread at a time.
    virtual std::optional<std::string> next() = 0;

    // Set by the container when the client has gone or the container stops:
    // whatever next() waits for, it should end the body soon.
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }

  private:
    std::atomic<bool> cancelled_{false};
};
