#include "player/shufflechoice.h"

#include <chrono>

void TShuffleChoice::ReseedFromClock() {
  if (Clock) {
    seed_ = Clock();
    return;
  }
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  seed_ = static_cast<uint32_t>(ticks);
}

int TShuffleChoice::Pick(int count) {
  seed_ = seed_ * 134775813u + 1u;
  if (count <= 0) return 0;
  return static_cast<int>((static_cast<uint64_t>(seed_) * static_cast<uint32_t>(count)) >> 32);
}
