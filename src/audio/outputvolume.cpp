#include "audio/outputvolume.h"

#include <atomic>

namespace {
// Full volume until the player sends its saved level.
std::atomic<uint32_t> outputVolume{0xFFFFFFFFu};
static_assert(std::atomic<uint32_t>::is_always_lock_free);
}  // namespace

void SetOutputVolume(uint32_t value) {
  outputVolume.store(value, std::memory_order_relaxed);
}

uint32_t OutputVolume() {
  return outputVolume.load(std::memory_order_relaxed);
}
