// The Linux saver on X11: full screen, a window, or an XScreenSaver hack in a window it is given.
//
// Why plain Xlib for the picture (and SDL only for sound): a hack draws into a window that belongs
// to XScreenSaver, which destroys it without warning at deactivation. With Xlib we own the error
// handling (our own X error handler, DestroyNotify on the window, SIGTERM/SIGINT through a pipe into
// the one poll of the loop), while SDL's renderer installs its own X error and signal handling around
// a GL context and has been seen to hang there when the window vanished. One presentation path for all
// three modes keeps them identical: the 8-bit frame goes through a 256-entry colour table into one
// 32-bit XImage of the window's size (enlarged by the display scale, or fitted with black borders when
// XScreenSaver resizes a hack's window; our own windows get scenes of their new size) and reaches the
// window with one XPutImage.
//
// Full screen covers the X screen: one override-redirect window over the bounding box of every
// monitor (the root window's size), with the keyboard and the pointer grabbed; or, with
// managedFullScreen, a window the window manager makes full screen (_NET_WM_STATE_FULLSCREEN).
//
// The parts: x11_saver.cpp (the platform and its loop), x11_window (the window of each mode),
// x11_picture (the image and its presentation paths), x11_input (input and grabs), x11_process
// (signals and X errors).
#pragma once

#include <cstdint>
#include <optional>

#include "shell/linux/linux_options.h"

class SettingsStore;
class SdlSoundSink;

struct X11SaverOptions {
  LinuxRunKind kind = LinuxRunKind::Window;  // FullScreen, Window or Hack
  uint16_t windowWidth = 1280;
  uint16_t windowHeight = 720;
  uint64_t windowId = 0;  // Hack: the window, or 0 for the root window
  bool showFps = false;
  bool managedFullScreen = false;  // FullScreen: a window-manager full-screen window (EWMH)
  std::optional<uint32_t> seed;
};

// Runs the saver until it ends. Returns the process's exit status: 0 after a normal end (input,
// closing, SIGTERM/SIGINT, the hack's window gone), 1 when it could not start.
int RunX11Saver(const X11SaverOptions& options, SettingsStore& settings, SdlSoundSink* sound);

// Where a frame of the scene lands in a window of another size: the largest fit that keeps the
// aspect, centred (black borders around it).
struct FitRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};
FitRect FitScene(uint32_t sceneWidth, uint32_t sceneHeight, uint32_t windowWidth, uint32_t windowHeight);
