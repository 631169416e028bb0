// Test helpers for the static data: a scratch data directory with small description sets, bob
// libraries made with the bob authoring code, remap-table pictures as PCX files, and the application
// seam wired to a grey-ramp screen palette, a scripted random sequence and a warning recorder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "graphics/xb_palette.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/common/temp_dir.h"

namespace tl_test {

// An 8-bit PCX picture (run-length encoded) with the given pixels and 768-byte RGB palette.
std::vector<uint8_t> MakePcx8(int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                              const std::vector<uint8_t>& paletteRgb);
// 768 bytes: colour i = f(i) as grey.
std::vector<uint8_t> GreyPalette(int (*f)(int));

class StaticDataTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes text below DATA_V (backslashes in `relative` become folders).
  void WriteData(const std::string& relative, const std::string& text);
  void WriteDataBytes(const std::string& relative, const std::vector<uint8_t>& bytes);
  bool DataExists(const std::string& relative) const;
  void RemoveData(const std::string& relative);
  // A bob library "ve_graphics\bobmanager\<name>.bmd": `count` packed 1x1 bobs numbered from 0,
  // bob n of colour (base + n) & 255 (never 0), drawn `offsetX` pixels right of the position.
  void WriteBobLibrary(const std::string& name, uint32_t count, uint8_t base, int32_t offsetX = 0);
  // A library of `count` 1x1 shadow bobs.
  void WriteShadowLibrary(const std::string& name, uint32_t count, int32_t offsetX = 0);

  // Writes a small but complete description set: remap tables "Shadow" (halves), "Player" (inverts),
  // "Civil" (identity-like) with windows "Blue" (Player, 1), "Red" (Player, 2), "Low" (Civil, 0);
  // library "man" with heads, hairs, cap, scout, helmets and shadow; animations, walk data,
  // creatures "civilian", "Man", "Woman", "Soldier", "Sheep" and player colour sets.
  void WriteStandardSet();

  // Replaces one description file's text (relative to ve_graphics\creatures or remaptables).
  VE_STATIC_DATA_MANAGER* Load();
  void Unload();

  // Random numbers handed out by ApplicationRand (then 0 when the script is empty).
  std::deque<int> randScript;
  int randCalls = 0;
  std::vector<std::string> warnings;
  std::vector<std::string> sounds;
  std::unique_ptr<XB_PALETTE> screen;  // grey ramp: colour i = (i, i, i)
  TempDir dir;
};

}  // namespace tl_test
