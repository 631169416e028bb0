// The drawing kernels: every set this processor runs (plain, sse, avx2, avx512) must write exactly the
// bytes of a naive loop, and whole 8-bit draws must match the reference renderer whichever set draws.
#include "graphics/xb_draw_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::mt19937& rng, size_t n) {
  Bytes b(n);
  for (uint8_t& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

// Each test runs once per kernel set; a set this build or processor lacks is skipped by name.
class DrawKernels : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    k = XB_FindDrawKernels(GetParam());
    if (!k) GTEST_SKIP() << "the " << GetParam() << " kernel set: not built or not run by this processor";
  }
  void TearDown() override { XB_UseDrawKernels(XB_PlainDrawKernels()); }
  const XB_DRAW_KERNELS* k = nullptr;
};

TEST_P(DrawKernels, SpansMapLikeTheNaiveLoopAtEveryLengthAndAlignment) {
  EXPECT_STREQ(k->name, GetParam());
  std::mt19937 rng(7);
  for (int round = 0; round < 5; ++round) {
    // Random tables, one whose entries differ from their neighbours' in every bit pattern, the
    // identity, and one that changes a few colours as a player's colours do (kernels may take a
    // shorter way through such tables).
    Bytes table = RandomBytes(rng, 256);
    if (round == 1)
      for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i * 167 + 13);
    if (round >= 3)
      for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    if (round == 4) {
      for (int i = 40; i < 48; ++i) table[i] = static_cast<uint8_t>(rng());
      table[130] = 7;
      for (int i = 250; i < 256; ++i) table[i] = static_cast<uint8_t>(rng());
    }
    for (int32_t n = 0; n <= 300; ++n) {
      const size_t at = rng() % 64;  // unaligned starts
      const Bytes src = RandomBytes(rng, 400), old = RandomBytes(rng, 400);
      Bytes pass(400);
      for (uint8_t& p : pass) p = rng() % 3 == 0 ? 0 : 0xFF;
      if (n % 7 == 0) std::fill(pass.begin(), pass.end(), 0xFF);

      Bytes mapped = old, expectMapped = old, where = old, expectWhere = old, inPlace = src,
            expectInPlace = src, copied = old, expectCopied = old;
      XB_LOOKUP lookup;
      XB_PrepareLookup(lookup, table.data());
      k->mapSpan(mapped.data() + at, src.data() + at, n, lookup);
      k->mapSpanWhere(where.data() + at, src.data() + at, pass.data() + at, n, lookup);
      k->mapSpan(inPlace.data() + at, inPlace.data() + at, n, lookup);
      k->copySpanWhere(copied.data() + at, src.data() + at, pass.data() + at, n);
      for (int32_t i = 0; i < n; ++i) {
        expectMapped[at + i] = table[src[at + i]];
        if (pass[at + i]) expectWhere[at + i] = table[src[at + i]];
        expectInPlace[at + i] = table[src[at + i]];
        if (pass[at + i]) expectCopied[at + i] = src[at + i];
      }
      ASSERT_EQ(copied, expectCopied) << "length " << n;
      ASSERT_EQ(mapped, expectMapped) << "length " << n;  // and nothing outside the span
      ASSERT_EQ(where, expectWhere) << "length " << n;
      ASSERT_EQ(inPlace, expectInPlace) << "length " << n;
    }
  }
}

TEST_P(DrawKernels, MaskRowsAndLevelsBecomePassBytesLikeTheNaiveWalk) {
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
    {
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
    // A row of decoded levels (every length up to a few vectors, unaligned): exact, nothing beyond.
    {
      const int32_t n = round % 300, at = static_cast<int32_t>(rng() % 64);
      const Bytes level = RandomBytes(rng, 400);
      Bytes pass(400, 0x55), expectPass(400, 0x55);
      bool expectAny = false;
      for (int32_t i = 0; i < n; ++i) {
        expectPass[at + i] = level[at + i] <= threshold ? 0xFF : 0;
        expectAny |= level[at + i] <= threshold;
      }
      ASSERT_EQ(k->levelPass(level.data() + at, n, threshold, pass.data() + at), expectAny)
          << k->name << " round " << round;
      ASSERT_EQ(pass, expectPass) << k->name << " round " << round;
    }
  }
}

// Draws of every 8-bit kind with each set: fast and clipped placements, long runs (beyond one vector)
// and masks that change level on almost every pixel.
TEST_P(DrawKernels, EightBitDrawsMatchTheReference) {
  XB_UseDrawKernels(*k);
  EXPECT_STREQ(XB_ActiveDrawKernels().name, GetParam());
  std::mt19937 rng(99);
  BobLibraryBuilder builder(0);
  for (uint32_t n = 0; n < 12; n += 3) {
    const int32_t w = 1 + static_cast<int32_t>(rng() % 420), h = 1 + static_cast<int32_t>(rng() % 90);
    auto art = gfx_test::RandomArt(rng, w, h, 0, n == 6 ? 0.02 : 0.3, n == 3 ? 0.5 : 0.98);
    const int32_t ox = -static_cast<int32_t>(rng() % 40), oy = -static_cast<int32_t>(rng() % 40);
    builder.AddPacked(n, *art, 0, ox, oy);
    builder.AddShadow(n + 1, *art);
    // The last mask leaves 10 of the picture's columns uncovered on either side.
    const bool narrow = n == 9 && w > 24;
    auto levels = gfx_test::RandomArt(rng, narrow ? w - 20 : w + 10, h, 255, 0.1, n == 0 ? 0.9 : 0.1);
    builder.AddMask(n + 2, *levels, narrow ? ox + 10 : -5, narrow ? oy : 0);
  }
  std::unique_ptr<XB_BOB_MANAGER> lib(builder.Build());
  Bytes table1 = RandomBytes(rng, 256), table2 = RandomBytes(rng, 256), identity(256);
  for (int i = 0; i < 256; ++i) identity[i] = static_cast<uint8_t>(i);
  int changed = 0;
  for (int round = 0; round < 400; ++round) {
    // Masks are walked as runs, or decoded into levels once and kept, in turns of 40 draws.
    if (round % 40 == 0)
      lib->SetLevelPlaneBudget(round % 80 == 0 ? 0 : XB_BOB_MANAGER::kDefaultLevelPlaneBudget);
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
      case 3: {
        // Every other dissolve goes through identity tables, as the saver's do.
        const uint8_t* t1 = round % 8 == 3 ? identity.data() : table1.data();
        const uint8_t* t2 = round % 8 == 3 ? identity.data() : table2.data();
        lib->DrawBobThroughMask(n, n + 2, threshold, target, x, y, t1, t2);
        gfx_test::ReferenceDrawThroughMask(*lib, n, n + 2, threshold, expect, x, y, t1, t2);
        break;
      }
    }
    ASSERT_EQ(gfx_test::Pixels(target), gfx_test::Pixels(expect))
        << "round " << round << " bob " << n << " at " << x << "," << y << " into " << w << "x" << h;
    changed += gfx_test::Pixels(target) != before;
  }
  EXPECT_GT(changed, 200);
}

INSTANTIATE_TEST_SUITE_P(EverySet, DrawKernels, ::testing::Values("plain", "sse", "avx2", "avx512"),
                         [](const auto& info) { return std::string(info.param); });

// The environment variable picks the set on first use. Each check runs in a fresh copy of this
// program that inherits the variable; a name that cannot be had leaves the fastest set, with a warning.
void SetWanted(const char* name) {
#if defined(_WIN32)
  _putenv_s("TILLANDS_DRAW_KERNELS", name);
#else
  setenv("TILLANDS_DRAW_KERNELS", name, 1);
#endif
}

void PrintChoice() {
  std::fprintf(stderr, "draws with %s; warning: %s", XB_ActiveDrawKernels().name, XB_LastWarning());
  std::exit(0);
}

TEST(DrawKernelChoice, TheEnvironmentVariableForcesASet) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string fastest;
  for (int i = 0; XB_DRAW_KERNEL_NAMES[i]; ++i)
    if (XB_FindDrawKernels(XB_DRAW_KERNEL_NAMES[i])) fastest = XB_DRAW_KERNEL_NAMES[i];
  for (int i = 0; XB_DRAW_KERNEL_NAMES[i]; ++i) {
    const char* name = XB_DRAW_KERNEL_NAMES[i];
    if (!XB_FindDrawKernels(name)) continue;
    SetWanted(name);
    EXPECT_EXIT(PrintChoice(), ::testing::ExitedWithCode(0),
                std::string("draws with ") + name + "; warning: $");
  }
  SetWanted("avx9");
  EXPECT_EXIT(PrintChoice(), ::testing::ExitedWithCode(0),
              "draws with " + fastest + "; warning: TILLANDS_DRAW_KERNELS=avx9: no such kernel set");
  SetWanted("");
}

}  // namespace
