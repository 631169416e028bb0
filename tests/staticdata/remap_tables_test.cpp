// The remap table collection: tables from picture palettes, RemapTable16 windows, the shadow table,
// and the remaptables.cdf cache.
#include <gtest/gtest.h>

#include <filesystem>

#include "graphics/xb_palette.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/common/fatal_test.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::StaticDataTest;

TEST_F(StaticDataTest, RemapTablesMatchPicturePalettesAgainstTheScreen) {
  WriteStandardSet();
  VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_EQ(data->remapTableCount, 3u);
  EXPECT_FALSE(data->remapTablesFromCache);
  EXPECT_STREQ(data->remapTables[1].name, "Player");
  const uint8_t* shadow = data->remapTables[0].remapTable->GetData();
  const uint8_t* player = data->remapTables[1].remapTable->GetData();
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(shadow[i], i / 2) << i;
    EXPECT_EQ(player[i], 255 - i) << i;
  }
  // The entry keeps the picture's own palette.
  EXPECT_EQ(data->remapTables[1].palette->GetColour(10).red, 245);
  // Lookups ignore letter case; "Shadow" becomes the process-wide shadow table.
  EXPECT_EQ(data->GetRemapTableByName("SHADOW"), data->remapTables[0].remapTable);
  EXPECT_EQ(g_shadowTable, data->remapTables[0].remapTable);
  EXPECT_EQ(data->GetRemapTableId("civil"), 2);
  EXPECT_EQ(data->GetRemapTableId("none"), VE_NO_ID);
  EXPECT_EQ(data->GetRemapTableByName("none"), nullptr);

  ASSERT_EQ(data->remapTable16Count, 3u);
  EXPECT_EQ(data->GetRemapTable16Id("red"), 1);
  EXPECT_EQ(data->GetRemapTable16Id("green"), VE_NO_ID);
  // Window "Red" starts at 2: its bytes are remap bytes 2..17, its colours palette entries 32..47.
  EXPECT_EQ(data->GetRemapTable16Window(1), player + 2);
  const XB_PALETTE_ENTRY* colours = data->GetRemapTable16Colours(1);
  ASSERT_NE(colours, nullptr);
  EXPECT_EQ(colours, data->remapTables[1].palette->GetColours() + 32);
  EXPECT_EQ(data->GetRemapTable16Colours(VE_NO_ID), nullptr);
  EXPECT_EQ(data->GetRemapTable16Window(3), nullptr);
  EXPECT_TRUE(warnings.empty());

  Unload();
  EXPECT_EQ(g_shadowTable, nullptr);
  EXPECT_EQ(g_staticData, nullptr);
}

TEST_F(StaticDataTest, SecondLoadReadsRemapCacheWithIdenticalTables) {
  WriteStandardSet();
  VE_STATIC_DATA_MANAGER* first = Load();
  std::vector<std::vector<uint8_t>> bytes, colours;
  for (uint32_t i = 0; i < first->remapTableCount; ++i) {
    const uint8_t* t = first->remapTables[i].remapTable->GetData();
    bytes.emplace_back(t, t + 256);
    auto* c = reinterpret_cast<const uint8_t*>(first->remapTables[i].palette->GetColours());
    colours.emplace_back(c, c + 1024);
  }
  Unload();
  // The cache is written with the upper-case extension beside the .ini and found again as ".cdf".
  EXPECT_TRUE(DataExists("ve_graphics\\remaptables\\remaptables.CDF"));
  // The cache stands in for the text: edits of the .ini are not seen while it exists.
  WriteData("ve_graphics\\remaptables\\remaptables.ini", "[RemapTable]\nName = \"Changed\"\n");
  VE_STATIC_DATA_MANAGER* second = Load();
  EXPECT_TRUE(second->remapTablesFromCache);
  ASSERT_EQ(second->remapTableCount, bytes.size());
  for (uint32_t i = 0; i < second->remapTableCount; ++i) {
    const uint8_t* t = second->remapTables[i].remapTable->GetData();
    EXPECT_EQ(std::vector<uint8_t>(t, t + 256), bytes[i]);
    auto* c = reinterpret_cast<const uint8_t*>(second->remapTables[i].palette->GetColours());
    EXPECT_EQ(std::vector<uint8_t>(c, c + 1024), colours[i]);
  }
  ASSERT_EQ(second->remapTable16Count, 3u);
  EXPECT_STREQ(second->remapTables16[1].name, "Red");
  EXPECT_EQ(second->remapTables16[1].tableId, 1);
  EXPECT_EQ(second->remapTables16[1].start, 2);
  EXPECT_EQ(second->remapTables16[1].window, second->remapTables[1].remapTable->GetData() + 2);
  EXPECT_EQ(g_shadowTable, second->remapTables[0].remapTable);
}

TEST_F(StaticDataTest, BadRemapSectionsAreReportedAndPointNowhere) {
  WriteStandardSet();
  WriteData("ve_graphics\\remaptables\\remaptables.ini",
            "[RemapTable]\nName = \"NoFile\"\n"
            "[RemapTable]\nName = \"Shadow\"\nFileName = \"shadow.pcx\"\n"
            "[RemapTable16]\nName = \"Ghost\"\nRemapTable = \"Missing\", 1\n"
            "[RemapTable16]\nName = \"Far\"\nRemapTable = \"Shadow\", 241\n"
            "[RemapTable16]\nName = \"Edge\"\nRemapTable = \"Shadow\", 240\n"
            "[RemapTable16]\nName = \"Empty\"\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  // The table without a picture is left out; the windows keep their file order and ids.
  ASSERT_EQ(data->remapTableCount, 1u);
  EXPECT_STREQ(data->remapTables[0].name, "Shadow");
  ASSERT_EQ(data->remapTable16Count, 4u);
  EXPECT_EQ(data->GetRemapTable16Id("Edge"), 2);
  EXPECT_EQ(data->GetRemapTable16Window(0), nullptr);
  EXPECT_EQ(data->GetRemapTable16Window(1), nullptr);
  EXPECT_EQ(data->GetRemapTable16Window(2), data->remapTables[0].remapTable->GetData() + 240);
  // A window without a RemapTable key keeps its zeroed entry: table 0 from index 0.
  EXPECT_EQ(data->GetRemapTable16Window(3), data->remapTables[0].remapTable->GetData());
  // Colours of a window exist only for starts 0..15.
  EXPECT_EQ(data->GetRemapTable16Colours(2), nullptr);
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_NE(warnings[0].find("RemapTable NoFile has no picture"), std::string::npos);
  EXPECT_NE(warnings[1].find("RemapTable16 Ghost: its remap table is not defined"), std::string::npos);
  EXPECT_NE(warnings[2].find("RemapTable16 Far: start 241 lies outside the table"), std::string::npos);
  Unload();
  // The cache gives every window back exactly as the text did.
  data = Load();
  ASSERT_TRUE(data->remapTablesFromCache);
  ASSERT_EQ(data->remapTable16Count, 4u);
  EXPECT_EQ(data->remapTables16[3].tableId, 0);
  EXPECT_EQ(data->remapTables16[3].start, 0);
  EXPECT_EQ(data->GetRemapTable16Window(3), data->remapTables[0].remapTable->GetData());
  EXPECT_EQ(data->GetRemapTable16Window(0), nullptr);
  EXPECT_EQ(data->GetRemapTable16Window(1), nullptr);
  EXPECT_EQ(data->GetRemapTable16Window(2), data->remapTables[0].remapTable->GetData() + 240);
  Unload();
  // A file without windows ends its cache with a window count of 0 and gives no window array.
  RemoveData("ve_graphics\\remaptables\\remaptables.CDF");
  WriteData("ve_graphics\\remaptables\\remaptables.ini",
            "[RemapTable]\nName = \"Shadow\"\nFileName = \"shadow.pcx\"\n");
  data = Load();
  EXPECT_EQ(data->remapTable16Count, 0u);
  EXPECT_EQ(data->remapTables16, nullptr);
  Unload();
  std::vector<uint8_t> cache = dir.Read("Data_V/VE_Graphics/RemapTables/remaptables.CDF");
  ASSERT_EQ(cache.size(), 4u + 30 + 260 + 1028 + 4);
  EXPECT_EQ(std::vector<uint8_t>(cache.end() - 4, cache.end()), std::vector<uint8_t>(4, 0));
}

// Tables built while no screen palette is installed keep their indices (identities); they must not
// reach the cache, which a later start with a palette would trust.
TEST_F(StaticDataTest, TablesBuiltWithoutAScreenPaletteAreNeverCached) {
  WriteStandardSet();
  screen.reset();
  VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_EQ(data->remapTableCount, 3u);
  EXPECT_EQ(data->remapTables[1].remapTable->GetData()[10], 10);
  Unload();
  EXPECT_FALSE(DataExists("ve_graphics\\remaptables\\remaptables.CDF"));
}

TEST_F(StaticDataTest, DamagedRemapCacheIsRebuiltFromTheTextOrFatalWithoutIt) {
  WriteStandardSet();
  Load();
  Unload();
  std::vector<uint8_t> good = dir.Read("Data_V/VE_Graphics/RemapTables/remaptables.CDF");
  // A table count the file cannot hold, a short file, and a palette where a remap table must stand.
  std::vector<std::vector<uint8_t>> bad;
  bad.push_back(good);
  bad.back()[0] = 0xFF;
  bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 3));
  bad.push_back(good);
  bad.back()[4 + 30] = 50;
  for (const auto& bytes : bad) {
    // With the text there: a warning naming the cache, the tables from the text, a fresh cache.
    WriteDataBytes("ve_graphics\\remaptables\\remaptables.CDF", bytes);
    warnings.clear();
    VE_STATIC_DATA_MANAGER* data = Load();
    EXPECT_FALSE(data->remapTablesFromCache);
    EXPECT_EQ(data->remapTableCount, 3u);
    EXPECT_NE(g_shadowTable, nullptr);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("remaptables"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("rebuilt from the description"), std::string::npos) << warnings[0];
    Unload();
    EXPECT_EQ(dir.Read("Data_V/VE_Graphics/RemapTables/remaptables.CDF"), good);
  }
  // Without the text the damaged cache is all there is: fatal, naming it.
  dir.Write("Data_V/VE_Graphics/RemapTables/remaptables.CDF", bad[0]);
  std::filesystem::remove(dir.File("Data_V/VE_Graphics/RemapTables/remaptables.ini"));
  XB_EXPECT_FATAL_THROW(Load(), "remaptables");
  EXPECT_EQ(g_staticData, nullptr);
  EXPECT_EQ(g_shadowTable, nullptr);
}

}  // namespace
