// The scenes: their starters (called by the scene chooser; false when the scene cannot start now) and
// the handlers of the ends of their activities (cases of EndActivity), plus the per-frame rules of the
// stork and the trees.
#pragma once

#include <cstdint>

#include "scene/saver_application.h"

// Starters.
void StartBigLogo(SaverApplication& app);  // in slot 0
bool StartMonument(SaverApplication& app);
bool StartForest(SaverApplication& app);
bool PlantTree(SaverApplication& app, ActorSlot& actor);
bool StartFlowerCluster(SaverApplication& app);
bool StartSmallBuilding(SaverApplication& app);
bool StartLargeBuilding(SaverApplication& app);
bool StartClayPit(SaverApplication& app);
bool StartSoldiers(SaverApplication& app);
bool StartHerd(SaverApplication& app);
bool StartShepherd(SaverApplication& app);
bool StartStork(SaverApplication& app);
bool StartFamilyMeeting(SaverApplication& app);

// End of a scene activity (codes 2, 3 and 5..14, 18..57 except the ordinary walker and idle codes).
void EndSceneActivity(SaverApplication& app, ActorSlot& actor);

// Per-frame rules of the special activities.
void AdvanceStork(SaverApplication& app, ActorSlot& actor);
void AdvanceGrowingTree(SaverApplication& app, ActorSlot& actor);
void AdvanceFallingTree(SaverApplication& app, ActorSlot& actor);
void AdvanceShrinkingTree(SaverApplication& app, ActorSlot& actor);
// The wind-down's treatment of a growing tree: it starts to shrink.
void ShrinkTree(SaverApplication& app, ActorSlot& actor);

// Offsets and facings of the villagers that gather before a monument.
struct GatheringPlace {
  int16_t dx, dy;
  uint16_t facing;
};
extern const GatheringPlace kGatheringTable[15];
// Number of trees of a forest for a screen height.
int ForestSizeForHeight(int height);
