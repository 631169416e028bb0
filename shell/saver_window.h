// The saver window without the window system: what its creation loads, how a finished frame reaches
// the display surface, the first-tick static data, the release of everything, and the input rules.
// A front end creates the real window and turns its messages into SaverEvents; everything it must do
// on the platform's side it does through a SaverWindowHost.
#pragma once

#include <cstdint>

#include "display/display_surface.h"

struct SaverApplication;
class SettingsStore;
class XB_FONT;

// What the window needs from the platform. Handles are opaque (void*) here.
class SaverWindowHost {
 public:
  virtual ~SaverWindowHost() = default;

  // The window's whole-window drawing context, taken first at creation and given back last.
  virtual void* AcquireWindowDC() { return nullptr; }
  virtual void ReleaseWindowDC(void* /*dc*/) {}
  // Starts the frame timer with identifier `id` and the period; returns the identifier that the
  // timer events will carry.
  virtual uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) = 0;
  virtual void StopFrameTimer(uint16_t id) = 0;
  // The window's client rectangle.
  virtual SurfaceRect ClientRect() = 0;
  // A new display surface over the rectangle (the caller owns it and checks Failed()); null when none
  // could be made at all.
  virtual DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) = 0;
  // A display surface for one monitor's scene: the rectangle's left and top are where it lands in the
  // window, its size is the scene's, and each frame is enlarged by `scale` on the way to the screen.
  // A front end without monitors of its own may leave the default (the window's one surface).
  virtual DisplaySurface* CreateSceneDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill,
                                             uint16_t /*scale*/) {
    return CreateDisplay(rect, bitsPerPixel, fill);
  }
  // Resource bytes by number and type ("#%d"); the embedded table unless a host overrides it.
  virtual const uint8_t* LoadResource(int number, const char* typeName);
  // The seed for both random generators at creation; the clock's "now" unless the host fixes it.
  virtual uint32_t RandomSeed(uint32_t now) { return now; }
  // Added to that seed (also to a capture's fixed seed): the scene's number, 0 for the primary
  // monitor's scene and a window with one scene, so that every monitor runs its own course.
  virtual uint32_t SceneSeedOffset() { return 0; }
  virtual void StopAllSounds() {}
  // Destroys the window: the front end's destruction then sends SaverEvent::Destroy.
  virtual void DestroyWindow() = 0;
  // Posts the quit message: the message loop ends after the current message.
  virtual void PostQuit(int code) = 0;
  // After a successful creation: capture the mouse and hide the cursor; at destruction the reverse.
  virtual void CaptureMouseAndHideCursor() {}
  virtual void ShowCursorAndReleaseMouse() {}
  // The scenes are about to be laid out anew over a resized window or changed monitors: whatever the
  // old ones left on the screen must go (where no new scene draws, the window stays black).
  virtual void ScenesMoving() {}
  // Called by ReleaseSaverWindow just before each object goes (field name), for logs and tests.
  virtual void NoteReleased(const char* /*field*/) {}
};

// The colour every pixel of a new display surface gets, and the bits per pixel of the surface.
constexpr uint8_t kDisplayFillIndex = 56;
constexpr uint16_t kFrameTimerId = 1;
constexpr uint32_t kIntroLengthMs = 10000;
constexpr uint32_t kScenePhaseLengthMs = 180000;
constexpr int kMaxLogoWidth = 320;
constexpr int kMaxLogoHeight = 300;
constexpr int32_t kLogoTextMaxWidth = 630;
constexpr int kMousePixelsTolerated = 5;

// Data files the window reads, relative to the data directory.
extern const char* const kArchiveFile;         // "data_v.dat"
extern const char* const kPackedBobsFile;      // "Data_V\VE_Graphics\BobManager\Screensaver_Packed.bmd"
extern const char* const kMaskedBobsFile;      // "Data_V\VE_Graphics\BobManager\Screensaver_Masked.bmd"
extern const char* const kLogoPictureFile;     // "Logo.bmp"
extern const char* const kLogoTextFile;        // "Logo.txt"
extern const char* const kFontFile;            // "Data_V\VE_Graphics\ExtText.fnt"
extern const char* const kFontForegroundFile;  // "Data_V\VE_Graphics\Palette_Font_Foreground.pcx"
extern const char* const kFontBackgroundFile;  // "Data_V\VE_Graphics\Palette_Font_Background.pcx"

// The message of a saver start without a data directory, and its caption.
extern const char* const kMissingGamePathMessage;

// ---------------------------------------------------------------------------------------------------
// Saver-mode start, before the window is created: reads "GamePath" through the settings store and
// makes it the current directory, then sets the intro and phase deadlines from the clock and plays the
// "dummy" cue. Without a usable "GamePath" it shows kMissingGamePathMessage (caption "Tillands
// Bildschirmschoner") and returns false: the program then ends.
class SaverStartHost {
 public:
  virtual ~SaverStartHost() = default;
  // The one message box of the saver (blocking on Windows; a line on standard error elsewhere).
  virtual void ShowMessage(const char* text, const char* caption) = 0;
  // Makes the directory current; the default uses std::filesystem. Its result is only reported:
  // a directory that cannot be entered means the data files are not found later.
  virtual bool ChangeDirectory(const char* path);
};
bool StartSaverMode(SaverApplication& app, SettingsStore& store, SaverStartHost& host);
constexpr int kGamePathBufferSize = 260;

// InitSaverWindow: the loading steps of the window's creation, in order. False at the first failing
// step; what was built so far is left to ReleaseSaverWindow.
bool InitSaverWindow(SaverApplication& app, SaverWindowHost& host);
// Stops the timer and deletes every owned object in the fixed order (frameBitmap, backgroundTile,
// display, palette, packedBobs, maskedBobs, archive, logoPicture, font, fontForegroundRemap,
// fontBackgroundRemap), then gives the window's drawing context back. shadowTable is not owned.
void ReleaseSaverWindow(SaverApplication& app, SaverWindowHost& host);
// The second half of every tick: frame into the surface, intro end, present, first-tick static data.
void PresentFrame(SaverApplication& app, SaverWindowHost& host);

// The number of leading characters of text that fit into maxWidth pixels in the font.
uint16_t FitTextToWidth(const char* text, int32_t maxWidth, const XB_FONT* font);

// The mouse rule: the first position is remembered; a later one that lies more than 5 pixels from it
// in x or in y ends the saver. Returns true when the window must be destroyed.
bool MouseMoveEndsSaver(SaverApplication& app, int16_t x, int16_t y);

// ---------------------------------------------------------------------------------------------------
// The window procedure's decisions. A front end maps its messages onto these events.

enum class SaverEventKind {
  Create,
  Destroy,
  Timer,
  EraseBackground,
  MouseMove,
  KeyDown,
  LeftButtonDown,
  RightButtonDown,
  MiddleButtonDown,
  Other,
};

struct SaverEvent {
  SaverEventKind kind = SaverEventKind::Other;
  uint32_t timerId = 0;  // Timer
  int16_t x = 0;         // MouseMove: signed 16-bit position of the message
  int16_t y = 0;
};

struct SaverEventResult {
  bool callDefault = false;  // hand the message to the default window procedure
  intptr_t value = 0;        // the procedure's result otherwise
};

// Create: InitSaverWindow; success captures the mouse and hides the cursor, failure destroys the
// window. Destroy: DestroyStaticData, StopAllSounds, ReleaseSaverWindow, cursor back, quitRequested,
// PostQuit(1). Timer with timerId: UpdateFrame then PresentFrame (result 0); a foreign identifier does
// nothing (result 1). EraseBackground: nothing (1). Keys and buttons destroy the window; mouse moves
// follow the mouse rule. Other: default processing.
// While a set of monitor scenes with more than one scene is active for `app` (monitor_scenes.h),
// Create, Destroy and the frame timer are the set's: they run for every scene. A layout the set was
// asked for since the last tick is made before the tick draws (MonitorScenes::RequestLayout).
SaverEventResult SaverWindowEvent(SaverApplication& app, SaverWindowHost& host, const SaverEvent& event);
// The same for the one scene of `app` alone.
SaverEventResult SaverWindowEventOfOneScene(SaverApplication& app, SaverWindowHost& host,
                                            const SaverEvent& event);
