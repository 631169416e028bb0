// The description records of the static data: remap table entries, animation, walk-data and creature
// descriptions, and random colour sets. Plain records owned by VE_STATIC_DATA_MANAGER; ids are u16
// indices into its tables in file order, 0xFFFF meaning none.
#pragma once

#include <cstdint>

class XB_BOB_MANAGER;
class XB_PALETTE;
class XB_REMAP_TABLE;

constexpr uint16_t VE_NO_ID = 0xFFFF;
constexpr int VE_NAME_SIZE = 50;        // description names: 49 characters and a NUL
constexpr int VE_REMAP_NAME_SIZE = 30;  // remap table names: 29 characters and a NUL

// --- Remap table collection ---------------------------------------------------------------------

struct VE_REMAP_TABLE_ENTRY {
  XB_REMAP_TABLE* remapTable;  // owned: picture palette index -> screen palette index
  XB_PALETTE* palette;         // owned: the picture's own palette
  char name[VE_REMAP_NAME_SIZE];
};

// A 16-entry window into one remap table.
struct VE_REMAP_TABLE16_ENTRY {
  char name[VE_REMAP_NAME_SIZE];
  uint16_t tableId;       // index into the tables
  uint16_t start;         // first index of the window
  const uint8_t* window;  // 16 remap bytes from start, or null when the window points nowhere
};

// --- Animation descriptions ----------------------------------------------------------------------

// Order of the layer libraries of an animation.
enum VE_LAYER : int {
  VE_LAYER_BODY = 0,
  VE_LAYER_HEAD0 = 1,   // heads 0..5: 1..6
  VE_LAYER_HAIRS0 = 7,  // hairs 0, 1: 7, 8
  VE_LAYER_CAP = 9,
  VE_LAYER_SCOUT = 10,
  VE_LAYER_HELMET0 = 11,  // helmets 0..2: 11..13
  VE_LAYER_SHADOW = 14,
  VE_LAYER_COUNT = 15,
};
constexpr int VE_HEAD_LAYERS = 6;
constexpr int VE_HAIR_LAYERS = 2;
constexpr int VE_HELMET_LAYERS = 3;

struct VE_ANIMATION_EVENT {
  uint16_t frame;
  uint16_t code;   // 101 plays the event sound
  uint16_t value;  // 0 when the Event key leaves it out
};

struct VE_ANIMATION_DESCRIPTION {
  char name[VE_NAME_SIZE];
  uint16_t mode;
  uint16_t speed;          // frames per second of the description
  uint16_t ticksPerFrame;  // 12 / speed, at least 1
  uint16_t frameCount;
  uint8_t replays;
  uint8_t zero;
  uint16_t eventCount;
  uint8_t startDirection;
  uint8_t endDirection;
  uint16_t shadowBobOffset;
  uint16_t carryGoodColours1;  // RemapTable16 id or 0xFFFF
  uint16_t carryGoodColours2;
  XB_BOB_MANAGER* layers[VE_LAYER_COUNT];  // shared objects of the bob library registry
  uint16_t* frames;                        // owned: bob number of each frame (frameCount)
  VE_ANIMATION_EVENT* events;              // owned: eventCount
  char* eventSound;                        // owned, or null
};

// --- Walk data -----------------------------------------------------------------------------------

struct VE_WAIT_ENTRY {
  uint8_t perDirection;  // 0: ids[0] for every direction; 1: one id per direction 0..5
  uint16_t ids[6];
};
constexpr int VE_MAX_WAIT_ENTRIES = 3;

struct VE_WALKDATA_DESCRIPTION {
  char name[VE_NAME_SIZE];
  uint16_t walkAnimations[6];  // directions 0..5
  uint8_t hasVertical;
  uint16_t verticalAnimations[2];  // direction 10, direction 11
  uint16_t hasTurnFrames;
  XB_BOB_MANAGER* turnLibraries[2];
  uint16_t turnValues[6];
  uint16_t waitCount;
  VE_WAIT_ENTRY wait[VE_MAX_WAIT_ENTRIES];
  uint16_t waitTicks;  // 120 by default
  uint16_t walkSpeed;
  uint16_t turnSpeed;
};

// --- Random colour sets --------------------------------------------------------------------------

constexpr int VE_MAX_CHOICES = 12;
constexpr uint16_t VE_CHOICE_OWN_SLOT = 0x8000;  // choice 0x8000 + s: copy slot s of the palette itself

struct VE_RANDOM_REMAP_SLOT {
  uint16_t slot;         // 16-colour slot 0..15 this choice fills
  uint16_t choiceCount;  // at most 12
  uint16_t totalWeight;
  uint16_t choices[VE_MAX_CHOICES];            // RemapTable16 id, or 0x8000 + slot
  uint16_t cumulativeWeights[VE_MAX_CHOICES];  // running sums, the last equals totalWeight
};
static_assert(sizeof(VE_RANDOM_REMAP_SLOT) == 54);

struct VE_RANDOM_REMAP {
  char name[32];  // at most 29 characters
  uint16_t slotCount;
  VE_RANDOM_REMAP_SLOT* slots;  // owned
};

// --- Creature descriptions -----------------------------------------------------------------------

constexpr int VE_MAX_WALK_KINDS = 30;
constexpr int VE_MAX_CREATURE_ANIMATIONS = 10;
constexpr int VE_MAX_ALLOWED_JOBS = 10;
constexpr int VE_MAX_FORBIDDEN_JOBS = 2;
constexpr int VE_MASTER_JOB_COUNT = 200;

struct VE_WALK_KIND_ENTRY {
  uint16_t walkDataId;
  uint16_t walkKind;
};

struct VE_CREATURE_ANIMATION_ENTRY {
  uint8_t perDirection;  // 0: ids[0] for every direction; 1: one id per direction 0..5
  uint8_t zero;
  uint16_t ids[6];
  uint16_t key;    // the animation code the scene director asks for (1000 walking, 2000+ idle ...)
  uint16_t value;  // second value, kept
};
static_assert(sizeof(VE_CREATURE_ANIMATION_ENTRY) == 18);

// Type flag bits (MasterType).
enum : uint16_t {
  VE_TYPE_MAN = 0x04,
  VE_TYPE_WOMAN = 0x08,
  VE_TYPE_PLAIN = 0x10,
  VE_TYPE_NO_OUTFIT = 0x30,  // either bit excludes the man and woman outfits
  VE_TYPE_CAP = 0x40,
  VE_TYPE_HELMET = 0x80,
};

struct VE_CREATURE_DESCRIPTION {
  char name[VE_NAME_SIZE];
  uint16_t groupId;
  uint16_t walkKindCount;
  VE_WALK_KIND_ENTRY walkKinds[VE_MAX_WALK_KINDS];
  uint16_t animationCount;
  VE_CREATURE_ANIMATION_ENTRY animations[VE_MAX_CREATURE_ANIMATIONS];
  uint16_t walkOnFlags;
  uint16_t walkRange;
  uint16_t jobWalkRange;
  uint16_t size;  // 170 by default
  uint16_t energy;
  uint16_t masterJob;
  uint16_t allowedJobTypes[VE_MAX_ALLOWED_JOBS];      // 0xFFFF = unused
  uint16_t forbiddenJobTypes[VE_MAX_FORBIDDEN_JOBS];  // 0xFFFF = unused
  uint16_t educatedJobType;                           // 0xFFFF by default
  uint8_t jobLevel;
  uint16_t equipment;
  uint16_t typeFlags;
  uint16_t remapTable;  // RemapTable id or 0xFFFF
  VE_RANDOM_REMAP ownColours;
};
