#include "shell/saver_window.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "base/xb_storable.h"
#include "display/frame_changes.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "graphics/xb_rect.h"
#include "scene/frame_update.h"
#include "scene/saver_application.h"
#include "scene/sound_cue.h"
#include "shell/command_line.h"
#include "shell/frame_capture.h"
#include "shell/monitor_scenes.h"
#include "shell/resources/palette_resource.h"
#include "shell/resources/resources.h"
#include "shell/settings.h"
#include "shell/settings_store.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

const char* const kArchiveFile = "data_v.dat";
const char* const kPackedBobsFile = "Data_V\\VE_Graphics\\BobManager\\Screensaver_Packed.bmd";
const char* const kMaskedBobsFile = "Data_V\\VE_Graphics\\BobManager\\Screensaver_Masked.bmd";
const char* const kLogoPictureFile = "Logo.bmp";
const char* const kLogoTextFile = "Logo.txt";
const char* const kFontFile = "Data_V\\VE_Graphics\\ExtText.fnt";
const char* const kFontForegroundFile = "Data_V\\VE_Graphics\\Palette_Font_Foreground.pcx";
const char* const kFontBackgroundFile = "Data_V\\VE_Graphics\\Palette_Font_Background.pcx";
const char* const kMissingGamePathMessage =
    "Datenpfad nicht gefunden. Bitte installieren Sie den Bildschirmschoner noch einmal neu.";

const uint8_t* SaverWindowHost::LoadResource(int number, const char* typeName) {
  return LoadResourceByNumber(number, typeName);
}

bool SaverStartHost::ChangeDirectory(const char* path) {
  std::error_code ec;
  std::filesystem::current_path(std::filesystem::path(path), ec);
  return !ec;
}

namespace {

template <class T>
void DeleteOwned(SaverWindowHost& host, const char* field, T*& pointer) {
  if (!pointer) return;
  host.NoteReleased(field);
  delete pointer;
  pointer = nullptr;
}

// A storable object of the expected class from a file, or null (an object of another class is
// dropped rather than used as the wrong type).
template <class T>
T* LoadTyped(const char* path) {
  XB_STORABLE* object = LoadObjectFromFile(path);
  T* typed = dynamic_cast<T*>(object);
  if (!typed) delete object;
  return typed;
}

void CopyText(char* field, const char* text) {
  std::memset(field, 0, kTextSize);
  if (text) std::strncpy(field, text, kTextSize - 1);
}

// Logo.txt: the texts of the three sections, each only when its "TEXT" is a quoted string.
void LoadLogoTexts(SaverApplication& app) {
  XB_INI_FILE_READER reader(kLogoTextFile, false);
  const struct {
    const char* section;
    char* field;
  } texts[] = {{"LOGOTEXT", app.logoText}, {"INTROTEXT", app.introText}, {"SCROLLTEXT", app.scrollText}};
  for (const auto& t : texts) {
    if (reader.HasSection(t.section) && reader.FindKey("TEXT") &&
        reader.GetValueType() == XB_INI_VALUE_STRING)
      CopyText(t.field, reader.GetStringValue());
  }
  reader.Close();
}

// A text-colour remap from one of the font palettes, or null.
XB_REMAP_TABLE* LoadFontRemap(SaverApplication& app, const char* path) {
  if (!XB_FILE::Exists(path)) return nullptr;
  XB_PICTURE picture(path);
  if (!app.palette || !picture.GetBitmap() || !picture.GetPalette()) return nullptr;
  return new XB_REMAP_TABLE(*picture.GetPalette(), *app.palette, 0, 255);
}

// Logo picture, texts, font and text colours; all optional.
void LoadLogo(SaverApplication& app) {
  if (!XB_FILE::Exists(kLogoPictureFile)) return;
  app.logoPicture = new XB_PICTURE(kLogoPictureFile);
  XB_BITMAP* bitmap = app.logoPicture->GetBitmap();
  if (!bitmap || bitmap->GetWidth() > kMaxLogoWidth || bitmap->GetHeight() > kMaxLogoHeight) {
    delete app.logoPicture;
    app.logoPicture = nullptr;
    return;
  }
  if (app.palette && app.logoPicture->GetPalette()) {
    XB_REMAP_TABLE remap(*app.logoPicture->GetPalette(), *app.palette, 0, 255);
    bitmap->Shade(remap.GetData());
  }
  CopyText(app.logoText, nullptr);
  CopyText(app.introText, nullptr);
  CopyText(app.scrollText, nullptr);
  if (!XB_FILE::Exists(kLogoTextFile)) return;
  LoadLogoTexts(app);
  if (XB_FILE::Exists(kFontFile)) {
    app.font = LoadTyped<XB_FONT>(kFontFile);
    if (app.font) {
      uint16_t n = FitTextToWidth(app.logoText, kLogoTextMaxWidth, app.font);
      if (n < kTextSize - 1) app.logoText[n] = 0;
    }
  }
  app.fontForegroundRemap = LoadFontRemap(app, kFontForegroundFile);
  app.fontBackgroundRemap = LoadFontRemap(app, kFontBackgroundFile);
}

}  // namespace

bool StartSaverMode(SaverApplication& app, SettingsStore& store, SaverStartHost& host) {
  // One byte more than the value may fill, so a value without a terminator still ends.
  char gamePath[kGamePathBufferSize + 1] = {};
  // The user's own value first (the game's set-up writes it); a user without one gets the value a
  // package installed for every user of the machine keeps under HKEY_LOCAL_MACHINE.
  const auto read = [&](SettingsHive hive, const char* path) {
    std::unique_ptr<SettingsKey> key = store.OpenKey(hive, path);
    if (!key) return false;
    std::memset(gamePath, 0, sizeof gamePath);
    uint32_t size = kGamePathBufferSize;
    return key->ReadValue("GamePath", gamePath, &size) && gamePath[0] != 0;
  };
  const bool found = read(SettingsHive::CurrentUser, kSettingsKeyPath) ||
                     read(SettingsHive::LocalMachine, kMachineGamePathKeyPath);
  if (!found) {
    host.ShowMessage(kMissingGamePathMessage, kSaverDisplayName);
    return false;
  }
  host.ChangeDirectory(gamePath);
  const uint32_t now = SaverNow(app);
  app.introEndTime = now + kIntroLengthMs;
  app.phaseDeadline = now + kScenePhaseLengthMs;
  PlaySoundCue(app, "dummy");
  return true;
}

bool InitSaverWindow(SaverApplication& app, SaverWindowHost& host) {
  app.windowDC = host.AcquireWindowDC();
  app.timerId = host.StartFrameTimer(kFrameTimerId, FrameTimerPeriodMs(app.frameRate));

  uint32_t seed = host.RandomSeed(SaverNow(app));
  if (FrameCapture* capture = ActiveFrameCapture()) capture->FixedSeed(seed);
  seed += host.SceneSeedOffset();
  app.random.Seed(seed);
  SeedPortableRand(seed);

  if (XB_FILE::Exists(kArchiveFile)) {
    app.archive = new XB_ARCHIVE(kArchiveFile);
    RegisterArchive(app.archive);
  }

  const SurfaceRect client = host.ClientRect();
  app.display = host.CreateDisplay(client, 8, kDisplayFillIndex);
  if (!app.display || app.display->Failed()) return false;

  app.frameBitmap = new XB_BITMAP(app.screenWidth, app.screenHeight, XB_PIXELS_8);

  const uint8_t* rgb = host.LoadResource(kPaletteResourceNumber, "PALETTE");
  if (!rgb) return false;
  app.display->SetPalette(rgb);
  app.palette = new XB_PALETTE();
  app.palette->SetFromRgbTriples(rgb);
  app.frameBitmap->SetPalette(app.palette);

  app.packedBobs = LoadTyped<XB_BOB_MANAGER>(kPackedBobsFile);
  if (!app.packedBobs) return false;
  app.maskedBobs = LoadTyped<XB_BOB_MANAGER>(kMaskedBobsFile);
  if (!app.maskedBobs) return false;

  for (int i = 0; i < 256; ++i) app.identityTable[i] = static_cast<uint8_t>(i);

  LoadLogo(app);

  XB_RECT tile;
  if (app.packedBobs->GetBobRect(0, tile)) {
    app.backgroundTile = new XB_BITMAP(tile.width, tile.height, XB_PIXELS_8);
    app.backgroundTile->SetPalette(app.palette);
    app.packedBobs->DrawBob(0, *app.backgroundTile, 0, 0, 0);
  }
  return true;
}

void ReleaseSaverWindow(SaverApplication& app, SaverWindowHost& host) {
  host.StopFrameTimer(app.timerId);
  DeleteOwned(host, "frameBitmap", app.frameBitmap);
  DeleteOwned(host, "backgroundTile", app.backgroundTile);
  if (app.display) {
    host.NoteReleased("display");
    app.display->Release();
    delete app.display;
    app.display = nullptr;
  }
  DeleteOwned(host, "palette", app.palette);
  DeleteOwned(host, "packedBobs", app.packedBobs);
  DeleteOwned(host, "maskedBobs", app.maskedBobs);
  DeleteOwned(host, "archive", app.archive);  // its destructor takes it out of the archive table
  DeleteOwned(host, "logoPicture", app.logoPicture);
  DeleteOwned(host, "font", app.font);
  DeleteOwned(host, "fontForegroundRemap", app.fontForegroundRemap);
  DeleteOwned(host, "fontBackgroundRemap", app.fontBackgroundRemap);
  host.NoteReleased("windowDC");
  host.ReleaseWindowDC(app.windowDC);
  app.windowDC = nullptr;
}

namespace {

// Copies the tiles of the frame that changed into the surface's memory (which holds the frame shown
// last) and lists them. When the scene put back only what the last frame drew, and that frame went
// to this surface, nothing else can differ: only those places are compared.
void CopyFrameChanges(SaverApplication& app, DisplaySurface& display, uint8_t* target, int32_t width,
                      int32_t height, std::vector<SurfaceChange>& changes, std::vector<SurfaceChange>& rows) {
  static std::vector<SurfaceChange> mayDiffer;  // single-threaded: one list kept for the purpose
  const SceneRedraw* redraw = app.redraw;
  const bool known = redraw && redraw->restoredOnly && !redraw->drawn.all &&
                     redraw->presentedTo == &display && redraw->presented + 1 == redraw->frames;
  if (known) {
    mayDiffer.clear();
    for (const std::vector<XB_RECT>* list : {&redraw->restored, &redraw->drawn.rects})
      for (const XB_RECT& r : *list)
        mayDiffer.push_back({static_cast<uint32_t>(r.x), static_cast<uint32_t>(r.y),
                             static_cast<uint32_t>(r.width), static_cast<uint32_t>(r.height)});
  }
  CopyChangedTiles(target, display.Pitch(), app.frameBitmap->GetPixels(),
                   static_cast<uint32_t>(app.frameBitmap->GetPitchInBytes()), static_cast<uint32_t>(width),
                   static_cast<uint32_t>(height), changes, known ? &mayDiffer : nullptr, &rows);
}

}  // namespace

void PresentFrame(SaverApplication& app, SaverWindowHost& host) {
  if (DisplaySurface* display = app.display) {
    // Only the part both have in common: the client area may be smaller than the screen. When the
    // frame covers the whole surface, the surface's old pixels need not be kept.
    const int32_t width =
        app.frameBitmap ? std::min<int32_t>(app.frameBitmap->GetWidth(), display->Width()) : 0;
    const int32_t height =
        app.frameBitmap ? std::min<int32_t>(app.frameBitmap->GetHeight(), display->Height()) : 0;
    const bool covers = width == display->Width() && height == display->Height();
    // A surface that keeps the frame it showed gets only the tiles that changed, found while they are
    // copied (one pass over the frame instead of a copy and a comparison). Single-threaded: one list.
    static std::vector<SurfaceChange> changes, rows;
    const bool onlyChanges =
        covers && width > 0 && height > 0 && app.frameBitmap && display->KeepsShownFrame();
    uint8_t* target = covers && !onlyChanges ? display->PixelsToOverwrite() : display->Pixels();
    if (app.frameBitmap && target) {
      display->Flush();
      if (onlyChanges)
        CopyFrameChanges(app, *display, target, width, height, changes, rows);
      else if (width > 0 && height > 0)
        XB_SpanCopy8(target, static_cast<int32_t>(display->Pitch()), app.frameBitmap->GetPixels(),
                     app.frameBitmap->GetPitchInBytes(), width, height);
      // Only a surface that keeps what it showed holds this frame for the next one to compare with.
      if (app.redraw) {
        app.redraw->presented = app.redraw->frames;
        app.redraw->presentedTo = onlyChanges ? display : nullptr;
      }
    }
    if (!app.introOver) {
      const uint32_t now = SaverNow(app);
      app.phaseDeadline = now + kScenePhaseLengthMs;
      if (now >= app.introEndTime) {
        app.introOver = 1;
        StartScenePhase(app);
        app.frameCounter = 0;
      }
    }
    if (onlyChanges && target)
      display->PresentChanges(changes, rows);
    else
      display->Present();
  }
  if (!app.staticDataReady) {
    app.staticDataReady = 1;
    VE_STATIC_DATA_MANAGER* data = EnsureStaticData();
    app.shadowTable = data ? data->GetRemapTableByName("shadow") : nullptr;
    if (!app.shadowTable) host.PostQuit(0);
  }
}

uint16_t FitTextToWidth(const char* text, int32_t maxWidth, const XB_FONT* font) {
  if (!font || maxWidth == 0 || !text || !*text) return 0;
  char work[512] = {};
  std::strncpy(work, text, sizeof work - 1);
  // Counted over the copy, not the whole text: a longer text is measured as its first 511 characters.
  size_t n = std::strlen(work);
  while (n > 0) {
    if (font->GetTextWidth(work) <= maxWidth) break;
    work[--n] = 0;
  }
  return static_cast<uint16_t>(n);
}

bool MouseMoveEndsSaver(SaverApplication& app, int16_t x, int16_t y) {
  if (app.firstMouseX == -1 && app.firstMouseY == -1) {
    app.firstMouseX = x;
    app.firstMouseY = y;
    return false;
  }
  const int32_t dx = int32_t(x) - app.firstMouseX;
  const int32_t dy = int32_t(y) - app.firstMouseY;
  return dx > kMousePixelsTolerated || dx < -kMousePixelsTolerated || dy > kMousePixelsTolerated ||
         dy < -kMousePixelsTolerated;
}

SaverEventResult SaverWindowEvent(SaverApplication& app, SaverWindowHost& host, const SaverEvent& event) {
  MonitorScenes* scenes = ActiveMonitorScenes();
  if (scenes && &scenes->Primary() == &app && event.kind == SaverEventKind::Timer &&
      event.timerId == app.timerId && !scenes->LayOutAsRequested(host))
    return {};
  const bool forAll = event.kind == SaverEventKind::Create || event.kind == SaverEventKind::Destroy ||
                      event.kind == SaverEventKind::Timer;
  if (forAll && scenes && scenes->Count() > 1 && &scenes->Primary() == &app)
    return scenes->Event(host, event);
  return SaverWindowEventOfOneScene(app, host, event);
}

SaverEventResult SaverWindowEventOfOneScene(SaverApplication& app, SaverWindowHost& host,
                                            const SaverEvent& event) {
  SaverEventResult result;
  switch (event.kind) {
    case SaverEventKind::Create:
      if (InitSaverWindow(app, host))
        host.CaptureMouseAndHideCursor();
      else
        host.DestroyWindow();
      return result;
    case SaverEventKind::Destroy:
      DestroyStaticData();
      host.StopAllSounds();
      ReleaseSaverWindow(app, host);
      host.ShowCursorAndReleaseMouse();
      app.quitRequested = 1;
      host.PostQuit(1);
      return result;
    case SaverEventKind::Timer:
      if (event.timerId != app.timerId) {
        result.value = 1;
        return result;
      }
      if (FrameCapture* capture = ActiveFrameCapture()) capture->BeforeTick(app);
      UpdateFrame(app);
      PresentFrame(app, host);
      if (FrameCapture* capture = ActiveFrameCapture()) capture->AfterPresent(app);
      return result;
    case SaverEventKind::EraseBackground:
      result.value = 1;
      return result;
    case SaverEventKind::MouseMove:
      if (MouseMoveEndsSaver(app, event.x, event.y)) host.DestroyWindow();
      return result;
    case SaverEventKind::KeyDown:
    case SaverEventKind::LeftButtonDown:
    case SaverEventKind::RightButtonDown:
    case SaverEventKind::MiddleButtonDown:
      host.DestroyWindow();
      return result;
    case SaverEventKind::Other:
      break;
  }
  result.callDefault = true;
  return result;
}
