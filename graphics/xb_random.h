// The random number generator of the scenes: the Park-Miller minimal standard generator (multiplier
// 16807, modulus 2^31 - 1) with a seeding step that keeps the number of set bits of the seed within
// rough bounds, so that a clock value with few or many bits set still starts a lively sequence.
#pragma once

#include <cstdint>

class XB_RANDOM {
 public:
  explicit XB_RANDOM(uint32_t seed = 1) { Seed(seed); }

  void Seed(uint32_t value);
  // Advances the state and returns a number in 0..n (both inclusive).
  uint32_t Random(uint32_t n);
  // Advances the state and returns a number in lo..hi (both inclusive), unsigned 32-bit arithmetic.
  uint32_t RandomRange(uint32_t lo, uint32_t hi);

  uint32_t State() const { return state_; }
  uint32_t SeedValue() const { return seed_; }
  // Restores a state saved with State() (tests and replays); 0 and values >= 2^31 - 1 are refused
  // in favour of 1 because the generator would stick or leave its range.
  void SetState(uint32_t state) { state_ = (state == 0 || state >= 0x7FFFFFFFu) ? 1u : state; }

  // One step of the generator: (16807 * state) mod (2^31 - 1), exactly, in 32-bit arithmetic.
  static uint32_t Next(uint32_t state);

 private:
  uint32_t state_ = 1;
  uint32_t seed_ = 1;
};
