#include "tools/world/shape_render.h"

#include <algorithm>
#include <cmath>

#include "shell/resources/palette_resource.h"

namespace tlworld {

float Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalize(Vec3 v) {
  float l = std::sqrt(Dot(v, v));
  if (l <= 1e-12f) return {0, 0, 1};
  return v * (1.0f / l);
}

// ---- transforms ------------------------------------------------------------------------------------

Vec3 Transform::Apply(Vec3 p) const {
  return ApplyDir(p) + t;
}
Vec3 Transform::ApplyDir(Vec3 d) const {
  return {r[0] * d.x + r[1] * d.y + r[2] * d.z, r[3] * d.x + r[4] * d.y + r[5] * d.z,
          r[6] * d.x + r[7] * d.y + r[8] * d.z};
}
Transform Transform::Then(const Transform& o) const {
  Transform out;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out.r[i * 3 + j] =
          o.r[i * 3 + 0] * r[0 * 3 + j] + o.r[i * 3 + 1] * r[1 * 3 + j] + o.r[i * 3 + 2] * r[2 * 3 + j];
  out.t = o.Apply(t);
  return out;
}
Transform Transform::Translate(Vec3 t) {
  Transform out;
  out.t = t;
  return out;
}
Transform Transform::RotateZ(float degrees) {
  float c = std::cos(Rad(degrees)), s = std::sin(Rad(degrees));
  Transform out;
  out.r = {c, -s, 0, s, c, 0, 0, 0, 1};
  return out;
}
Transform Transform::RotateX(float degrees) {
  float c = std::cos(Rad(degrees)), s = std::sin(Rad(degrees));
  Transform out;
  out.r = {1, 0, 0, 0, c, -s, 0, s, c};
  return out;
}
Transform Transform::RotateY(float degrees) {
  float c = std::cos(Rad(degrees)), s = std::sin(Rad(degrees));
  Transform out;
  out.r = {c, 0, s, 0, 1, 0, -s, 0, c};
  return out;
}
Transform Transform::Scale(float sx, float sy, float sz) {
  Transform out;
  out.r = {sx, 0, 0, 0, sy, 0, 0, 0, sz};
  return out;
}

// ---- sprites -----------------------------------------------------------------------------------------

void Sprite::Crop() {
  int x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (pixels[size_t(y) * width + x]) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  if (x1 < 0) {
    *this = Sprite(1, 1, originX, originY);
    originX = 0, originY = 0;
    return;
  }
  Sprite out(x1 - x0 + 1, y1 - y0 + 1, originX - x0, originY - y0);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) out.pixels[size_t(y - y0) * out.width + (x - x0)] = At(x, y);
  *this = std::move(out);
}

void Sprite::Cover(const Sprite& o) {
  int left = std::max(originX, o.originX), top = std::max(originY, o.originY);
  int right = std::max(width - originX, o.width - o.originX);
  int bottom = std::max(height - originY, o.height - o.originY);
  if (left == originX && top == originY && right == width - originX && bottom == height - originY) return;
  Sprite out(left + right, top + bottom, left, top);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.Set(x - originX + left, y - originY + top, At(x, y));
  *this = std::move(out);
}

void Sprite::Overlay(const Sprite& o) {
  Cover(o);
  for (int y = 0; y < o.height; ++y)
    for (int x = 0; x < o.width; ++x) {
      uint8_t v = o.At(x, y);
      if (v) Set(x - o.originX + originX, y - o.originY + originY, v);
    }
}

// ---- palette helpers -----------------------------------------------------------------------------------

Rgb PaletteColour(uint8_t index) {
  return {kPaletteResource[index * 3], kPaletteResource[index * 3 + 1], kPaletteResource[index * 3 + 2]};
}

uint8_t NearestUsable(Rgb c) {
  long best = 0x7FFFFFFF;
  uint8_t bestIndex = 1;
  for (int i = 1; i <= 247; ++i) {
    Rgb p = PaletteColour(uint8_t(i));
    long dr = 29L * std::abs(c.r - p.r), dg = 65L * std::abs(c.g - p.g), db = 15L * std::abs(c.b - p.b);
    long d = dr * dr + dg * dg + db * db;
    if (d < best) best = d, bestIndex = uint8_t(i);
  }
  return bestIndex;
}

namespace {
Rgb ScaleRgb(Rgb c, float f) {
  auto ch = [f](int v) { return std::clamp(int(std::lround(v * f)), 0, 255); };
  return {ch(c.r), ch(c.g), ch(c.b)};
}
}  // namespace

Ramp MakeRamp(Rgb base, int n, float dark, float light) {
  Ramp ramp;
  for (int i = 0; i < n; ++i) {
    float f = n == 1 ? 1.0f : dark + (light - dark) * float(i) / float(n - 1);
    uint8_t idx = NearestUsable(ScaleRgb(base, f));
    if (ramp.shades.empty() || ramp.shades.back() != idx) ramp.shades.push_back(idx);
  }
  return ramp;
}

Ramp RampOf(std::initializer_list<int> indices) {
  Ramp ramp;
  for (int i : indices) ramp.shades.push_back(uint8_t(i));
  return ramp;
}

uint8_t Darker(uint8_t index, float factor) {
  return NearestUsable(ScaleRgb(PaletteColour(index), factor));
}

uint8_t Blend(uint8_t a, uint8_t b, float t) {
  Rgb ca = PaletteColour(a), cb = PaletteColour(b);
  auto mix = [t](int x, int y) { return int(std::lround(float(x) + (float(y) - float(x)) * t)); };
  return NearestUsable({mix(ca.r, cb.r), mix(ca.g, cb.g), mix(ca.b, cb.b)});
}

// ---- noise -----------------------------------------------------------------------------------------------

float Hash2(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return float(h & 0xFFFFFF) / float(0x1000000);
}

float ValueNoise(float x, float y, uint32_t seed, int period) {
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  float fx = x - float(ix), fy = y - float(iy);
  auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
  float a = Hash2(wrap(ix), wrap(iy), seed), b = Hash2(wrap(ix + 1), wrap(iy), seed);
  float c = Hash2(wrap(ix), wrap(iy + 1), seed), d = Hash2(wrap(ix + 1), wrap(iy + 1), seed);
  float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  return (a * (1 - sx) + b * sx) * (1 - sy) + (c * (1 - sx) + d * sx) * sy;
}

float FractalNoise(float x, float y, uint32_t seed, int octaves, int period) {
  float sum = 0, amp = 1, norm = 0, freq = 1;
  for (int o = 0; o < octaves; ++o) {
    sum +=
        amp * ValueNoise(x * freq, y * freq, seed + uint32_t(o) * 101u, period > 0 ? period * int(freq) : 0);
    norm += amp;
    amp *= 0.5f;
    freq *= 2;
  }
  return sum / norm;
}

float Bayer4(int x, int y) {
  static const int m[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
  return (float(m[(y & 3) * 4 + (x & 3)]) + 0.5f) / 16.0f;
}

uint8_t ShadeOf(const Ramp& ramp, float v, int x, int y, float dither) {
  if (ramp.shades.empty()) return 1;
  int n = int(ramp.shades.size());
  float t = v * float(n) + (Bayer4(x, y) - 0.5f) * dither;
  int i = std::clamp(int(std::floor(t)), 0, n - 1);
  return ramp.shades[size_t(i)];
}

// ---- renderer
// ----------------------------------------------------------------------------------------------

ShapeRenderer::ShapeRenderer(int width, int height, int anchorX, int anchorY, View view)
    : width_(width), height_(height), anchorX_(anchorX), anchorY_(anchorY), view_(view) {
  sinE_ = std::sin(Rad(view.elevation));
  cosE_ = std::cos(Rad(view.elevation));
  view_.toLight = Normalize(view_.toLight);
  depth_.assign(size_t(width) * height, 1e30f);
  material_.assign(size_t(width) * height, 0);
  normal_.assign(size_t(width) * height, Vec3{0, 0, 1});
  surfaceZ_.assign(size_t(width) * height, 0.0f);
}

int ShapeRenderer::AddMaterial(const Material& m) {
  materials_.push_back(m);
  return int(materials_.size());
}

int ShapeRenderer::AddMaterial(const Ramp& ramp, float noise, float noiseScale) {
  Material m;
  m.ramp = ramp;
  m.noise = noise;
  m.noiseScale = noiseScale;
  return AddMaterial(m);
}

void ShapeRenderer::Project(Vec3 p, float& sx, float& sy, float& depth) const {
  Vec3 w = transform_.Apply(p);
  sx = float(anchorX_) + w.x;
  sy = float(anchorY_) - (w.y * sinE_ + w.z * cosE_);
  depth = w.y * cosE_ - w.z * sinE_;
}

float ShapeRenderer::Shade(Vec3 n) const {
  float d = std::max(0.0f, Dot(n, view_.toLight));
  return std::clamp(view_.ambient + view_.diffuse * d, 0.0f, 1.0f);
}

void ShapeRenderer::Triangle(Vec3 a, Vec3 b, Vec3 c, int material, bool castShadow) {
  Vec3 wa = transform_.Apply(a), wb = transform_.Apply(b), wc = transform_.Apply(c);
  Vec3 n = Normalize(Cross(wb - wa, wc - wa));
  Vec3 toCamera = {0, -cosE_, sinE_};
  if (Dot(n, toCamera) < 0) n = n * -1.0f;
  Raster(wa, wb, wc, n, n, n, material);
  if (castShadow) shadowTriangles_.push_back({wa, wb, wc});
}

void ShapeRenderer::SmoothTriangle(Vec3 a, Vec3 b, Vec3 c, Vec3 na, Vec3 nb, Vec3 nc, int material,
                                   bool castShadow) {
  Vec3 wa = transform_.Apply(a), wb = transform_.Apply(b), wc = transform_.Apply(c);
  Raster(wa, wb, wc, Normalize(transform_.ApplyDir(na)), Normalize(transform_.ApplyDir(nb)),
         Normalize(transform_.ApplyDir(nc)), material);
  if (castShadow) shadowTriangles_.push_back({wa, wb, wc});
}

void ShapeRenderer::Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, int material, bool castShadow) {
  Triangle(a, b, c, material, castShadow);
  Triangle(a, c, d, material, castShadow);
}

// Rasterises a triangle given in world coordinates (already transformed).
void ShapeRenderer::Raster(Vec3 a, Vec3 b, Vec3 c, Vec3 na, Vec3 nb, Vec3 nc, int material) {
  auto proj = [this](Vec3 w, float& x, float& y, float& d) {
    x = float(anchorX_) + w.x;
    y = float(anchorY_) - (w.y * sinE_ + w.z * cosE_);
    d = w.y * cosE_ - w.z * sinE_;
  };
  float ax, ay, ad, bx, by, bd, cx, cy, cd;
  proj(a, ax, ay, ad), proj(b, bx, by, bd), proj(c, cx, cy, cd);
  TriangleBox box;
  if (!BoxOf(ax, ay, bx, by, cx, cy, box)) return;
  const float inv = box.inv;
  for (int y = box.y0; y <= box.y1; ++y)
    for (int x = box.x0; x <= box.x1; ++x) {
      float px = float(x) + 0.5f, py = float(y) + 0.5f;
      float w0 = ((bx - px) * (cy - py) - (by - py) * (cx - px)) * inv;
      float w1 = ((cx - px) * (ay - py) - (cy - py) * (ax - px)) * inv;
      float w2 = 1.0f - w0 - w1;
      const float eps = -1e-4f;
      if (w0 < eps || w1 < eps || w2 < eps) continue;
      float d = w0 * ad + w1 * bd + w2 * cd;
      size_t i = size_t(y) * width_ + x;
      if (d >= depth_[i]) continue;
      depth_[i] = d;
      material_[i] = uint8_t(material);
      normal_[i] = na * w0 + nb * w1 + nc * w2;
      surfaceZ_[i] = w0 * a.z + w1 * b.z + w2 * c.z;
    }
}

bool ShapeRenderer::BoxOf(float ax, float ay, float bx, float by, float cx, float cy,
                          TriangleBox& box) const {
  float area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  if (std::fabs(area) < 1e-6f) return false;
  box.x0 = std::max(0, int(std::floor(std::min({ax, bx, cx}))));
  box.x1 = std::min(width_ - 1, int(std::ceil(std::max({ax, bx, cx}))));
  box.y0 = std::max(0, int(std::floor(std::min({ay, by, cy}))));
  box.y1 = std::min(height_ - 1, int(std::ceil(std::max({ay, by, cy}))));
  box.inv = 1.0f / area;
  return true;
}

// Projects a triangle along the sunlight onto the ground and marks the pixels it covers.
void ShapeRenderer::RasterShadow(Vec3 a, Vec3 b, Vec3 c, std::vector<uint8_t>& shadow) const {
  Vec3 L = view_.shadowDir;
  auto ground = [&](Vec3 p, float& x, float& y) {
    float t = p.z / -L.z;  // distance along the ray down to z = 0
    float gx = p.x + L.x * t, gy = p.y + L.y * t;
    x = float(anchorX_) + gx;
    y = float(anchorY_) - gy * sinE_;
  };
  float ax, ay, bx, by, cx, cy;
  ground(a, ax, ay), ground(b, bx, by), ground(c, cx, cy);
  TriangleBox box;
  if (!BoxOf(ax, ay, bx, by, cx, cy, box)) return;
  const float inv = box.inv;
  for (int y = box.y0; y <= box.y1; ++y)
    for (int x = box.x0; x <= box.x1; ++x) {
      float px = float(x) + 0.5f, py = float(y) + 0.5f;
      float w0 = ((bx - px) * (cy - py) - (by - py) * (cx - px)) * inv;
      float w1 = ((cx - px) * (ay - py) - (cy - py) * (ax - px)) * inv;
      if (w0 < -1e-4f || w1 < -1e-4f || 1.0f - w0 - w1 < -1e-4f) continue;
      shadow[size_t(y) * width_ + x] = 1;
    }
}

void ShapeRenderer::Box(Vec3 mn, Vec3 mx, int material) {
  Box(mn, mx, material, material);
}

void ShapeRenderer::Box(Vec3 mn, Vec3 mx, int side, int top) {
  Vec3 p000{mn.x, mn.y, mn.z}, p100{mx.x, mn.y, mn.z}, p110{mx.x, mx.y, mn.z}, p010{mn.x, mx.y, mn.z};
  Vec3 p001{mn.x, mn.y, mx.z}, p101{mx.x, mn.y, mx.z}, p111{mx.x, mx.y, mx.z}, p011{mn.x, mx.y, mx.z};
  Quad(p001, p101, p111, p011, top);   // top
  Quad(p000, p100, p101, p001, side);  // south
  Quad(p100, p110, p111, p101, side);  // east
  Quad(p110, p010, p011, p111, side);  // north
  Quad(p010, p000, p001, p011, side);  // west
  Quad(p000, p010, p110, p100, side);  // bottom
}

void ShapeRenderer::GableRoof(Vec3 mn, Vec3 mx, float ridgeZ, float oh, int roof, int gable) {
  float ym = (mn.y + mx.y) * 0.5f;
  float z0 = mn.z;
  // The eaves hang a little lower than the wall top by the overhang's slope.
  float slope = (ridgeZ - z0) / std::max(1.0f, ym - mn.y);
  float ze = z0 - oh * slope;
  Vec3 s0{mn.x - oh, mn.y - oh, ze}, s1{mx.x + oh, mn.y - oh, ze};
  Vec3 r0{mn.x - oh, ym, ridgeZ}, r1{mx.x + oh, ym, ridgeZ};
  Vec3 n0{mn.x - oh, mx.y + oh, ze}, n1{mx.x + oh, mx.y + oh, ze};
  Quad(s0, s1, r1, r0, roof);
  Quad(n1, n0, r0, r1, roof);
  Triangle({mn.x, mn.y, z0}, {mn.x, mx.y, z0}, {mn.x, ym, ridgeZ}, gable);
  Triangle({mx.x, mn.y, z0}, {mx.x, mx.y, z0}, {mx.x, ym, ridgeZ}, gable);
  // Undersides of the eaves so the overhang looks solid from below.
  Quad(s0, s1, {mx.x + oh, mn.y, z0}, {mn.x - oh, mn.y, z0}, roof);
}

void ShapeRenderer::Cylinder(Vec3 base, float radius, float height, int material, int segments,
                             float topRadius, int topMaterial) {
  if (topRadius < 0) topRadius = radius;
  if (topMaterial == 0) topMaterial = material;
  float slope = (radius - topRadius) / std::max(0.001f, height);
  for (int i = 0; i < segments; ++i) {
    float a0 = 2 * kPi * float(i) / float(segments), a1 = 2 * kPi * float(i + 1) / float(segments);
    Vec3 d0{std::cos(a0), std::sin(a0), 0}, d1{std::cos(a1), std::sin(a1), 0};
    Vec3 b0 = base + d0 * radius, b1 = base + d1 * radius;
    Vec3 t0 = base + d0 * topRadius + Vec3{0, 0, height}, t1 = base + d1 * topRadius + Vec3{0, 0, height};
    Vec3 n0 = Normalize({d0.x, d0.y, slope}), n1 = Normalize({d1.x, d1.y, slope});
    SmoothTriangle(b0, b1, t1, n0, n1, n1, material);
    if (topRadius > 0.01f) {
      SmoothTriangle(b0, t1, t0, n0, n1, n0, material);
      Triangle(base + Vec3{0, 0, height}, t0, t1, topMaterial);
    }
  }
}

void ShapeRenderer::Cone(Vec3 base, float radius, float height, int material, int segments) {
  Cylinder(base, radius, height, material, segments, 0.0f);
}

void ShapeRenderer::Ellipsoid(Vec3 c, Vec3 r, int material, int rings, int segments) {
  auto point = [&](int ring, int seg, Vec3& p, Vec3& n) {
    float th = kPi * float(ring) / float(rings);  // 0 at the top
    float ph = 2 * kPi * float(seg) / float(segments);
    Vec3 u{std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph), std::cos(th)};
    p = c + Vec3{u.x * r.x, u.y * r.y, u.z * r.z};
    n = Normalize({u.x / std::max(r.x, 0.01f), u.y / std::max(r.y, 0.01f), u.z / std::max(r.z, 0.01f)});
  };
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      Vec3 p00, p01, p10, p11, n00, n01, n10, n11;
      point(i, j, p00, n00), point(i, j + 1, p01, n01), point(i + 1, j, p10, n10),
          point(i + 1, j + 1, p11, n11);
      if (i > 0) SmoothTriangle(p00, p10, p01, n00, n10, n01, material);
      if (i < rings - 1) SmoothTriangle(p01, p10, p11, n01, n10, n11, material);
    }
}

namespace {
void Basis(Vec3 axis, Vec3& u, Vec3& v) {
  Vec3 helper = std::fabs(axis.z) < 0.9f ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
  u = Normalize(Cross(axis, helper));
  v = Normalize(Cross(axis, u));
}
}  // namespace

void ShapeRenderer::Pole(Vec3 a, Vec3 b, float radius, int material, int segments) {
  Vec3 axis = Normalize(b - a), u, v;
  Basis(axis, u, v);
  for (int i = 0; i < segments; ++i) {
    float a0 = 2 * kPi * float(i) / float(segments), a1 = 2 * kPi * float(i + 1) / float(segments);
    Vec3 d0 = u * std::cos(a0) + v * std::sin(a0), d1 = u * std::cos(a1) + v * std::sin(a1);
    SmoothTriangle(a + d0 * radius, a + d1 * radius, b + d1 * radius, d0, d1, d1, material);
    SmoothTriangle(a + d0 * radius, b + d1 * radius, b + d0 * radius, d0, d1, d0, material);
    Triangle(b, b + d0 * radius, b + d1 * radius, material);
    Triangle(a, a + d1 * radius, a + d0 * radius, material);
  }
}

void ShapeRenderer::Plank(Vec3 a, Vec3 b, float width, float thickness, int material) {
  Vec3 axis = Normalize(b - a);
  Vec3 side = std::fabs(axis.z) > 0.95f ? Vec3{1, 0, 0} : Normalize(Cross(axis, {0, 0, 1}));
  Vec3 up = Normalize(Cross(side, axis));
  Vec3 s = side * (width * 0.5f), t = up * (thickness * 0.5f);
  Vec3 c[8] = {a - s - t, a + s - t, a + s + t, a - s + t, b - s - t, b + s - t, b + s + t, b - s + t};
  Quad(c[3], c[2], c[6], c[7], material);
  Quad(c[0], c[1], c[5], c[4], material);
  Quad(c[1], c[2], c[6], c[5], material);
  Quad(c[0], c[3], c[7], c[4], material);
  Quad(c[0], c[1], c[2], c[3], material);
  Quad(c[4], c[5], c[6], c[7], material);
}

float ShapeRenderer::LightAt(int x, int y) const {
  size_t i = size_t(y) * width_ + x;
  if (!lightSet_.empty() && lightSet_[i] >= 0) return lightSet_[i];
  return Shade(Normalize(normal_[i]));
}

void ShapeRenderer::SetLight(int x, int y, float v) {
  if (lightSet_.empty()) lightSet_.assign(normal_.size(), -1.0f);
  lightSet_[size_t(y) * width_ + x] = std::max(0.0f, v);
}

Sprite ShapeRenderer::Picture() const {
  Sprite out(width_, height_, anchorX_, anchorY_);
  auto mat = [this](int x, int y) -> int {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return material_[size_t(y) * width_ + x];
  };
  auto depth = [this](int x, int y) { return depth_[size_t(y) * width_ + x]; };
  // Outline colours per material, matched to the palette once (not per pixel).
  std::vector<uint8_t> outlines(materials_.size());
  for (size_t i = 0; i < materials_.size(); ++i) {
    const Ramp& r = materials_[i].ramp;
    outlines[i] = r.outline ? r.outline : Darker(r.shades.empty() ? uint8_t(1) : r.shades[0], 0.45f);
  }
  auto outlineOf = [&outlines](int m) { return outlines[size_t(m - 1)]; };
  static const int dx[4] = {-1, 1, 0, 0}, dy[4] = {0, 0, -1, 1};
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      int m = mat(x, y);
      if (m == 0) {
        // Dark outline on the background next to a drawn pixel.
        for (int k = 0; k < 4; ++k) {
          int n = mat(x + dx[k], y + dy[k]);
          if (n && materials_[size_t(n - 1)].outline) {
            out.Set(x, y, outlineOf(n));
            break;
          }
        }
        continue;
      }
      const Material& material = materials_[size_t(m - 1)];
      float v = LightAt(x, y);
      if (material.noise > 0)
        v += (FractalNoise(float(x) / material.noiseScale, float(y) / material.noiseScale,
                           uint32_t(m) * 7919u, 2) -
              0.5f) *
             2.0f * material.noise;
      // A pixel just behind a nearer surface (a depth step) gets a darker line: it separates overlapping
      // parts such as a roof over a wall or an arm in front of a body.
      bool edge = false;
      for (int k = 0; k < 4 && !edge; ++k) {
        int nx = x + dx[k], ny = y + dy[k];
        if (mat(nx, ny) && mat(nx, ny) != m && depth(nx, ny) < depth(x, y) - 6.0f) edge = true;
      }
      out.Set(x, y, edge ? outlineOf(m) : ShadeOf(material.ramp, std::clamp(v, 0.0f, 1.0f), x, y));
    }
  return out;
}

Sprite ShapeRenderer::Coverage() const {
  Sprite pic = Picture();
  Sprite out(width_, height_, anchorX_, anchorY_);
  for (size_t i = 0; i < pic.pixels.size(); ++i) out.pixels[i] = pic.pixels[i] ? 1 : 0;
  return out;
}

Sprite ShapeRenderer::Shadow() const {
  Sprite out(width_, height_, anchorX_, anchorY_);
  for (const auto& t : shadowTriangles_) RasterShadow(t[0], t[1], t[2], out.pixels);
  return out;
}

}  // namespace tlworld
