#pragma once
// The container's sessions, keyed by the value of the JSESSIONID cookie.
// Expired sessions are dropped when they are next looked for (and in passing
// when sessions are made); the store holds at most a fixed number, and
// making one past that number drops the sessions idle the longest. Safe to
// use from every worker thread at once.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/servlet/KxHttpSession.h"

namespace kx::container {

// 128 random bits from std::random_device as 32 lowercase hex digits.
std::string randomHex128();

class KxSessionStore {
  public:
    using Clock = KxHttpSession::Clock;
    using IdGenerator = std::function<std::string()>;

    static constexpr const char* kCookieName = "JSESSIONID";

    explicit KxSessionStore(std::size_t maxSessions, IdGenerator generator = randomHex128);

    // The live session with that id; nothing for an unknown or expired one
    // (an expired one is dropped).
    std::shared_ptr<KxHttpSession> find(const std::string& id,
                                        Clock::time_point now = Clock::now());

    // The session a request carrying the cookie value id belongs to: as find,
    // and the session is marked used now and no longer new (the browser came
    // back with it).
    std::shared_ptr<KxHttpSession> resume(const std::string& id);

    // Makes and registers a new session, first making room when the store is
    // full.
    std::shared_ptr<KxHttpSession> create(Clock::time_point now = Clock::now());

    std::size_t size() const;
    std::size_t maxSessions() const { return maxSessions_; }

    // Drops every session. The container calls it before it unloads the
    // servlet libraries: attribute values are objects of those libraries.
    void clear();

  private:
    void dropExpiredLocked(Clock::time_point now);

    const std::size_t maxSessions_;
    const IdGenerator generator_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<KxHttpSession>> sessions_;
    Clock::time_point lastSweep_;
};

}  // namespace kx::container
