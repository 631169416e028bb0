// Fuzzes the remap table cache reader: arbitrary bytes as remaptables.cdf, read by a complete static
// data manager (the other descriptions are a small valid set), then the remap queries.
#include <cstdint>

#include "staticdata/ve_animation_state.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/fuzz/fuzz_static_data_env.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_env::Enter("fuzz_remap_cache");
  fuzz_env::WriteDescriptionSet();
  // One load from the text writes the caches; the remap cache becomes the seed.
  EnsureStaticData();
  DestroyStaticData();
  fuzz_env::RemoveTexts();
  fuzz_env::ExportSeed("DATA_V/ve_graphics/remaptables/remaptables.CDF", "remaptables.cdf");
  fuzz_env::ServeDirectoryFromMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_env::Serve("DATA_V/ve_graphics/remaptables/remaptables.CDF", data, size);
  try {
    VE_STATIC_DATA_MANAGER* manager = EnsureStaticData();
    for (uint16_t id = 0; id < 8; ++id) {
      (void)manager->GetRemapTable16Colours(id);
      (void)manager->GetRemapTable16Window(id);
    }
    (void)manager->GetRemapTableByName("shadow");
    VE_ANIMATION_STATE state{};
    StartAnimation(state, 0);
    UpdateCarryGoodColours(state);
    (void)DressCreature(state, "Man");
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  DestroyStaticData();
  return 0;
}
