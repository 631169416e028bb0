#include "graphics/xb_random.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(RandomTest, SeedingAdjustsTheNumberOfSetBits) {
  XB_RANDOM r(0);
  EXPECT_EQ(r.State(), 0x2A801540u);  // exactly the eight listed bits
  EXPECT_EQ(r.State(), 713037120u);
  EXPECT_EQ(r.SeedValue(), 0x2A801540u);
  r.Seed(0x7FFFFFFF);  // 31 bits: bit 12 cleared only
  EXPECT_EQ(r.State(), 0x7FFFEFFFu);
  r.Seed(0xFFFFFFFF);  // bit 31 is dropped first
  EXPECT_EQ(r.State(), 0x7FFFEFFFu);
  r.Seed(0x1000);  // one bit already on the list: 7 more are set, the first of them already set
  EXPECT_EQ(r.State(), 0x1000u | (1u << 23) | (1u << 10) | (1u << 25) | (1u << 8) | (1u << 27) | (1u << 6));
  r.Seed(0x00FF00FF);  // 16 bits: unchanged
  EXPECT_EQ(r.State(), 0x00FF00FFu);
  r.Seed(0x01FFFFFF);  // 25 bits: the first 7 list positions are cleared
  EXPECT_EQ(r.State(), 0x01FFFFFFu & ~((1u << 12) | (1u << 23) | (1u << 10) | (1u << 8) | (1u << 6)));
}

TEST(RandomTest, ExactSequence) {
  XB_RANDOM r(0);
  EXPECT_EQ(r.Random(99), 80u);
  EXPECT_EQ(r.State(), 1056125580u);
  EXPECT_EQ(XB_RANDOM::Next(1), 16807u);
  EXPECT_EQ(XB_RANDOM::Next(16807), 282475249u);
  // Park and Miller's published check: from 1, the 10000th state is 1043618065.
  uint32_t s = 1;
  for (int i = 0; i < 10000; ++i) s = XB_RANDOM::Next(s);
  EXPECT_EQ(s, 1043618065u);
  // The split arithmetic agrees with a 64-bit reference over the whole range, the ends included.
  for (uint32_t x : {1u, 2u, 0xFFFFu, 0x10000u, 0x7FFFFFFEu, 0x7FFFFFFDu, 0x40000000u, 123456789u})
    EXPECT_EQ(XB_RANDOM::Next(x), static_cast<uint32_t>((uint64_t{x} * 16807u) % 0x7FFFFFFFu)) << x;
}

TEST(RandomTest, RangesAreInclusive) {
  XB_RANDOM r(12345);
  const uint32_t before = r.State();
  EXPECT_EQ(r.RandomRange(5, 5), 5u);
  EXPECT_NE(r.State(), before);  // still advances
  std::set<uint32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    const uint32_t v = r.RandomRange(3, 7);
    ASSERT_GE(v, 3u);
    ASSERT_LE(v, 7u);
    seen.insert(v);
    ASSERT_LE(r.Random(2), 2u);
  }
  EXPECT_EQ(seen.size(), 5u);
  EXPECT_EQ(r.Random(0), 0u);
  // The full 32-bit range must not divide by zero.
  const uint32_t next = XB_RANDOM::Next(r.State());
  EXPECT_EQ(r.Random(0xFFFFFFFFu), next);
  EXPECT_EQ(r.RandomRange(10, 9), 10u + XB_RANDOM::Next(next));
}

TEST(RandomTest, StateCanBeRestored) {
  XB_RANDOM a(777);
  a.Random(10);
  XB_RANDOM b(1);
  b.SetState(a.State());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a.Random(1000), b.Random(1000));
  b.SetState(0);
  EXPECT_EQ(b.State(), 1u);
}

}  // namespace
