#include "orvowizard/runs/KxRunRegistry.h"

#include <algorithm>
#include <cctype>

namespace {

// How long an ended run is remembered, and how many runs at most.
constexpr std::chrono::minutes kMemory{5};
constexpr std::size_t kMaxEntries = 1000;

}  // namespace

KxRunRegistry& KxRunRegistry::shared() {
    static KxRunRegistry registry;
    return registry;
}

bool KxRunRegistry::isRunId(const std::string& text) {
    return text.size() >= 8 && text.size() <= 64 &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '-'; });
}

std::unique_ptr<KxRunRegistry::Run> KxRunRegistry::begin(const std::string& id,
                                                         const std::string& outputFile,
                                                         const std::string& exclusiveFolder,
                                                         const std::function<void()>& prepare) {
    std::lock_guard lock(mutex_);
    prune();
    if (!exclusiveFolder.empty()) {
        for (const auto& [serial, entry] : entries_) {
            if (entry.state.running && entry.folder == exclusiveFolder) {
                return nullptr;
            }
        }
    }
    if (prepare) {
        prepare();
    }
    Entry entry;
    entry.serial = nextSerial_++;
    entry.id = isRunId(id) ? id : "";
    entry.folder = exclusiveFolder;
    entry.state = State{outputFile, true};
    const std::uint64_t serial = entry.serial;
    entries_.emplace(serial, std::move(entry));
    changed_.notify_all();
    return std::make_unique<Run>(*this, serial);
}

void KxRunRegistry::end(std::uint64_t serial) {
    std::lock_guard lock(mutex_);
    if (auto found = entries_.find(serial); found != entries_.end()) {
        found->second.state.running = false;
        found->second.ended = std::chrono::steady_clock::now();
    }
    changed_.notify_all();
}

void KxRunRegistry::prune() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(entries_, [&](const auto& item) {
        return !item.second.state.running && now - item.second.ended > kMemory;
    });
    // Past the bound the oldest ended runs go first.
    for (auto it = entries_.begin(); entries_.size() >= kMaxEntries && it != entries_.end();) {
        it = it->second.state.running ? std::next(it) : entries_.erase(it);
    }
}

std::optional<KxRunRegistry::State> KxRunRegistry::await(const std::string& id,
                                                         std::chrono::milliseconds timeout) {
    return awaitState(id, timeout, [](const std::optional<State>& state) { return !!state; });
}

std::optional<KxRunRegistry::State> KxRunRegistry::awaitEnd(const std::string& id,
                                                            std::chrono::milliseconds timeout) {
    return awaitState(id, timeout,
                      [](const std::optional<State>& state) { return !state || !state->running; });
}

std::optional<KxRunRegistry::State> KxRunRegistry::awaitState(
    const std::string& id, std::chrono::milliseconds timeout,
    const std::function<bool(const std::optional<State>&)>& done) {
    if (!isRunId(id)) {
        return std::nullopt;
    }
    std::unique_lock lock(mutex_);
    std::optional<State> state;
    changed_.wait_for(lock, timeout, [&] {
        state = newest(id);
        return done(state);
    });
    return state;
}

std::optional<KxRunRegistry::State> KxRunRegistry::newest(const std::string& id) const {
    // The newest run of that id, should a browser send one twice.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->second.id == id) {
            return it->second.state;
        }
    }
    return std::nullopt;
}
