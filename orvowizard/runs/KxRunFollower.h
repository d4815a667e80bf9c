#pragma once
// Follows a generator run or a build while it happens: answers
// follow?run=<id> with a stream of Server-Sent Events that carries the run's
// console output as it arrives ("output" events, one data line per console
// line) and ends with an "end" event when the run ends. A run that has not
// started within a while gets an "unknown" event. The pages' script opens it
// when a form that starts a run is sent; the form's own answer then takes
// the browser on to the status page as before.
#include <sys/types.h>

#include <chrono>
#include <string>

#include "platform/servlet/KxPayloadStream.h"
#include "platform/servlet/KxServlet.h"

class KxRunOutputStream : public KxPayloadStream {
  public:
    struct Timing {
        // For the run to be known: as long as a run may take, since a form
        // sent from another tab of the same browser waits for that one's run.
        // The page that follows goes (and so ends the stream) when its form's
        // answer arrives.
        std::chrono::milliseconds startWait{600000};
        std::chrono::milliseconds poll{150};         // at most between looks at the output
        std::chrono::milliseconds keepAlive{15000};  // a comment when nothing else is sent
    };

    explicit KxRunOutputStream(std::string id) : KxRunOutputStream(std::move(id), Timing{}) {}
    KxRunOutputStream(std::string id, Timing timing);

    std::optional<std::string> next() override;

    // Console output sent at most; past it one line says where the rest is.
    static constexpr std::size_t kMaxOutput = 1024 * 1024;
    // Output read at a time.
    static constexpr std::size_t kPieceSize = 64 * 1024;

  private:
    enum class Phase { Waiting, Following, Done };

    // The new complete lines of the output file as events; at the end of the
    // run also the last line without a line break.
    std::string readOutput(bool runEnded);
    std::string keepAliveIfDue();

    std::string id_;
    Timing timing_;
    Phase phase_ = Phase::Waiting;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastSent_;
    std::string file_;
    ino_t inode_ = 0;
    off_t offset_ = 0;
    std::string partial_;
    bool lastWasCr_ = false;  // the last byte read was a CR
    std::size_t lastRead_ = 0;
    int idlePolls_ = 0;  // looks at the output since it last grew
    std::size_t sent_ = 0;
};

class KxRunFollower : public KxHttpServlet {
  public:
    KxRunFollower() = default;
    ~KxRunFollower() override = default;

    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override;
};
