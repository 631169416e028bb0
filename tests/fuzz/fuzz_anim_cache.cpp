// Fuzzes the animation description cache reader: arbitrary bytes as z_animation_descriptions.cdf,
// read by a complete static data manager, then the creature operations over whatever it holds.
#include <cstdint>

#include "graphics/xb_bitmap.h"
#include "staticdata/ve_animation_state.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/fuzz/fuzz_static_data_env.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_env::Enter("fuzz_anim_cache");
  fuzz_env::WriteDescriptionSet();
  EnsureStaticData();
  DestroyStaticData();
  fuzz_env::RemoveTexts();
  fuzz_env::ExportSeed("DATA_V/ve_graphics/creatures/z_animation_descriptions.CDF",
                       "z_animation_descriptions.cdf");
  fuzz_env::ServeDirectoryFromMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_env::Serve("DATA_V/ve_graphics/creatures/z_animation_descriptions.CDF", data, size);
  try {
    VE_STATIC_DATA_MANAGER* manager = EnsureStaticData();
    XB_BITMAP bitmap(8, 8, XB_PIXELS_8);
    for (uint32_t id = 0; id < manager->animationCount && id < 8; ++id) {
      VE_ANIMATION_STATE state{};
      StartAnimation(state, static_cast<uint16_t>(id));
      state.hairOn = 1;
      for (int tick = 0; tick < 16; ++tick) {
        RunFrameEvents(state);
        DrawAnimation(state, &bitmap, 4, 4);
        AdvanceAnimation(state);
      }
      UpdateCarryGoodColours(state);
    }
    VE_ANIMATION_STATE state{};
    (void)StartWalkAnimation(state, "Man", 0, 10);
    (void)GetAnimationLength("Man", 2000, 0);
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  DestroyStaticData();
  return 0;
}
