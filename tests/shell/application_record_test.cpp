// The command line and the settings over the application record itself.
#include <gtest/gtest.h>

#include "scene/saver_application.h"
#include "shell/command_line.h"
#include "shell/settings.h"

namespace {

struct Record {
  Record() : app(CreateSaverApplication(nullptr)) {}
  ~Record() { DestroySaverApplication(app); }
  SaverApplication* app;
};

TEST(ApplicationRecord, CommandLineSetsTheModeFlagsAndArgument) {
  Record r;
  ASSERT_TRUE(ParseCommandLine(*r.app, "/P 4711"));
  EXPECT_EQ(r.app->previewMode, 1);
  EXPECT_EQ(r.app->configureMode, 0);
  EXPECT_STREQ(r.app->modeArgument, "4711");

  Record s;
  EXPECT_FALSE(ParseCommandLine(*s.app, "/q Rest"));
  EXPECT_EQ(s.app->previewMode + s.app->configureMode + s.app->passwordMode, 0);
  ASSERT_TRUE(ParseCommandLine(*s.app, nullptr));
  EXPECT_EQ(s.app->configureMode, 1);
}

TEST(ApplicationRecord, SettingsRoundTripThroughTheRecord) {
  MemorySettingsStore store;
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "FrameRate", 20);
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Num Animations", 3);
  Record r;
  LoadSettings(*r.app, store);
  EXPECT_EQ(r.app->frameRate, 20);
  EXPECT_EQ(r.app->numAnimations, 10);
  EXPECT_EQ(r.app->soundOn, 1);
  r.app->numAnimations = 77;
  r.app->soundOn = 0;
  SaveSettings(*r.app, store);
  Record back;
  LoadSettings(*back.app, store);
  EXPECT_EQ(back.app->frameRate, 20);
  EXPECT_EQ(back.app->numAnimations, 77);
  EXPECT_EQ(back.app->soundOn, 0);

  // Without a key the record's sound flag is left as it was.
  MemorySettingsStore empty;
  Record fresh;
  fresh.app->soundOn = 1;
  LoadSettings(*fresh.app, empty);
  EXPECT_EQ(fresh.app->soundOn, 1);
  EXPECT_EQ(fresh.app->frameRate, 12);
}

}  // namespace
