// The actor pool: allocation order and reuse of waiting walkers, clearing, the depth-sorted draw order,
// and the shared random-range helper.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/xb_archive_writer.h"
#include "base/xb_file.h"
#include "scene/actor_pool.h"
#include "tests/common/temp_dir.h"

namespace {

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override { app = CreateSaverApplication(nullptr); }
  void TearDown() override { DestroySaverApplication(app); }
  SaverApplication* app = nullptr;
};

TEST_F(PoolTest, NewRecordIsZeroExceptInstanceAndFirstMouse) {
  DestroySaverApplication(app);
  int instance = 0;
  app = CreateSaverApplication(&instance);
  EXPECT_EQ(g_application, app);
  EXPECT_EQ(app->instance, &instance);
  EXPECT_EQ(app->firstMouseX, -1);
  EXPECT_EQ(app->firstMouseY, -1);
  EXPECT_EQ(app->frameBitmap, nullptr);
  EXPECT_EQ(app->textPhase, 0);
  EXPECT_EQ(app->displayScale, 1) << "the display starts unscaled";
  EXPECT_EQ(CountFreeActors(*app), kActorCount);
  SaverApplication* other = CreateSaverApplication(nullptr);
  DestroySaverApplication(other);
  EXPECT_EQ(g_application, nullptr) << "destroying the current record clears the process-wide pointer";
  DestroySaverApplication(nullptr);  // nothing to destroy: no effect
}

TEST_F(PoolTest, AllocationTakesFreeSlotsThenWaitingWalkers) {
  // Negative codes count as free for allocation but not for CountFreeActors.
  for (auto& actor : app->actors) actor.activity = kActWalker;
  app->actors[7].activity = -3;
  app->actors[7].x = 99.0f;
  std::strcpy(app->actors[7].creatureName, "sheep");
  EXPECT_EQ(CountFreeActors(*app), 0);
  EXPECT_EQ(AllocateActor(*app), 7);
  EXPECT_EQ(app->actors[7].activity, 0);
  EXPECT_EQ(app->actors[7].x, 0.0f);
  EXPECT_EQ(app->actors[7].creatureName[0], 0);
  EXPECT_EQ(app->actors[7].arrivalDirection, kDirAuto);

  app->actors[7].activity = kActWalker;
  EXPECT_EQ(AllocateActor(*app), kNoActor) << "no free slot and no waiting walker";
  app->actors[149].activity = kActWaitingWalker;
  app->actors[120].activity = kActWaitingWalker;
  app->actors[120].deadline = 5;
  EXPECT_EQ(AllocateActor(*app), 120) << "the first waiting walker is dropped";
  EXPECT_EQ(app->actors[120].deadline, 0u);
  // A free slot 0 comes before any waiting walker.
  app->actors[0].activity = 0;
  app->actors[149].activity = kActWaitingWalker;
  EXPECT_EQ(AllocateActor(*app), 0);
}

TEST_F(PoolTest, DrawOrderSortsByTruncatedYWithStableTiesAndStorkLast) {
  auto put = [&](int slot, int32_t activity, float y) {
    app->actors[slot].activity = activity;
    app->actors[slot].y = y;
  };
  put(0, kActWalker, 300.0f);
  put(3, kActIdle, 100.9f);
  put(5, kActWalker, 100.2f);  // same truncated y as slot 3: slot order decides
  put(9, kActStork, 50.0f);
  put(12, kActStork, 40.0f);  // the first stork in y order goes last; the other keeps its place
  put(149, kActFlower, 200.0f);
  put(20, kActWaitingWalker, 10.0f);  // not drawn, but still takes part in the order
  BuildDrawOrder(*app);
  std::vector<int> order;
  for (int p = 0; p < kDrawOrderSize; ++p) {
    if (app->drawOrder[p]) order.push_back(app->drawOrder[p] - 1);
  }
  EXPECT_EQ(order, (std::vector<int>{20, 9, 3, 5, 149, 0, 12}));
  EXPECT_EQ(app->drawOrder[150], 13);

  // Moving past another actor changes the order from the next build on.
  app->actors[3].y = 250.0f;
  BuildDrawOrder(*app);
  order.clear();
  for (int p = 0; p < kDrawOrderSize; ++p) {
    if (app->drawOrder[p]) order.push_back(app->drawOrder[p] - 1);
  }
  EXPECT_EQ(order, (std::vector<int>{20, 9, 5, 149, 3, 0, 12}));
}

TEST_F(PoolTest, RandomRangeWrapsLikeUnsignedArithmetic) {
  app->random.Seed(1);
  for (int i = 0; i < 200; ++i) {
    const int32_t v = SceneRandomCoord(*app, -10, 20);
    EXPECT_GE(v, -10);
    EXPECT_LE(v, 20);
  }
  // The span that would need a modulus of 2^32 must not divide by zero.
  const uint32_t before = app->random.State();
  SceneRandomRange(*app, 0, -1);
  EXPECT_NE(app->random.State(), before);
  EXPECT_EQ(SceneRandomRange(*app, 5, 5), 5u);
  // The full 32-bit span draws the generator's next state as it is.
  XB_RANDOM copy = app->random;
  EXPECT_EQ(SceneRandomRange(*app, 0, -1), copy.Random(0x7FFFFFFEu));
  copy = app->random;
  EXPECT_EQ(SceneRandomRange(*app, 7, 6), 7u + copy.Random(0x7FFFFFFEu));
  // Spans one short of the full one are ordinary ranges.
  copy = app->random;
  EXPECT_EQ(SceneRandomRange(*app, 1, -1), copy.RandomRange(1u, 0xFFFFFFFFu));
}

TEST(SceneHelpers, NearTruncatesTheDistance) {
  EXPECT_TRUE(Near(10.0f, 15.9f));
  EXPECT_FALSE(Near(10.0f, 16.0f));
  EXPECT_TRUE(Near(-3.0f, 2.5f));
  EXPECT_TRUE(DeadlinePassed(100, 100));
  EXPECT_FALSE(DeadlinePassed(99, 100));
  EXPECT_TRUE(DeadlinePassed(5, 0xFFFFFFF0u)) << "deadlines survive the clock wrapping";
  EXPECT_TRUE(DeadlinePassed(0x90000000u, 0)) << "a deadline of 0 has always passed";
  EXPECT_TRUE(SameName("Baby", "bABY"));
  EXPECT_FALSE(SameName("baby", "babyx"));
}

TEST(SaverRecord, DestroyingTheRecordClosesItsPackedDataFile) {
  tl_test::TempDir dir;
  dir.Enter();
  std::string error;
  ASSERT_TRUE(XB_WriteArchive("data_v.dat", {{"Data_V\\member.txt", {'x'}}}, &error)) << error;
  SaverApplication* app = CreateSaverApplication(nullptr);
  app->archive = new XB_ARCHIVE("data_v.dat");
  ASSERT_GE(RegisterArchive(app->archive), 0);
  EXPECT_TRUE(XB_FILE::Exists("Data_V\\member.txt"));
  DestroySaverApplication(app);
  EXPECT_FALSE(XB_FILE::Exists("Data_V\\member.txt")) << "the archive left the table with the record";
  dir.Leave();
}

}  // namespace
