// One timer per connection: a phase ends at its own limit, and once it has
// run out the expiry is acted on again until the phase ends, since the
// operation it cancels may have had nothing pending at that moment.
#include "platform/container/KxConnectionDeadline.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <memory>

namespace kx::container {
namespace {

using namespace std::chrono_literals;

TEST(ConnectionDeadline, AnExpiredPhaseIsActedOnUntilTheNextPhaseStarts) {
    boost::asio::io_context io;
    KxConnectionDeadline deadline(io.get_executor(), 100ms);
    auto owner = std::make_shared<int>(0);
    int expiries = 0;
    deadline.bind(owner, [&] {
        EXPECT_TRUE(deadline.expired());
        if (++expiries == 2) {
            deadline.arm(10s);  // the phase's handler moves on
        }
    });
    const auto started = KxConnectionDeadline::Clock::now();
    deadline.arm(150ms);
    io.run_for(700ms);
    EXPECT_EQ(expiries, 2);
    EXPECT_FALSE(deadline.expired());
    EXPECT_GE(KxConnectionDeadline::Clock::now() - started, 150ms);

    // A phase that is disarmed in time never expires.
    deadline.arm(150ms);
    deadline.disarm();
    io.restart();
    io.run_for(400ms);
    EXPECT_EQ(expiries, 2);
    deadline.cancel();
}

}  // namespace
}  // namespace kx::container
