#include "platform/container/KxConnectionDeadline.h"

#include <algorithm>

namespace kx::container {

namespace {

// A granularity below this would wake the timer over and over for nothing.
constexpr std::chrono::milliseconds kFinestGranularity{100};

}  // namespace

KxConnectionDeadline::KxConnectionDeadline(const boost::asio::any_io_executor& executor,
                                           std::chrono::milliseconds granularity)
    : timer_(executor), granularity_(std::max(granularity, kFinestGranularity)) {}

void KxConnectionDeadline::bind(std::weak_ptr<void> owner, std::function<void()> onExpiry) {
    owner_ = std::move(owner);
    onExpiry_ = std::move(onExpiry);
}

void KxConnectionDeadline::arm(std::chrono::milliseconds limit) {
    const auto now = Clock::now();
    deadline_ = now + limit;
    expired_ = false;
    // A wait that ends by the new deadline serves as it is: when it fires it
    // finds the deadline not yet reached and waits on.
    if (!waiting_ || deadline_ < expiry_) {
        waitUntil(std::min(deadline_, now + granularity_));
    }
}

void KxConnectionDeadline::cancel() {
    deadline_ = Clock::time_point::max();
    if (waiting_) {
        ++ticket_;
        waiting_ = false;
        timer_.cancel();
    }
}

void KxConnectionDeadline::waitUntil(Clock::time_point when) {
    auto owner = owner_.lock();
    if (!owner) {
        return;  // the connection is being destroyed
    }
    timer_.expires_at(when);  // cancels a pending wait, whose ticket is then stale
    expiry_ = when;
    waiting_ = true;
    const unsigned ticket = ++ticket_;
    timer_.async_wait([this, owner = std::move(owner), ticket](boost::system::error_code error) {
        if (ticket != ticket_) {
            return;
        }
        waiting_ = false;
        if (!error) {
            onTimer();
        }
    });
}

void KxConnectionDeadline::onTimer() {
    if (deadline_ == Clock::time_point::max()) {
        return;  // nothing is timed now; the next arm() starts a wait
    }
    const auto now = Clock::now();
    if (now >= deadline_) {
        expired_ = true;
        onExpiry_();
        // The phase's operation may have been between two steps of a
        // composed read (a byte had just come), with nothing pending to
        // cancel: keep acting on the expiry until the phase ends, so that a
        // client dripping bytes cannot slip past its limit.
        waitUntil(now + kFinestGranularity);
        return;
    }
    waitUntil(std::min(deadline_, now + granularity_));
}

}  // namespace kx::container
