#include "scene/frame_update.h"

#include <algorithm>
#include <cstring>

#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/creature_ops.h"
#include "scene/scenes.h"
#include "scene/sound_cue.h"
#include "scene/walking.h"

namespace {

bool HasLogo(const SaverApplication& app) {
  return app.logoPicture && app.logoPicture->GetBitmap();
}

const uint8_t* ShadowBytes(const SaverApplication& app) {
  return app.shadowTable ? app.shadowTable->GetData() : nullptr;
}

// Text goes first through the background colours 3 pixels right and down, then through the foreground
// colours at its place. The frame's own font and colour are put back afterwards.
void DrawShadowedText(SaverApplication& app, int32_t x, int32_t y, const char* text) {
  if (!app.font || !app.fontForegroundRemap || !app.fontBackgroundRemap) return;
  XB_BITMAP& frame = *app.frameBitmap;
  XB_FONT* oldFont = frame.SetFont(app.font);
  XB_REMAP_TABLE* oldColour = frame.SetTextColour(app.fontBackgroundRemap);
  frame.DrawText(x + 3, y + 3, text);
  frame.SetTextColour(app.fontForegroundRemap);
  frame.DrawText(x, y, text);
  frame.SetTextColour(oldColour);
  frame.SetFont(oldFont);
}

int32_t TextWidth(const SaverApplication& app, const char* text) {
  return app.font ? app.font->GetTextWidth(text) : 0;
}

// Bob 55 and the logo picture, centred on a 640 x 480 page.
void DrawLogoPage(SaverApplication& app) {
  XB_BITMAP& frame = *app.frameBitmap;
  const int32_t pageX = (app.screenWidth - 640) / 2, pageY = (app.screenHeight - 480) / 2;
  app.packedBobs->DrawBob(55, frame, static_cast<int16_t>(pageX), static_cast<int16_t>(pageY), 0);
  const XB_BITMAP* picture = app.logoPicture->GetBitmap();
  const int32_t pw = picture->GetWidth(), ph = picture->GetHeight();
  picture->BlitTo(frame, (320 - pw) / 2 + pageX + 292, (300 - ph) / 2 + pageY + 136);
}

bool g_backgroundShortcut = true;

// Puts the background back where the last frame drew: row y of the background is row y % th of the
// band.
void RestoreBackground(XB_BITMAP& frame, const SceneRedraw& redraw, int32_t th) {
  const size_t pitch = static_cast<size_t>(frame.GetPitchInBytes());
  for (const XB_RECT& r : redraw.drawn.rects) {
    for (int32_t y = r.y; y < r.y + r.height; ++y)
      std::memcpy(frame.Row(y) + r.x, redraw.band.data() + static_cast<size_t>(y % th) * pitch + r.x,
                  static_cast<size_t>(r.width));
  }
}

// A page (intro, text) is one colour under what it draws: like the scene's background, only where the
// last page frame drew is filled again, so the page's drawings, not the whole screen, are written and
// compared each frame.
void DrawPageBackground(SaverApplication& app, SceneRedraw& redraw) {
  XB_BITMAP& frame = *app.frameBitmap;
  const uint8_t colour = HasLogo(app) ? 0 : 56;
  if (g_backgroundShortcut && frame.GetDamage() == &redraw.drawn && !redraw.drawn.all &&
      redraw.pageColour == colour && redraw.width == frame.GetWidth() && redraw.height == frame.GetHeight()) {
    for (const XB_RECT& r : redraw.drawn.rects)
      for (int32_t y = r.y; y < r.y + r.height; ++y)
        std::memset(frame.Row(y) + r.x, colour, static_cast<size_t>(r.width));
    redraw.restored.swap(redraw.drawn.rects);
    redraw.drawn.Clear();
    redraw.restoredOnly = true;
    return;
  }
  frame.SetDamage(nullptr);
  frame.Fill(colour);
  redraw.tile = nullptr;  // the next scene frame tiles everything
  redraw.pageColour = colour;
  redraw.width = frame.GetWidth();
  redraw.height = frame.GetHeight();
  redraw.drawn.Clear();
  frame.SetDamage(g_backgroundShortcut ? &redraw.drawn : nullptr);
}

void DrawBackground(SaverApplication& app) {
  XB_BITMAP& frame = *app.frameBitmap;
  if (!app.redraw) app.redraw = new SceneRedraw();
  SceneRedraw& redraw = *app.redraw;
  redraw.restoredOnly = false;
  if (app.textPhase || !app.introOver) {
    DrawPageBackground(app, redraw);
    return;
  }
  const XB_BITMAP& tile = *app.backgroundTile;
  const int32_t tw = tile.GetWidth(), th = tile.GetHeight();
  if (tw <= 0 || th <= 0) return;
  // The frame still holds the background under what was drawn since: only that is put back. A frame
  // bitmap made since carries no damage record, so it is tiled whole.
  if (g_backgroundShortcut && frame.GetDamage() == &redraw.drawn && !redraw.drawn.all &&
      redraw.tile == &tile && redraw.width == frame.GetWidth() && redraw.height == frame.GetHeight()) {
    RestoreBackground(frame, redraw, th);
    redraw.restored.swap(redraw.drawn.rects);
    redraw.drawn.Clear();
    redraw.restoredOnly = true;
    return;
  }
  frame.SetDamage(nullptr);
  // The tiles of the top band are blitted one by one; every band below is the same picture, so it is
  // copied from the top band in one block (the frame's rows are contiguous). Same pixels as blitting
  // every tile, with a few calls instead of thousands of short row copies.
  for (int32_t i = 0; i <= (app.screenWidth - 1) / tw; ++i) tile.BlitTo(frame, tw * i, 0);
  const int32_t height = frame.GetHeight();
  const int32_t band = std::min(th, height);
  for (int32_t y = th; y < height; y += th) {
    const int32_t rows = std::min(band, height - y);
    std::memcpy(frame.Row(y), frame.Row(0), static_cast<size_t>(rows) * frame.GetPitchInBytes());
  }
  redraw.band.assign(frame.Row(0), frame.Row(0) + static_cast<size_t>(band) * frame.GetPitchInBytes());
  redraw.tile = &tile;
  redraw.pageColour = -1;
  redraw.width = frame.GetWidth();
  redraw.height = height;
  redraw.drawn.Clear();
  frame.SetDamage(g_backgroundShortcut ? &redraw.drawn : nullptr);
}

void DrawIntro(SaverApplication& app) {
  if (!HasLogo(app)) {
    app.introEndTime = SaverNow(app);  // no intro page: it ends with this frame
    return;
  }
  DrawLogoPage(app);
  if (app.introText[0]) {
    const int32_t x = app.screenWidth / 2 - TextWidth(app, app.introText) / 2;
    DrawShadowedText(app, x, app.screenHeight / 2 - 220, app.introText);
  }
}

void DrawTextPage(SaverApplication& app) {
  if (!HasLogo(app)) {
    app.packedBobs->DrawBob(54, *app.frameBitmap, static_cast<int16_t>((app.screenWidth - 320) / 2),
                            static_cast<int16_t>((app.screenHeight - 300) / 2), 0);
    return;
  }
  DrawLogoPage(app);
  // The text is typed out, one character every second frame, from a place computed for the whole text.
  char shown[kTextSize];
  std::memcpy(shown, app.logoText, kTextSize);
  shown[kTextSize - 1] = 0;
  const uint32_t count = app.frameCounter / 2;
  if (count < kTextSize - 1) shown[count] = 0;
  const int32_t x = app.screenWidth / 2 - TextWidth(app, app.logoText) / 2;
  DrawShadowedText(app, x, app.screenHeight / 2 - 220, shown);
}

// Sends a creature away at the end of a phase, unless its walk already leads off the screen.
bool TargetOnScreen(const SaverApplication& app, const ActorSlot& actor) {
  return OnScreen(app, actor.targetX, actor.targetY);
}

bool SentAwayByWindDown(int32_t a) {
  return (a >= 17 && a <= 19) || a == 24 || a == 25 || a == 27 || a == 28 || a == 33 || a == 34 || a == 39 ||
         a == 40 || (a >= 42 && a <= 44) || (a >= 54 && a <= 57);
}

void WindDownFirstPass(SaverApplication& app) {
  for (ActorSlot& actor : app.actors) {
    const int32_t a = actor.activity;
    const float x = actor.x, y = actor.y;
    switch (a) {
      case 1:
      case 2:
      case 3:
      case 8:
      case 52:
        ClearActor(actor);
        break;
      case 5:
      case 7:
      case 36:
      case 37:
      case 46:
      case 47:
        PlaceFadingObject(app, actor, actor.layerBob[kMainPicture], actor.layerBob[kMainMask], x, y,
                          kActPictureFadingOut, true);
        break;
      case 12:
      case 13:
        PlaceFadingObject(app, actor, actor.layerBob[kMainPicture], actor.layerBob[kMainMask], x, y,
                          kActLogoFadingOut, true);
        break;
      case 6:
      case 9:
      case 21:
      case 22:
      case 30:
      case 31:
        PlaceFadingLayeredObject(app, actor, actor.layerBob, x, y, kActLayeredFadingOut, true);
        break;
      case 50:
        ShrinkTree(app, actor);
        break;
      default:
        if ((a == 16 || SentAwayByWindDown(a)) && TargetOnScreen(app, actor))
          LeaveScreen(app, actor, kActWalker, 1000);
        break;
    }
  }
}

// Returns true when every slot was free during the pass.
bool WindDownRepeatedPass(SaverApplication& app) {
  bool allFree = true;
  for (ActorSlot& actor : app.actors) {
    actor.finishPending = 1;
    if (actor.activity != kActFree) allFree = false;
    if (SentAwayByWindDown(actor.activity) && TargetOnScreen(app, actor)) {
      LeaveScreen(app, actor, kActWalker, 1000);
    } else if (actor.activity == kActTreeGrowing) {
      ShrinkTree(app, actor);
      return false;
    }
  }
  return allFree;
}

void SwitchPhase(SaverApplication& app) {
  const uint32_t now = SaverNow(app);
  app.windingDown = 0;
  app.phaseDeadline = now + kScenePhaseMs;
  ++app.statistics.phaseSwitches;
  if (!app.textPhase) {
    app.textPhase = 1;
    app.phaseDeadline = now + kTextPhaseMs;
    std::memset(app.sites, 0, sizeof(app.sites));
    StartTextPhase(app);
  } else {
    app.textPhase = 0;
    LayOutSites(app);
    StartScenePhase(app);
  }
}

void AdvanceFade(SaverApplication& app, ActorSlot& actor, bool in) {
  if (in) {
    if (actor.counter < 254) ++actor.counter;
    if (actor.counter >= 254) EndActivity(app, actor);
  } else {
    if (actor.counter > 1) --actor.counter;
    if (actor.counter <= 1) EndActivity(app, actor);
  }
}

void AdvanceActor(SaverApplication& app, ActorSlot& actor, uint32_t now) {
  switch (FrameKindOf(actor.activity)) {
    case FrameKind::kWalk:
      AdvanceWalker(app, actor);
      break;
    case FrameKind::kAnim: {
      const bool cycleDone = SceneAdvanceAnimation(actor);
      SceneRunFrameEvents(actor);
      if (cycleDone && DeadlinePassed(now, actor.deadline)) EndActivity(app, actor);
      break;
    }
    case FrameKind::kTimer:
      if (DeadlinePassed(now, actor.deadline)) EndActivity(app, actor);
      break;
    case FrameKind::kFadeIn:
      AdvanceFade(app, actor, true);
      break;
    case FrameKind::kFadeOut:
      AdvanceFade(app, actor, false);
      break;
    case FrameKind::kSpecial:
      switch (actor.activity) {
        case kActStork:
          AdvanceStork(app, actor);
          break;
        case kActTreeGrowing:
          AdvanceGrowingTree(app, actor);
          break;
        case kActTreeFalling:
          AdvanceFallingTree(app, actor);
          break;
        case kActTreeShrinking:
          AdvanceShrinkingTree(app, actor);
          break;
        default:
          break;
      }
      break;
    case FrameKind::kNone:
      break;
  }
}

void DrawActor(SaverApplication& app, ActorSlot& actor) {
  XB_BITMAP& frame = *app.frameBitmap;
  XB_BOB_MANAGER& packed = *app.packedBobs;
  const int16_t x = static_cast<int16_t>(Trunc(actor.x));
  const int16_t y = static_cast<int16_t>(Trunc(actor.y));
  const uint16_t* bobs = actor.layerBob;
  const uint16_t level = actor.counter;
  const uint8_t* identity = app.identityTable;
  switch (DrawKindOf(actor.activity)) {
    case DrawKind::kCreature:
      DrawAnimation(actor.animState, &frame, x, y);
      break;
    case DrawKind::kPicture:
      packed.DrawBob(bobs[kMainPicture], frame, x, y, 0);
      break;
    case DrawKind::kShadowPicture:
      if (app.maskedBobs) app.maskedBobs->DrawBobShadow(bobs[kShadowBob], frame, x, y, ShadowBytes(app));
      packed.DrawBob(bobs[kMainPicture], frame, x, y, 0);
      break;
    case DrawKind::kDissolvingShadow:
      packed.DrawShadowThroughMask(bobs[kMainMask], level, frame, static_cast<int16_t>(Trunc(actor.x + 2.0f)),
                                   static_cast<int16_t>(Trunc(actor.y + 2.0f)), ShadowBytes(app));
      [[fallthrough]];
    case DrawKind::kDissolving:
      packed.DrawBobThroughMask(bobs[kMainPicture], bobs[kMainMask], level, frame, x, y, identity, identity);
      break;
    case DrawKind::kLayered:
      packed.DrawShadowThroughMask(bobs[kLayerShadowMask], level, frame, x, y, ShadowBytes(app));
      packed.DrawBobThroughMask(bobs[kLayer1Picture], bobs[kLayer1Mask], level, frame, x, y, identity,
                                identity);
      packed.DrawBobThroughMask(bobs[kLayer2Picture], bobs[kLayer2Mask], level, frame, x, y, identity,
                                identity);
      packed.DrawBobThroughMask(bobs[kMainPicture], bobs[kMainMask], level, frame, x, y, identity, identity);
      break;
    case DrawKind::kNotDrawn:
      break;
  }
}

// The scroll band: copies of the scroll text side by side, creeping 3 pixels left per frame. Copies
// entirely left of the screen are not drawn (they would not show).
void DrawScrollBand(SaverApplication& app) {
  if (!app.scrollText[0] || !app.font || !app.fontForegroundRemap || !app.fontBackgroundRemap) return;
  const int32_t w = TextWidth(app, app.scrollText);
  int32_t x = static_cast<int16_t>(app.screenWidth - 3 * app.frameCounter);
  if (x < -w) x += w;
  const int32_t copies = w == 0 ? 5 : (app.screenWidth - x) / w + 1;
  XB_BITMAP& frame = *app.frameBitmap;
  XB_FONT* oldFont = frame.SetFont(app.font);
  XB_REMAP_TABLE* oldColour = frame.SetTextColour(app.fontBackgroundRemap);
  for (int pass = 0; pass < 2; ++pass) {
    const int32_t dx = pass == 0 ? 3 : 0, dy = pass == 0 ? 3 : 0;
    if (pass == 1) frame.SetTextColour(app.fontForegroundRemap);
    for (int32_t k = 0; k < copies; ++k) {
      const int32_t cx = x + k * w;
      if (cx + w + dx <= 0 && w > 0) continue;
      frame.DrawText(cx + dx, dy, app.scrollText);
    }
  }
  frame.SetTextColour(oldColour);
  frame.SetFont(oldFont);
}

void DrawCornerLogo(SaverApplication& app, uint16_t bob, bool right) {
  XB_RECT rect;
  if (!app.packedBobs->GetBobRect(bob, rect)) return;
  const int32_t x = right ? app.screenWidth - rect.width - rect.x - 20 : 20 - rect.x;
  const int32_t y = app.screenHeight - rect.height - rect.y - 20;
  if (app.shadowTable && app.maskedBobs)
    app.maskedBobs->DrawBobShadow(bob, *app.frameBitmap, static_cast<int16_t>(x), static_cast<int16_t>(y),
                                  ShadowBytes(app));
  app.packedBobs->DrawBob(bob, *app.frameBitmap, static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
}

}  // namespace

void RunPhaseClock(SaverApplication& app) {
  const uint32_t now = SaverNow(app);
  if (!app.windingDown && static_cast<int32_t>(now - app.phaseDeadline) >= 0) {
    for (const ActorSlot& actor : app.actors) {
      if (actor.activity == kActMonumentFadingIn) return;  // let the monument finish dissolving in
    }
    app.windingDown = 1;
    WindDownFirstPass(app);
  }
  if (app.windingDown && WindDownRepeatedPass(app)) SwitchPhase(app);
}

void AdvanceActors(SaverApplication& app) {
  const uint32_t now = SaverNow(app);
  for (ActorSlot& actor : app.actors) AdvanceActor(app, actor, now);
}

void DrawActors(SaverApplication& app) {
  for (uint8_t place : app.drawOrder) {
    if (place != 0) DrawActor(app, app.actors[place - 1]);
  }
}

void UpdateFrame(SaverApplication& app) {
  if (!app.display || !app.frameBitmap || !app.backgroundTile || !app.packedBobs) return;
  DrawBackground(app);
  if (!app.introOver) DrawIntro(app);
  if (app.textPhase) DrawTextPage(app);
  RunPhaseClock(app);
  AdvanceActors(app);
  BuildDrawOrder(app);
  DrawActors(app);
  if (!app.textPhase && app.introOver) DrawScrollBand(app);
  if (app.cornerLogoOn) DrawCornerLogo(app, 1, false);
  DrawCornerLogo(app, app.screenWidth > 800 ? 3 : 2, true);
  ++app.frameCounter;
  ++app.statistics.ticks;
  if (app.redraw) ++app.redraw->frames;
}

void SetBackgroundShortcut(bool on) {
  g_backgroundShortcut = on;
}

void StartScenePhase(SaverApplication& app) {
  if (app.textPhase) return;
  for (ActorSlot& actor : app.actors) ClearActor(actor);
  StartBigLogo(app);
  app.cornerLogoOn = 0;
  app.monumentInUse = 1;
  app.frameCounter = 0;
  SpawnWaitingWalkers(app);
}

void StartTextPhase(SaverApplication& app) {
  if (!app.textPhase) return;
  for (ActorSlot& actor : app.actors) ClearActor(actor);
  app.cornerLogoOn = 0;
  app.frameCounter = 0;
  if (!HasLogo(app)) SpawnWaitingWalkers(app);
}
