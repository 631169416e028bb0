#include "graphics/xb_random.h"

namespace {

// Bits forced on (or off) by seeding, in this order, when a seed has too few (or too many) set bits.
constexpr int kSeedBits[8] = {12, 23, 10, 25, 8, 27, 6, 29};

int CountBits(uint32_t v) {
  int n = 0;
  for (int bit = 0; bit < 31; ++bit) n += (v >> bit) & 1u;
  return n;
}

}  // namespace

void XB_RANDOM::Seed(uint32_t value) {
  uint32_t v = value & 0x7FFFFFFFu;
  const int n = CountBits(v);
  if (n < 8)
    for (int i = 0; i < 8 - n; ++i) v |= 1u << kSeedBits[i];
  if (n > 24)
    for (int i = 0; i < 32 - n; ++i) v &= ~(1u << kSeedBits[i]);
  seed_ = v;
  state_ = v;
}

uint32_t XB_RANDOM::Next(uint32_t state) {
  // Carta's method: split the state so that no product needs more than 32 bits.
  const uint32_t hi = state >> 16;
  const uint32_t lo = state & 0xFFFFu;
  const uint32_t p = hi * 16807u;
  uint32_t q = lo * 16807u + ((p & 0x7FFFu) << 16);
  if (q > 0x7FFFFFFFu) q = (q & 0x7FFFFFFFu) + 1u;
  q += p >> 15;
  if (q > 0x7FFFFFFFu) q = (q & 0x7FFFFFFFu) + 1u;
  return q;
}

uint32_t XB_RANDOM::Random(uint32_t n) {
  state_ = Next(state_);
  // n = 0xFFFFFFFF asks for the whole 32-bit range; n + 1 wraps to 0, which must not divide.
  const uint32_t span = n + 1u;
  return span == 0 ? state_ : state_ % span;
}

uint32_t XB_RANDOM::RandomRange(uint32_t lo, uint32_t hi) {
  state_ = Next(state_);
  const uint32_t span = hi - lo + 1u;
  return lo + (span == 0 ? state_ : state_ % span);
}
