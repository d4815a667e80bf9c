#include "platform/container/KxSessionStore.h"

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

namespace kx::container {

namespace {

// How often making a session also sweeps out every expired one.
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
    : maxSessions_(std::max<std::size_t>(maxSessions, 1)), generator_(std::move(generator)) {}

std::shared_ptr<KxHttpSession> KxSessionStore::find(const std::string& id, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) {
        return nullptr;
    }
    if (it->second->isExpired(now)) {
        sessions_.erase(it);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<KxHttpSession> KxSessionStore::resume(const std::string& id) {
    auto session = find(id);
    if (session) {
        session->setNew(false);
        session->touch();
    }
    return session;
}

std::shared_ptr<KxHttpSession> KxSessionStore::create(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (now - lastSweep_ >= kSweepInterval || sessions_.size() >= maxSessions_) {
        dropExpiredLocked(now);
        lastSweep_ = now;
    }
    if (sessions_.size() >= maxSessions_) {
        // Drop the longest idle ones: room for one more, and in a large store
        // for a sixty-fourth of it, so that a full store pays for its scan
        // once every so many new sessions rather than on every one.
        std::vector<std::pair<Clock::time_point, std::string>> byIdle;
        byIdle.reserve(sessions_.size());
        for (const auto& [id, session] : sessions_) {
            byIdle.emplace_back(session->getLastAccessedTime(), id);
        }
        const std::size_t room = std::max<std::size_t>(1, maxSessions_ / 64);
        const std::size_t excess =
            std::min(sessions_.size(), sessions_.size() - maxSessions_ + room);
        std::partial_sort(byIdle.begin(), byIdle.begin() + static_cast<std::ptrdiff_t>(excess),
                          byIdle.end());
        for (std::size_t i = 0; i < excess; ++i) {
            sessions_.erase(byIdle[i].second);
        }
    }
    std::string id = generator_();
    for (int attempt = 1; id.empty() || sessions_.count(id) != 0; ++attempt) {
        if (attempt == kIdAttempts) {
            throw std::runtime_error("no unused session id could be made");
        }
        id = generator_();
    }
    auto session = std::make_shared<KxHttpSession>(id);
    sessions_.emplace(std::move(id), session);
    return session;
}

std::size_t KxSessionStore::size() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

void KxSessionStore::clear() {
    std::unordered_map<std::string, std::shared_ptr<KxHttpSession>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(sessions_);
    }
}

void KxSessionStore::dropExpiredLocked(Clock::time_point now) {
    std::erase_if(sessions_, [now](const auto& entry) { return entry.second->isExpired(now); });
}

}  // namespace kx::container
