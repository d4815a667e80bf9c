#pragma once
// One browser's HTTP session: typed attributes under string keys, the "new"
// flag and the inactivity limit. Two requests of one browser may use the
// same session at once; every operation is safe for that.
#include <chrono>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/servlet/KxServletAttribute.h"

class KxHttpSession {
  public:
    using Clock = std::chrono::steady_clock;

    // Seconds of inactivity after which the container drops a session, unless
    // set otherwise.
    static constexpr int kDefaultMaxInactiveInterval = 1800;

    explicit KxHttpSession(KxCString id = {});
    KxHttpSession(const KxHttpSession&) = delete;
    KxHttpSession& operator=(const KxHttpSession&) = delete;

    const KxCString& getId() const { return id_; }

    // The attribute stored under key; an empty handle when there is none.
    KxServletAttribute getAttribute(const KxCString& key) const;
    // Stores attribute under key, replacing what was there.
    void setAttribute(const KxCString& key, const KxServletAttribute& attribute);
    void removeAttribute(const KxCString& key);
    std::vector<KxCString> getAttributeNames() const;

    // True while the session was created by the request being served and the
    // browser has not yet come back with it.
    bool isNew() const;
    void setNew(bool isNew);

    // Seconds of inactivity before the session expires; a negative value
    // means never.
    void setMaxInactiveInterval(int seconds);
    int getMaxInactiveInterval() const;

    // Held by a servlet around an operation that reads and writes several of
    // the session's values and must not interleave with another request of
    // the same browser (two tabs sending a form at once): the second waits
    // for the first.
    std::mutex& operationMutex() { return operationMutex_; }

    // Marks the session as used now.
    void touch();
    Clock::time_point getLastAccessedTime() const;
    bool isExpired(Clock::time_point now) const;

  private:
    const KxCString id_;
    mutable std::mutex mutex_;
    std::mutex operationMutex_;
    std::unordered_map<KxCString, KxServletAttribute> attributes_;
    bool new_ = true;
    int maxInactiveInterval_ = kDefaultMaxInactiveInterval;
    Clock::time_point lastAccessed_;
};
