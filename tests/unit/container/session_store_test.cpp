#include "platform/container/KxSessionStore.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace kx::container {
namespace {

using namespace std::chrono_literals;

using Sessions = std::vector<std::shared_ptr<KxHttpSession>>;

// Sessions made one after another must differ in their last use.
void pause() {
    std::this_thread::sleep_for(2ms);
}

// Which of the sessions the store still holds, as 1 (held, the same object) or 0 each.
std::string held(KxSessionStore& store, const Sessions& sessions) {
    std::string marks;
    for (const auto& session : sessions) {
        marks += store.find(session->getId()) == session ? '1' : '0';
    }
    return marks;
}

TEST(ContainerSessionStore, IdsAre128RandomBitsInHex) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string id = *seen.insert(randomHex128()).first;
        EXPECT_EQ(id.size(), 32u);
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(ContainerSessionStore, ResumedSessionsAreNoLongerNewAndPastTheCapNewOnesGoFirst) {
    KxSessionStore store(3);
    auto a = store.create();
    EXPECT_TRUE(a->isNew());
    const auto made = a->getLastAccessedTime();
    pause();
    auto b = store.create();
    pause();
    auto c = store.create();
    pause();
    store.resume(c->getId());
    pause();
    EXPECT_EQ(store.resume(a->getId()), a);  // a and c came back; b never did
    EXPECT_FALSE(a->isNew());
    EXPECT_GT(a->getLastAccessedTime(), made);
    EXPECT_EQ(store.resume("0123456789abcdef0123456789abcdef"), nullptr);
    EXPECT_EQ(store.resume(""), nullptr);

    auto d = store.create();
    EXPECT_EQ(held(store, {a, b, c, d}), "1011");
    pause();
    auto e = store.create();  // d, the only new one, goes
    EXPECT_EQ(held(store, {a, c, d, e}), "1101");
    pause();
    store.resume(e->getId());
    pause();
    auto f = store.create();  // no new one left: c, idle the longest, goes
    EXPECT_EQ(held(store, {a, c, e, f}), "1011");
    EXPECT_EQ(store.newSessions(), 1u);
}

TEST(ContainerSessionStore, AFloodOfNewSessionsKeepsTheReturnedOnesAndTheNewest) {
    // The bound on new sessions is clamped to the whole store and to one.
    EXPECT_EQ(KxSessionStore(5, 50).maxNewSessions(), 5u);
    EXPECT_EQ(KxSessionStore(5, 0).maxNewSessions(), 1u);
    EXPECT_EQ(KxSessionStore(5).maxNewSessions(), 5u);
    KxSessionStore store(10, 4);
    auto kept = store.create();
    store.resume(kept->getId());
    Sessions made;
    for (int i = 0; i < 1000; ++i) {
        made.push_back(store.create());
        EXPECT_LE(store.newSessions(), 4u);
    }
    EXPECT_EQ(store.size(), 5u);
    EXPECT_EQ(held(store, {kept}) + held(store, made), "1" + std::string(996, '0') + "1111");
    // A new one that comes back leaves the new ones and counts as kept.
    store.resume(made[999]->getId());
    EXPECT_EQ(store.newSessions(), 3u);
    for (int i = 0; i < 20; ++i) {
        store.create();
    }
    EXPECT_EQ(store.find(made[999]->getId()), made[999]);
    EXPECT_EQ(store.size(), 6u);
}

TEST(ContainerSessionStore, AFullLargeStoreMakesRoomForMoreThanOne) {
    // A batch of the longest idle goes, so that each new session does not scan the store again.
    KxSessionStore store(128);
    Sessions sessions;
    for (int i = 0; i < 128; ++i) {
        sessions.push_back(store.create());
        store.resume(sessions.back()->getId());
    }
    pause();
    for (int i = 2; i < 128; ++i) {
        sessions[i]->touch();  // the first two are now the longest idle
    }
    store.create();
    EXPECT_EQ(store.size(), 127u);
    EXPECT_EQ(held(store, {sessions[0], sessions[1], sessions[2]}), "001");
    store.create();
    EXPECT_EQ(store.size(), 128u) << "room was left for it";
}

TEST(ContainerSessionStore, ExpiredSessionsAreDroppedFirstAndStayGone) {
    KxSessionStore store(2);
    auto live = store.create();
    pause();
    auto stale = store.create();
    stale->setMaxInactiveInterval(60);
    const auto now = KxSessionStore::Clock::now();
    EXPECT_EQ(store.find(stale->getId(), now + 30s), stale);
    // Past its interval, stale goes to make room although live is older.
    auto third = store.create(now + 61s);
    EXPECT_EQ(held(store, {live, third}), "11");
    EXPECT_EQ(store.find(stale->getId(), now), nullptr);
}

TEST(ContainerSessionStore, ClashingIdsAreRetriedThenRefused) {
    int calls = 0;
    KxSessionStore store(10, [&calls] { return ++calls <= 2 ? std::string("same") : "other"; });
    EXPECT_EQ(store.create()->getId(), "same");
    EXPECT_EQ(store.create()->getId(), "other");
    KxSessionStore stuck(10, [] { return std::string("fixed"); });
    stuck.create();
    EXPECT_THROW(stuck.create(), std::runtime_error);
}

TEST(ContainerSessionStore, ManyThreadsAtOnceKeepTheCap) {
    KxSessionStore store(50);
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store] {
            for (int i = 0; i < 200; ++i) {
                store.resume(store.create()->getId());
            }
        });
    }
    threads.clear();
    EXPECT_EQ(store.size(), 50u);
}

}  // namespace
}  // namespace kx::container
