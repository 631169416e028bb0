// A small orthographic renderer for the demo world's pixel art.
//
// Solid things (houses, trees, monuments, creatures) are modelled as a handful of simple 3D shapes and
// rendered into palette pixels: each pixel remembers the material it shows and how much light falls on
// it, and the final picture picks one of the material's 3-5 palette shades, adds dark outlines, and
// yields a coverage mask (for packed bobs) and the shadow the object casts on the ground (for shadow
// bobs). Consistent lighting from the upper left and the six walking directions of the creatures come
// out of the same code: a creature is simply rendered with its model rotated about the vertical axis.
//
// World coordinates: x points east (screen right), y points north (away from the viewer), z up. One
// world unit is one screen pixel horizontally. The camera looks north and down at `elevation`
// degrees, so a point (x, y, z) lands on screen at (x, -(y sin e + z cos e)) relative to the anchor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tlworld {

constexpr float kPi = 3.14159265358979f;
inline float Rad(float degrees) {
  return degrees * kPi / 180.0f;
}

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, float s) {
  return {a.x * s, a.y * s, a.z * s};
}
float Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
Vec3 Normalize(Vec3 v);

// Rotation (3x3, row-major) plus translation: p' = R p + t.
struct Transform {
  std::array<float, 9> r{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 t;
  Vec3 Apply(Vec3 p) const;
  Vec3 ApplyDir(Vec3 d) const;
  Transform Then(const Transform& outer) const;  // outer applied after this one
  static Transform Translate(Vec3 t);
  static Transform RotateZ(float degrees);  // about the vertical axis, counter-clockwise seen from above
  static Transform RotateX(float degrees);
  static Transform RotateY(float degrees);
  static Transform Scale(float sx, float sy, float sz);
};

// A picture of palette indices with its anchor: the pixel (originX, originY) is the point the object
// stands on. Index 0 means transparent inside these authoring buffers (the art never uses palette
// entry 0, which the screen shows black).
struct Sprite {
  int width = 0, height = 0;
  int originX = 0, originY = 0;
  std::vector<uint8_t> pixels;

  Sprite() = default;
  Sprite(int w, int h, int ox, int oy)
      : width(w), height(h), originX(ox), originY(oy), pixels(size_t(w) * h, 0) {}
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint8_t At(int x, int y) const { return Inside(x, y) ? pixels[size_t(y) * width + x] : 0; }
  void Set(int x, int y, uint8_t v) {
    if (Inside(x, y)) pixels[size_t(y) * width + x] = v;
  }
  // Shrinks to the bounding box of non-zero pixels (keeps the anchor); an empty sprite becomes 1x1.
  void Crop();
  // Copies `other` on top (non-zero pixels), aligning the anchors; grows this sprite as needed.
  void Overlay(const Sprite& other);
  // Grows the canvas so that it also covers the rectangle of `other` (anchors aligned).
  void Cover(const Sprite& other);
};

// A ramp of palette indices from dark to light for one material.
struct Ramp {
  std::vector<uint8_t> shades;  // dark -> light, 1..5 entries
  uint8_t outline = 0;          // colour of the dark outline next to this material (0 = derive)
};

// The screen palette (kPaletteResource) as RGB triples.
struct Rgb {
  int r = 0, g = 0, b = 0;
};
Rgb PaletteColour(uint8_t index);
// Nearest palette entry to a colour among the usable entries 1..247 (0 and 255 show black on the
// screen and 248..254 are the unusable magenta block); weights as the graphics library matches.
uint8_t NearestUsable(Rgb colour);
// `n` shades of a base colour, from `dark` to `light` times the colour, each matched to the palette;
// neighbouring duplicates are dropped.
Ramp MakeRamp(Rgb base, int n = 5, float dark = 0.45f, float light = 1.25f);
// A ramp from explicit palette indices (dark -> light).
Ramp RampOf(std::initializer_list<int> indices);
// The palette entry nearest to `index`'s colour scaled by `factor`.
uint8_t Darker(uint8_t index, float factor);
// The palette entry nearest to the mix of two entries' colours (t = 0 gives a, 1 gives b).
uint8_t Blend(uint8_t a, uint8_t b, float t);

struct Material {
  Ramp ramp;
  float noise = 0.0f;       // per-pixel light jitter (foliage, grass, stone texture)
  float noiseScale = 1.0f;  // size of the jitter's blobs in pixels
  bool outline = true;      // draws a dark outline where this material meets the background
};

struct View {
  float elevation = 38.0f;               // degrees the camera looks down
  Vec3 toLight = {-0.75f, 0.30f, 1.0f};  // direction towards the sun: upper left of the screen
  float ambient = 0.38f, diffuse = 0.72f;
  Vec3 shadowDir = {0.85f, -0.45f, -1.0f};  // direction the sunlight travels, for cast shadows
};

// Renders triangles into a canvas of `width` x `height` pixels whose anchor (the world origin on the
// ground) is at pixel (anchorX, anchorY).
class ShapeRenderer {
 public:
  ShapeRenderer(int width, int height, int anchorX, int anchorY, View view = View());

  // Materials are numbered from 1; returns the id.
  int AddMaterial(const Material& m);
  int AddMaterial(const Ramp& ramp, float noise = 0.0f, float noiseScale = 1.0f);

  // The model transform applied to every following shape.
  void SetTransform(const Transform& t) { transform_ = t; }
  const Transform& GetTransform() const { return transform_; }

  // Primitives (model coordinates; all sizes in pixels).
  // Flat triangle (its normal faces the viewer side); `castShadow` false keeps it out of the shadow.
  void Triangle(Vec3 a, Vec3 b, Vec3 c, int material, bool castShadow = true);
  // Triangle with per-vertex normals (smooth shading).
  void SmoothTriangle(Vec3 a, Vec3 b, Vec3 c, Vec3 na, Vec3 nb, Vec3 nc, int material,
                      bool castShadow = true);
  void Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, int material, bool castShadow = true);
  // Axis-aligned box from `min` to `max`.
  void Box(Vec3 min, Vec3 max, int material);
  // Box with separate materials for the top and for the sides.
  void Box(Vec3 min, Vec3 max, int sideMaterial, int topMaterial);
  // Gable roof over the rectangle [min.x,max.x] x [min.y,max.y] at height min.z, ridge along x at
  // height `ridgeZ`; `overhang` widens the eaves. Gable ends use `gableMaterial`.
  void GableRoof(Vec3 min, Vec3 max, float ridgeZ, float overhang, int roofMaterial, int gableMaterial);
  // Vertical cylinder (or frustum with `topRadius`) standing on `base`.
  void Cylinder(Vec3 base, float radius, float height, int material, int segments = 12, float topRadius = -1,
                int topMaterial = 0);
  void Cone(Vec3 base, float radius, float height, int material, int segments = 12);
  void Ellipsoid(Vec3 centre, Vec3 radii, int material, int rings = 8, int segments = 14);
  // A round pole / square plank between two points.
  void Pole(Vec3 a, Vec3 b, float radius, int material, int segments = 6);
  void Plank(Vec3 a, Vec3 b, float width, float thickness, int material);

  // Results. The picture has dark outlines around silhouettes and at depth steps.
  Sprite Picture() const;
  // Sprite of 1 where the object is drawn (including the outline), 0 elsewhere.
  Sprite Coverage() const;
  // Sprite of 1 where the cast shadow falls on the ground (z = 0), 0 elsewhere.
  Sprite Shadow() const;

  // Raw buffers, for effects that paint over the rendered shapes.
  int Width() const { return width_; }
  int Height() const { return height_; }
  int MaterialAt(int x, int y) const { return material_[size_t(y) * width_ + x]; }
  float LightAt(int x, int y) const;
  // World height (z) of the surface seen at the pixel; for level masks that grow from the ground.
  float HeightAt(int x, int y) const { return surfaceZ_[size_t(y) * width_ + x]; }
  void SetLight(int x, int y, float v);

  // Screen position (relative to the canvas) of a model point under the current transform.
  void Project(Vec3 world, float& sx, float& sy, float& depth) const;

 private:
  void Raster(Vec3 a, Vec3 b, Vec3 c, Vec3 na, Vec3 nb, Vec3 nc, int material);
  void RasterShadow(Vec3 a, Vec3 b, Vec3 c, std::vector<uint8_t>& shadow) const;
  // The pixel box a projected triangle covers, clipped to the canvas, and 1 / its signed area; false
  // for a degenerate triangle.
  struct TriangleBox {
    int x0, x1, y0, y1;
    float inv;
  };
  bool BoxOf(float ax, float ay, float bx, float by, float cx, float cy, TriangleBox& box) const;
  float Shade(Vec3 normal) const;

  int width_, height_, anchorX_, anchorY_;
  View view_;
  float sinE_, cosE_;
  Transform transform_;
  std::vector<Material> materials_;
  std::vector<float> depth_;
  std::vector<uint8_t> material_;
  std::vector<Vec3> normal_;     // interpolated surface normal (not normalised) per pixel
  std::vector<float> lightSet_;  // light values set by SetLight (negative = computed from the normal)
  // Triangles that cast shadows, in world coordinates; rasterised only when Shadow() is asked for.
  std::vector<std::array<Vec3, 3>> shadowTriangles_;
  std::vector<float> surfaceZ_;
};

// Deterministic hash noise in [0, 1) for integer lattice points.
float Hash2(int x, int y, uint32_t seed);
// Smooth value noise in [0, 1); `period` > 0 makes it tile with that period (in lattice cells).
float ValueNoise(float x, float y, uint32_t seed, int period = 0);
// Sum of octaves of value noise in [0, 1); tiles when `period` > 0 (period of the first octave).
float FractalNoise(float x, float y, uint32_t seed, int octaves, int period = 0);
// 4x4 ordered-dither threshold in [0, 1).
float Bayer4(int x, int y);
// Picks a ramp shade for light `v` (0..1) with ordered dithering at pixel (x, y).
uint8_t ShadeOf(const Ramp& ramp, float v, int x, int y, float dither = 0.5f);

}  // namespace tlworld
