#pragma once
// The container's sessions, keyed by the value of the JSESSIONID cookie.
//
// A session starts out new: its browser has not yet come back with the
// cookie. New sessions are held apart and bounded more tightly than the
// ones a browser has returned with, because a client that ignores cookies
// (a script, a scanner, a page fetched once) makes one per request. Past
// their bound the oldest new sessions are dropped first, so such clients
// can neither grow the store without end nor push out the sessions of
// browsers that are really in use. Past the bound of all sessions the new
// ones go first, then those idle the longest.
//
// Expired sessions are dropped when they are next looked for (and in passing
// when sessions are made). Safe to use from every thread at once.
#include <chrono>
#include <deque>
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

    // At most maxSessions sessions, of which at most maxNewSessions (clamped
    // to 1..maxSessions) new ones. The first form allows every session to be
    // new.
    explicit KxSessionStore(std::size_t maxSessions, IdGenerator generator = randomHex128);
    KxSessionStore(std::size_t maxSessions, std::size_t maxNewSessions,
                   IdGenerator generator = randomHex128);

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
    // Of size(), the sessions whose browser has not come back yet.
    std::size_t newSessions() const;
    std::size_t maxSessions() const { return maxSessions_; }
    std::size_t maxNewSessions() const { return maxNewSessions_; }

    // Drops every session. The container calls it before it unloads the
    // servlet libraries: attribute values are objects of those libraries.
    void clear();

  private:
    using Map = std::unordered_map<std::string, std::shared_ptr<KxHttpSession>>;

    // The live session with that id and the map holding it; an expired one
    // is dropped.
    std::shared_ptr<KxHttpSession> findLocked(const std::string& id, Clock::time_point now,
                                              Map*& home);
    void dropExpiredLocked(Clock::time_point now);
    void pruneNewOrderLocked();
    // Drops the oldest session that is still new; false when there is none.
    bool dropOldestNewLocked();
    // Drops the longest idle returned sessions: room for one more, and in a
    // large store for a sixty-fourth of it, so that a full store pays for
    // its scan once every so many new sessions rather than on every one.
    void dropLongestIdleLocked();

    const std::size_t maxSessions_;
    const std::size_t maxNewSessions_;
    const IdGenerator generator_;
    mutable std::mutex mutex_;
    Map new_;       // not yet returned with
    Map returned_;  // the browser came back with the cookie
    // new_ in the order of making; entries whose session has left new_
    // are skipped, and pruned once they outnumber the live ones.
    std::deque<std::weak_ptr<KxHttpSession>> newOrder_;
    Clock::time_point lastSweep_;
    std::size_t madeSinceSweep_ = 0;
};

}  // namespace kx::container
