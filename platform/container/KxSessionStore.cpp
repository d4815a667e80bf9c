#include "platform/container/KxSessionStore.h"

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

namespace kx::container {

namespace {

// How often making a session also sweeps out every expired one. A full store
// sweeps before it drops live sessions, but at most once per sixty-fourth of
// its size in new sessions, since a sweep visits them all.
constexpr auto kSweepInterval = std::chrono::seconds(60);
// Ids are random; a clash is retried a few times before giving up.
constexpr int kIdAttempts = 8;

}  // namespace

std::string randomHex128() {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::random_device device;
    std::string text;
    text.reserve(32);
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = device();
        for (int nibble = 0; nibble < 8; ++nibble) {
            text.push_back(kDigits[bits & 0xF]);
            bits >>= 4;
        }
    }
    return text;
}

KxSessionStore::KxSessionStore(std::size_t maxSessions, IdGenerator generator)
    : KxSessionStore(maxSessions, maxSessions, std::move(generator)) {}

KxSessionStore::KxSessionStore(std::size_t maxSessions, std::size_t maxNewSessions,
                               IdGenerator generator)
    : maxSessions_(std::max<std::size_t>(maxSessions, 1)),
      maxNewSessions_(std::clamp<std::size_t>(maxNewSessions, 1, maxSessions_)),
      generator_(std::move(generator)) {}

std::shared_ptr<KxHttpSession> KxSessionStore::findLocked(const std::string& id,
                                                          Clock::time_point now, Map*& home) {
    for (Map* map : {&returned_, &new_}) {
        auto it = map->find(id);
        if (it == map->end()) {
            continue;
        }
        if (it->second->isExpired(now)) {
            map->erase(it);
            return nullptr;
        }
        home = map;
        return it->second;
    }
    return nullptr;
}

std::shared_ptr<KxHttpSession> KxSessionStore::find(const std::string& id, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    Map* home = nullptr;
    return findLocked(id, now, home);
}

std::shared_ptr<KxHttpSession> KxSessionStore::resume(const std::string& id) {
    std::lock_guard lock(mutex_);
    Map* home = nullptr;
    auto session = findLocked(id, Clock::now(), home);
    if (!session) {
        return nullptr;
    }
    if (home == &new_) {
        returned_.emplace(id, session);
        new_.erase(id);
        pruneNewOrderLocked();
    }
    session->setNew(false);
    session->touch();
    return session;
}

std::shared_ptr<KxHttpSession> KxSessionStore::create(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const bool full =
        new_.size() >= maxNewSessions_ || new_.size() + returned_.size() >= maxSessions_;
    const std::size_t sweepEvery = std::max<std::size_t>(1, maxSessions_ / 64);
    if (now - lastSweep_ >= kSweepInterval || (full && madeSinceSweep_ >= sweepEvery)) {
        dropExpiredLocked(now);
        pruneNewOrderLocked();
        lastSweep_ = now;
        madeSinceSweep_ = 0;
    }
    ++madeSinceSweep_;
    while (new_.size() >= maxNewSessions_ && dropOldestNewLocked()) {
    }
    if (new_.size() + returned_.size() >= maxSessions_ && !dropOldestNewLocked()) {
        dropLongestIdleLocked();
    }
    std::string id = generator_();
    for (int attempt = 1; id.empty() || new_.count(id) != 0 || returned_.count(id) != 0;
         ++attempt) {
        if (attempt == kIdAttempts) {
            throw std::runtime_error("no unused session id could be made");
        }
        id = generator_();
    }
    auto session = std::make_shared<KxHttpSession>(id);
    new_.emplace(std::move(id), session);
    newOrder_.push_back(session);
    return session;
}

std::size_t KxSessionStore::size() const {
    std::lock_guard lock(mutex_);
    return new_.size() + returned_.size();
}

std::size_t KxSessionStore::newSessions() const {
    std::lock_guard lock(mutex_);
    return new_.size();
}

void KxSessionStore::clear() {
    Map droppedNew;
    Map droppedReturned;
    {
        std::lock_guard lock(mutex_);
        droppedNew.swap(new_);
        droppedReturned.swap(returned_);
        newOrder_.clear();
    }
}

void KxSessionStore::dropExpiredLocked(Clock::time_point now) {
    auto expired = [now](const auto& entry) { return entry.second->isExpired(now); };
    std::erase_if(new_, expired);
    std::erase_if(returned_, expired);
}

void KxSessionStore::pruneNewOrderLocked() {
    // The entries of sessions that left new_ keep their memory block alive
    // (weak pointers), so they may not pile up.
    if (newOrder_.size() <= 2 * new_.size() + 64) {
        return;
    }
    std::erase_if(newOrder_, [this](const std::weak_ptr<KxHttpSession>& entry) {
        auto live = entry.lock();
        if (!live) {
            return true;
        }
        auto it = new_.find(live->getId());
        return it == new_.end() || it->second != live;
    });
}

bool KxSessionStore::dropOldestNewLocked() {
    while (!newOrder_.empty()) {
        auto oldest = newOrder_.front().lock();
        newOrder_.pop_front();
        if (!oldest) {
            continue;
        }
        auto it = new_.find(oldest->getId());
        if (it != new_.end() && it->second == oldest) {
            new_.erase(it);
            return true;
        }
    }
    return false;
}

void KxSessionStore::dropLongestIdleLocked() {
    std::vector<std::pair<Clock::time_point, std::string>> byIdle;
    byIdle.reserve(returned_.size());
    for (const auto& [id, session] : returned_) {
        byIdle.emplace_back(session->getLastAccessedTime(), id);
    }
    const std::size_t room = std::max<std::size_t>(1, maxSessions_ / 64);
    const std::size_t total = new_.size() + returned_.size();
    const std::size_t excess = std::min(returned_.size(), total - maxSessions_ + room);
    std::partial_sort(byIdle.begin(), byIdle.begin() + static_cast<std::ptrdiff_t>(excess),
                      byIdle.end());
    for (std::size_t i = 0; i < excess; ++i) {
        returned_.erase(byIdle[i].second);
    }
}

}  // namespace kx::container
