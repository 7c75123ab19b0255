#pragma once
// The random entry choice of Next and Prev with shuffle on: a linear congruential generator
// (seed := seed x 134775813 + 1 mod 2^32) whose next value scales into 0..count-1.

#include <cstdint>
#include <functional>

class TShuffleChoice {
 public:
  explicit TShuffleChoice(uint32_t seed = 0) : seed_(seed) {}
  void Reseed(uint32_t seed) { seed_ = seed; }
  // Reseeds from the low 32 bits of a monotonic high-resolution clock.
  void ReseedFromClock();
  // The clock ReseedFromClock reads (tests fix it).
  std::function<uint32_t()> Clock;
  // Uniform over 0..count-1; 0 for an empty list.
  int Pick(int count);
  uint32_t Seed() const { return seed_; }

 private:
  uint32_t seed_;
};
