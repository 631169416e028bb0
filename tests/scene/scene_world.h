// Test fixture: a saver application record over a synthetic data directory, with the static data
// loaded, a simulated clock and a sound sink that records what it is asked to play. The frame bitmap,
// palette, bob libraries, shadow table and background tile are set up as the saver's start-up does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/saver_application.h"
#include "tests/common/synthetic_world.h"
#include "tests/common/temp_dir.h"

namespace tl_test {

class RecordingSoundSink : public SoundSink {
 public:
  void PlayNamedSound(const char* resourceName) override { played.emplace_back(resourceName); }
  std::vector<std::string> played;
};

struct SceneWorldOptions {
  int width = 1280;
  int height = 720;
  uint32_t seed = 12345;
  uint16_t frameRate = 12;
  uint16_t numAnimations = 30;
  bool soundOn = true;
  SyntheticWorldOptions world;
};

class SceneWorld {
 public:
  explicit SceneWorld(const SceneWorldOptions& options = {});
  ~SceneWorld();
  SceneWorld(const SceneWorld&) = delete;
  SceneWorld& operator=(const SceneWorld&) = delete;

  SaverApplication& app() { return *app_; }
  const SaverApplication& app() const { return *app_; }

  // Milliseconds per tick at the record's frame rate (at least 1 frame per second).
  uint32_t TickMs() const;
  // One UpdateFrame, then the clock moves on by one tick.
  void Tick(int count = 1);
  // As the presentation does when the intro ends: the first scene phase starts now.
  void BeginScenes();
  // Slots with that activity; the first of them (or null).
  int Count(int32_t activity) const;
  ActorSlot* First(int32_t activity);
  // A fresh slot from the pool (fails the test when none is left).
  ActorSlot& NewActor();
  // Free every slot and every site.
  void ClearPool();

  SimulatedClock clock{1000};
  RecordingSoundSink sound;
  std::vector<std::string> warnings;

 private:
  TempDir dir_;
  SaverApplication* app_ = nullptr;
  uint8_t displaySentinel_ = 0;
};

// Whether the frame bitmap holds any pixel of that palette index inside the rectangle.
bool FrameHasColourIn(const SaverApplication& app, uint8_t colour, int x0, int y0, int x1, int y1);

}  // namespace tl_test
