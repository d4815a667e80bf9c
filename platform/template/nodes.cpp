#include "platform/template/nodes.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace kx::tl {

namespace {

std::atomic<std::uint32_t> slotCount = 0;

}  // namespace

std::uint32_t nameSlot(std::string_view name) {
    static std::mutex mutex;
    static std::unordered_map<KxCString, std::uint32_t> slots;
    const std::lock_guard lock(mutex);
    const auto [entry, added] =
        slots.try_emplace(KxCString(name), static_cast<std::uint32_t>(slots.size()));
    if (added) {
        slotCount.store(static_cast<std::uint32_t>(slots.size()), std::memory_order_release);
    }
    return entry->second;
}

std::uint32_t nameSlotCount() {
    return slotCount.load(std::memory_order_acquire);
}

}  // namespace kx::tl
