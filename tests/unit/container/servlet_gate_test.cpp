#include "platform/container/KxServletGate.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace kx::container {
namespace {

// Posted jobs wait here and run when the test says so, on its thread, as a server thread would.
struct Posted {
    std::vector<KxServletGate::Job> jobs;
    KxServletGate::Post post() {
        return [this](KxServletGate::Job job) { jobs.push_back(std::move(job)); };
    }
    void runFirst() {
        ASSERT_FALSE(jobs.empty());
        auto job = std::move(jobs.front());
        jobs.erase(jobs.begin());
        job();
    }
};

TEST(ContainerServletGate, BelowTheLimitAJobRunsAtOnceOnTheCallersThread) {
    Posted posted;
    KxServletGate gate(2, posted.post());
    std::thread::id ranOn;
    gate.submit([&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    // A job that throws gives its slot back.
    gate.submit([] { throw std::runtime_error("servlet fault"); });
    gate.submit([] { throw std::runtime_error("servlet fault"); });
    EXPECT_EQ(gate.running(), 0u);
    EXPECT_TRUE(posted.jobs.empty());
}

TEST(ContainerServletGate, PastTheLimitJobsWaitAndStartInOrderAsSlotsFree) {
    Posted posted;
    KxServletGate gate(1, posted.post());
    std::vector<int> order;
    // Two more jobs arrive while the first runs (as another connection's thread would submit).
    gate.submit([&] {
        order.push_back(1);
        gate.submit([&] { order.push_back(2); });
        gate.submit([&] { order.push_back(3); });
        EXPECT_EQ(gate.running(), 1u);
        EXPECT_EQ(gate.queued(), 2u);
    });
    // Job 1 ended: job 2 is handed to a server thread with the same slot, not run inside job 1.
    EXPECT_EQ(order, std::vector<int>({1}));
    ASSERT_EQ(posted.jobs.size(), 1u);
    EXPECT_EQ(gate.running(), 1u);
    posted.runFirst();
    posted.runFirst();
    EXPECT_EQ(order, std::vector<int>({1, 2, 3}));
    EXPECT_TRUE(posted.jobs.empty());
    EXPECT_EQ(gate.running() + gate.queued(), 0u);
}

}  // namespace
}  // namespace kx::container
