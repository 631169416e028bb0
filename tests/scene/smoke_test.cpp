#include <gtest/gtest.h>

#include "tests/scene/scene_world.h"

namespace {
TEST(SceneSmoke, WorldLoadsAndRuns) {
  tl_test::SceneWorld world;
  world.BeginScenes();
  world.Tick(2000);
  int alive = 0;
  for (auto& a : world.app().actors) alive += a.activity > 0;
  EXPECT_GT(alive, 0);
  for (auto& w : world.warnings) ADD_FAILURE() << w;
}
}  // namespace
