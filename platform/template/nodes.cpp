#include "platform/template/nodes.h"

#include <mutex>
#include <unordered_map>

namespace kx::tl {

std::uint32_t nameSlot(std::string_view name) {
    static std::mutex mutex;
    static std::unordered_map<KxCString, std::uint32_t> slots;
    const std::lock_guard lock(mutex);
    const auto [entry, added] =
        slots.try_emplace(KxCString(name), static_cast<std::uint32_t>(slots.size()));
    return entry->second;
}

}  // namespace kx::tl
