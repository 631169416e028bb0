#include "shell/linux/x11_picture.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/display_scale.h"
#include "shell/linux/x11_process.h"
#include "shell/linux/x11_saver.h"

FitRect FitScene(uint32_t sceneWidth, uint32_t sceneHeight, uint32_t windowWidth, uint32_t windowHeight) {
  FitRect r;
  if (!sceneWidth || !sceneHeight || !windowWidth || !windowHeight) return r;
  // Compare w / sw with h / sh without floating point: the narrower ratio decides.
  if (uint64_t(windowWidth) * sceneHeight <= uint64_t(windowHeight) * sceneWidth) {
    r.width = static_cast<int32_t>(windowWidth);
    r.height = static_cast<int32_t>(std::max<uint64_t>(1, uint64_t(sceneHeight) * windowWidth / sceneWidth));
  } else {
    r.height = static_cast<int32_t>(windowHeight);
    r.width = static_cast<int32_t>(std::max<uint64_t>(1, uint64_t(sceneWidth) * windowHeight / sceneHeight));
  }
  r.x = (static_cast<int32_t>(windowWidth) - r.width) / 2;
  r.y = (static_cast<int32_t>(windowHeight) - r.height) / 2;
  return r;
}

X11Picture::X11Picture(Display* display, Visual* visual, int depth)
    : dpy_(display), visual_(visual), depth_(depth) {
  red_ = FromMask(visual_->red_mask);
  green_ = FromMask(visual_->green_mask);
  blue_ = FromMask(visual_->blue_mask);
  // A depth-32 visual has an alpha channel: pixels with those bits clear are transparent.
  if (depth_ == 32) alpha_ = ~uint32_t(visual_->red_mask | visual_->green_mask | visual_->blue_mask);
}

X11Picture::~X11Picture() {
  DropImage();
}

X11Picture::ChannelShift X11Picture::FromMask(unsigned long mask) {
  ChannelShift c;
  if (!mask) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

void X11Picture::Resize(uint32_t width, uint32_t height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  DropImage();
}

uint32_t X11Picture::PixelValue(uint8_t r, uint8_t g, uint8_t b) const {
  auto put = [](uint8_t v, const ChannelShift& c) {
    uint32_t scaled = 0;
    if (c.bits <= 8)
      scaled = uint32_t(v) >> (8 - c.bits);
    else  // wider channels repeat the top bits below, so that 255 is full scale (1023 with 10 bits)
      scaled = (uint32_t(v) << (c.bits - 8)) | (uint32_t(v) >> (16 - std::min(c.bits, 16)));
    return scaled << c.shift;
  };
  return put(r, red_) | put(g, green_) | put(b, blue_) | alpha_;
}

bool X11Picture::Show(const uint8_t* pixels, uint32_t pitch, uint16_t w, uint16_t h, uint16_t scale,
                      const uint32_t* table, const std::vector<SurfaceChange>* changes,
                      const std::vector<SurfaceChange>* rows) {
  if (!EnsureImage()) return false;
  FitRect fit = FitScene(w, h, width_, height_);
  // A window a few pixels larger than the enlarged scene (an odd size at scale 2, say) keeps the whole
  // scale, centred, rather than a stretch by a factor just above it.
  const uint32_t ww = uint32_t(w) * scale, wh = uint32_t(h) * scale;
  if (ww <= width_ && wh <= height_ && width_ - ww < scale && height_ - wh < scale)
    fit = FitRect{int32_t(width_ - ww) / 2, int32_t(height_ - wh) / 2, int32_t(ww), int32_t(wh)};
  uint32_t* dst = Pixels32();
  const uint32_t dstPitch = Pitch32();
  auto send = [&](auto draw) {
    if (changes)
      SendGiven(w, h, draw, *changes);
    else
      SendChanged(pixels, pitch, w, h, draw, previous_, true);
  };
  if (fit.width == int32_t(w) * scale && fit.height == int32_t(h) * scale) {
    // The scene enlarged by the whole display scale.
    auto convert = [&](uint32_t left, uint32_t cols, uint32_t top, uint32_t count) {
      const int32_t x = fit.x + int32_t(left * scale), y = fit.y + int32_t(top * scale);
      EnlargeToColours(pixels + size_t(top) * pitch + left, pitch, static_cast<uint16_t>(cols),
                       static_cast<uint16_t>(count), scale, table, dst + size_t(y) * dstPitch + size_t(x),
                       dstPitch);
    };
    auto put = [&](uint32_t left, uint32_t cols, uint32_t top, uint32_t count) {
      Put(fit.x + int32_t(left * scale), fit.y + int32_t(top * scale), cols * scale, count * scale);
    };
    if (changes && rows && givenShown_) {
      for (const SurfaceChange& r : *rows) convert(r.left, r.width, r.top, r.height);
      for (const SurfaceChange& c : *changes) put(c.left, c.width, c.top, c.height);
      FinishFrame();
      return true;
    }
    send([&](uint32_t left, uint32_t cols, uint32_t top, uint32_t count) {
      convert(left, cols, top, count);
      put(left, cols, top, count);
    });
    return true;
  }
  // A window of another shape: nearest neighbour into the fitted rectangle. A destination column dx
  // shows the scene's column dx * w / fit.width, so the scene's columns [a, b) land on [ceil(a *
  // fit.width / w), ceil(b * fit.width / w)); the same for rows.
  const uint32_t fw = uint32_t(fit.width), fh = uint32_t(fit.height);
  if (xMap_.size() != fw) {
    xMap_.resize(fw);
    for (uint32_t x = 0; x < fw; ++x) xMap_[x] = uint32_t(uint64_t(x) * w / fw);
  }
  auto up = [](uint32_t v, uint32_t to, uint32_t from) {
    return uint32_t((uint64_t(v) * to + from - 1) / from);
  };
  send([&](uint32_t left, uint32_t cols, uint32_t top, uint32_t rows) {
    const uint32_t x0 = up(left, fw, w), x1 = up(left + cols, fw, w);
    const uint32_t y0 = up(top, fh, h), y1 = up(top + rows, fh, h);
    if (x1 <= x0 || y1 <= y0) return;
    for (uint32_t y = y0; y < y1; ++y) {
      const uint8_t* row = pixels + size_t(uint64_t(y) * h / fh) * pitch;
      uint32_t* out = dst + size_t(uint32_t(fit.y) + y) * dstPitch + size_t(fit.x);
      for (uint32_t x = x0; x < x1; ++x) out[x] = table[row[xMap_[x]]];
    }
    Put(fit.x + int32_t(x0), fit.y + int32_t(y0), x1 - x0, y1 - y0);
  });
  return true;
}

bool X11Picture::ShowAt(const uint8_t* pixels, uint32_t pitch, uint16_t w, uint16_t h, uint16_t scale,
                        const uint32_t* table, int32_t x, int32_t y, SceneShown& shown) {
  if (!EnsureImage()) return false;
  if (x < 0 || y < 0 || uint64_t(x) + uint64_t(w) * scale > width_ ||
      uint64_t(y) + uint64_t(h) * scale > height_)
    return true;
  if (shown.generation != generation_) {
    shown.previous.clear();
    shown.generation = generation_;
  }
  uint32_t* dst = Pixels32();
  const uint32_t dstPitch = Pitch32();
  SendChanged(
      pixels, pitch, w, h,
      [&](uint32_t left, uint32_t cols, uint32_t top, uint32_t rows) {
        const int32_t px = x + int32_t(left * scale), py = y + int32_t(top * scale);
        EnlargeToColours(pixels + size_t(top) * pitch + left, pitch, static_cast<uint16_t>(cols),
                         static_cast<uint16_t>(rows), scale, table, dst + size_t(py) * dstPitch + size_t(px),
                         dstPitch);
        Put(px, py, cols * scale, rows * scale);
      },
      shown.previous, false);
  return true;
}

// Most of a frame is the same as the one before (the background; only villagers, the scroll band and
// fades move), so only what changed is converted and sent: the rectangles around the changed pixels
// (draw(left, columns, top, rows) in scene pixels), found as the presentation finds them. The first
// frame after the image was made (after a resize, a new palette) goes out whole.
template <class DrawRect>
void X11Picture::SendChanged(const uint8_t* pixels, uint32_t pitch, uint16_t w, uint16_t h, DrawRect draw,
                             std::vector<uint8_t>& previous, bool wholeWindow) {
  const size_t bytes = size_t(pitch) * h;
  if (previous.size() != bytes) {
    draw(0, w, 0, h);
    previous.assign(pixels, pixels + bytes);
    if (wholeWindow)
      PutImage();  // the borders too
    else
      FinishFrame();
    return;
  }
  CopyChangedTiles(previous.data(), pitch, pixels, pitch, w, h, changes_);
  for (const SurfaceChange& c : changes_) draw(c.left, c.width, c.top, c.height);
  FinishFrame();
}

template <class DrawRect>
void X11Picture::SendGiven(uint16_t w, uint16_t h, DrawRect draw, const std::vector<SurfaceChange>& changes) {
  if (!givenShown_) {
    draw(0, w, 0, h);
    givenShown_ = true;
    PutImage();  // the borders too
    return;
  }
  for (const SurfaceChange& c : changes) draw(c.left, c.width, c.top, c.height);
  FinishFrame();
}

// The image in memory shared with a local X server (MIT-SHM): a put then costs the server one copy
// instead of Xlib copying every row into the connection. Our own windows and a hack's window alike:
// whether the server took the segment is told by an error of the attach request itself, found by its
// serial, not by any error that arrives meanwhile (a hack's puts into a window that XScreenSaver has
// just destroyed fail asynchronously, and must not count as a refused attach). Anything unusual (a
// remote server, another byte order, a refused attach) falls back to plain XPutImage;
// TILLANDS_X_SHM=0 forces the fallback.
bool X11Picture::TryShmImage() {
  if (!shmAllowed_) return false;
  shmAllowed_ = false;  // until it worked
  const char* env = std::getenv("TILLANDS_X_SHM");
  const uint32_t probe = 1;
  const int native = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
  if ((env && std::strcmp(env, "0") == 0) || !XShmQueryExtension(dpy_) || ImageByteOrder(dpy_) != native)
    return false;
  XImage* image =
      XShmCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_, width_, height_);
  if (!image) return false;
  if (image->bits_per_pixel != 32) {
    XDestroyImage(image);
    return false;
  }
  shm_.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
  if (shm_.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  void* address = shmat(shm_.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  shm_.shmaddr = image->data = static_cast<char*>(address);
  shm_.readOnly = False;
  g_xWatchedRequestFailed = false;
  g_xWatchedRequest = NextRequest(dpy_);
  XShmAttach(dpy_, &shm_);
  XSync(dpy_, False);
  g_xWatchedRequest = 0;
  // Marked for removal now: it goes when both sides have detached, even if we end abruptly.
  shmctl(shm_.shmid, IPC_RMID, nullptr);
  if (g_xWatchedRequestFailed) {
    shmdt(shm_.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    return false;
  }
  image_ = image;
  shmImage_ = true;
  shmAllowed_ = true;
  return true;
}

bool X11Picture::EnsureImage() {
  if (image_) return true;
  if (width_ == 0 || height_ == 0 || width_ > 32768 || height_ > 32768) return false;
  if (TryShmImage()) {
    xMap_.clear();
    ForgetShown();
    return true;
  }
  image_ =
      XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr, width_, height_, 32, 0);
  if (!image_) return false;
  if (image_->bits_per_pixel != 32 && image_->bits_per_pixel != 16) {
    XDestroyImage(image_);
    image_ = nullptr;
    return false;
  }
  narrow_ = image_->bits_per_pixel == 16;
  image_->data = static_cast<char*>(std::calloc(size_t(image_->bytes_per_line) * height_, 1));
  if (!image_->data) {
    XDestroyImage(image_);
    image_ = nullptr;
    return false;
  }
  if (narrow_) wide_.assign(size_t(width_) * height_, 0);
  // The pixels are written as native words; Xlib swaps them when the server differs.
  const uint32_t probe = 1;
  image_->byte_order = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
  xMap_.clear();
  ForgetShown();
  return true;
}

void X11Picture::DropImage() {
  if (image_ && shmImage_) {
    if (!g_windowGone) XShmDetach(dpy_, &shm_);
    XSync(dpy_, False);
    shmdt(shm_.shmaddr);
    image_->data = nullptr;
  }
  if (image_) XDestroyImage(image_);
  image_ = nullptr;
  shmImage_ = false;
  narrow_ = false;
  wide_.clear();
  wide_.shrink_to_fit();
  ForgetShown();
}

void X11Picture::Put(int x, int y, unsigned w, unsigned h) {
  if (narrow_) {
    // The 16-bit image gets the rectangle's pixels from the 32-bit words they were built in.
    for (unsigned row = 0; row < h; ++row) {
      const uint32_t* from = wide_.data() + size_t(y + int(row)) * width_ + size_t(x);
      uint16_t* to =
          reinterpret_cast<uint16_t*>(image_->data + size_t(y + int(row)) * size_t(image_->bytes_per_line)) +
          x;
      for (unsigned i = 0; i < w; ++i) to[i] = static_cast<uint16_t>(from[i]);
    }
  }
  if (shmImage_)
    XShmPutImage(dpy_, window_, gc_, image_, x, y, x, y, w, h, False);
  else
    XPutImage(dpy_, window_, gc_, image_, x, y, x, y, w, h);
}

// With shared memory the server must have read the image before the next frame writes into it.
void X11Picture::FinishFrame() {
  if (shmImage_) XSync(dpy_, False);
}

void X11Picture::PutImage() {
  Put(0, 0, width_, height_);
  FinishFrame();
}

void X11Picture::DrawFps() {
  ++fpsFrames_;
  const uint32_t now = SteadyMs();
  if (fpsStart_ == 0) fpsStart_ = now;
  if (now - fpsStart_ >= 1000) {
    fpsShown_ = fpsFrames_ * 1000.0 / double(now - fpsStart_);
    fpsFrames_ = 0;
    fpsStart_ = now;
  }
  // Always as wide (drawn with its background): a shorter text never leaves the end of a longer one.
  char text[32];
  const int n = std::snprintf(text, sizeof text, "%7.1f fps", fpsShown_);
  XDrawImageString(dpy_, window_, gc_, 8, static_cast<int>(height_) - 8, text, n);
}
