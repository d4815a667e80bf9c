#include "platform/servlet/KxHttpSession.h"

KxHttpSession::KxHttpSession(KxCString id) : id_(std::move(id)), lastAccessed_(Clock::now()) {}

KxServletAttribute KxHttpSession::getAttribute(const KxCString& key) const {
    std::lock_guard lock(mutex_);
    auto it = attributes_.find(key);
    return it == attributes_.end() ? KxServletAttribute() : it->second;
}

void KxHttpSession::setAttribute(const KxCString& key, const KxServletAttribute& attribute) {
    std::lock_guard lock(mutex_);
    attributes_.insert_or_assign(key, attribute);
}

void KxHttpSession::removeAttribute(const KxCString& key) {
    std::lock_guard lock(mutex_);
    attributes_.erase(key);
}

std::vector<KxCString> KxHttpSession::getAttributeNames() const {
    std::lock_guard lock(mutex_);
    std::vector<KxCString> names;
    names.reserve(attributes_.size());
    for (const auto& entry : attributes_) {
        names.push_back(entry.first);
    }
    return names;
}

bool KxHttpSession::isNew() const {
    std::lock_guard lock(mutex_);
    return new_;
}

void KxHttpSession::setNew(bool isNew) {
    std::lock_guard lock(mutex_);
    new_ = isNew;
}

void KxHttpSession::setMaxInactiveInterval(int seconds) {
    std::lock_guard lock(mutex_);
    maxInactiveInterval_ = seconds;
}

int KxHttpSession::getMaxInactiveInterval() const {
    std::lock_guard lock(mutex_);
    return maxInactiveInterval_;
}

void KxHttpSession::touch() {
    std::lock_guard lock(mutex_);
    lastAccessed_ = Clock::now();
}

KxHttpSession::Clock::time_point KxHttpSession::getLastAccessedTime() const {
    std::lock_guard lock(mutex_);
    return lastAccessed_;
}

bool KxHttpSession::isExpired(Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    return maxInactiveInterval_ >= 0 &&
           now - lastAccessed_ > std::chrono::seconds(maxInactiveInterval_);
}
