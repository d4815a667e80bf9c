#pragma once
// A point in time as seconds since the epoch; -1 stands for "unknown".
#include <cstdint>

class KxDateTime {
  public:
    constexpr KxDateTime() = default;
    constexpr explicit KxDateTime(std::int64_t secondsSinceEpoch) : seconds_(secondsSinceEpoch) {}

    constexpr bool isKnown() const { return seconds_ >= 0; }
    constexpr std::int64_t secondsSinceEpoch() const { return seconds_; }
    constexpr bool operator==(const KxDateTime&) const = default;

  private:
    std::int64_t seconds_ = -1;
};
