// The drawing kernels: the vector versions (when this processor has them) and the plain ones must
// write exactly the bytes of a naive loop, and whole 8-bit draws must match the reference renderer
// whichever kernels are active.
#include "graphics/xb_draw_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<const XB_DRAW_KERNELS*> AllKernels() {
  std::vector<const XB_DRAW_KERNELS*> all = {&XB_PlainDrawKernels()};
  if (const XB_DRAW_KERNELS* vector = XB_VectorDrawKernels()) all.push_back(vector);
  return all;
}

Bytes RandomBytes(std::mt19937& rng, size_t n) {
  Bytes b(n);
  for (uint8_t& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

TEST(DrawKernelsTest, SpansMapLikeTheNaiveLoopAtEveryLengthAndAlignment) {
  std::mt19937 rng(7);
  const Bytes table = RandomBytes(rng, 256);
  for (const XB_DRAW_KERNELS* k : AllKernels()) {
    SCOPED_TRACE(k->name);
    for (int32_t n = 0; n <= 300; ++n) {
      const size_t at = rng() % 64;  // unaligned starts
      const Bytes src = RandomBytes(rng, 400), old = RandomBytes(rng, 400);
      Bytes pass(400);
      for (uint8_t& p : pass) p = rng() % 3 == 0 ? 0 : 0xFF;
      if (n % 7 == 0) std::fill(pass.begin(), pass.end(), 0xFF);

      Bytes mapped = old, expectMapped = old, where = old, expectWhere = old, inPlace = src,
            expectInPlace = src;
      k->mapSpan(mapped.data() + at, src.data() + at, n, table.data());
      k->mapSpanWhere(where.data() + at, src.data() + at, pass.data() + at, n, table.data());
      k->mapSpan(inPlace.data() + at, inPlace.data() + at, n, table.data());
      for (int32_t i = 0; i < n; ++i) {
        expectMapped[at + i] = table[src[at + i]];
        if (pass[at + i]) expectWhere[at + i] = table[src[at + i]];
        expectInPlace[at + i] = table[src[at + i]];
      }
      ASSERT_EQ(mapped, expectMapped) << "length " << n;  // and nothing outside the span
      ASSERT_EQ(where, expectWhere) << "length " << n;
      ASSERT_EQ(inPlace, expectInPlace) << "length " << n;
    }
  }
}

TEST(DrawKernelsTest, MaskRowsBecomePassBytesLikeTheNaiveWalk) {
  std::mt19937 rng(11);
  for (int round = 0; round < 600; ++round) {
    // Run lengths from all ones (noise) to long runs, ended early by the right edge now and then.
    const int maxRun = round % 3 == 0 ? 1 : round % 3 == 1 ? 3 : 255;
    Bytes runs;
    const int count = static_cast<int>(rng() % 90);
    for (int i = 0; i < count; ++i) {
      runs.push_back(static_cast<uint8_t>(1 + rng() % maxRun));
      runs.push_back(static_cast<uint8_t>(rng()));
    }
    runs.push_back(0);  // the row's end: the last byte of the buffer, nothing is read beyond it
    const uint8_t threshold = static_cast<uint8_t>(rng());
    const int32_t col = static_cast<int32_t>(rng() % 50), right = col + static_cast<int32_t>(rng() % 3000);
    Bytes expect(3000 + XB_PASS_SLACK + 64, 0x55);
    int32_t expectEnd = col;
    bool expectAny = false;
    for (size_t i = 0; runs[i] != 0 && expectEnd <= right; i += 2) {
      for (int k = 0; k < runs[i]; ++k) expect[expectEnd - col + k] = runs[i + 1] <= threshold ? 0xFF : 0;
      expectAny |= runs[i + 1] <= threshold;
      expectEnd += runs[i];
    }
    for (const XB_DRAW_KERNELS* k : AllKernels()) {
      Bytes pass(expect.size(), 0x55);
      uint64_t any = 0;
      const int32_t end =
          k->maskPass(runs.data(), runs.data() + runs.size(), col, right, threshold, pass.data(), &any);
      // Past the right edge a kernel may go on (a vector walks whole groups of runs); up to it, the
      // end of the row and every pass byte are exact.
      if (expectEnd <= right) {
        ASSERT_EQ(end, expectEnd) << k->name << " round " << round;
        ASSERT_EQ(any != 0, expectAny) << k->name << " round " << round;
      } else {
        ASSERT_GT(end, right) << k->name << " round " << round;
      }
      const int32_t shown = std::min(expectEnd, right + 1) - col;
      ASSERT_TRUE(std::equal(pass.begin(), pass.begin() + shown, expect.begin()))
          << k->name << " round " << round;
    }
  }
}

// Draws of every 8-bit kind with the plain and the vector kernels, fast and clipped placements, long
// runs (beyond one vector) and masks that change level on almost every pixel.
class KernelDrawProperty : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam() && !XB_VectorDrawKernels()) GTEST_SKIP() << "no vector kernels on this processor";
    XB_UsePlainDrawKernels(GetParam());
  }
  void TearDown() override { XB_UsePlainDrawKernels(false); }
};

TEST_P(KernelDrawProperty, EightBitDrawsMatchTheReference) {
  EXPECT_STREQ(XB_ActiveDrawKernels().name, GetParam() ? "plain" : XB_VectorDrawKernels()->name);
  std::mt19937 rng(99);
  BobLibraryBuilder builder(0);
  for (uint32_t n = 0; n < 12; n += 3) {
    const int32_t w = 1 + static_cast<int32_t>(rng() % 420), h = 1 + static_cast<int32_t>(rng() % 90);
    auto art = gfx_test::RandomArt(rng, w, h, 0, n == 6 ? 0.02 : 0.3, n == 3 ? 0.5 : 0.98);
    builder.AddPacked(n, *art, 0, -static_cast<int32_t>(rng() % 40), -static_cast<int32_t>(rng() % 40));
    builder.AddShadow(n + 1, *art);
    auto levels = gfx_test::RandomArt(rng, w + 10, h, 255, 0.1, n == 0 ? 0.9 : 0.1);
    builder.AddMask(n + 2, *levels, -5, 0);
  }
  std::unique_ptr<XB_BOB_MANAGER> lib(builder.Build());
  Bytes table1 = RandomBytes(rng, 256), table2 = RandomBytes(rng, 256);
  int changed = 0;
  for (int round = 0; round < 400; ++round) {
    const int32_t w = 50 + static_cast<int32_t>(rng() % 500), h = 20 + static_cast<int32_t>(rng() % 100);
    XB_BITMAP target(w, h), expect(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) target.Row(y)[x] = expect.Row(y)[x] = static_cast<uint8_t>(rng());
    const Bytes before = gfx_test::Pixels(target);
    // Every other placement lies fully inside (the whole-row kernels), the rest may be clipped.
    const bool inside = round % 2 == 0;
    const int16_t x = static_cast<int16_t>(inside ? 40 + rng() % 20 : static_cast<int>(rng() % 600) - 300);
    const int16_t y = static_cast<int16_t>(inside ? 40 : static_cast<int>(rng() % 200) - 100);
    const uint32_t n = 3 * (rng() % 4);
    const uint16_t threshold = static_cast<uint16_t>(rng() % 255);
    switch (round % 4) {
      case 0:
        lib->DrawBob(n, target, x, y, 0);
        gfx_test::ReferenceDraw(*lib, n, expect, x, y, {gfx_test::RefOp::Plain});
        break;
      case 1:
        lib->DrawBobRemapped(n, target, x, y, table1.data());
        gfx_test::ReferenceDraw(*lib, n, expect, x, y, {gfx_test::RefOp::Remapped, table1.data()});
        break;
      case 2:
        lib->DrawBobShadow(n + 1, target, x, y, table2.data());
        gfx_test::ReferenceDraw(*lib, n + 1, expect, x, y, {gfx_test::RefOp::Shadow, table2.data()});
        lib->DrawShadowThroughMask(n + 2, threshold, target, x, y, table1.data());
        gfx_test::ReferenceShadowThroughMask(*lib, n + 2, threshold, expect, x, y, table1.data());
        break;
      case 3:
        lib->DrawBobThroughMask(n, n + 2, threshold, target, x, y, table1.data(), table2.data());
        gfx_test::ReferenceDrawThroughMask(*lib, n, n + 2, threshold, expect, x, y, table1.data(),
                                           table2.data());
        break;
    }
    ASSERT_EQ(gfx_test::Pixels(target), gfx_test::Pixels(expect))
        << "round " << round << " bob " << n << " at " << x << "," << y << " into " << w << "x" << h;
    changed += gfx_test::Pixels(target) != before;
  }
  EXPECT_GT(changed, 200);
}

INSTANTIATE_TEST_SUITE_P(PlainAndVector, KernelDrawProperty, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Plain" : "Vector"; });

}  // namespace
