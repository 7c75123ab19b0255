#pragma once
// The program's one output level, shared by every song and kept while none is open.
// Low 16 bits: left channel, high 16 bits: right channel; each 0 (silent) to 65535 (full).
// The audio engine reads it once per output buffer and glides to a new level over that buffer.

#include <cstdint>

void SetOutputVolume(uint32_t value);
// Safe to call from the audio callback: one atomic load.
uint32_t OutputVolume();

// The channel levels of a volume value.
constexpr uint32_t LeftLevel(uint32_t volume) {
  return volume & 0xFFFFu;
}
constexpr uint32_t RightLevel(uint32_t volume) {
  return volume >> 16;
}
