// The picture of the Linux saver and its way to the window: the 8-bit frame goes through a 256-entry
// colour table into one 32-bit XImage of the window's size (enlarged by the display scale, or fitted
// with black borders when the window has another size) and reaches the window as the rectangles that
// changed (XPutImage, or XShmPutImage when the image lives in memory shared with the server).
#pragma once

#include <cstdint>
#include <vector>

#include "display/frame_changes.h"

// Xlib last: its macros (None, Bool, Status) would rename words of the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
// clang-format on

class X11Picture {
 public:
  X11Picture(Display* display, Visual* visual, int depth);
  ~X11Picture();
  X11Picture(const X11Picture&) = delete;
  X11Picture& operator=(const X11Picture&) = delete;

  // The window drawn into and its graphics context (made by the window's owner).
  void SetWindow(Window window, GC gc) {
    window_ = window;
    gc_ = gc;
  }
  // The window's size; a change drops the image, the next frame makes it anew and goes out whole.
  void Resize(uint32_t width, uint32_t height);
  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }

  // The window's pixel value for a colour.
  uint32_t PixelValue(uint8_t r, uint8_t g, uint8_t b) const;

  // Shows a frame of the scene (w x h, 8-bit, through table), enlarged by scale or fitted. False
  // when no image of the window's size can be made (nothing can be shown then). With `changes`, only
  // those rectangles of the scene differ from the frame shown last (the caller found them); without,
  // the frame is compared with a copy of the last one kept here. With `rows` too (the changed pixels
  // in them, row by row), only those are converted into the image, which still holds the colours of
  // every other pixel, and the rectangles are sent.
  bool Show(const uint8_t* pixels, uint32_t pitch, uint16_t w, uint16_t h, uint16_t scale,
            const uint32_t* table, const std::vector<SurfaceChange>* changes = nullptr,
            const std::vector<SurfaceChange>* rows = nullptr);
  // One monitor's scene: its frame lands at (x, y) of the window, enlarged by scale, and only what
  // changed since that scene's last frame (kept in `shown`) goes out. A scene that does not fit into
  // the window any more (the window shrank before the scenes were laid out anew) is not drawn.
  struct SceneShown {
    std::vector<uint8_t> previous;
    uint64_t generation = 0;
  };
  bool ShowAt(const uint8_t* pixels, uint32_t pitch, uint16_t w, uint16_t h, uint16_t scale,
              const uint32_t* table, int32_t x, int32_t y, SceneShown& shown);
  // The colours changed: the next frame goes out whole.
  void Invalidate() { ForgetShown(); }
  // The window was exposed: the last image again, if there is one.
  void Repaint() {
    if (image_) PutImage();
  }
  // The frame rate in the window's lower left corner.
  void DrawFps();
  void DropImage();

 private:
  struct ChannelShift {
    int shift = 0;
    int bits = 0;
  };
  static ChannelShift FromMask(unsigned long mask);

  // previous: the frame last sent there; wholeWindow: a first frame also puts the rest of the image.
  template <class DrawRect>
  void SendChanged(const uint8_t* pixels, uint32_t pitch, uint16_t w, uint16_t h, DrawRect draw,
                   std::vector<uint8_t>& previous, bool wholeWindow);
  // Sends the given rectangles, or the whole frame and the borders when what the image shows is
  // not known (the first frame into a new image, new colours).
  template <class DrawRect>
  void SendGiven(uint16_t w, uint16_t h, DrawRect draw, const std::vector<SurfaceChange>& changes);
  // What was shown is unknown from now on (new image, new size, new colours): every frame goes out whole.
  void ForgetShown() {
    previous_.clear();
    givenShown_ = false;
    ++generation_;
  }
  bool TryShmImage();
  bool EnsureImage();
  void Put(int x, int y, unsigned w, unsigned h);
  uint32_t* Pixels32() { return narrow_ ? wide_.data() : reinterpret_cast<uint32_t*>(image_->data); }
  uint32_t Pitch32() const { return narrow_ ? width_ : static_cast<uint32_t>(image_->bytes_per_line / 4); }
  void FinishFrame();
  void PutImage();

  Display* dpy_;
  Visual* visual_;
  int depth_;
  Window window_ = 0;
  GC gc_ = nullptr;
  uint32_t width_ = 0, height_ = 0;  // the window's current size
  ChannelShift red_, green_, blue_;
  uint32_t alpha_ = 0;  // bits of a 32-bit pixel that are no colour: opaque under a compositor
  // A 16-bit server format: frames are built as 32-bit words in wide_ (the same paths as for the
  // 32-bit formats) and narrowed into the image for the rectangles that go out.
  bool narrow_ = false;
  std::vector<uint32_t> wide_;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shmImage_ = false;
  bool shmAllowed_ = true;
  std::vector<uint32_t> xMap_;
  std::vector<uint8_t> previous_;  // the frame last sent, 8-bit, to find what changed
  uint64_t generation_ = 1;        // counts ForgetShown, so monitor scenes know to start whole
  bool givenShown_ = false;        // the image shows the frame before the next one handed with changes
  std::vector<SurfaceChange> changes_;
  uint32_t fpsFrames_ = 0, fpsStart_ = 0;
  double fpsShown_ = 0;
};
