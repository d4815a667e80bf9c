#pragma once
// The deadline of a connection's current phase (waiting for a request,
// reading its head or body, sending the answer, lingering) on one timer
// that lives as long as the connection.
//
// Moving the deadline is a store: the timer waits for the earliest moment a
// deadline could fall (never more than the granularity ahead) and, when it
// fires, decides whether the phase really ran out or waits on for the
// deadline set meanwhile. So a request costs no timer operation while it is
// answered faster than the granularity, and a phase still ends exactly at
// its deadline. Not thread-safe: every call and the timer's handler run on
// the connection's strand.
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <functional>
#include <memory>

namespace kx::container {

class KxConnectionDeadline {
  public:
    using Clock = std::chrono::steady_clock;

    // granularity: how far ahead the timer waits at most; the shortest
    // limit a phase uses (shorter limits still hold, at the cost of moving
    // the timer).
    KxConnectionDeadline(const boost::asio::any_io_executor& executor,
                         std::chrono::milliseconds granularity);

    // Who is kept alive while the timer waits (the connection), and what
    // runs when a phase's deadline passes. Call once, before arm().
    void bind(std::weak_ptr<void> owner, std::function<void()> onExpiry);

    // A phase starts: it ends limit from now; expired() is false again.
    void arm(std::chrono::milliseconds limit);
    // No phase is timed (the answer is being made); the timer stops at its
    // next wake-up.
    void disarm() { deadline_ = Clock::time_point::max(); }
    // The connection closes: no phase is timed and the timer's wait is
    // cancelled, so the owner is released at once.
    void cancel();

    // Whether the current phase ran out (onExpiry has run for it, and runs
    // again every 100 ms until arm(), disarm() or cancel() ends the phase).
    bool expired() const { return expired_; }

  private:
    void waitUntil(Clock::time_point when);
    void onTimer();

    boost::asio::steady_timer timer_;
    const std::chrono::milliseconds granularity_;
    std::weak_ptr<void> owner_;
    std::function<void()> onExpiry_;
    Clock::time_point deadline_ = Clock::time_point::max();
    Clock::time_point expiry_{};  // when the pending wait ends
    bool waiting_ = false;
    bool expired_ = false;
    // Numbers the waits: a handler of an older one (cancelled, or already
    // queued when the timer moved) does nothing.
    unsigned ticket_ = 0;
};

}  // namespace kx::container
