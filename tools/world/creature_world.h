// The creatures of the demo world: their roster, their description files and their bob libraries.
//
// The part registered in creature_world.cpp adds to the world (world_builder.h):
//   - z_animation_descriptions.ini, z_walkdata_descriptions.ini, z_creature_descriptions.ini and
//     x_random_remaps.ini in ve_graphics\creatures\;
//   - the layered bob libraries in ve_graphics\bobmanager\ ("man", "man_head_0", "man_hairs_0",
//     "man_cap", "man_scout", "man_helmet0", ..., "man_shadow", "woman", ...), every layer sharing the
//     body's bob numbers;
//   - the creature colour tables and windows of creature_colours.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/world/creature_rig.h"
#include "tools/world/shape_render.h"

namespace tlworld {

class WorldOutput;

// Which directions an animation is drawn in.
enum class AnimDirs {
  Six,          // E, SE, SW, W, NW, NE (an AnimationX entry)
  SixVertical,  // the six and N, S (walking)
  SouthWest,    // one animation for every direction (an Animation entry; idles start facing SW)
  East,         // one animation facing E (the woodcutter at his tree)
  NorthEast,    // one animation facing NE (the clay pit)
  West,         // the stork's flight
};

struct AnimSpec {
  std::string tag;  // animation names are "<library>_<tag>_<direction>"
  Motion motion = Motion::Stand;
  int frames = 8;
  AnimDirs dirs = AnimDirs::Six;
  int walkSpeed = 0;  // > 0: a walk, with a [WalkDataType] "<library>_<tag>"
  std::string sound;  // WAVE cue played by the events below
  std::vector<int> soundFrames;
};

struct LibrarySpec {
  std::string name;  // body library; layers are "<name>_head_<i>", "<name>_hairs_<i>", ...
  Figure figure = Figure::Man;
  bool layered = false;  // heads and headwear in their own libraries
  std::vector<AnimSpec> anims;
};

struct CreatureSpec {
  std::string name;
  std::string group;
  std::string library;
  int masterType = 0;
  int masterJob = -1;  // -1: no MasterJob key
  std::string remapName;
  std::vector<std::string> ownColours;             // RemapRandom slot lines (values only)
  std::vector<std::pair<int, std::string>> walks;  // walk kind -> walk animation tag
  std::vector<std::pair<int, std::string>> anims;  // animation code -> animation tag
};

const std::vector<LibrarySpec>& CreatureLibraries();
const std::vector<CreatureSpec>& CreatureRoster();
const LibrarySpec* FindCreatureLibrary(const std::string& name);
const AnimSpec* FindCreatureAnim(const LibrarySpec& library, const std::string& tag);

// Direction codes of an animation and the name suffix of each ("e", "se", "sw", "w", "nw", "ne",
// "n", "s").
std::vector<int> DirectionsOf(AnimDirs dirs);
const char* DirectionSuffix(int direction);

// Frames of one gait cycle of a walk on feet in a direction (the animation's frames for anything
// else), the frames the animation has in that direction (whole cycles, at least 8), and how frame
// `picture` of it is drawn. A walk's planted foot moves back under the body by exactly the walk
// data's step per frame (WalkSpeed / 9 pixels on both screen axes) in every direction.
int GaitCycleFrames(const LibrarySpec& lib, const AnimSpec& a, int direction);
int FramesOf(const LibrarySpec& lib, const AnimSpec& a, int direction);
FigureRender FrameFigure(const LibrarySpec& lib, const AnimSpec& a, int direction, int picture);

// The texts of the four description files.
std::string CreatureAnimationsIni();
std::string CreatureWalkDataIni();
std::string CreatureDescriptionsIni();

// One rendered bob of a library and all its layers (sprites of creature colours, 0 transparent).
struct CreatureBob {
  Sprite body, shadow;
  std::vector<std::pair<std::string, Sprite>> layers;  // library name -> layer picture
};

// Renders every bob of one library: bob number -> pictures. Deterministic.
std::vector<CreatureBob> RenderCreatureLibrary(const LibrarySpec& library);

// Adds everything creature-related to the world.
void BuildCreatures(WorldOutput& out);

}  // namespace tlworld
