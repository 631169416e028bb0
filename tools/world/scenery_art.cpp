#include "tools/world/scenery_art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "tools/world/text_raster.h"

namespace tlworld {

namespace {

// ---- shared ramps (palette indices, dark -> light) ---------------------------------------------------
Ramp GrassRamp() {
  return RampOf({41, 40, 39, 38, 37, 36});
}
Ramp LeafRamp() {
  return RampOf({42, 40, 38, 36, 34, 33});
}
Ramp FirRamp() {
  return RampOf({46, 44, 43, 41, 39});
}
Ramp BarkRamp() {
  return RampOf({190, 188, 186, 184, 182});
}
Ramp WoodRamp() {
  return RampOf({189, 187, 185, 183, 181, 179});
}
Ramp PlasterRamp() {
  return RampOf({136, 134, 132, 130, 129});
}
Ramp ThatchRamp() {
  return RampOf({185, 183, 181, 179, 177, 176});
}
Ramp TileRamp() {
  return RampOf({215, 213, 211, 209, 208});
}
Ramp StoneRamp() {
  return RampOf({60, 58, 57, 56, 54, 53});
}
Ramp GlassRamp() {
  return RampOf({127, 125, 123, 121});
}
Ramp ClayRamp() {
  return RampOf({247, 246, 245, 244, 243, 242});
}
Ramp DirtRamp() {
  return RampOf({91, 89, 88, 87, 86});
}
Ramp GoldRamp() {
  return RampOf({14, 11, 8, 5, 3, 1});
}
constexpr uint8_t kInk = 191;  // near-black brown used for outlines of lettering

float Clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

// Places `src` with its origin at pixel (x, y) of `dst` (non-zero pixels only).
void Place(Sprite& dst, const Sprite& src, int x, int y) {
  for (int sy = 0; sy < src.height; ++sy)
    for (int sx = 0; sx < src.width; ++sx) {
      uint8_t v = src.At(sx, sy);
      if (v) dst.Set(x - src.originX + sx, y - src.originY + sy, v);
    }
}

// Crops a picture and its mask to the picture's bounding box.
void CropPair(MaskedSprite& m) {
  Sprite marker = m.picture;
  for (size_t i = 0; i < marker.pixels.size(); ++i)
    if (m.mask.pixels[i] && !marker.pixels[i]) m.mask.pixels[i] = 0;
  int x0 = marker.width, y0 = marker.height, x1 = -1, y1 = -1;
  for (int y = 0; y < marker.height; ++y)
    for (int x = 0; x < marker.width; ++x)
      if (marker.At(x, y))
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  if (x1 < 0) return;
  auto crop = [&](const Sprite& s) {
    Sprite out(x1 - x0 + 1, y1 - y0 + 1, s.originX - x0, s.originY - y0);
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) out.Set(x - x0, y - y0, s.At(x, y));
    return out;
  };
  m.picture = crop(m.picture);
  m.mask = crop(m.mask);
}

// A level mask that dissolves a picture in noise between `lo` and `hi`, optionally mixed with a sweep
// (`sweep` gives 0..1 per pixel; weight `sweepWeight`).
Sprite NoiseMask(const Sprite& pic, int lo, int hi, uint32_t seed,
                 const std::function<float(int, int)>& sweep = {}, float sweepWeight = 0.0f) {
  Sprite mask(pic.width, pic.height, pic.originX, pic.originY);
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x) {
      if (!pic.At(x, y)) continue;
      float n =
          0.55f * FractalNoise(float(x) / 6.0f, float(y) / 6.0f, seed, 2) + 0.45f * Hash2(x, y, seed + 1);
      if (sweep) n = n * (1.0f - sweepWeight) + sweep(x, y) * sweepWeight;
      mask.Set(x, y, uint8_t(std::clamp(int(std::lround(float(lo) + Clamp01(n) * float(hi - lo))), 1, 254)));
    }
  return mask;
}

// Levels for rendered pixels that grow from `z0` to `z1` (world height) between levels lo and hi.
Sprite GrowthMask(const ShapeRenderer& r, const Sprite& pic, float z0, float z1, int lo, int hi,
                  uint32_t seed) {
  Sprite mask(pic.width, pic.height, pic.originX, pic.originY);
  auto levelAt = [&](int x, int y) {
    float t = Clamp01((r.HeightAt(x, y) - z0) / std::max(1.0f, z1 - z0));
    float j = Hash2(x, y, seed) * 0.08f + FractalNoise(float(x) / 4.0f, float(y) / 4.0f, seed + 7, 2) * 0.06f;
    return std::clamp(int(std::lround(float(lo) + Clamp01(t * 0.86f + j) * float(hi - lo))), 1, 254);
  };
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x) {
      if (!pic.At(x, y)) continue;
      if (r.MaterialAt(x, y)) {
        mask.Set(x, y, uint8_t(levelAt(x, y)));
        continue;
      }
      // An outline pixel appears together with the surface next to it.
      int best = lo;
      static const int dx[4] = {-1, 1, 0, 0}, dy[4] = {0, 0, -1, 1};
      for (int k = 0; k < 4; ++k) {
        int nx = x + dx[k], ny = y + dy[k];
        if (nx >= 0 && ny >= 0 && nx < r.Width() && ny < r.Height() && r.MaterialAt(nx, ny))
          best = std::max(best, levelAt(nx, ny));
      }
      mask.Set(x, y, uint8_t(best));
    }
  return mask;
}

Sprite ShadowOf(const Sprite& pic, int dx, int dy) {
  Sprite s(pic.width + std::abs(dx), pic.height + std::abs(dy), pic.originX, pic.originY);
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x)
      if (pic.At(x, y)) s.Set(x + dx, y + dy, 1);
  s.Crop();
  return s;
}

// ---- buildings --------------------------------------------------------------------------------------------

struct BuildingSpec {
  int canvasW, canvasH, anchorX, anchorY;
  float scale;
  float rotation;
  Vec3 offset;
  float stage1Top, wallTop, roofTop;
  std::function<void(ShapeRenderer&, int stage)> model;
};

LayeredBuilding MakeBuilding(const BuildingSpec& plan, uint32_t seed) {
  std::vector<std::unique_ptr<ShapeRenderer>> stages;
  for (int s = 1; s <= 3; ++s) {
    auto r = std::make_unique<ShapeRenderer>(plan.canvasW, plan.canvasH, plan.anchorX, plan.anchorY);
    r->SetTransform(Transform::Scale(plan.scale, plan.scale, plan.scale)
                        .Then(Transform::RotateZ(plan.rotation))
                        .Then(Transform::Translate(plan.offset)));
    plan.model(*r, s);
    stages.push_back(std::move(r));
  }
  Sprite p1 = stages[0]->Picture(), p2 = stages[1]->Picture(), p3 = stages[2]->Picture();
  // The scaffold must vanish under the finished building: keep layer 1 inside the final silhouette.
  for (size_t i = 0; i < p1.pixels.size(); ++i)
    if (!p3.pixels[i]) p1.pixels[i] = 0;
  LayeredBuilding b;
  b.layer1.picture = p1;
  b.layer1.mask = GrowthMask(*stages[0], p1, 0, plan.stage1Top * plan.scale, 2, 72, seed);
  b.layer2.picture = p2;
  b.layer2.mask = GrowthMask(*stages[1], p2, 0, plan.wallTop * plan.scale, 78, 166, seed + 1);
  b.main.picture = p3;
  b.main.mask = GrowthMask(*stages[2], p3, (plan.wallTop - 2) * plan.scale, plan.roofTop * plan.scale, 170,
                           252, seed + 2);
  // Pixels a layer shares with the layer below appear together with it, so nothing flickers.
  for (size_t i = 0; i < p2.pixels.size(); ++i) {
    if (p2.pixels[i] && p1.pixels[i] == p2.pixels[i]) b.layer2.mask.pixels[i] = b.layer1.mask.pixels[i];
    if (p3.pixels[i] && p2.pixels[i] == p3.pixels[i]) b.main.mask.pixels[i] = b.layer2.mask.pixels[i];
  }
  Sprite s1 = stages[0]->Shadow(), s2 = stages[1]->Shadow(), s3 = stages[2]->Shadow();
  b.shadow = s3;
  for (size_t i = 0; i < s3.pixels.size(); ++i) b.shadow.pixels[i] = (s1.pixels[i] || s3.pixels[i]) ? 1 : 0;
  Sprite sm(b.shadow.width, b.shadow.height, b.shadow.originX, b.shadow.originY);
  for (int y = 0; y < sm.height; ++y)
    for (int x = 0; x < sm.width; ++x) {
      size_t i = size_t(y) * sm.width + x;
      int j = int(Hash2(x, y, seed + 9) * 10);
      if (s1.pixels[i])
        sm.pixels[i] = uint8_t(30 + j);
      else if (s2.pixels[i])
        sm.pixels[i] = uint8_t(120 + j);
      else if (s3.pixels[i])
        sm.pixels[i] = uint8_t(205 + j);
    }
  b.shadowMask = sm;
  b.shadow.Crop();
  // Crop the shadow mask to its own pixels.
  MaskedSprite tmp{sm, sm};
  CropPair(tmp);
  b.shadowMask = tmp.mask;
  CropPair(b.layer1);
  CropPair(b.layer2);
  CropPair(b.main);
  return b;
}

struct HouseMaterials {
  int stone, plaster, beam, thatch, tile, wood, glass, door, scaffold;
};
HouseMaterials AddHouseMaterials(ShapeRenderer& r) {
  HouseMaterials m;
  m.stone = r.AddMaterial(StoneRamp(), 0.10f, 1.6f);
  m.plaster = r.AddMaterial(PlasterRamp(), 0.05f, 2.0f);
  m.beam = r.AddMaterial(RampOf({191, 189, 187, 185}), 0.03f, 1.0f);
  m.thatch = r.AddMaterial(ThatchRamp(), 0.18f, 1.2f);
  m.tile = r.AddMaterial(TileRamp(), 0.08f, 1.0f);
  m.wood = r.AddMaterial(WoodRamp(), 0.06f, 1.0f);
  m.glass = r.AddMaterial(GlassRamp(), 0.0f, 1.0f);
  m.door = r.AddMaterial(RampOf({190, 188, 186, 185}), 0.04f, 1.0f);
  m.scaffold = r.AddMaterial(RampOf({189, 186, 183, 180, 178}), 0.04f, 1.0f);
  return m;
}

// Timber framing on the four walls of a box from (x0, y0) to (x1, y1) between heights z0 and z1.
void Framing(ShapeRenderer& r, float x0, float y0, float x1, float y1, float z0, float z1, int beam) {
  const float t = 0.7f;
  r.Box({x0 - t, y0 - t, z0}, {x0 + 2, y0 + 2, z1}, beam);
  r.Box({x1 - 2, y0 - t, z0}, {x1 + t, y0 + 2, z1}, beam);
  r.Box({x0 - t, y1 - 2, z0}, {x0 + 2, y1 + t, z1}, beam);
  r.Box({x1 - 2, y1 - 2, z0}, {x1 + t, y1 + t, z1}, beam);
  r.Box({x0 - t, y0 - t, z1 - 2}, {x1 + t, y0 + 1, z1}, beam);
  r.Box({x0 - t, y0 - t, z1 - 2}, {x0 + 1, y1 + t, z1}, beam);
  r.Box({x0 - t, y0 - t, z0}, {x1 + t, y0 + 1, z0 + 2}, beam);
  r.Box({x0 - t, y0 - t, z0}, {x0 + 1, y1 + t, z0 + 2}, beam);
  // Diagonal braces on the front and the side.
  float mx = (x0 + x1) * 0.5f;
  r.Plank({x0 + 2, y0 - 0.4f, z0 + 2}, {mx - 6, y0 - 0.4f, z1 - 2}, 1.6f, 0.8f, beam);
  r.Plank({x1 - 2, y0 - 0.4f, z0 + 2}, {mx + 6, y0 - 0.4f, z1 - 2}, 1.6f, 0.8f, beam);
}

void Window(ShapeRenderer& r, float x, float y, float z, float w, float h, const HouseMaterials& m,
            bool side) {
  if (!side) {
    r.Box({x - w / 2 - 1, y - 1.2f, z - 1}, {x + w / 2 + 1, y, z + h + 1}, m.beam);
    r.Box({x - w / 2, y - 1.5f, z}, {x + w / 2, y - 1.0f, z + h}, m.glass);
  } else {
    r.Box({x - 1.2f, y - w / 2 - 1, z - 1}, {x, y + w / 2 + 1, z + h + 1}, m.beam);
    r.Box({x - 1.5f, y - w / 2, z}, {x - 1.0f, y + w / 2, z + h}, m.glass);
  }
}

void Scaffold(ShapeRenderer& r, float x0, float y0, float x1, float y1, float top,
              const std::vector<float>& floors, int mat) {
  float px[3] = {x0 - 1.5f, (x0 + x1) / 2, x1 + 1.5f};
  float py[2] = {y0 - 1.5f, y1 + 1.5f};
  for (float x : px)
    for (float y : py) r.Pole({x, y, 0}, {x, y, top}, 0.9f, mat, 5);
  for (float y : {y0 - 2.5f, (y0 + y1) / 2}) r.Pole({x0 - 1.5f, y, 0}, {x0 - 1.5f, y, top}, 0.9f, mat, 5);
  for (float z : floors) {
    r.Plank({x0 - 3, y0 - 3, z}, {x1 + 3, y0 - 3, z}, 3.0f, 1.0f, mat);
    r.Plank({x0 - 3, y0 - 3, z}, {x0 - 3, y1 + 3, z}, 3.0f, 1.0f, mat);
  }
  // Cross braces on the front.
  r.Plank({x0 - 1.5f, y0 - 2, 2}, {(x0 + x1) / 2, y0 - 2, floors.empty() ? top : floors[0]}, 1.0f, 0.8f, mat);
}

void SmallHouseModel(ShapeRenderer& r, int stage) {
  HouseMaterials m = AddHouseMaterials(r);
  const float x0 = -28, x1 = 28, y0 = -16, y1 = 16, wall = 28, ridge = 52;
  r.Box({x0 - 3, y0 - 3, 0}, {x1 + 3, y1 + 3, 3}, m.stone);
  if (stage == 1) {
    // Ground beams laid out and the scaffold standing.
    r.Box({x0, y0, 3}, {x1, y0 + 2, 5}, m.beam);
    r.Box({x0, y0, 3}, {x0 + 2, y1, 5}, m.beam);
    r.Box({x1 - 2, y0, 3}, {x1, y1, 5}, m.beam);
    Scaffold(r, x0, y0, x1, y1, wall + 12, {12, 26}, m.scaffold);
    // Rafters of the future roof.
    for (float x : {x0, 0.0f, x1}) {
      r.Plank({x, y0, wall}, {x, 0, ridge}, 1.5f, 1.2f, m.scaffold);
      r.Plank({x, y1, wall}, {x, 0, ridge}, 1.5f, 1.2f, m.scaffold);
    }
    return;
  }
  r.Box({x0, y0, 3}, {x1, y1, wall}, m.plaster);
  Framing(r, x0, y0, x1, y1, 3, wall, m.beam);
  r.Box({-5, y0 - 1.0f, 3}, {5, y0, 20}, m.door);
  Window(r, -17, y0, 12, 7, 7, m, false);
  Window(r, 17, y0, 12, 7, 7, m, false);
  Window(r, x0, 0, 12, 7, 7, m, true);
  if (stage == 2) return;
  r.GableRoof({x0, y0, wall}, {x1, y1, wall}, ridge, 5, m.thatch, m.plaster);
  r.Box({x0 - 4, -1.5f, ridge - 1.5f}, {x1 + 4, 1.5f, ridge + 1.5f}, m.thatch);
  // A bench and a wood pile by the wall.
  r.Box({8, y0 - 6, 0}, {20, y0 - 3, 5}, m.wood);
  for (int i = 0; i < 3; ++i)
    r.Pole({x1 + 3, y0 + 4 + float(i) * 3.2f, 2}, {x1 + 3, y0 + 4 + float(i) * 3.2f + 0.1f, 2}, 1.6f, m.wood,
           6);
  for (int i = 0; i < 4; ++i) {
    float y = y0 + 3 + float(i) * 3.4f;
    r.Pole({x1 + 2, y, 1.7f}, {x1 + 9, y, 1.7f}, 1.7f, m.wood, 6);
    if (i < 3) r.Pole({x1 + 2, y + 1.7f, 4.6f}, {x1 + 9, y + 1.7f, 4.6f}, 1.7f, m.wood, 6);
  }
}

void LargeHouseModel(ShapeRenderer& r, int stage) {
  HouseMaterials m = AddHouseMaterials(r);
  const float x0 = -42, x1 = 42, y0 = -24, y1 = 24, floor1 = 24, wall = 46, ridge = 78;
  r.Box({x0 - 3, y0 - 3, 0}, {x1 + 3, y1 + 3, 3}, m.stone);
  if (stage == 1) {
    r.Box({x0, y0, 3}, {x1, y1, 8}, m.stone);
    Scaffold(r, x0, y0, x1, y1, wall + 14, {16, 36}, m.scaffold);
    for (float x : {x0, -14.0f, 14.0f, x1}) {
      r.Plank({x, y0, wall}, {x, 0, ridge}, 1.6f, 1.3f, m.scaffold);
      r.Plank({x, y1, wall}, {x, 0, ridge}, 1.6f, 1.3f, m.scaffold);
    }
    return;
  }
  r.Box({x0, y0, 3}, {x1, y1, floor1}, m.stone);
  r.Box({x0 - 1, y0 - 1, floor1 - 2}, {x1 + 1, y1 + 1, floor1 + 1}, m.beam);
  r.Box({x0, y0, floor1}, {x1, y1, wall}, m.plaster);
  Framing(r, x0, y0, x1, y1, floor1, wall, m.beam);
  r.Box({-7, y0 - 1.0f, 3}, {7, y0, 19}, m.door);
  r.Box({-9, y0 - 1.5f, 19}, {9, y0, 21}, m.beam);
  for (float x : {-30.0f, -18.0f, 18.0f, 30.0f}) Window(r, x, y0, 8, 6, 8, m, false);
  for (float x : {-28.0f, -10.0f, 10.0f, 28.0f}) Window(r, x, y0, 31, 6, 8, m, false);
  for (float y : {-10.0f, 10.0f}) {
    Window(r, x0, y, 9, 6, 8, m, true);
    Window(r, x0, y, 31, 6, 8, m, true);
  }
  if (stage == 2) return;
  r.GableRoof({x0, y0, wall}, {x1, y1, wall}, ridge, 5, m.tile, m.plaster);
  r.Box({x0 - 5, -1.5f, ridge - 1.5f}, {x1 + 5, 1.5f, ridge + 1.2f}, m.tile);
  r.Box({22, 6, wall + 10}, {30, 14, ridge + 8}, m.stone);
  r.Box({21, 5, ridge + 6}, {31, 15, ridge + 9}, m.stone);
  // Barrels and a cart wheel by the entrance.
  r.Cylinder({-22, y0 - 8, 0}, 3.5f, 9, m.wood, 10, -1, m.wood);
  r.Cylinder({-14, y0 - 7, 0}, 3.5f, 9, m.wood, 10, -1, m.wood);
  r.Pole({34, y0 - 6, 8}, {34, y0 - 4.5f, 8}, 7.5f, m.wood, 12);
}

// ---- trees
// ---------------------------------------------------------------------------------------------------

void DeciduousModel(ShapeRenderer& r, float s, uint32_t seed) {
  int bark = r.AddMaterial(BarkRamp(), 0.05f, 1.0f);
  int leaf = r.AddMaterial(LeafRamp(), 0.28f, 2.2f);
  int leafDark = r.AddMaterial(RampOf({43, 41, 39, 37, 35}), 0.28f, 2.0f);
  r.Cylinder({0, 0, 0}, 3.6f * s, 36 * s, bark, 8, 2.2f * s);
  r.Pole({0, 0, 24 * s}, {-9 * s, 2 * s, 36 * s}, 1.5f * s, bark, 5);
  r.Pole({0, 0, 26 * s}, {9 * s, -2 * s, 38 * s}, 1.5f * s, bark, 5);
  struct Blob {
    float x, y, z, r;
  };
  const Blob blobs[] = {{0, 2, 52, 15},  {-11, 4, 43, 11}, {11, 0, 44, 12}, {-6, -6, 40, 10},
                        {7, -7, 41, 10}, {-4, 3, 62, 10},  {6, 2, 58, 10}};
  int i = 0;
  for (const Blob& b : blobs) {
    float j = Hash2(i, 3, seed) * 2.0f;
    r.Ellipsoid({b.x * s, b.y * s, b.z * s}, {(b.r + j) * s, (b.r + j) * s, (b.r * 0.9f + j) * s},
                i % 3 == 2 ? leafDark : leaf, 7, 12);
    ++i;
  }
}

void FirModel(ShapeRenderer& r, float s) {
  int bark = r.AddMaterial(BarkRamp(), 0.05f, 1.0f);
  int fir = r.AddMaterial(FirRamp(), 0.18f, 1.4f);
  r.Cylinder({0, 0, 0}, 3.0f * s, 14 * s, bark, 8);
  const float tiers[][3] = {{10, 17, 24}, {24, 14, 22}, {38, 11, 20}, {52, 7, 18}};
  for (const auto& t : tiers) r.Cone({0, 0, t[0] * s}, t[1] * s, t[2] * s, fir, 16);
}

void SaplingModel(ShapeRenderer& r) {
  int bark = r.AddMaterial(BarkRamp(), 0.0f, 1.0f);
  int leaf = r.AddMaterial(RampOf({41, 39, 37, 35, 33}), 0.2f, 1.5f);
  r.Pole({0, 0, 0}, {0, 0, 12}, 0.9f, bark, 5);
  r.Ellipsoid({-2.5f, 0, 11}, {3.5f, 3, 3}, leaf, 5, 8);
  r.Ellipsoid({2.5f, 0, 13}, {3.5f, 3, 3}, leaf, 5, 8);
  r.Ellipsoid({0, 0, 16}, {3, 3, 3}, leaf, 5, 8);
}

ShadowedSprite RenderModel(int w, int h, int ax, int ay, const std::function<void(ShapeRenderer&)>& model,
                           const Transform& t = Transform()) {
  ShapeRenderer r(w, h, ax, ay);
  r.SetTransform(t);
  model(r);
  ShadowedSprite out{r.Picture(), r.Shadow()};
  out.picture.Crop();
  out.shadow.Crop();
  return out;
}

}  // namespace

// ---- grass tile
// ---------------------------------------------------------------------------------------------

Sprite GrassTile() {
  const int N = kTileSize;
  Sprite tile(N, N, 0, 0);
  Ramp grass = GrassRamp(), dirt = DirtRamp();
  auto wrap = [](int v) { return ((v % N) + N) % N; };
  // Light field: large soft patches plus fine grain, all periodic over the tile.
  std::vector<float> light(size_t(N) * N), path(size_t(N) * N, 0.0f);
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) {
      float big = FractalNoise(float(x) / 64.0f, float(y) / 64.0f, 11, 3, N / 64);
      float huge = FractalNoise(float(x) / 128.0f, float(y) / 128.0f, 16, 2, N / 128);
      float fine = FractalNoise(float(x) / 8.0f, float(y) / 8.0f, 12, 2, N / 8);
      light[size_t(y) * N + x] = 0.22f + 0.35f * big + 0.35f * huge + 0.25f * (fine - 0.5f);
    }
  // Two winding paths that cross, one along x and one along y, both periodic over the tile, with
  // ragged edges and a width that changes along the way.
  const float F = 2 * kPi / float(N);
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) {
      float cy = 0.58f * N + 0.09f * N * std::sin(F * x) + 0.03f * N * std::sin(3 * F * x + 1) +
                 0.012f * N * std::sin(7 * F * x + 2);
      float cx = 0.30f * N + 0.07f * N * std::sin(F * y + 2) + 0.025f * N * std::sin(2 * F * y + 0.5f) +
                 0.01f * N * std::sin(5 * F * y);
      float dy = std::fabs(float(y) - cy), dx = std::fabs(float(x) - cx);
      dy = std::min(dy, float(N) - dy);
      dx = std::min(dx, float(N) - dx);
      float edge = (FractalNoise(float(x) / 4.0f, float(y) / 4.0f, 13, 2, N / 4) - 0.5f) * 3.0f;
      float widthX = 5.0f + 1.5f * std::sin(2 * F * x + 0.7f), widthY = 3.8f + 1.2f * std::sin(3 * F * y);
      path[size_t(y) * N + x] = (dy < widthX + edge || dx < widthY + edge * 0.7f) ? 1.0f : 0.0f;
    }
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) {
      float v = light[size_t(y) * N + x] + (Hash2(x, y, 14) - 0.5f) * 0.18f;
      if (path[size_t(y) * N + x] > 0) {
        // A worn track rather than a road: trampled, paler grass with bare earth showing through,
        // more of it away from the edges. Repeated over a large screen, a bold road would draw a
        // lattice; a track stays in the grass.
        const bool rim = !path[size_t(wrap(y - 1)) * N + x] || !path[size_t(wrap(y + 1)) * N + x] ||
                         !path[size_t(y) * N + wrap(x - 1)] || !path[size_t(y) * N + wrap(x + 1)];
        const float bare = rim ? 0.04f : 0.3f;
        if (Hash2(x, y, 16) < bare) {
          const float pv = 0.5f + (Hash2(x, y, 15) - 0.5f) * 0.35f;
          tile.Set(x, y, ShadeOf(dirt, Clamp01(pv), x, y, 0.6f));
        } else {
          tile.Set(x, y, ShadeOf(grass, Clamp01(v + 0.16f), x, y, 0.7f));
        }
      } else {
        bool nearPath = path[size_t(wrap(y + 1)) * N + x] > 0;
        tile.Set(x, y, ShadeOf(grass, Clamp01(nearPath ? v - 0.08f : v), x, y, 0.7f));
      }
    }
  // Grass tufts: short strokes, light tip over a dark base, only on grass.
  for (int i = 0; i < 900 * (N / 256) * (N / 256); ++i) {
    int x = int(Hash2(i, 1, 21) * N), y = int(Hash2(i, 2, 21) * N);
    if (path[size_t(y) * N + x] > 0) continue;
    float v = light[size_t(y) * N + x];
    tile.Set(x, y, ShadeOf(grass, Clamp01(v + 0.35f), x, y, 0.0f));
    tile.Set(x, wrap(y + 1), ShadeOf(grass, Clamp01(v - 0.3f), x, y, 0.0f));
    if (i % 3 == 0) tile.Set(wrap(x + 1), wrap(y - 1), ShadeOf(grass, Clamp01(v + 0.45f), x, y, 0.0f));
  }
  // Pebbles, mostly on the path.
  for (int i = 0; i < 140 * (N / 256) * (N / 256); ++i) {
    int x = int(Hash2(i, 3, 22) * N), y = int(Hash2(i, 4, 22) * N);
    bool onPath = path[size_t(y) * N + x] > 0;
    if (!onPath && i % 4 != 0) continue;
    int big = Hash2(i, 5, 22) < 0.3f ? 1 : 0;
    tile.Set(wrap(x + 1), wrap(y + 1), 57);
    tile.Set(x, y, 52);
    if (big) {
      tile.Set(wrap(x + 1), y, 54);
      tile.Set(wrap(x + 2), wrap(y + 1), 57);
      tile.Set(x, wrap(y + 1), 55);
      tile.Set(wrap(x + 1), wrap(y + 2), 58);
    }
  }
  // Little flower clumps in the grass.
  const uint8_t blooms[][2] = {{48, 2}, {2, 5}, {166, 210}, {218, 220}, {162, 165}, {50, 3}};
  for (int c = 0; c < 26 * (N / 256) * (N / 256); ++c) {
    int cx = int(Hash2(c, 6, 23) * N), cy = int(Hash2(c, 7, 23) * N);
    const uint8_t* col = blooms[c % 6];
    for (int k = 0; k < 7; ++k) {
      int x = wrap(cx + int(Hash2(c, 10 + k, 23) * 14) - 7),
          y = wrap(cy + int(Hash2(c, 20 + k, 23) * 10) - 5);
      if (path[size_t(y) * N + x] > 0) continue;
      tile.Set(x, wrap(y + 1), 40);
      tile.Set(x, y, col[0]);
      if (k % 2) tile.Set(wrap(x + 1), y, col[1]);
    }
  }
  // A few low bushes and stones, rendered like the rest of the world and pasted with their shadows
  // (wrapping around the tile's edges), so that the meadow is not uniform.
  auto paste = [&](const ShadowedSprite& o, int ax, int ay) {
    for (int y = 0; y < o.shadow.height; ++y)
      for (int x = 0; x < o.shadow.width; ++x)
        if (o.shadow.At(x, y)) {
          int X = wrap(ax - o.shadow.originX + x), Y = wrap(ay - o.shadow.originY + y);
          tile.Set(X, Y, Darker(tile.At(X, Y), 0.62f));
        }
    for (int y = 0; y < o.picture.height; ++y)
      for (int x = 0; x < o.picture.width; ++x)
        if (uint8_t v = o.picture.At(x, y))
          tile.Set(wrap(ax - o.picture.originX + x), wrap(ay - o.picture.originY + y), v);
  };
  for (int i = 0; i < 4 * (N / 256) * (N / 256); ++i) {
    int x = int(Hash2(i, 30, 24) * N), y = int(Hash2(i, 31, 24) * N);
    bool clear = true;
    for (int dy = -14; dy <= 8 && clear; dy += 2)
      for (int dx = -14; dx <= 14 && clear; dx += 2)
        clear = path[size_t(wrap(y + dy)) * N + wrap(x + dx)] == 0;
    if (!clear) continue;
    ShapeRenderer r(40, 34, 20, 26);
    if (i % 3 == 0) {
      int stone = r.AddMaterial(StoneRamp(), 0.1f, 1.2f);
      r.Ellipsoid({0, 0, 0.5f}, {4.5f, 3.5f, 3.0f}, stone, 5, 8);
      r.Ellipsoid({4, -2, 0.2f}, {2.5f, 2.0f, 1.8f}, stone, 4, 6);
    } else {
      int leaf = r.AddMaterial(RampOf({42, 40, 38, 36, 34}), 0.3f, 1.3f);
      float k = 1.1f + 0.5f * Hash2(i, 32, 24);
      r.Ellipsoid({0, 0, 4 * k}, {7 * k, 5 * k, 5 * k}, leaf, 6, 10);
      r.Ellipsoid({-5 * k, 1, 3 * k}, {4 * k, 4 * k, 3.5f * k}, leaf, 5, 8);
      r.Ellipsoid({5 * k, 1, 3 * k}, {4 * k, 4 * k, 3.5f * k}, leaf, 5, 8);
    }
    paste({r.Picture(), r.Shadow()}, x, y);
  }
  return tile;
}

// ---- lettering and logos ------------------------------------------------------------------------------

Sprite Lettering(const std::string& text, int pixelSize, const Ramp& fill, uint8_t outline) {
  TextRaster raster(kDefaultFontFile, pixelSize);
  int w = 0, h = 0, base = 0;
  std::vector<uint8_t> cov = raster.Ok() ? raster.Line(text, &w, &h, &base) : std::vector<uint8_t>{};
  if (cov.empty()) return Sprite(1, 1, 0, 0);
  Sprite s(w + 4, h + 4, 2, 2);
  int top = h, bottom = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (cov[size_t(y) * w + x] >= 110) top = std::min(top, y), bottom = std::max(bottom, y);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (cov[size_t(y) * w + x] >= 110) {
        // Light at the top, darker towards the bottom, like embossed metal.
        float t = 1.0f - float(y - top) / float(std::max(1, bottom - top));
        s.Set(x + 2, y + 2, ShadeOf(fill, Clamp01(0.25f + 0.8f * t), x, y, 0.5f));
      }
  Sprite out = s;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      if (s.At(x, y)) continue;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy)
        for (int dx = -1; dx <= 1 && !near; ++dx) near = s.At(x + dx, y + dy) != 0;
      if (near) out.Set(x, y, outline);
    }
  out.originX = 0, out.originY = 0;
  return out;
}

namespace {
// A wooden sign board with rounded corners, lit from the upper left.
Sprite Board(int w, int h, uint32_t seed) {
  Sprite s(w, h, 0, 0);
  Ramp wood = WoodRamp();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int cx = std::min(x, w - 1 - x), cy = std::min(y, h - 1 - y);
      if (cx + cy < 3) continue;  // rounded corners
      bool border = cx == 0 || cy == 0 || cx + cy == 3;
      if (border) {
        s.Set(x, y, kInk);
        continue;
      }
      float grain = FractalNoise(float(x) / 24.0f, float(y) / 1.6f, seed, 2);
      float v = 0.55f + (grain - 0.5f) * 0.5f;
      if (cx == 1 || cy == 1) v = (x < w / 2 && y < h / 2) ? 0.95f : 0.15f;
      if ((y % 9) == 0 && y > 1) v = 0.08f;  // plank seams
      s.Set(x, y, ShadeOf(wood, Clamp01(v), x, y, 0.5f));
    }
  return s;
}

}  // namespace

Sprite Emblem(int size) {
  // A round green shield with a tree, framed in gold.
  Sprite s(size, size, 0, 0);
  float c = float(size - 1) / 2, R = c;
  Ramp gold = GoldRamp(), green = RampOf({41, 39, 37, 35, 33});
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = float(x) - c, dy = float(y) - c, d = std::sqrt(dx * dx + dy * dy);
      if (d > R + 0.3f) continue;
      float lightv = Clamp01(0.6f - (dx + dy) / (2.5f * R));
      if (d > R - 1.0f)
        s.Set(x, y, kInk);
      else if (d > R - 4.0f)
        s.Set(x, y, ShadeOf(gold, lightv, x, y));
      else
        s.Set(x, y, ShadeOf(green, Clamp01(lightv * 0.8f + 0.2f), x, y));
    }
  ShapeRenderer r(size, size, size / 2, int(float(size) * 0.80f));
  int bark = r.AddMaterial(BarkRamp(), 0, 1);
  int leaf = r.AddMaterial(RampOf({35, 34, 33, 32, 96}), 0.15f, 1.5f);
  float k = float(size) / 48.0f;
  r.Cylinder({0, 0, 0}, 2.2f * k, 14 * k, bark, 8, 1.5f * k);
  r.Ellipsoid({0, 0, 24 * k}, {10 * k, 8 * k, 9 * k}, leaf);
  r.Ellipsoid({-6 * k, 0, 17 * k}, {6 * k, 6 * k, 5 * k}, leaf);
  r.Ellipsoid({6 * k, 0, 18 * k}, {6 * k, 6 * k, 5 * k}, leaf);
  Sprite tree = r.Picture();
  Place(s, tree, tree.originX, tree.originY);
  return s;
}

ShadowedSprite CornerLogo(int number) {
  Sprite s;
  if (number == 1) {
    s = Emblem(44);
  } else {
    int px = number == 2 ? 20 : 28;
    Sprite text = Lettering("Tillands", px, GoldRamp(), kInk);
    Sprite emblem = Emblem(number == 2 ? 28 : 38);
    s = Sprite(emblem.width + 4 + text.width, std::max(emblem.height, text.height), 0, 0);
    Place(s, emblem, 0, (s.height - emblem.height) / 2);
    Place(s, text, emblem.width + 4, (s.height - text.height) / 2);
  }
  s.originX = 0, s.originY = 0;
  return {s, ShadowOf(s, 3, 3)};
}

MaskedSprite BigLogo() {
  const int W = 420, H = 170;
  Sprite s(W, H, W / 2, H - 1);
  Sprite board = Board(W - 40, 110, 31);
  Place(s, board, 20, 30);
  // Two posts carry the board.
  for (int px : {60, W - 60}) {
    for (int y = 30; y < H; ++y)
      for (int x = px - 5; x <= px + 5; ++x) {
        float v = 0.85f - float(x - px + 5) / 12.0f;
        s.Set(x, y, (x == px - 5 || x == px + 5) ? kInk : ShadeOf(BarkRamp(), Clamp01(v), x, y));
      }
  }
  Place(s, board, 20, 30);
  Sprite title = Lettering("Tillands", 64, GoldRamp(), kInk);
  Place(s, title, (W - title.width) / 2, 30 + 4);
  Sprite sub = Lettering("Ein Dorf erwacht", 18, RampOf({137, 135, 133, 131, 129, 128}), kInk);
  Place(s, sub, (W - sub.width) / 2, 30 + 110 - sub.height - 4);
  // Leaves growing around the posts' feet.
  ShapeRenderer r(W, H, W / 2, H - 2);
  int leaf = r.AddMaterial(LeafRamp(), 0.3f, 1.6f);
  for (int px : {60 - W / 2, W / 2 - 60})
    for (int k = 0; k < 3; ++k) r.Ellipsoid({float(px + (k - 1) * 9), 0, 5}, {8, 6, 6}, leaf, 6, 10);
  Sprite bushes = r.Picture();
  Place(s, bushes, W / 2, H - 2);
  MaskedSprite m;
  m.picture = s;
  // Dissolve: noise with a sweep from the centre outwards.
  m.mask = NoiseMask(
      s, 1, 254, 41,
      [](int x, int y) {
        float dx = (float(x) - W / 2.0f) / (W / 2.0f), dy = (float(y) - H / 2.0f) / (H / 2.0f);
        return Clamp01(std::sqrt(dx * dx + dy * dy) / 1.3f);
      },
      0.55f);
  CropPair(m);
  return m;
}

// ---- buildings
// -----------------------------------------------------------------------------------------------

LayeredBuilding SmallBuilding() {
  BuildingSpec plan{240, 190, 120, 140, 1.35f, 28.0f, {-4, 18, 0}, 40, 28, 56, &SmallHouseModel};
  return MakeBuilding(plan, 51);
}

LayeredBuilding LargeBuilding() {
  BuildingSpec plan{330, 270, 165, 210, 1.3f, 24.0f, {-2, 44, 0}, 60, 46, 90, &LargeHouseModel};
  return MakeBuilding(plan, 61);
}

// ---- flowers
// -------------------------------------------------------------------------------------------------

namespace {

struct FlowerKind {
  Ramp petals;
  Ramp centre;
  int heads;  // heads of a sprig
  float height, size;
  bool spike;  // a spike of small bells instead of open heads
};

const FlowerKind& FlowerKindOf(int i) {
  static const FlowerKind kinds[11] = {
      {RampOf({52, 50, 49, 48}), RampOf({7, 4, 2}), 3, 7, 2.4f, false},        // daisies
      {RampOf({213, 211, 209, 208}), RampOf({62, 60}), 2, 8, 2.8f, false},     // poppies
      {RampOf({222, 220, 218, 216}), RampOf({223, 221}), 3, 8, 2.2f, false},   // cornflowers
      {RampOf({5, 3, 2, 1}), RampOf({8, 6}), 4, 6, 2.0f, false},               // buttercups
      {RampOf({206, 165, 163, 161}), RampOf({165, 163}), 1, 13, 2.0f, true},   // foxglove spike
      {RampOf({166, 164, 162, 161}), RampOf({166, 164}), 2, 10, 2.6f, false},  // pink tulips
      {RampOf({246, 244, 242, 240}), RampOf({13, 11}), 3, 7, 2.5f, false},     // marigolds
      {RampOf({8, 5, 3, 1}), RampOf({94, 92, 90}), 1, 18, 4.5f, false},        // sunflower
      {RampOf({221, 219, 217, 216}), RampOf({219, 217}), 1, 12, 1.8f, true},   // bluebell spike
      {RampOf({54, 51, 49, 48}), RampOf({4, 2}), 2, 12, 3.0f, false},          // lilies
      {RampOf({214, 212, 210, 208}), RampOf({246, 244}), 3, 9, 2.4f, false},   // red tulips
  };
  return kinds[i % 11];
}

// An open flower head: a ring of petals around a centre, its face turned up towards the viewer so
// that it reads as a round flower from the camera's height.
void FlowerHead(ShapeRenderer& r, Vec3 c, float size, int petals, int centre) {
  const Vec3 u{0, 0.5f, 0.87f};  // the face's second axis (the first is x)
  for (int k = 0; k < 6; ++k) {
    const float a = float(k) * 1.0472f + 0.3f;
    const Vec3 p = c + Vec3{std::cos(a) * size * 0.62f, 0, 0} + u * (std::sin(a) * size * 0.62f);
    r.Ellipsoid(p, {size * 0.48f, size * 0.48f, size * 0.4f}, petals, 3, 6);
  }
  r.Ellipsoid(c + Vec3{0, -0.3f, 0.3f}, {size * 0.42f, size * 0.42f, size * 0.36f}, centre, 3, 6);
}

}  // namespace

ShadowedSprite Flower(int i) {
  const FlowerKind& k = FlowerKindOf(i);
  ShapeRenderer r(56, 56, 28, 44);
  r.SetTransform(Transform::Scale(1.4f, 1.4f, 1.4f));
  int stem = r.AddMaterial(RampOf({42, 40, 38, 36}), 0.0f, 1.0f);
  int leaf = r.AddMaterial(RampOf({41, 39, 37, 35}), 0.1f, 1.0f);
  int petals = r.AddMaterial(k.petals, 0.05f, 1.0f);
  int centre = r.AddMaterial(k.centre, 0.0f, 1.0f);
  for (int h = 0; h < k.heads; ++h) {
    float a = float(h) * 2.4f + float(i);
    float dx = k.heads == 1 ? 0 : std::cos(a) * 4.0f, dy = k.heads == 1 ? 0 : std::sin(a) * 2.5f;
    float ht = k.height * (0.8f + 0.4f * Hash2(i, h, 71));
    r.Pole({dx * 0.3f, dy * 0.3f, 0}, {dx, dy, ht}, 0.55f, stem, 4);
    if (k.heads == 1 && k.height > 11 && i % 11 != 7) {
      // A spike of small bells.
      for (int b = 0; b < 4; ++b)
        r.Ellipsoid({dx + (b % 2 ? 1.2f : -1.2f), dy, ht - float(b) * 2.4f},
                    {k.size * 0.8f, k.size * 0.8f, k.size}, petals, 4, 6);
      continue;
    }
    r.Ellipsoid({dx, dy, ht}, {k.size, k.size, k.size * 0.7f}, petals, 4, 8);
    r.Ellipsoid({dx - 0.3f, dy - 0.6f, ht + k.size * 0.5f}, {k.size * 0.4f, k.size * 0.4f, k.size * 0.3f},
                centre, 3, 6);
  }
  r.Ellipsoid({-2, 0, 1}, {3.5f, 1.5f, 1.2f}, leaf, 3, 6);
  r.Ellipsoid({2.5f, 1, 1}, {3.0f, 1.5f, 1.2f}, leaf, 3, 6);
  ShadowedSprite out{r.Picture(), r.Shadow()};
  out.picture.Crop();
  out.shadow.Crop();
  return out;
}

ShadowedSprite FlowerBed(int i) {
  const FlowerKind& k = FlowerKindOf(i);
  ShapeRenderer r(96, 80, 48, 58);
  r.SetTransform(Transform::Scale(1.25f, 1.25f, 1.25f));
  const int soil = r.AddMaterial(DirtRamp(), 0.25f, 1.0f);
  const int stem = r.AddMaterial(RampOf({42, 40, 38, 36}), 0.0f, 1.0f);
  const int leaf = r.AddMaterial(RampOf({41, 39, 37, 35, 33}), 0.15f, 1.0f);
  const int petals = r.AddMaterial(k.petals, 0.05f, 1.0f);
  const int centre = r.AddMaterial(k.centre, 0.0f, 1.0f);
  // A low bed of dug earth edged with leaves, the plants on it spread evenly.
  const float rx = 15.0f, ry = 9.5f;
  r.Ellipsoid({0, 0, 0.2f}, {rx, ry, 1.4f}, soil, 6, 14);
  for (int l = 0; l < 12; ++l) {
    const float a = float(l) * 0.5236f + Hash2(i, l, 81) * 0.3f;
    r.Ellipsoid({std::cos(a) * (rx - 1.5f), std::sin(a) * (ry - 1.2f), 1.0f}, {2.6f, 1.6f, 1.3f}, leaf, 3, 6);
  }
  const int plants = k.height > 15 ? 4 : k.spike ? 7 : 11;
  for (int p = 0; p < plants; ++p) {
    // On a sunflower spiral over the bed, jittered a little.
    const float t = (float(p) + 0.5f) / float(plants);
    const float ang = float(p) * 2.39996f + float(i);
    const float rad = std::sqrt(t) * 0.78f;
    const float x = std::cos(ang) * rad * rx + (Hash2(i, p, 83) - 0.5f) * 1.5f;
    const float y = std::sin(ang) * rad * ry + (Hash2(i, p, 85) - 0.5f) * 1.0f;
    const float ht = k.height * (0.75f + 0.35f * Hash2(i, p, 87));
    r.Pole({x, y, 0.8f}, {x, y, ht}, 0.5f, stem, 4);
    r.Ellipsoid({x - 1.2f, y, 1.6f}, {1.8f, 0.9f, 0.8f}, leaf, 3, 6);
    if (k.spike) {
      for (int b = 0; b < 4; ++b)
        r.Ellipsoid({x + (b % 2 ? 0.9f : -0.9f), y, ht - float(b) * 2.0f},
                    {k.size * 0.75f, k.size * 0.75f, k.size * 0.9f}, petals, 4, 6);
    } else {
      FlowerHead(r, {x, y, ht}, k.size * 1.1f, petals, centre);
    }
  }
  ShadowedSprite out{r.Picture(), r.Shadow()};
  out.picture.Crop();
  out.shadow.Crop();
  return out;
}

// ---- trees
// -----------------------------------------------------------------------------------------------------

ShadowedSprite TreeBob(int number) {
  if (number == 31) return RenderModel(40, 40, 20, 32, [](ShapeRenderer& r) { SaplingModel(r); });
  if (number == 32)
    return RenderModel(110, 120, 55, 108, [](ShapeRenderer& r) { DeciduousModel(r, 0.85f, 5); });
  if (number == 33)
    return RenderModel(160, 170, 70, 152, [](ShapeRenderer& r) { DeciduousModel(r, 1.35f, 5); });
  if (number == 34) return RenderModel(130, 170, 60, 152, [](ShapeRenderer& r) { FirModel(r, 1.4f); });
  // The fall: the tree turns about its foot towards the east, faster and faster.
  static const float angles[8] = {6, 13, 22, 33, 46, 60, 73, 84};
  float angle = number == 43 ? 90.0f : angles[std::clamp(number - 35, 0, 7)];
  ShadowedSprite s = RenderModel(
      260, 190, 50, 160, [](ShapeRenderer& r) { DeciduousModel(r, 1.35f, 5); },
      Transform::Translate({0, 0, number == 43 ? 4.8f : 0.0f}).Then(Transform::RotateY(angle)));
  if (number == 43) {
    // The scene moves the fallen tree 40 pixels up (y -= 40) so it is drawn behind the woodcutter;
    // the bob's offsets carry it back to where it lies.
    s.picture.originY -= 40;
    s.shadow.originY -= 40;
  }
  return s;
}

// ---- clay pit
// ----------------------------------------------------------------------------------------------------

MaskedSprite ClayPit() {
  // The pit lies below its anchor (the top middle of its site): an oval hole with a clay rim and a
  // heap of dug clay beside it.
  const int W = 96, H = 70;
  Sprite s(W, H, W / 2, 2);
  Ramp clay = ClayRamp(), dark = RampOf({31, 29, 27, 25, 23});
  float cx = W / 2.0f - 6, cy = 32, rx = 30, ry = 18;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      float dx = (float(x) - cx) / rx, dy = (float(y) - cy) / ry;
      float d =
          std::sqrt(dx * dx + dy * dy) + (FractalNoise(float(x) / 4, float(y) / 4, 81, 2) - 0.5f) * 0.18f;
      if (d > 1.18f) continue;
      if (d > 1.12f) {
        s.Set(x, y, kInk);
      } else if (d > 0.86f) {
        // Rim: lit on the far (upper) side, in shadow on the near side.
        float v = 0.55f - dy * 0.35f + (Hash2(x, y, 82) - 0.5f) * 0.3f;
        s.Set(x, y, ShadeOf(clay, Clamp01(v), x, y));
      } else {
        // Inside: the far wall is in shadow, the floor is damp clay; water pools at the bottom.
        float v = 0.25f + dy * 0.45f + (Hash2(x, y, 83) - 0.5f) * 0.25f;
        uint8_t c = ShadeOf(dark, Clamp01(v), x, y);
        if (dy > 0.35f && d < 0.45f) c = ShadeOf(RampOf({78, 76, 74, 72}), Clamp01(0.5f + dx), x, y);
        s.Set(x, y, c);
      }
    }
  ShapeRenderer r(W, H, W - 16, 46);
  int heap = r.AddMaterial(clay, 0.2f, 1.5f);
  int wood = r.AddMaterial(WoodRamp(), 0.0f, 1.0f);
  r.Ellipsoid({0, 0, 0}, {11, 8, 8}, heap, 6, 12);
  r.Ellipsoid({-7, 4, 0}, {7, 6, 5}, heap, 6, 10);
  r.Plank({-2, -2, 4}, {5, 6, 26}, 1.5f, 1.2f, wood);  // a shovel stuck in the heap
  r.Plank({4.2f, 5.4f, 24}, {5.8f, 6.6f, 27}, 4.0f, 1.5f, wood);
  Sprite heapPic = r.Picture();
  Place(s, heapPic, W - 16, 46);
  MaskedSprite m;
  m.picture = s;
  // Dug out from the middle: levels grow with the distance from the pit's centre, plus noise.
  m.mask = NoiseMask(
      s, 1, 254, 84,
      [cx, cy](int x, int y) {
        float dx = (float(x) - cx) / 40.0f, dy = (float(y) - cy) / 30.0f;
        return Clamp01(std::sqrt(dx * dx + dy * dy));
      },
      0.88f);
  CropPair(m);
  return m;
}

// ---- monuments
// ------------------------------------------------------------------------------------------------

MaskedSprite Monument(int which) {
  // Villagers gather as close as 30 pixels to the monument's foot, so both stand on a narrow base and
  // rise high instead.
  ShapeRenderer r(200, 300, 100, 250);
  int stone = r.AddMaterial(StoneRamp(), 0.12f, 1.8f);
  int dark = r.AddMaterial(RampOf({60, 58, 56, 54, 52}), 0.12f, 1.5f);
  int gold = r.AddMaterial(GoldRamp(), 0.0f, 1.0f);
  int bronze = r.AddMaterial(RampOf({95, 93, 91, 89, 87, 85}), 0.04f, 1.0f);
  int leaf = r.AddMaterial(LeafRamp(), 0.3f, 1.6f);
  float top;
  if (which == 0) {
    // An obelisk on a stepped plinth, crowned with gold.
    r.SetTransform(Transform::RotateZ(20));
    r.Box({-24, -24, 0}, {24, 24, 7}, dark, stone);
    r.Box({-18, -18, 7}, {18, 18, 14}, dark, stone);
    r.Box({-13, -13, 14}, {13, 13, 22}, dark, stone);
    for (int i = 0; i < 5; ++i) {
      float w0 = 9 - float(i) * 1.1f, w1 = 9 - float(i + 1) * 1.1f, z0 = 22 + float(i) * 30, z1 = z0 + 30;
      Vec3 a{-w0, -w0, z0}, b{w0, -w0, z0}, c{w0, w0, z0}, d{-w0, w0, z0};
      Vec3 A{-w1, -w1, z1}, B{w1, -w1, z1}, C{w1, w1, z1}, D{-w1, w1, z1};
      r.Quad(a, b, B, A, stone);
      r.Quad(b, c, C, B, stone);
      r.Quad(c, d, D, C, stone);
      r.Quad(d, a, A, D, stone);
    }
    r.Cone({0, 0, 172}, 4.5f, 14, gold, 4);
    r.Box({-9.5f, -9.6f, 60}, {9.5f, -9.0f, 66}, gold);  // a golden band
    top = 186;
    r.SetTransform(Transform());
    for (float x : {-30.0f, 28.0f}) r.Ellipsoid({x, -14, 5}, {9, 7, 7}, leaf, 6, 10);
  } else {
    // A bronze figure on a round pedestal, holding up a golden torch.
    r.Cylinder({0, 0, 0}, 22, 6, dark, 20, -1, stone);
    r.Cylinder({0, 0, 6}, 15, 34, stone, 16, 13, stone);
    r.Cylinder({0, 0, 40}, 17, 4, dark, 16, -1, stone);
    r.SetTransform(Transform::RotateZ(-20));
    r.Pole({-4, 0, 44}, {-4.5f, 1, 72}, 3.2f, bronze, 8);  // legs
    r.Pole({4, 0, 44}, {4.5f, -1, 72}, 3.2f, bronze, 8);
    r.Ellipsoid({0, 0, 86}, {9, 6, 17}, bronze, 8, 12);           // body in a cloak
    r.Ellipsoid({0, 0, 108}, {5.5f, 5.5f, 6.5f}, bronze, 7, 10);  // head
    r.Pole({-8, 0, 96}, {-12, -2, 78}, 2.5f, bronze, 6);          // arm down
    r.Pole({8, 0, 97}, {13, -2, 122}, 2.5f, bronze, 6);           // arm up
    r.Pole({13, -2, 118}, {14, -2, 132}, 1.6f, bronze, 6);        // torch
    r.Ellipsoid({14, -2, 136}, {3.5f, 3.5f, 5.5f}, gold, 6, 8);   // flame
    top = 142;
    r.SetTransform(Transform());
    for (float x : {-28.0f, 27.0f}) r.Ellipsoid({x, -10, 5}, {8, 6, 6}, leaf, 6, 10);
  }
  Sprite pic = r.Picture();
  MaskedSprite m;
  m.picture = pic;
  m.mask = GrowthMask(r, pic, 0, top, 1, 254, 92 + uint32_t(which));
  CropPair(m);
  return m;
}

// ---- pages
// ------------------------------------------------------------------------------------------------------

namespace {
void Parchment(Sprite& s, int x0, int y0, int w, int h, uint32_t seed) {
  Ramp paper = RampOf({134, 133, 132, 131, 130, 129});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int cx = std::min(x, w - 1 - x), cy = std::min(y, h - 1 - y);
      float edge = Clamp01(float(std::min(cx, cy)) / 14.0f);
      float v = 0.35f + 0.55f * edge + (FractalNoise(float(x) / 20, float(y) / 20, seed, 3) - 0.5f) * 0.4f;
      if (cx == 0 || cy == 0) {
        s.Set(x0 + x, y0 + y, kInk);
        continue;
      }
      s.Set(x0 + x, y0 + y, ShadeOf(paper, Clamp01(v), x, y, 0.8f));
    }
}

Sprite Vignette(int w, int h, int variant = 0) {
  // A little rendered scene: a house among trees on a grass patch.
  Sprite s(w, h, 0, 0);
  Sprite grass = GrassTile();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.Set(x, y, grass.At((x + 40) % kTileSize, (y + 60) % kTileSize));
  LayeredBuilding house = variant == 1 ? LargeBuilding() : SmallBuilding();
  ShadowedSprite tree = TreeBob(33), fir = TreeBob(34), tree2 = TreeBob(32);
  auto shadow = [&s](const Sprite& sh, int x, int y) {
    for (int yy = 0; yy < sh.height; ++yy)
      for (int xx = 0; xx < sh.width; ++xx)
        if (sh.At(xx, yy)) {
          int X = x - sh.originX + xx, Y = y - sh.originY + yy;
          uint8_t d = s.At(X, Y);
          if (d) s.Set(X, Y, Darker(d, 0.6f));
        }
  };
  int hx = w / 2 + 4, hy = h * 2 / 3;
  shadow(fir.shadow, w / 6, h / 2), shadow(tree2.shadow, w - w / 6, h / 2 + 6);
  Place(s, fir.picture, w / 6, h / 2);
  Place(s, tree2.picture, w - w / 6, h / 2 + 6);
  shadow(house.shadow, hx, hy);
  Place(s, house.main.picture, hx, hy);
  shadow(tree.shadow, w / 4, h - 8);
  Place(s, tree.picture, w / 4, h - 8);
  for (int i = 0; i < 5; ++i) {
    ShadowedSprite f = Flower(i * 2);
    int fx = w / 2 + 40 + i * 9, fy = h - 12 - (i % 2) * 6;
    shadow(f.shadow, fx, fy);
    Place(s, f.picture, fx, fy);
  }
  return s;
}

void Frame(Sprite& s, int x0, int y0, int w, int h) {
  Ramp wood = WoodRamp();
  for (int y = y0 - 6; y < y0 + h + 6; ++y)
    for (int x = x0 - 6; x < x0 + w + 6; ++x) {
      if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) continue;
      int d = std::min({x - (x0 - 6), y - (y0 - 6), x0 + w + 5 - x, y0 + h + 5 - y});
      float v = (d == 0 || d == 5) ? 0.0f : (x - x0 < y - y0 ? 0.8f : 0.45f) + (d == 1 ? 0.2f : 0.0f);
      s.Set(x, y, d == 0 || d == 5 ? kInk : ShadeOf(wood, Clamp01(v), x, y));
    }
}
}  // namespace

Sprite TextPage() {
  Sprite s(320, 300, 0, 0);
  Parchment(s, 0, 0, 320, 300, 101);
  Sprite title = Lettering("Tillands", 44, GoldRamp(), kInk);
  Place(s, title, (320 - title.width) / 2, 14);
  Sprite v = Vignette(260, 150);
  Place(s, v, 30, 78);
  Frame(s, 30, 78, 260, 150);
  Sprite line = Lettering("Ein Dorf erwacht", 18, RampOf({189, 187, 185, 183}), 130);
  Place(s, line, (320 - line.width) / 2, 246);
  return s;
}

Sprite Backdrop() {
  Sprite s(640, 480, 0, 0);
  // Dark green cloth with a subtle woven pattern; the text line runs over the top band.
  Ramp cloth = RampOf({47, 46, 45, 44});
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float v = 0.4f + (FractalNoise(float(x) / 40, float(y) / 40, 111, 3) - 0.5f) * 0.6f +
                (((x + y) % 4 == 0) ? 0.08f : 0.0f);
      float vign = std::hypot(float(x) - 320, float(y) - 260) / 420.0f;
      s.Set(x, y, ShadeOf(cloth, Clamp01(v - vign * 0.5f), x, y, 0.8f));
    }
  // The logo picture is blitted centred into 292..611 x 136..435: a frame around that window.
  Frame(s, 292, 136, 320, 300);
  for (int y = 136; y < 436; ++y)
    for (int x = 292; x < 612; ++x) s.Set(x, y, 63);
  // Left: a framed vignette of the village.
  Sprite v = Vignette(240, 300, 1);
  Place(s, v, 28, 136);
  Frame(s, 28, 136, 240, 300);
  // A thin gold rule under the text line.
  for (int x = 40; x < 600; ++x) {
    s.Set(x, 62, 5);
    s.Set(x, 63, 12);
  }
  Sprite sign = Lettering("Ein Dorf erwacht", 18, RampOf({137, 135, 133, 131, 129, 128}), kInk);
  Place(s, sign, 28 + (240 - sign.width) / 2, 446);
  return s;
}

Sprite LogoPicture() {
  const int W = 300, H = 240;
  Sprite s(W, H, 0, 0);
  Sprite v = Vignette(W, H);
  Place(s, v, 0, 0);
  Sprite title = Lettering("Tillands", 52, GoldRamp(), kInk);
  Place(s, title, (W - title.width) / 2, 8);
  return s;
}

Sprite PreviewScene(int width, int height) {
  // A small composition of its own: the vignette's objects are too large for the preview monitor.
  Sprite s(width, height, 0, 0);
  Sprite grass = GrassTile();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) s.Set(x, y, grass.At((x + 150) % kTileSize, (y + 100) % kTileSize));
  auto shadowed = [&s](const ShadowedSprite& o, int x, int y) {
    for (int yy = 0; yy < o.shadow.height; ++yy)
      for (int xx = 0; xx < o.shadow.width; ++xx)
        if (o.shadow.At(xx, yy)) {
          int X = x - o.shadow.originX + xx, Y = y - o.shadow.originY + yy;
          if (s.At(X, Y)) s.Set(X, Y, Darker(s.At(X, Y), 0.6f));
        }
    Place(s, o.picture, x, y);
  };
  // Everything at a smaller scale than in the world, so that the scene fits the little monitor.
  ShadowedSprite house = RenderModel(
      140, 120, 70, 90, [](ShapeRenderer& r) { SmallHouseModel(r, 3); },
      Transform::Scale(0.75f, 0.75f, 0.75f).Then(Transform::RotateZ(28.0f)));
  ShadowedSprite fir = RenderModel(80, 100, 40, 90, [](ShapeRenderer& r) { FirModel(r, 0.8f); });
  ShadowedSprite tree = RenderModel(80, 100, 40, 90, [](ShapeRenderer& r) { DeciduousModel(r, 0.7f, 5); });
  shadowed(fir, width / 7, height * 3 / 4 - 4);
  shadowed(house, width / 2 + 4, height - 24);
  shadowed(tree, width - 22, height * 3 / 4 + 4);
  for (int i = 0; i < 4; ++i) shadowed(Flower(i * 3 % 11), 12 + i * 10, height - 4 - (i % 2) * 5);
  Sprite title = Lettering("Tillands", 18, GoldRamp(), kInk);
  Place(s, title, (width - title.width) / 2, 1);
  return s;
}

}  // namespace tlworld
