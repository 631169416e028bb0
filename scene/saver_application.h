// The application record of the saver: one per process, reached through g_application. It holds the
// settings, the window-system handles (opaque here; only the front ends know their real types), the
// frame and display objects, the loaded data, the actor pool, the draw order, the site table and the
// phase state of the scene director.
//
// It lives at the scene layer because the scene director keeps all of its state in it; the shell layer
// above fills the window, display and loading fields and drives the frame cycle.
#pragma once

#include <cstdint>

#include "graphics/xb_random.h"
#include "staticdata/ve_animation_state.h"

class DisplaySurface;  // owned by the shell layer; only the shell creates and deletes it
class XB_BITMAP;
class XB_PALETTE;
struct SceneRedraw;
class XB_REMAP_TABLE;
class XB_BOB_MANAGER;
class XB_PICTURE;
class XB_FONT;
class XB_ARCHIVE;

// ---------------------------------------------------------------------------------------------------
// Sizes of the pool and tables.

constexpr int kActorCount = 150;         // slots 0..149
constexpr uint16_t kNoActor = 150;       // "no slot available"
constexpr int kDrawOrderSize = 151;      // place 150 is reserved for the stork
constexpr int kSiteCount = 10;           // site records 0..9
constexpr uint16_t kTreeSiteIndex = 10;  // siteIndex of an actor that belongs to a tree (no record)
constexpr int kTextSize = 151;           // intro, logo and scroll texts: 150 characters and a NUL
constexpr int kCreatureNameSize = 32;    // 31 characters and a NUL

// ---------------------------------------------------------------------------------------------------
// Activity codes: what an actor is doing. 0 is a free slot; a slot with a code of 0 or below is free
// for allocation.

enum ActivityCode : int32_t {
  kActFree = 0,
  kActWaitingWalker = 1,
  kActWaitingFlower = 2,
  kActWaitingTree = 3,
  kActUnused4 = 4,
  kActPictureFadingIn = 5,
  kActLayeredFadingIn = 6,
  kActPictureHolding = 7,
  kActFlower = 8,
  kActLayeredHolding = 9,
  kActPictureFadingOut = 10,
  kActLayeredFadingOut = 11,
  kActLogoFadingIn = 12,
  kActLogoHolding = 13,
  kActLogoFadingOut = 14,
  kActUnused15 = 15,
  kActWalker = 16,
  kActIdle = 17,
  kActSmallWorkerWalking = 18,
  kActSmallWorkerWorking = 19,
  kActSmallWorkerLeaving = 20,
  kActSmallBuildingFadingIn = 21,
  kActSmallBuildingStanding = 22,
  kActSmallBuildingFadingOut = 23,
  kActSmallVisitorWalking = 24,
  kActSmallVisitorStanding = 25,
  kActSmallVisitorLeaving = 26,
  kActLargeWorkerWalking = 27,
  kActLargeWorkerWorking = 28,
  kActLargeWorkerLeaving = 29,
  kActLargeBuildingFadingIn = 30,
  kActLargeBuildingStanding = 31,
  kActLargeBuildingFadingOut = 32,
  kActLargeVisitorWalking = 33,
  kActLargeVisitorStanding = 34,
  kActLargeVisitorLeaving = 35,
  kActMonumentFadingIn = 36,
  kActMonumentHolding = 37,
  kActMonumentFadingOut = 38,
  kActMonumentVisitorWalking = 39,
  kActMonumentVisitorStanding = 40,
  kActMonumentVisitorLeaving = 41,
  kActClayWorkerWalking = 42,
  kActClayWorkerWorking = 43,
  kActClayWorkerFinishing = 44,
  kActClayWorkerLeaving = 45,
  kActClayPitFadingIn = 46,
  kActClayPitStanding = 47,
  kActClayPitFadingOut = 48,
  kActStork = 49,
  kActTreeGrowing = 50,
  kActTreeChopped = 51,
  kActTreeFalling = 52,
  kActTreeShrinking = 53,
  kActWoodcutterWalking = 54,
  kActWoodcutterChopping = 55,
  kActFamilyWalking = 56,
  kActFamilyMeeting = 57,
};
constexpr int32_t kLastActivity = 57;

// Walking directions; screen y grows downward.
enum Direction : uint16_t {
  kDirE = 0,
  kDirSE = 1,
  kDirSW = 2,
  kDirW = 3,
  kDirNW = 4,
  kDirNE = 5,
  kDirN = 10,
  kDirS = 11,
  kDirAuto = 100,  // as an argument: choose the direction from position and target
};

// Indices into ActorSlot::layerBob.
enum LayerBobIndex : int {
  kLayer1Picture = 0,
  kLayer1Mask = 1,
  kLayer2Picture = 2,
  kLayer2Mask = 3,
  kMainPicture = 4,
  kMainMask = 5,
  kShadowBob = 6,
  kLayerShadowMask = 7,
};

// Kinds of scene the chooser can start; counted per run for the front ends' summaries.
enum SceneKind : int {
  kSceneBigLogo = 0,
  kSceneMonument,
  kSceneForest,
  kSceneSmallBuilding,
  kSceneLargeBuilding,
  kSceneFlowers,
  kSceneClayPit,
  kSceneSoldiers,
  kSceneStork,
  kSceneTree,
  kSceneHerd,
  kSceneFamily,
  kSceneShepherd,
  kSceneCount
};
const char* SceneKindName(int kind);

// ---------------------------------------------------------------------------------------------------
// One actor: a creature, a static picture or an invisible waiting walker. A freshly taken slot is all
// zero except arrivalDirection (100). The record is plain data: zeroing it is clearing it.

struct ActorSlot {
  int32_t activity;       // ActivityCode
  uint8_t finishPending;  // the next end of the current activity clears the slot
  uint8_t spare0;
  uint16_t siteX;  // place the actor belongs to (0 = nowhere)
  uint16_t siteY;
  uint16_t siteIndex;  // site record 0..9, or kTreeSiteIndex
  VE_ANIMATION_STATE animState;
  char creatureName[kCreatureNameSize];
  int16_t animationCode;  // current walk or standing animation (1000 = ordinary walk)
  uint16_t layerBob[8];   // see LayerBobIndex
  float x, y;             // foot point / anchor in screen pixels
  float targetX, targetY;
  float cornerX, cornerY;  // end of the first leg of a two-leg walk
  float stepX, stepY;      // movement per frame
  uint16_t firstDirection;
  uint16_t secondDirection;
  int16_t arrivalDirection;  // direction of the animation after arriving; 100 = automatic
  uint16_t spare1;
  uint32_t deadline;  // milliseconds of the saver clock
  uint16_t counter;   // fade level 1..254, or frame counter of a tree or the stork
  uint16_t spare2;
};

// One building plot or clay pit. A point is inside when left <= x <= right and top <= y <= bottom.
struct SiteRecord {
  uint8_t active;
  uint8_t occupied;
  uint8_t spare[2];
  int32_t left, top, right, bottom;
};

// ---------------------------------------------------------------------------------------------------
// Seams to the platform, set by the front end. The scene director reads "now" only through the clock
// and plays sounds only through the sound sink, so tests and the headless front end run on simulated
// time and never sleep.

class SaverClock {
 public:
  virtual ~SaverClock() = default;
  virtual uint32_t NowMs() = 0;  // milliseconds, wrapping like the multimedia clock
};

// A clock that only moves when told to; used by tests and the headless front end.
class SimulatedClock : public SaverClock {
 public:
  explicit SimulatedClock(uint32_t startMs = 0) : now_(startMs) {}
  uint32_t NowMs() override { return now_; }
  void Set(uint32_t ms) { now_ = ms; }
  void Advance(uint32_t ms) { now_ += ms; }

 private:
  uint32_t now_;
};

// Plays a named embedded sound asynchronously; a request that arrives while a sound is still playing
// is dropped, not queued (that rule belongs to the sink, which knows when playback ends).
class SoundSink {
 public:
  virtual ~SoundSink() = default;
  virtual void PlayNamedSound(const char* resourceName) = 0;
};

// Counters of one run, kept for the front ends' summaries; the saver itself never reads them.
struct SaverStatistics {
  uint64_t ticks;                       // UpdateFrame calls that drew a frame
  uint32_t phaseSwitches;               // scene -> text and text -> scene switches
  uint32_t scenesStarted[kSceneCount];  // successful scene starts by kind
  uint64_t soundCuesRequested;          // PlaySoundCue calls that reached the sound sink
};

// ---------------------------------------------------------------------------------------------------
// The application record. Fields in the order of the saver's own record; every owning pointer is null
// while its object is absent. Created all zero except `instance` and firstMouseX/Y (-1).

struct SaverApplication {
  void* window;    // the saver or preview window (front-end handle)
  void* instance;  // module instance handle (front-end handle)
  void* windowDC;  // whole-window drawing context (front-end handle)
  uint16_t screenWidth;
  uint16_t screenHeight;
  uint16_t screenBitsPerPixel;
  char modeArgument[100];
  uint16_t frameRate;       // frames per second (setting "FrameRate")
  uint16_t numAnimations;   // setting "Num Animations", 10..100
  uint8_t scaleSetting;     // setting "Scale": 0 automatic, 1..3 fixed (our addition for large screens)
  uint8_t monitorsSetting;  // setting "Monitors": 0 a scene per monitor, 1 one scene over all (ours too)
  uint16_t displayScale;    // the whole factor the front end enlarges each frame by (1 until chosen)
  XB_RANDOM random;         // every random choice of the scene director
  uint16_t timerId;
  uint32_t phaseDeadline;  // clock time at which the current phase should end
  uint32_t introEndTime;
  void* previewBitmap;
  void* previewOldBitmap;
  void* previewDC;
  uint8_t previewMode;
  uint8_t configureMode;
  uint8_t passwordMode;
  uint8_t staticDataReady;
  uint8_t introOver;
  uint8_t windingDown;
  uint8_t soundOn;
  uint8_t textPhase;
  uint8_t cornerLogoOn;
  uint8_t quitRequested;
  uint8_t monumentInUse;
  DisplaySurface* display;      // owned; created and released by the shell layer only
  XB_BITMAP* frameBitmap;       // owned: the screen-sized 8-bit frame
  XB_BITMAP* backgroundTile;    // owned: bob 0 of packedBobs
  XB_PALETTE* palette;          // owned
  uint8_t identityTable[256];   // entry i holds i
  XB_BOB_MANAGER* packedBobs;   // owned
  XB_BOB_MANAGER* maskedBobs;   // owned
  XB_REMAP_TABLE* shadowTable;  // NOT owned: the "shadow" table of the static data
  XB_PICTURE* logoPicture;      // owned, or null
  char introText[kTextSize];
  char logoText[kTextSize];
  char scrollText[kTextSize];
  XB_FONT* font;                        // owned, or null
  XB_REMAP_TABLE* fontForegroundRemap;  // owned, or null
  XB_REMAP_TABLE* fontBackgroundRemap;  // owned, or null
  uint32_t frameCounter;
  XB_ARCHIVE* archive;  // owned, or null
  ActorSlot actors[kActorCount];
  uint8_t drawOrder[kDrawOrderSize];  // 0 = empty place, else 1-based slot index
  SiteRecord sites[kSiteCount];
  int32_t firstMouseX;
  int32_t firstMouseY;

  // Platform seams (not owned). A null clock reads a steady millisecond clock of the standard library;
  // a null sound sink drops every sound.
  SaverClock* clock;
  SoundSink* soundSink;

  SaverStatistics statistics;

  // Ours: what the frame keeps from one scene frame to the next (owned, or null; see frame_update.h).
  SceneRedraw* redraw;
};

// The one process-wide record.
extern SaverApplication* g_application;

// Creates the record (all zero except instance and firstMouseX/Y = -1) and makes it the process-wide
// record.
SaverApplication* CreateSaverApplication(void* instance);

// Deletes whatever graphics objects the record still owns (a safety net; the shell's release normally
// has done so), then the record, and clears the process-wide pointer when it pointed at it. The display
// surface is not touched: the shell must have released it (it is a different layer's type).
void DestroySaverApplication(SaverApplication* application);

// "Now" in milliseconds through the record's clock.
uint32_t SaverNow(SaverApplication& app);
