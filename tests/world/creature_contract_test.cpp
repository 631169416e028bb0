// The creatures of the demo world against what the scene director asks of them: every name, walk,
// animation code and direction the scenes use must load, dress and draw, without a single warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "graphics/bob_authoring.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "scene/scene_creatures.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_animation_state.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/common/build_dirs.h"
#include "tests/common/temp_dir.h"
#include "tools/world/colour_sets.h"
#include "tools/world/creature_world.h"
#include "tools/world/world_builder.h"

namespace {

using tlworld::WorldOutput;

constexpr int kE = 0, kSE = 1, kSW = 2, kW = 3, kNW = 4, kNE = 5, kN = 10, kS = 11;

// The codes PickIdleAnimation draws from.
const uint16_t kIdleCodes[] = {1000, 1001, 1002, 1003, 1005, 1006, 1007, 1008, 2000, 2001, 2002,
                               2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2012, 2013};

// The program's WAVE resources and the cue names that choose a numbered variant.
bool IsKnownCue(std::string name) {
  for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
  static const std::set<std::string> waves = {
      "AXEONWOOD", "BIRD1", "BIRD2",      "CRICKET",     "DIGHOLE",     "DUMMY", "HAMMER", "PLATSCH",
      "PLOP",      "POND1", "PRAYINGMAN", "SNORKINGMAN", "TREEFALLING", "BABY",  "SHEEP"};
  return waves.count(name) != 0;
}

// The creature part of the world (with the "Shadow" table it needs) written into a scratch data
// directory once for all tests, loaded by the static data manager for each.
class CreatureWorld : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterGraphicsStorables();
    dir_ = new tl_test::TempDir();
    // The build generates the world into its tree; a copy keeps the caches the loaders write out of
    // it. Without a generated world (a build without it), the creature part is made here.
    const std::filesystem::path built = std::filesystem::path(tl_test::BinaryDir()) / "world" / "Tillands";
    if (std::filesystem::exists(built / "DATA_V")) {
      std::filesystem::copy(built, dir_->Path(), std::filesystem::copy_options::recursive);
      return;
    }
    WorldOutput out;
    tlworld::AddShadowTable(out);
    tlworld::BuildCreatures(out);
    out.Finish();
    std::string error;
    ASSERT_TRUE(tlworld::WriteWorld(out, dir_->Path().string(), false, &error)) << error;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    dir_->Enter();
    screen_ = std::make_unique<XB_PALETTE>();
    const tlworld::PaletteRgb rgb = tlworld::ScreenPalette();
    uint8_t triples[768];
    for (int i = 0; i < 256; ++i) {
      triples[i * 3] = uint8_t(rgb[size_t(i)].r);
      triples[i * 3 + 1] = uint8_t(rgb[size_t(i)].g);
      triples[i * 3 + 2] = uint8_t(rgb[size_t(i)].b);
    }
    screen_->SetFromRgbTriples(triples);
    VE_APPLICATION_SERVICES services;
    services.palette = [this]() { return screen_.get(); };
    services.warning = [this](const char* text) { warnings_.emplace_back(text); };
    services.soundCue = [this](const char* name) { sounds_.emplace_back(name); };
    SetApplicationServices(services);
    SeedPortableRand(1234);
    manager_ = EnsureStaticData();
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    DestroyStaticData();
    ResetApplicationServices();
    dir_->Leave();
  }

  const VE_CREATURE_DESCRIPTION* CreatureByName(const char* name) {
    return manager_->GetCreature(manager_->GetCreatureDescriptionIdByName(name));
  }
  const VE_ANIMATION_DESCRIPTION* Animation(const char* name, uint16_t code, int direction) {
    const VE_CREATURE_DESCRIPTION* c = CreatureByName(name);
    return c ? manager_->GetAnimation(manager_->FindCreatureAnimation(c, code, direction)) : nullptr;
  }
  const VE_ANIMATION_DESCRIPTION* WalkAnimation(const char* name, uint16_t kind, int direction) {
    const VE_CREATURE_DESCRIPTION* c = CreatureByName(name);
    if (!c) return nullptr;
    return manager_->GetAnimation(manager_->GetWalkAnimation(manager_->FindWalkData(c, kind), direction));
  }

  // The creature colours a creature's pictures use: every pixel of every layer of every frame of
  // its walks and animations.
  std::set<uint8_t> ColoursOf(const VE_CREATURE_DESCRIPTION& c) {
    std::set<const VE_ANIMATION_DESCRIPTION*> anims;
    for (int i = 0; i < c.walkKindCount; ++i) {
      for (int d : {0, 1, 2, 3, 4, 5, 10, 11})
        if (auto* a = manager_->GetAnimation(manager_->GetWalkAnimation(c.walkKinds[i].walkDataId, d)))
          anims.insert(a);
    }
    for (int i = 0; i < c.animationCount; ++i)
      for (int d = 0; d < 6; ++d)
        if (auto* a = manager_->GetAnimation(c.animations[i].ids[c.animations[i].perDirection ? d : 0]))
          anims.insert(a);
    std::set<uint8_t> colours;
    for (const VE_ANIMATION_DESCRIPTION* a : anims)
      for (int layer = 0; layer < VE_LAYER_SHADOW; ++layer) {
        if (!a->layers[layer]) continue;
        for (int f = 0; f < a->frameCount; ++f) {
          std::unique_ptr<XB_BITMAP> pixels(DecodeBob(*a->layers[layer], a->frames[f], 0));
          std::unique_ptr<XB_BITMAP> cover(DecodeBobCoverage(*a->layers[layer], a->frames[f]));
          if (!pixels || !cover) continue;
          for (int y = 0; y < pixels->GetHeight(); ++y)
            for (int x = 0; x < pixels->GetWidth(); ++x)
              if (cover->Row(y)[x]) colours.insert(pixels->Row(y)[x]);
        }
      }
    return colours;
  }

  static tl_test::TempDir* dir_;
  std::unique_ptr<XB_PALETTE> screen_;
  VE_STATIC_DATA_MANAGER* manager_ = nullptr;
  std::vector<std::string> warnings_;
  std::vector<std::string> sounds_;
};
tl_test::TempDir* CreatureWorld::dir_ = nullptr;

TEST_F(CreatureWorld, DescriptionsLoadWithoutWarningsAndEveryNameResolves) {
  EXPECT_TRUE(warnings_.empty()) << warnings_.front();
  for (const char* name : kSceneCreatures) EXPECT_NE(CreatureByName(name), nullptr) << name;
  EXPECT_TRUE(warnings_.empty()) << (warnings_.empty() ? "" : warnings_.front());
  // Every animation has its body, its shadow and all its frames in the body library.
  for (uint32_t i = 0; i < manager_->animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = manager_->animations[i];
    ASSERT_NE(a.layers[VE_LAYER_BODY], nullptr) << a.name;
    ASSERT_NE(a.layers[VE_LAYER_SHADOW], nullptr) << a.name;
    for (int f = 0; f < a.frameCount; ++f) {
      XB_RECT r;
      EXPECT_TRUE(a.layers[VE_LAYER_BODY]->GetBobRect(a.frames[f], r)) << a.name << " frame " << f;
    }
    EXPECT_GE(a.frameCount, 8) << a.name;
  }
}

TEST_F(CreatureWorld, EveryWalkTheScenesStartExists) {
  VE_ANIMATION_STATE state{};
  for (const char* name : kSceneCreatures) {
    for (int d : {kE, kSE, kSW, kW, kNW, kNE, kN, kS})
      EXPECT_TRUE(StartWalkAnimation(state, name, 1000, d)) << name << " direction " << d;
    EXPECT_GT(GetWalkSpeed(name, 1000), 0) << name;
  }
  for (int d : {kE, kSE, kSW, kW, kNW, kNE, kN, kS}) {
    EXPECT_TRUE(StartWalkAnimation(state, "woodworker_trainee", 2000, d)) << d;
    EXPECT_TRUE(StartWalkAnimation(state, "fisher_trainee", 2002, d)) << d;
  }
  // Walkers other than the stork have vertical walks of their own where they exist.
  const VE_ANIMATION_DESCRIPTION* north = WalkAnimation("civilian", 1000, kN);
  ASSERT_NE(north, nullptr);
  EXPECT_NE(north, WalkAnimation("civilian", 1000, kNE));
  EXPECT_TRUE(warnings_.empty()) << (warnings_.empty() ? "" : warnings_.front());
}

TEST_F(CreatureWorld, EveryWorkAndGatheringAnimationExistsInItsDirections) {
  struct Need {
    const char* name;
    uint16_t code;
    std::vector<int> directions;
  };
  const Need needs[] = {
      {"constructionworker_trainee", 2001, {kE, kNE, kNW}},
      {"constructionworker_master", 2001, {kE, kNE, kNW}},
      {"woodworker_trainee", 2000, {kE}},
      {"clayworker_trainee", 2000, {kNE}},
      {"fisher_trainee", 2000, {kNE}},
      {"woman_01", 1008, {kE, kNE, kNW}},
      {"civilian", 1005, {kE, kNE, kNW}},
      {"civilian", 1008, {kE, kNE, kNW}},
      {"civilian", 1007, {kSE, kW, kNW, kNE}},
      {"woman_01", 1007, {kSE, kW, kNW, kNE}},
  };
  for (const Need& n : needs)
    for (int d : n.directions) {
      EXPECT_TRUE(HasCreatureAnimation(n.name, n.code, d)) << n.name << " " << n.code << " dir " << d;
      EXPECT_GE(GetAnimationLength(n.name, n.code, d), 8u) << n.name << " " << n.code;
    }
  // Facing matters: the work animations differ between directions.
  EXPECT_NE(Animation("constructionworker_trainee", 2001, kE),
            Animation("constructionworker_trainee", 2001, kNW));
  // The fisher's turn at the pit lasts a moment the scene waits for (at least a second at 12 fps).
  EXPECT_GE(GetAnimationLength("fisher_trainee", 2000, kNE), 12u);
}

// Every creature the scenes name can stand idle: the walker kinds, the babies, villagers after a meeting.
TEST_F(CreatureWorld, EveryWalkerHasSeveralIdlesFacingSouthWest) {
  for (const char* name : kSceneCreatures) {
    int found = 0;
    for (uint16_t code : kIdleCodes) found += HasCreatureAnimation(name, code, kSW) ? 1 : 0;
    EXPECT_GE(found, 3) << name;
  }
  // The babies' fall from the stork starts them idle.
  EXPECT_TRUE(HasCreatureAnimation("baby_male", 1000, kSW));
}

TEST_F(CreatureWorld, SoundEventsUseTheProgramsCues) {
  int withSound = 0;
  for (uint32_t i = 0; i < manager_->animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = manager_->animations[i];
    for (int e = 0; e < a.eventCount; ++e) {
      EXPECT_EQ(a.events[e].code, VE_EVENT_PLAY_SOUND) << a.name;
      EXPECT_LT(a.events[e].frame, a.frameCount) << a.name;
      ASSERT_NE(a.eventSound, nullptr) << a.name;
      EXPECT_TRUE(IsKnownCue(a.eventSound)) << a.name << " " << a.eventSound;
      ++withSound;
    }
  }
  EXPECT_GT(withSound, 10);
  // Hammering is heard when the hammer comes down.
  VE_ANIMATION_STATE state{};
  ASSERT_TRUE(StartCreatureAnimation(state, "constructionworker_trainee", 2001, kE));
  for (int tick = 0; tick < 8; ++tick) {
    RunFrameEvents(state);
    AdvanceAnimation(state);
  }
  EXPECT_EQ(sounds_, std::vector<std::string>{"hammer"});
}

TEST_F(CreatureWorld, TheStorkFliesLongEnoughToDropTheBaby) {
  const VE_ANIMATION_DESCRIPTION* fly = WalkAnimation("stork", 1000, kW);
  ASSERT_NE(fly, nullptr);
  EXPECT_GE(uint32_t(fly->frameCount) * fly->ticksPerFrame, 113u);
  // The bundle is carried until frame 56 and gone after it.
  EXPECT_NE(fly->frames[55], fly->frames[56]);
  // Same wing beat, with and without the bundle: the bundle adds pixels.
  auto covered = [&](int frame) {
    std::unique_ptr<XB_BITMAP> cover(DecodeBobCoverage(*fly->layers[VE_LAYER_BODY], fly->frames[frame]));
    int n = 0;
    for (int y = 0; cover && y < cover->GetHeight(); ++y)
      for (int x = 0; x < cover->GetWidth(); ++x) n += cover->Row(y)[x] ? 1 : 0;
    return n;
  };
  EXPECT_GT(covered(48), covered(56) + 10);
}

TEST_F(CreatureWorld, DressingNeverLeavesABodyColourBlack) {
  for (const char* name : kSceneCreatures) {
    const VE_CREATURE_DESCRIPTION* c = CreatureByName(name);
    ASSERT_NE(c, nullptr) << name;
    const std::set<uint8_t> colours = ColoursOf(*c);
    ASSERT_FALSE(colours.empty()) << name;
    // Several dressings, so that every colour set and choice gets its turn.
    for (int round = 0; round < 40; ++round) {
      VE_ANIMATION_STATE state{};
      ASSERT_TRUE(DressCreature(state, name)) << name;
      ASSERT_TRUE(ChooseOutfit(state, name)) << name;
      for (uint8_t p : colours) {
        EXPECT_NE(state.colourMap[p], 0) << name << " colour " << int(p);
        EXPECT_NE(state.colourMap[p], 255) << name << " colour " << int(p);
      }
    }
  }
  EXPECT_TRUE(warnings_.empty()) << (warnings_.empty() ? "" : warnings_.front());
}

TEST_F(CreatureWorld, EveryHeadAndHairIsDrawnForEveryAnimationOfItsBody) {
  // The layer loader reads heads 0-5 and hairs 0-1 of every layered body; each must exist for every
  // animation and frame the body has, so no outfit shows a bare neck or a missing haircut.
  int checked = 0;
  for (uint32_t i = 0; i < manager_->animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = manager_->animations[i];
    const std::string name = a.name;
    const bool layered = name.rfind("man_", 0) == 0 || name.rfind("woman_", 0) == 0 ||
                         name.rfind("boy_", 0) == 0 || name.rfind("girl_", 0) == 0;
    if (!layered) continue;
    for (int layer = VE_LAYER_HEAD0; layer <= VE_LAYER_HEAD0 + 5; ++layer) {
      ASSERT_NE(a.layers[layer], nullptr) << name << " head " << layer - VE_LAYER_HEAD0;
      for (int f = 0; f < a.frameCount; ++f) {
        XB_RECT r;
        EXPECT_TRUE(a.layers[layer]->GetBobRect(a.frames[f], r))
            << name << " head " << layer - VE_LAYER_HEAD0 << " frame " << f;
      }
    }
    for (int layer : {int(VE_LAYER_HAIRS0), int(VE_LAYER_HAIRS0) + 1}) {
      ASSERT_NE(a.layers[layer], nullptr) << name << " hairs " << layer - VE_LAYER_HAIRS0;
      XB_RECT r;
      EXPECT_TRUE(a.layers[layer]->GetBobRect(a.frames[0], r))
          << name << " hairs " << layer - VE_LAYER_HAIRS0;
    }
    ++checked;
  }
  EXPECT_GT(checked, 100);
  // The heads differ from one another (each is its own face, not a copy of head 0).
  const VE_ANIMATION_DESCRIPTION* stand = Animation("woman_01", 1000, kSW);
  ASSERT_NE(stand, nullptr);
  std::set<std::vector<uint8_t>> faces;
  for (int h = 0; h < 6; ++h) {
    std::unique_ptr<XB_BITMAP> pixels(DecodeBob(*stand->layers[VE_LAYER_HEAD0 + h], stand->frames[0], 0));
    ASSERT_NE(pixels, nullptr);
    std::vector<uint8_t> bytes;
    for (int y = 0; y < pixels->GetHeight(); ++y)
      bytes.insert(bytes.end(), pixels->Row(y), pixels->Row(y) + pixels->GetWidth());
    faces.insert(bytes);
  }
  EXPECT_EQ(faces.size(), 6u);
}

TEST_F(CreatureWorld, SoldiersAndWorkersIdleWithTheirOwnKit) {
  // Soldiers idle in uniform with the spear, workers rest on their tools: their idles are their own
  // animations, not the civilian's.
  for (const char* soldier : {"soldier_a", "soldier_b", "soldier_c"}) {
    int own = 0;
    for (uint16_t code : kIdleCodes)
      if (const VE_ANIMATION_DESCRIPTION* a = Animation(soldier, code, kSW))
        own += std::string(a->name).find("guard") != std::string::npos ? 1 : 0;
    EXPECT_GE(own, 3) << soldier;
  }
  const std::pair<const char*, const char*> rests[] = {{"constructionworker_trainee", "hammerrest"},
                                                       {"constructionworker_master", "hammerrest"},
                                                       {"woodworker_trainee", "axerest"},
                                                       {"clayworker_trainee", "shovelrest"},
                                                       {"fisher_trainee", "shovelrest"}};
  for (const auto& [worker, rest] : rests) {
    bool found = false;
    for (uint16_t code : kIdleCodes)
      if (const VE_ANIMATION_DESCRIPTION* a = Animation(worker, code, kSW))
        found |= std::string(a->name).find(rest) != std::string::npos;
    EXPECT_TRUE(found) << worker << " " << rest;
  }
  EXPECT_TRUE(warnings_.empty()) << (warnings_.empty() ? "" : warnings_.front());
}

TEST_F(CreatureWorld, TheStorksBundleKeepsItsOwnColourWhateverTheDressing) {
  // The bundle is drawn in colours no colour set, RemapName table window or creature's own colours
  // replace: whatever dressing the stork gets, those colours map to the same screen colours.
  const VE_ANIMATION_DESCRIPTION* fly = WalkAnimation("stork", 1000, kW);
  ASSERT_NE(fly, nullptr);
  std::unique_ptr<XB_BITMAP> with(DecodeBob(*fly->layers[VE_LAYER_BODY], fly->frames[48], 0));
  std::unique_ptr<XB_BITMAP> cover(DecodeBobCoverage(*fly->layers[VE_LAYER_BODY], fly->frames[48]));
  ASSERT_TRUE(with && cover);
  // The bundle hangs below the bird: the pixels of the lowest rows.
  std::set<uint8_t> bundle;
  for (int y = with->GetHeight() - 5; y < with->GetHeight(); ++y)
    for (int x = 0; x < with->GetWidth(); ++x)
      if (cover->Row(y)[x]) bundle.insert(with->Row(y)[x]);
  ASSERT_FALSE(bundle.empty());
  std::vector<uint8_t> first;
  for (int round = 0; round < 30; ++round) {
    VE_ANIMATION_STATE state{};
    ASSERT_TRUE(DressCreature(state, "stork"));
    std::vector<uint8_t> mapped;
    for (uint8_t p : bundle) {
      EXPECT_LT(p, 16) << "bundle colour " << int(p) << " lies in a slot a dressing can replace";
      mapped.push_back(state.colourMap[p]);
    }
    if (round == 0) first = mapped;
    EXPECT_EQ(mapped, first);
  }
  // And they are not the apron's: a woman's apron colours are elsewhere.
  for (uint8_t p : bundle) EXPECT_NE(p / 16, 6) << int(p);
}

TEST_F(CreatureWorld, OutfitsHaveTheirLayers) {
  // Men vary their heads and hair, workers wear caps, the scout his hat, soldiers their helmets.
  const VE_ANIMATION_DESCRIPTION* walk = WalkAnimation("civilian", 1000, kSW);
  ASSERT_NE(walk, nullptr);
  for (int h = 0; h < 5; ++h) EXPECT_NE(walk->layers[VE_LAYER_HEAD0 + h], nullptr) << h;
  EXPECT_NE(walk->layers[VE_LAYER_HAIRS0], nullptr);
  EXPECT_NE(walk->layers[VE_LAYER_CAP], nullptr);
  EXPECT_NE(WalkAnimation("scout_master", 1000, kE)->layers[VE_LAYER_SCOUT], nullptr);
  const char* soldiers[3] = {"soldier_a", "soldier_b", "soldier_c"};
  for (int k = 0; k < 3; ++k) {
    VE_ANIMATION_STATE state{};
    ASSERT_TRUE(ChooseOutfit(state, soldiers[k]));
    ASSERT_TRUE(state.helmetOn);
    EXPECT_EQ(state.helmetLayer, uint32_t(k));
    const VE_ANIMATION_DESCRIPTION* march = WalkAnimation(soldiers[k], 1000, kE);
    ASSERT_NE(march->layers[VE_LAYER_HELMET0 + k], nullptr) << soldiers[k];
    XB_RECT r;
    EXPECT_TRUE(march->layers[VE_LAYER_HELMET0 + k]->GetBobRect(march->frames[0], r)) << soldiers[k];
  }
  const VE_ANIMATION_DESCRIPTION* woman = WalkAnimation("woman_01", 1000, kSW);
  EXPECT_NE(woman->layers[VE_LAYER_HAIRS0], nullptr);
  EXPECT_NE(woman->layers[VE_LAYER_HAIRS0 + 1], nullptr);
}

TEST_F(CreatureWorld, GrownUpsAreAboutFortyPixelsTallAndChildrenSmaller) {
  // Measured in the walk's frame with the feet closest together (long steps spread them over the
  // screen's height).
  auto height = [&](const char* name) {
    const VE_ANIMATION_DESCRIPTION* a = WalkAnimation(name, 1000, kSW);
    int least = 1 << 20;
    for (int f = 0; f < a->frameCount; ++f) {
      int top = 1 << 20, bottom = -(1 << 20);
      for (int layer : {int(VE_LAYER_BODY), int(VE_LAYER_HEAD0), int(VE_LAYER_HAIRS0)}) {
        XB_RECT r;
        if (a->layers[layer] && a->layers[layer]->GetBobRect(a->frames[f], r)) {
          top = std::min(top, int(r.y));
          bottom = std::max(bottom, int(r.y + r.height));
        }
      }
      least = std::min(least, bottom - top);
    }
    return least;
  };
  EXPECT_GE(height("civilian"), 36);
  EXPECT_LE(height("civilian"), 44);
  EXPECT_GE(height("woman_01"), 34);
  EXPECT_LE(height("woman_01"), 44);
  EXPECT_LT(height("girl_00"), height("woman_01"));
  EXPECT_LT(height("baby_male"), height("boy_00"));
}

}  // namespace
