#include "tools/world/creature_rig.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

#include "tools/world/creature_colours.h"

namespace tlworld {
namespace {

float Mix(float a, float b, float t) {
  return a + (b - a) * t;
}
// Smooth 0..1 ease.
float Ease(float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}
// Cyclic key values, one per frame of an animation of keys.size() frames, blended in between.
float Keys(float t, std::initializer_list<float> keys) {
  const int n = int(keys.size());
  const float pos = t * float(n);
  const int i = int(std::floor(pos));
  const float f = pos - float(i);
  const float* k = keys.begin();
  return Mix(k[((i % n) + n) % n], k[(((i + 1) % n) + n) % n], f);
}
// 0 -> 1 -> 0 over [a, d] with plateaus: rises on [a, b], holds, falls on [c, d].
float Envelope(float t, float a, float b, float c, float d) {
  if (t <= a || t >= d) return 0;
  if (t < b) return Ease((t - a) / (b - a));
  if (t <= c) return 1;
  return 1 - Ease((t - c) / (d - c));
}

// ---- materials ---------------------------------------------------------------------------------------

enum Mat : int {
  kSkin = 1,
  kFace,
  kHair,
  kShirt,
  kTrousers,
  kDress,
  kApron,
  kHat,
  kMetal,
  kWood,
  kLeather,
  kUniform,
  kWool,
  kFur,
  kFeather,
  kBeak,
  kDark,
  kWhite,
  kClay,
  kBundle,
};

Ramp SlotRamp(int slot) {
  Ramp r;
  // Dark to light shades of the slot; shade 0 (the brightest) is the highlight.
  for (int shade : {13, 11, 9, 7, 5, 3}) r.shades.push_back(CreatureColour(slot, shade));
  r.outline = CreatureColour(slot, 15);
  return r;
}

void AddMaterials(ShapeRenderer& r) {
  const int slots[] = {kSlotSkin,  kSlotSkin, kSlotHair,    kSlotShirt, kSlotTrousers, kSlotDress,
                       kSlotApron, kSlotHat,  kSlotMetal,   kSlotWood,  kSlotLeather,  kSlotUniform,
                       kSlotWool,  kSlotFur,  kSlotFeather, kSlotBeak};
  for (int slot : slots) r.AddMaterial(SlotRamp(slot));
  Ramp dark;
  for (int shade : {15, 13, 11, 9}) dark.shades.push_back(CreatureColour(kSlotFixed, shade));
  dark.outline = CreatureColour(kSlotFixed, kFixedOutline);
  r.AddMaterial(dark);
  Ramp white;
  white.shades = {CreatureColour(kSlotFeather, 5), CreatureColour(kSlotFeather, 2),
                  CreatureColour(kSlotFixed, kFixedWhite)};
  white.outline = CreatureColour(kSlotFeather, 13);
  r.AddMaterial(white);
  // Clay and earth: the darker half of the fur ramp.
  Ramp clay;
  for (int shade : {14, 12, 10, 8, 6}) clay.shades.push_back(CreatureColour(kSlotFur, shade));
  clay.outline = CreatureColour(kSlotFur, 15);
  r.AddMaterial(clay);
  Ramp bundle;
  bundle.shades = {CreatureColour(kSlotFixed, kFixedBundleShade), CreatureColour(kSlotFixed, kFixedBundle),
                   CreatureColour(kSlotFixed, kFixedBundleLight)};
  bundle.outline = CreatureColour(kSlotFixed, kFixedBundleOutline);
  r.AddMaterial(bundle);
}

// ---- small vector helpers ------------------------------------------------------------------------------

Vec3 V(float x, float y, float z) {
  return Vec3{x, y, z};
}
// Direction in the sagittal plane of a limb: angle 0 points down, 90 forward, 180 up; `abduct` tilts
// it sideways towards `side` (+1 left, -1 right).
Vec3 LimbDir(float angle, float abduct, float side) {
  const float a = Rad(angle), b = Rad(abduct);
  const Vec3 d{0, side * std::sin(b), -std::cos(b)};
  return V(d.x * std::cos(a) - d.z * std::sin(a), d.y, d.x * std::sin(a) + d.z * std::cos(a));
}

// ---- human rig
// ---------------------------------------------------------------------------------------------

enum class Prop { None, Hammer, Axe, Shovel, Spear, Staff, Log, Basket };

struct HumanPose {
  float lean = 3, twist = 0, headPitch = 0, headYaw = 0, headRoll = 0;
  float thigh[2] = {0, 0}, knee[2] = {4, 4}, spread[2] = {0, 0};  // 0 left (+y), 1 right (-y)
  float arm[2] = {-4, -4}, abd[2] = {9, 9}, elbow[2] = {14, 14};
  float sit = 0, sitZ = 0;  // blend of the pelvis towards a fixed height (sitting, kneeling)
  float pelvisZ = 0;        // > 0: the pelvis height a walk worked out (else the lower foot decides)
  float lift = 0;           // extra height (jumps)
  float lie = 0;            // 0 upright .. 1 lying on the back
  float spin = 0;           // extra turn of the whole figure (degrees)
  float breathe = 0;
  Prop prop = Prop::None;
  float propAngle = 0;  // direction of the tool in the sagittal plane (0 down, 90 forward, 180 up)
  bool propTwoHands = false;
  bool propPlanted = false;  // the tool stands on the ground in front, the hands resting on its top
};

HumanPose Blend(const HumanPose& a, const HumanPose& b, float t) {
  HumanPose p = t < 0.5f ? a : b;
  p.lean = Mix(a.lean, b.lean, t), p.twist = Mix(a.twist, b.twist, t);
  p.headPitch = Mix(a.headPitch, b.headPitch, t), p.headYaw = Mix(a.headYaw, b.headYaw, t);
  p.headRoll = Mix(a.headRoll, b.headRoll, t);
  for (int s = 0; s < 2; ++s) {
    p.thigh[s] = Mix(a.thigh[s], b.thigh[s], t), p.knee[s] = Mix(a.knee[s], b.knee[s], t);
    p.spread[s] = Mix(a.spread[s], b.spread[s], t);
    p.arm[s] = Mix(a.arm[s], b.arm[s], t), p.abd[s] = Mix(a.abd[s], b.abd[s], t);
    p.elbow[s] = Mix(a.elbow[s], b.elbow[s], t);
  }
  p.sit = Mix(a.sit, b.sit, t), p.sitZ = Mix(a.sitZ, b.sitZ, t), p.lift = Mix(a.lift, b.lift, t);
  p.pelvisZ = 0;
  p.lie = Mix(a.lie, b.lie, t), p.spin = Mix(a.spin, b.spin, t), p.breathe = Mix(a.breathe, b.breathe, t);
  p.propAngle = Mix(a.propAngle, b.propAngle, t);
  return p;
}

struct Build {
  float s = 1;     // body scale
  float head = 1;  // head scale
  float shoulder = 5.0f, hip = 2.3f;
  bool dress = false, apron = false, baby = false;
  int top = kShirt;  // material of torso and sleeves
};

bool IsSoldierMotion(Motion m) {
  switch (m) {
    case Motion::March:
    case Motion::GuardStand:
    case Motion::GuardLook:
    case Motion::GuardScratch:
    case Motion::GuardStretch:
    case Motion::GuardRest:
      return true;
    default:
      return false;
  }
}

Build BuildOf(Figure f, Motion m) {
  Build b;
  switch (f) {
    case Figure::Woman:
      b.s = 0.95f, b.head = 0.97f, b.shoulder = 4.4f, b.hip = 2.2f, b.dress = true, b.apron = true;
      break;
    case Figure::Boy:
      b.s = 0.66f, b.head = 0.86f, b.shoulder = 4.6f, b.hip = 2.3f;
      break;
    case Figure::Girl:
      b.s = 0.64f, b.head = 0.86f, b.shoulder = 4.4f, b.hip = 2.2f, b.dress = true;
      break;
    case Figure::Baby:
      b.s = 0.36f, b.head = 0.62f, b.shoulder = 5.6f, b.hip = 3.2f, b.baby = true, b.top = kUniform;
      break;
    default:
      break;
  }
  if (IsSoldierMotion(m)) b.top = kUniform;
  // The rig is drawn a little larger than its unit sizes so grown-ups stand about 40 pixels tall.
  b.s *= 1.07f;
  b.head *= 1.08f;
  return b;
}

constexpr float kThigh = 11.5f, kShin = 11.0f, kAnkle = 1.8f, kTorso = 15.0f, kUpper = 7.0f, kFore = 6.4f;

// The frames of a posed human, shared by the drawing and the eye painter.
struct HumanFrames {
  Transform world;  // figure -> model (facing, lying, spin)
  Transform torso;  // torso frame -> model
  Transform head;   // head frame (origin at the head's centre) -> model
  Vec3 pelvis;
};

float HeadRadiusZ(const Build& b) {
  return 4.3f * b.head;
}

HumanFrames ComputeFrames(const Build& b, const HumanPose& p, float facing) {
  const float s = b.s;
  // Height of the pelvis that keeps the lower foot on the ground.
  float lowest = 1e9f;
  for (int side = 0; side < 2; ++side) {
    const float th = Rad(p.thigh[side]), sh = Rad(p.thigh[side] - p.knee[side]);
    const float z = -kThigh * s * std::cos(th) - kShin * s * std::cos(sh);
    lowest = std::min(lowest, z);
  }
  const float standZ = p.pelvisZ > 0 ? p.pelvisZ : kAnkle * s - lowest;
  HumanFrames fr;
  fr.pelvis = V(0, 0, Mix(standZ, p.sitZ, p.sit) + p.lift);
  Transform lie = Transform::Translate(V(0, 0, -fr.pelvis.z))
                      .Then(Transform::RotateY(-88.0f * p.lie))
                      .Then(Transform::Translate(V(0, 0, Mix(fr.pelvis.z, 3.2f * s, p.lie))));
  fr.world = lie.Then(Transform::RotateZ(facing + p.spin));
  fr.torso = Transform::RotateZ(p.twist)
                 .Then(Transform::RotateY(p.lean))
                 .Then(Transform::Translate(fr.pelvis))
                 .Then(fr.world);
  const float neckTop = kTorso * s + 1.6f * s + 0.4f;
  fr.head = Transform::RotateX(p.headRoll)
                .Then(Transform::RotateY(p.headPitch))
                .Then(Transform::RotateZ(p.headYaw))
                .Then(Transform::Translate(V(0.3f * s, 0, neckTop + HeadRadiusZ(b) * 0.85f)))
                .Then(fr.torso);
  return fr;
}

void DrawProp(ShapeRenderer& r, Prop prop, Vec3 hand, float angle, float s) {
  const Vec3 d = LimbDir(angle, 0, 1);
  const Vec3 perp = LimbDir(angle + 90, 0, 1);
  switch (prop) {
    case Prop::Hammer: {
      const Vec3 tip = hand + d * (6.5f * s);
      r.Pole(hand - d * (1.2f * s), tip, 0.55f, kWood, 5);
      r.Pole(tip - perp * (1.8f * s), tip + perp * (1.6f * s), 1.0f, kMetal, 6);
      break;
    }
    case Prop::Axe: {
      const Vec3 tip = hand + d * (11.0f * s);
      r.Pole(hand - d * (1.5f * s), tip + d * 0.8f, 0.6f, kWood, 5);
      r.Plank(tip - d * (1.2f * s), tip + d * (0.8f * s) + perp * (2.6f * s), 2.6f * s, 0.7f, kMetal);
      break;
    }
    case Prop::Shovel: {
      const Vec3 tip = hand + d * (12.0f * s);
      r.Pole(hand - d * (2.5f * s), tip, 0.6f, kWood, 5);
      r.Plank(tip - d * 0.5f, tip + d * (4.2f * s), 3.4f * s, 0.5f, kMetal);
      break;
    }
    case Prop::Spear: {
      const Vec3 top = hand + d * (17.0f * s);
      r.Pole(hand - d * (11.0f * s), top, 0.55f, kWood, 5);
      r.Pole(top, top + d * (3.0f * s), 0.9f, kMetal, 5);
      r.Pole(top + d * (3.0f * s), top + d * (4.6f * s), 0.35f, kMetal, 4);
      break;
    }
    case Prop::Staff: {
      const Vec3 top = hand + d * (6.0f * s);
      r.Pole(hand - d * (17.0f * s), top, 0.6f, kWood, 5);
      r.Ellipsoid(top + d * 0.6f + perp * 0.9f, V(1.2f, 0.8f, 1.2f), kWood, 4, 6);
      break;
    }
    default:
      break;
  }
}

// A tool standing on the ground with its top at `top` (figure frame, z up from the ground): the spear
// on its butt, the axe on its head, the shovel on its blade.
void DrawPlantedProp(ShapeRenderer& r, Prop prop, Vec3 top, float s) {
  const Vec3 foot = V(top.x + 1.5f * s, top.y, 0.3f);
  const Vec3 d = Normalize(top - foot);
  switch (prop) {
    case Prop::Spear: {
      const Vec3 tip = top + d * (12.0f * s);
      r.Pole(foot, tip, 0.55f, kWood, 5);
      r.Pole(tip, tip + d * (3.0f * s), 0.9f, kMetal, 5);
      r.Pole(tip + d * (3.0f * s), tip + d * (4.6f * s), 0.35f, kMetal, 4);
      break;
    }
    case Prop::Axe: {
      const Vec3 head = foot + d * (1.2f * s);
      r.Pole(head, top + d * (1.2f * s), 0.6f, kWood, 5);
      r.Plank(foot + V(-0.6f * s, 0, 0), foot + V(2.8f * s, 0, 2.4f * s), 2.6f * s, 0.7f, kMetal);
      break;
    }
    case Prop::Shovel: {
      const Vec3 blade = foot + d * (4.0f * s);
      r.Pole(blade, top + d * (1.5f * s), 0.6f, kWood, 5);
      r.Ellipsoid(top + d * (1.5f * s), V(1.0f, 1.6f, 0.6f) * s, kWood, 3, 6);
      r.Plank(foot, blade, 3.4f * s, 0.5f, kMetal);
      break;
    }
    default:
      break;
  }
}

void DrawHead(ShapeRenderer& r, Figure f, const Build& b, int variant) {
  const float k = b.head;
  const bool woman = f == Figure::Woman || f == Figure::Girl;
  const bool child = f == Figure::Boy || f == Figure::Girl || f == Figure::Baby;
  Vec3 radii = V(3.9f, 3.6f, 4.3f);
  float nose = 1.0f;
  if (!woman && !child) {
    if (variant == 3) radii = V(4.2f, 4.0f, 4.2f), nose = 1.2f;
    if (variant == 4) radii = V(3.6f, 3.3f, 4.7f), nose = 1.35f;
  }
  if (f == Figure::Boy) {
    if (variant == 2) radii = V(4.1f, 3.9f, 4.1f);
    if (variant == 3) radii = V(3.7f, 3.4f, 4.5f);
    if (variant == 4) radii = V(3.8f, 3.5f, 4.4f), nose = 0.75f;
    if (variant == 5) radii = V(4.0f, 3.8f, 4.0f), nose = 1.2f;
  }
  bool earrings = false, chin = false;
  if (woman) {
    // Six faces: round or long, small or strong nose, a pointed chin, earrings.
    radii = V(3.7f, 3.4f, 4.2f), nose = 0.75f;
    switch (variant) {
      case 1:
        radii = V(3.9f, 3.65f, 4.0f), nose = 0.6f;
        break;
      case 2:
        radii = V(3.5f, 3.2f, 4.55f), nose = 0.9f;
        break;
      case 3:
        earrings = true;
        break;
      case 4:
        radii = V(3.6f, 3.3f, 4.3f), nose = 0.85f, chin = true;
        break;
      case 5:
        radii = V(3.95f, 3.7f, 4.15f), nose = 1.0f, earrings = true;
        break;
      default:
        break;
    }
  }
  r.Ellipsoid(V(0, 0, 0), radii * k, kFace, 6, 10);
  r.Ellipsoid(V((radii.x - 0.25f) * k, 0, -0.6f * k), V(1.0f, 0.7f, 0.9f) * (k * nose), kFace, 3, 6);
  if (chin) r.Ellipsoid(V(2.4f, 0, -3.3f) * k, V(1.3f, 1.4f, 1.2f) * k, kFace, 3, 6);
  if (earrings)
    for (float side : {-1.0f, 1.0f})
      r.Ellipsoid(V(0.2f, side * radii.y, -1.9f) * k, V(0.6f, 0.6f, 0.8f) * k, kMetal, 2, 5);
  const bool bigEars = f == Figure::Boy && (variant == 1 || variant == 5);
  const float earSize = bigEars ? 1.4f : 1.0f;
  if (!woman)
    for (float side : {-1.0f, 1.0f})
      r.Ellipsoid(V(0, side * (radii.y - 0.1f) * k, -0.3f * k), V(0.7f, 0.5f, 1.1f) * (k * earSize), kFace, 3,
                  6);
  if (woman || child) return;
  switch (variant) {
    case 1:  // full beard
      r.Ellipsoid(V(2.0f, 0, -2.6f), V(2.4f, 3.1f, 2.3f) * k, kHair, 5, 8);
      break;
    case 2:  // moustache
      r.Ellipsoid(V(3.6f, 0, -1.7f) * k, V(0.8f, 2.0f, 0.6f) * k, kHair, 3, 8);
      break;
    case 3:  // goatee
      r.Ellipsoid(V(3.0f, 0, -3.5f) * k, V(1.1f, 1.1f, 1.5f) * k, kHair, 3, 6);
      break;
    case 4:  // sideburns
      for (float side : {-1.0f, 1.0f})
        r.Ellipsoid(V(0.6f, side * 3.1f, -0.8f) * k, V(1.2f, 0.6f, 2.0f) * k, kHair, 3, 6);
      break;
    case 5:  // bushy eyebrows and a chin beard
      r.Ellipsoid(V(2.6f, 0, -3.0f) * k, V(1.6f, 2.2f, 1.8f) * k, kHair, 4, 8);
      break;
    default:
      break;
  }
}

void DrawHeadwear(ShapeRenderer& r, Figure f, const Build& b, LayerChoice extra) {
  const float k = b.head;
  switch (extra.layer) {
    case Layer::Hair: {
      r.Ellipsoid(V(-0.9f, 0, 1.0f) * k, V(3.9f, 3.75f, 3.95f) * k, kHair, 6, 10);
      const bool woman = f == Figure::Woman || f == Figure::Girl;
      if (woman && extra.variant == 0)
        r.Ellipsoid(V(-3.6f, 0, 1.6f) * k, V(1.9f, 1.9f, 1.9f) * k, kHair, 4, 8);
      if (woman && extra.variant == 1) {
        r.Ellipsoid(V(-2.1f, 0, -2.6f) * k, V(2.3f, 3.7f, 5.2f) * k, kHair, 5, 8);
      }
      // Men's and boys' second cut: fuller on top and down to the collar.
      if (!woman && extra.variant == 1) {
        r.Ellipsoid(V(-0.4f, 0, 2.6f) * k, V(3.7f, 3.6f, 2.4f) * k, kHair, 5, 8);
        r.Ellipsoid(V(-2.6f, 0, -1.6f) * k, V(1.8f, 3.4f, 2.6f) * k, kHair, 4, 8);
      }
      break;
    }
    case Layer::Cap:
      r.Cylinder(V(-0.3f, 0, 1.0f) * k, 4.1f * k, 2.8f * k, kHat, 10, 3.5f * k);
      r.Ellipsoid(V(3.5f, 0, 1.5f) * k, V(2.0f, 2.7f, 0.4f) * k, kHat, 3, 8);
      break;
    case Layer::Scout:
      r.Cylinder(V(0, 0, 1.3f) * k, 7.0f * k, 0.6f, kHat, 14);
      r.Cylinder(V(0, 0, 1.6f) * k, 3.8f * k, 0.9f, kLeather, 10);
      r.Cylinder(V(0, 0, 2.4f) * k, 3.7f * k, 3.2f * k, kHat, 10, 2.7f * k);
      break;
    case Layer::Helmet: {
      // A dome over the skull that leaves the eyes free, with a rim, a point or a crest.
      r.Ellipsoid(V(0, 0, 2.2f) * k, V(4.15f, 3.95f, 2.7f) * k, kMetal, 6, 10);
      r.Cylinder(V(0, 0, 1.0f) * k, (extra.variant == 0 ? 4.8f : 4.3f) * k, 0.6f, kMetal, 12);
      if (extra.variant == 1) r.Cone(V(0, 0, 4.0f) * k, 2.6f * k, 4.0f * k, kMetal, 10);
      if (extra.variant == 2) r.Plank(V(-4.0f, 0, 5.2f) * k, V(3.0f, 0, 5.6f) * k, 1.1f, 2.6f * k, kHat);
      break;
    }
    default:
      break;
  }
}

// Hip, knee and ankle of one leg (0 left, 1 right) in the figure frame.
void LegJoints(const Build& b, const HumanPose& p, const HumanFrames& fr, int side, Vec3* hip, Vec3* knee,
               Vec3* ankle) {
  const float s = b.s, sg = side == 0 ? 1.0f : -1.0f;
  *hip = fr.pelvis + V(0, sg * b.hip * s, 0);
  *knee = *hip + LimbDir(p.thigh[side], p.spread[side], sg) * (kThigh * s);
  *ankle = *knee + LimbDir(p.thigh[side] - p.knee[side], p.spread[side], sg) * (kShin * s);
}

void DrawHuman(ShapeRenderer& r, Figure f, const HumanPose& p, const FigureRender& what) {
  const Build b = BuildOf(f, what.motion);
  const float s = b.s;
  const HumanFrames fr = ComputeFrames(b, p, what.facing);
  const int legMat = b.baby ? kUniform : kTrousers;
  // Legs, in the figure frame.
  r.SetTransform(fr.world);
  for (int side = 0; side < 2; ++side) {
    const float sg = side == 0 ? 1.0f : -1.0f;
    Vec3 hip, knee, ankle;
    LegJoints(b, p, fr, side, &hip, &knee, &ankle);
    const float legR = (b.baby ? 2.2f : 1.9f) * std::max(s, 0.7f);
    r.Pole(hip, knee, legR, legMat, 6);
    r.Ellipsoid(knee, V(legR, legR, legR) * 0.95f, legMat, 3, 6);
    r.Pole(knee, ankle, legR * 0.85f, b.dress ? kLeather : legMat, 6);
    const int footMat = b.baby ? kSkin : kLeather;
    r.Ellipsoid(ankle + LimbDir(p.thigh[side] - p.knee[side] + 90, 0, sg) * (1.1f * s) + V(0, 0, -0.5f * s),
                V(2.5f, 1.35f, 1.1f) * std::max(s, 0.6f), footMat, 3, 6);
  }
  // Torso, arms, tools: in the torso frame.
  r.SetTransform(fr.torso);
  const float chest = 1.0f + 0.03f * p.breathe;
  if (!b.dress) r.Ellipsoid(V(0, 0, 0.6f * s), V(2.9f, b.hip + 1.6f, 3.0f) * s, legMat, 5, 8);
  r.Ellipsoid(V(0, 0, 8.2f * s), V(3.1f * chest, b.shoulder - 0.3f, 8.0f) * s, b.top, 6, 10);
  if (!b.baby) r.Cylinder(V(0, 0, 1.2f * s), (b.shoulder - 1.6f) * s, 1.2f * s, kLeather, 10);
  if (b.dress) {
    r.Cylinder(V(0, 0, -10.5f * s), 5.8f * s, 12.5f * s, kDress, 12, 3.6f * s);
    if (b.apron) r.Plank(V(3.6f * s, 0, 1.0f * s), V(5.6f * s, 0, -8.8f * s), 5.2f * s, 0.35f, kApron);
  }
  r.Pole(V(0, 0, (kTorso - 0.6f) * s), V(0.2f * s, 0, (kTorso + 1.8f) * s), 1.4f * std::max(s, 0.8f), kSkin,
         6);
  Vec3 hands[2];
  for (int side = 0; side < 2; ++side) {
    const float sg = side == 0 ? 1.0f : -1.0f;
    const Vec3 shoulder = V(0, sg * b.shoulder * s, (kTorso - 0.8f) * s);
    const Vec3 elbow = shoulder + LimbDir(p.arm[side], p.abd[side], sg) * (kUpper * s);
    const Vec3 fdir = LimbDir(p.arm[side] + p.elbow[side], p.abd[side] * 0.6f, sg);
    const Vec3 wrist = elbow + fdir * (kFore * s);
    const float armR = 1.45f * std::max(s, 0.7f);
    r.Ellipsoid(shoulder, V(armR, armR, armR) * 1.15f, b.top, 3, 6);
    r.Pole(shoulder, elbow, armR, b.top, 6);
    r.Ellipsoid(elbow, V(armR, armR, armR) * 0.95f, b.top, 3, 6);
    r.Pole(elbow, wrist, armR * 0.88f, b.top, 6);
    hands[side] = wrist + fdir * (0.9f * s);
    r.Ellipsoid(hands[side], V(1.3f, 1.2f, 1.3f) * std::max(s, 0.7f), kSkin, 3, 6);
  }
  if (p.prop == Prop::Basket) {
    // The basket rests in both hands: on the head when they are raised, at the knees when lifting.
    const Vec3 c = (hands[0] + hands[1]) * 0.5f + V(0, 0, -1.6f * s);
    r.Cylinder(c, 3.3f * s, 3.4f * s, kLeather, 10, 3.9f * s, kClay);
    r.Ellipsoid(c + V(0, 0, 3.4f * s), V(3.0f, 3.0f, 1.4f) * s, kClay, 3, 8);
  } else if (p.prop == Prop::Log) {
    const Vec3 sh = V(0.4f * s, -b.shoulder * s, (kTorso + 1.6f) * s);
    r.Pole(sh + V(-10.0f * s, 0, -1.0f * s), sh + V(8.0f * s, 0, 1.2f * s), 2.3f * s, kWood, 8);
  } else if (p.propPlanted) {
    // From the hands straight down to the ground, drawn in the figure frame so that it stands upright
    // whatever the lean.
    const Transform torsoToFigure =
        Transform::RotateZ(p.twist).Then(Transform::RotateY(p.lean)).Then(Transform::Translate(fr.pelvis));
    const Vec3 top = torsoToFigure.Apply((hands[0] + hands[1]) * 0.5f);
    r.SetTransform(fr.world);
    DrawPlantedProp(r, p.prop, top, s);
  } else if (p.prop != Prop::None) {
    const Vec3 hand = p.propTwoHands ? (hands[0] + hands[1]) * 0.5f : hands[1];
    DrawProp(r, p.prop, hand, p.propAngle, s);
  }
  if (what.withHead) {
    r.SetTransform(fr.head);
    DrawHead(r, f, b, what.head);
    if (what.extra.layer != Layer::Body && what.extra.layer != Layer::Head) DrawHeadwear(r, f, b, what.extra);
  }
}

// ---- human motions ----------------------------------------------------------------------------------------

// Leg angles that put the ankle at (x, z) from the hip (figure frame, x forward, z up), the knee
// bending forward as knees do.
void LegIK(float x, float z, float thighLen, float shinLen, float* thigh, float* knee) {
  float d = std::sqrt(x * x + z * z);
  d = std::clamp(d, std::fabs(thighLen - shinLen) + 0.01f, (thighLen + shinLen) * 0.9999f);
  const float phi = std::atan2(x, -z);
  const float beta = std::acos(
      std::clamp((thighLen * thighLen + d * d - shinLen * shinLen) / (2 * thighLen * d), -1.0f, 1.0f));
  const float gamma = std::acos(
      std::clamp((shinLen * shinLen + d * d - thighLen * thighLen) / (2 * shinLen * d), -1.0f, 1.0f));
  *thigh = (phi + beta) * 180.0f / kPi;
  *knee = (beta + gamma) * 180.0f / kPi;
}

// Where a foot is in a walk cycle of phase t (0..1): on the ground for the first half, moving back at
// a constant speed under the walker (so that it stays where it was put down while the walker moves
// on), in the air for the second half, swinging forward. `x` runs from +length/2 (put down) to
// -length/2 (lifted); `lift` is 0 on the ground and 1 at the top of the swing.
void FootInCycle(float t, float length, float* x, float* lift) {
  const float u = t - std::floor(t);
  if (u < 0.5f) {
    *x = length * (0.5f - 2 * u);
    *lift = 0;
  } else {
    const float w = (u - 0.5f) * 2;
    *x = length * (Ease(w) - 0.5f);
    *lift = std::sin(kPi * w);
  }
}

// A walk whose planted foot moves back by exactly the walker's step every frame. `length` is the
// distance a foot travels under the body while it is down (the walker's step per frame times half
// the frames of a cycle); the left foot is put down at phase 0, the right one at 0.5. The pelvis sits
// as high as both feet allow, a little higher in the middle of a step.
HumanPose WalkPose(const Build& b, float t, float length, float amplitude = 20) {
  HumanPose p;
  const float s = b.s;
  const float thighLen = kThigh * s, shinLen = kShin * s, leg = thighLen + shinLen, ankleZ = kAnkle * s;
  if (length <= 0) length = 0.45f * leg;
  const float half = std::min(length * 0.5f, 0.9f * leg);
  const float reach = 0.985f * leg;
  const float low = ankleZ + std::sqrt(reach * reach - half * half), high = ankleZ + 0.975f * leg;
  float x[2], lift[2];
  FootInCycle(t, length, &x[0], &lift[0]);
  FootInCycle(t + 0.5f, length, &x[1], &lift[1]);
  const float planted = lift[0] == 0 ? x[0] : x[1];
  const float q = half > 0 ? std::min(1.0f, (planted * planted) / (half * half)) : 1.0f;
  const float pelvis = std::min(high, low + 0.4f * (high - low) * (1 - q));
  p.pelvisZ = pelvis;
  for (int side = 0; side < 2; ++side)
    LegIK(x[side], ankleZ + lift[side] * 0.11f * leg - pelvis, thighLen, shinLen, &p.thigh[side],
          &p.knee[side]);
  // Arms swing against the legs, more for longer steps.
  const float ph = 2 * kPi * t;
  const float a = amplitude * std::clamp(half / (0.3f * leg), 0.6f, 1.35f);
  p.arm[0] = -a * 0.9f * std::cos(ph);
  p.arm[1] = a * 0.9f * std::cos(ph);
  p.elbow[0] = 14 + 14 * std::max(0.0f, -std::cos(ph));
  p.elbow[1] = 14 + 14 * std::max(0.0f, std::cos(ph));
  p.abd[0] = p.abd[1] = 8;
  p.lean = 5;
  p.twist = 4 * std::cos(ph);
  return p;
}

HumanPose StandPose() {
  HumanPose p;
  p.lean = 2;
  p.thigh[0] = 2, p.thigh[1] = -2;
  p.spread[0] = p.spread[1] = 3;
  return p;
}

HumanPose SitPose() {
  HumanPose p = StandPose();
  p.thigh[0] = p.thigh[1] = 80;
  p.knee[0] = 95, p.knee[1] = 70;
  p.spread[0] = p.spread[1] = 10;
  p.sit = 1, p.sitZ = 3.2f;
  p.lean = -8;
  p.arm[0] = p.arm[1] = 40, p.elbow[0] = p.elbow[1] = 50, p.abd[0] = p.abd[1] = 18;
  return p;
}

HumanPose BabySitPose() {
  HumanPose p;
  p.thigh[0] = p.thigh[1] = 85;
  p.knee[0] = p.knee[1] = 35;
  p.spread[0] = p.spread[1] = 22;
  p.sit = 1, p.sitZ = 2.2f;
  p.lean = -4;
  p.arm[0] = p.arm[1] = 30, p.elbow[0] = p.elbow[1] = 30, p.abd[0] = p.abd[1] = 25;
  return p;
}

HumanPose HumanMotion(Figure f, Motion m, float t, float stride) {
  const float ph = 2 * kPi * t;
  const Build build = BuildOf(f, m);
  HumanPose p;
  switch (m) {
    case Motion::Walk:
      p = WalkPose(build, t, stride, f == Figure::Woman || f == Figure::Girl ? 17.0f : 20.0f);
      break;
    case Motion::WalkAxe:
    case Motion::WalkShovel:
      p = WalkPose(build, t, stride);
      p.arm[1] = 40, p.elbow[1] = 105, p.abd[1] = 12;
      p.prop = m == Motion::WalkAxe ? Prop::Axe : Prop::Shovel;
      p.propAngle = m == Motion::WalkAxe ? 200 : 195;
      break;
    case Motion::WalkStaff:
      p = WalkPose(build, t, stride);
      p.arm[1] = 28 + 8 * std::cos(ph), p.elbow[1] = 40, p.abd[1] = 10;
      p.prop = Prop::Staff, p.propAngle = 172 + 6 * std::cos(ph);
      break;
    case Motion::March:
      p = WalkPose(build, t, stride, 23);
      p.arm[1] = 12, p.elbow[1] = 78, p.abd[1] = 8;
      p.prop = Prop::Spear, p.propAngle = 176;
      p.lean = 1, p.twist = 0;
      break;
    case Motion::WalkLog:
      p = WalkPose(build, t, stride, 16);
      p.arm[1] = 70, p.elbow[1] = 95, p.abd[1] = 6;
      p.prop = Prop::Log;
      p.lean = 8;
      break;
    case Motion::WalkLoad:
      p = WalkPose(build, t, stride, 16);
      for (int s = 0; s < 2; ++s) p.arm[s] = 162, p.elbow[s] = 18, p.abd[s] = 16;
      p.prop = Prop::Basket;
      p.lean = 1;
      break;
    case Motion::Stand:
      p = StandPose();
      p.breathe = std::sin(ph);
      break;
    case Motion::LookAround:
      p = StandPose();
      for (int s = 0; s < 2; ++s) p.arm[s] = -18, p.elbow[s] = 105, p.abd[s] = 38;  // hands on the hips
      p.headYaw = 38 * std::sin(ph);
      p.headPitch = -6 + 4 * std::sin(2 * ph);
      p.lean = -2;
      break;
    case Motion::LookShade:
      p = StandPose();
      p.arm[1] = 78, p.elbow[1] = 115, p.abd[1] = 28;
      p.headYaw = 22 * std::sin(ph);
      p.headPitch = -8;
      p.twist = 6 * std::sin(ph);
      break;
    case Motion::Talk:
      p = StandPose();
      p.arm[1] = 18 + 14 * std::sin(ph), p.elbow[1] = 65 + 25 * std::sin(2 * ph), p.abd[1] = 14;
      p.arm[0] = 8 + 10 * std::sin(ph + 1.7f), p.elbow[0] = 55 + 20 * std::sin(2 * ph + 1), p.abd[0] = 14;
      p.headPitch = 7 * std::sin(2 * ph);
      p.headYaw = 10 * std::sin(ph);
      p.twist = 5 * std::sin(ph);
      break;
    case Motion::Scratch:
      p = StandPose();
      p.arm[1] = 150, p.elbow[1] = 62 + 18 * std::sin(2 * ph), p.abd[1] = 44;
      p.headRoll = -10, p.headPitch = 6;
      break;
    case Motion::Sit: {
      const float k = Envelope(t, 0.0f, 0.3f, 0.75f, 1.0f);
      p = Blend(StandPose(), SitPose(), k);
      p.headYaw = 25 * std::sin(ph * 2) * k;
      break;
    }
    case Motion::Stretch: {
      const float k = Envelope(t, 0.0f, 0.35f, 0.65f, 1.0f);
      HumanPose up = StandPose();
      for (int s = 0; s < 2; ++s) up.arm[s] = 172, up.elbow[s] = 10, up.abd[s] = 18;
      up.lean = -10, up.headPitch = -18;
      p = Blend(StandPose(), up, k);
      break;
    }
    case Motion::Wave:
      p = StandPose();
      p.arm[1] = 150, p.abd[1] = 28 + 14 * std::sin(ph * 2), p.elbow[1] = 20 + 22 * std::sin(ph * 2);
      p.headPitch = -5;
      break;
    case Motion::Pray:
      p = StandPose();
      p.thigh[0] = p.thigh[1] = 4;
      p.knee[0] = p.knee[1] = 92;
      p.spread[0] = p.spread[1] = 4;
      p.lean = 8 + 6 * std::sin(ph);
      for (int s = 0; s < 2; ++s) p.arm[s] = 45, p.elbow[s] = 95, p.abd[s] = -28;
      p.headPitch = 22 + 6 * std::sin(ph);
      break;
    case Motion::Sleep:
      p = StandPose();
      p.thigh[0] = 8, p.thigh[1] = -4, p.knee[0] = 18, p.knee[1] = 4;
      for (int s = 0; s < 2; ++s) p.arm[s] = 160, p.elbow[s] = 130, p.abd[s] = 55;  // hands under the head
      p.lie = 1;
      p.breathe = 2.5f * std::sin(ph);
      p.headPitch = -10;
      break;
    case Motion::Hammer: {
      p = StandPose();
      p.lean = 22;
      p.thigh[0] = 20, p.knee[0] = 30, p.thigh[1] = -8;
      // Raise (frames 0-4), strike (frame 5), recoil (6-7).
      const float up = Keys(t, {0.05f, 0.3f, 0.6f, 0.85f, 1.0f, 0.0f, 0.12f, 0.04f});
      p.arm[1] = Mix(35, 150, up), p.elbow[1] = Mix(20, 70, up), p.abd[1] = 8;
      p.prop = Prop::Hammer, p.propAngle = p.arm[1] + p.elbow[1] + 5;
      p.arm[0] = 50, p.elbow[0] = 30, p.abd[0] = -6;
      p.headPitch = 18;
      break;
    }
    case Motion::Chop: {
      p = StandPose();
      p.thigh[0] = 16, p.knee[0] = 14, p.thigh[1] = -12;
      const float up = Keys(t, {0.08f, 0.35f, 0.65f, 0.9f, 1.0f, 0.0f, 0.1f, 0.04f});
      for (int s = 0; s < 2; ++s) p.arm[s] = Mix(62, 170, up), p.elbow[s] = Mix(8, 40, up), p.abd[s] = -22;
      p.prop = Prop::Axe, p.propTwoHands = true, p.propAngle = p.arm[1] + p.elbow[1] + Mix(30, 50, up);
      p.lean = Mix(22, -6, up);
      p.twist = Mix(-8, 10, up);
      break;
    }
    case Motion::Dig: {
      p = StandPose();
      p.thigh[0] = 22, p.knee[0] = 30, p.thigh[1] = -10, p.knee[1] = 12;
      // Push the blade in (0-0.35), lever the earth up (0.35-0.7), swing it aside (0.7-1).
      const float push = Envelope(t, 0.0f, 0.3f, 0.4f, 0.75f);
      const float lift = Envelope(t, 0.35f, 0.65f, 0.75f, 1.0f);
      p.lean = 18 + 18 * push - 10 * lift;
      for (int s = 0; s < 2; ++s) {
        p.arm[s] = 40 - 15 * push + 50 * lift;
        p.elbow[s] = 30 + 20 * push - 10 * lift;
        p.abd[s] = -16;
      }
      p.prop = Prop::Shovel, p.propTwoHands = true, p.propAngle = 28 - 10 * push + 60 * lift;
      p.headPitch = 14;
      break;
    }
    case Motion::Heave: {
      // Bends down to the basket, lifts it onto the head, and stands ready to go.
      HumanPose down = StandPose();
      down.lean = 48, down.thigh[0] = 30, down.knee[0] = 55, down.thigh[1] = 20, down.knee[1] = 45;
      for (int s = 0; s < 2; ++s) down.arm[s] = 48, down.elbow[s] = 5, down.abd[s] = 34;
      HumanPose top = HumanMotion(f, Motion::WalkLoad, 0.25f, 0);
      top.pelvisZ = 0;
      top.thigh[0] = 2, top.thigh[1] = -2, top.knee[0] = top.knee[1] = 4;
      const float k1 = Ease(t / 0.3f), k2 = Ease((t - 0.45f) / 0.4f);
      p = t < 0.45f ? Blend(StandPose(), down, k1) : Blend(down, top, k2);
      p.prop = Prop::Basket;
      break;
    }
    case Motion::Jump: {
      p = StandPose();
      const float crouch = Envelope(t, 0.0f, 0.2f, 0.25f, 0.4f) + Envelope(t, 0.75f, 0.85f, 0.88f, 1.0f);
      const float air = Envelope(t, 0.3f, 0.5f, 0.55f, 0.78f);
      for (int s = 0; s < 2; ++s) {
        p.thigh[s] = 35 * crouch + 10 * air, p.knee[s] = 70 * crouch + 25 * air;
        p.arm[s] = Mix(-20, 160, air), p.elbow[s] = 15, p.abd[s] = 25;
      }
      p.lean = 18 * crouch;
      p.lift = 6 * air;
      break;
    }
    case Motion::Twirl:
      p = StandPose();
      for (int s = 0; s < 2; ++s) p.arm[s] = 70, p.abd[s] = 70, p.elbow[s] = 10;
      p.spin = 360 * t;
      p.thigh[0] = 8 * std::sin(ph * 2), p.thigh[1] = -8 * std::sin(ph * 2);
      break;
    case Motion::GuardStand:
    case Motion::GuardLook:
    case Motion::GuardScratch:
    case Motion::GuardStretch: {
      // The base idle, then the spear upright in the right hand (the scratching hand is the left).
      const Motion base = m == Motion::GuardLook      ? Motion::LookAround
                          : m == Motion::GuardScratch ? Motion::Scratch
                          : m == Motion::GuardStretch ? Motion::Stretch
                                                      : Motion::Stand;
      p = HumanMotion(f, base, t, stride);
      if (m == Motion::GuardScratch) {
        std::swap(p.arm[0], p.arm[1]), std::swap(p.elbow[0], p.elbow[1]), std::swap(p.abd[0], p.abd[1]);
        p.headRoll = -p.headRoll;
      }
      if (m == Motion::GuardStretch) {
        p.arm[1] = Mix(12, 60, Envelope(t, 0.0f, 0.35f, 0.65f, 1.0f)), p.elbow[1] = 78;
      } else {
        p.arm[1] = 12, p.elbow[1] = 78, p.abd[1] = 8;
      }
      p.prop = Prop::Spear, p.propAngle = 176;
      break;
    }
    case Motion::GuardRest:
    case Motion::AxeRest:
    case Motion::ShovelRest: {
      // Both hands on the top of the planted tool, weight on one leg, the head nodding slowly.
      p = StandPose();
      p.lean = 9 + 1.5f * std::sin(ph);
      p.thigh[0] = 9, p.knee[0] = 16, p.thigh[1] = -3;
      for (int s = 0; s < 2; ++s) p.arm[s] = 42, p.elbow[s] = 48, p.abd[s] = -18;
      p.headPitch = 10 + 6 * std::sin(ph);
      p.breathe = std::sin(2 * ph);
      p.prop = m == Motion::GuardRest ? Prop::Spear : m == Motion::AxeRest ? Prop::Axe : Prop::Shovel;
      p.propPlanted = true;
      break;
    }
    case Motion::HammerRest:
      // The hammer on the shoulder, the other hand on the hip, looking round now and then.
      p = StandPose();
      p.arm[1] = 40, p.elbow[1] = 112, p.abd[1] = 14;
      p.arm[0] = -18, p.elbow[0] = 105, p.abd[0] = 38;
      p.prop = Prop::Hammer, p.propAngle = 185;
      p.headYaw = 24 * std::sin(ph);
      p.breathe = std::sin(ph);
      break;
    case Motion::Crawl: {
      // On all fours: the torso leans far forward, the arms reach down to the ground.
      p.lean = 70;
      p.thigh[0] = 6 + 16 * std::sin(ph), p.thigh[1] = 6 - 16 * std::sin(ph);
      p.knee[0] = p.knee[1] = 92;
      p.spread[0] = p.spread[1] = 12;
      p.arm[0] = 66 - 16 * std::sin(ph), p.arm[1] = 66 + 16 * std::sin(ph);
      p.elbow[0] = p.elbow[1] = 4, p.abd[0] = p.abd[1] = 6;
      p.headPitch = -58;
      break;
    }
    case Motion::BabySit:
      p = BabySitPose();
      p.headYaw = 35 * std::sin(ph);
      p.arm[0] = 30 + 20 * std::sin(ph), p.arm[1] = 30 - 20 * std::sin(ph);
      break;
    case Motion::BabyClap:
      p = BabySitPose();
      for (int s = 0; s < 2; ++s)
        p.arm[s] = 70, p.elbow[s] = 40, p.abd[s] = -10 + 30 * std::fabs(std::sin(ph * 2));
      p.headPitch = -10;
      break;
    case Motion::BabyCry:
      p = BabySitPose();
      p.headPitch = -22 + 6 * std::sin(ph * 3);
      for (int s = 0; s < 2; ++s) p.arm[s] = 90 + 50 * std::sin(ph * 2 + s * kPi), p.abd[s] = 30;
      p.thigh[0] = 80 + 10 * std::sin(ph * 2), p.thigh[1] = 80 - 10 * std::sin(ph * 2);
      break;
    default:
      p = StandPose();
      break;
  }
  return p;
}

// ---- animals ---------------------------------------------------------------------------------------------

// The sheep's hooves in its own frame (x forward): under the body when standing; in a walk the
// diagonal pairs (front left and hind right, front right and hind left) take turns on the ground.
std::array<Vec3, 4> SheepHooves(const FigureRender& w) {
  std::array<Vec3, 4> out;
  const float length = w.stepLength > 0 ? w.stepLength : 4.0f;
  for (int i = 0; i < 4; ++i) {
    const float fx = i < 2 ? 4.6f : -4.4f;
    const float sy = (i % 2 == 0) ? 2.3f : -2.3f;
    float x = 0, lift = 0;
    if (w.motion == Motion::Walk)
      FootInCycle(w.phase + ((i == 0 || i == 3) ? 0.0f : 0.5f), length, &x, &lift);
    out[size_t(i)] = V(fx + x, sy, 0.2f + 1.6f * lift);
  }
  return out;
}

void DrawSheep(ShapeRenderer& r, const FigureRender& w) {
  const bool nude = w.figure == Figure::SheepNude;
  const float ph = 2 * kPi * w.phase;
  float headPitch = 0, headYaw = 0, bob = 0, mouth = 0;
  switch (w.motion) {
    case Motion::Walk:
      bob = 0.5f * std::fabs(std::cos(ph));
      headPitch = 4 * std::sin(2 * ph);
      break;
    case Motion::Graze:
      headPitch = 58 + 6 * std::sin(ph * 2);
      headYaw = 10 * std::sin(ph);
      break;
    case Motion::LookUp:
      headPitch = -12 + 6 * std::sin(ph);
      headYaw = 40 * std::sin(ph);
      break;
    case Motion::Bleat:
      headPitch = -28 * Envelope(w.phase, 0.05f, 0.25f, 0.6f, 0.85f);
      mouth = Envelope(w.phase, 0.15f, 0.3f, 0.55f, 0.7f);
      break;
    default:
      break;
  }
  r.SetTransform(Transform::RotateZ(w.facing));
  const float bodyZ = 9.0f + bob;
  const int fleece = kWool;
  const Vec3 br = nude ? V(6.8f, 3.7f, 3.9f) : V(7.8f, 5.0f, 5.0f);
  // Legs: diagonal pairs step together, the planted hooves staying where they were put down.
  const std::array<Vec3, 4> hooves = SheepHooves(w);
  for (int i = 0; i < 4; ++i) {
    const Vec3 top = V(i < 2 ? 4.6f : -4.4f, hooves[size_t(i)].y, bodyZ - 2.0f);
    r.Pole(top, hooves[size_t(i)], 1.0f, kFur, 5);
    r.Ellipsoid(hooves[size_t(i)] + V(0.3f, 0, 0.3f), V(1.1f, 0.9f, 0.6f), kDark, 2, 5);
  }
  r.Ellipsoid(V(0, 0, bodyZ + 0.5f), br, fleece, 7, 12);
  if (!nude) {
    // Lumps of fleece break up the outline.
    r.Ellipsoid(V(3.5f, 0, bodyZ + 3.2f), V(3.6f, 3.8f, 2.8f), fleece, 4, 8);
    r.Ellipsoid(V(-3.8f, 0, bodyZ + 3.0f), V(3.8f, 3.9f, 2.9f), fleece, 4, 8);
    r.Ellipsoid(V(-7.4f, 0, bodyZ + 1.6f), V(1.6f, 1.5f, 1.6f), fleece, 3, 6);
  } else {
    r.Ellipsoid(V(-6.7f, 0, bodyZ + 1.2f), V(1.3f, 0.9f, 1.0f), fleece, 3, 6);
  }
  // Neck and head.
  const Transform head = Transform::RotateY(headPitch)
                             .Then(Transform::RotateZ(headYaw))
                             .Then(Transform::Translate(V(br.x - 0.6f, 0, bodyZ + 2.2f)))
                             .Then(Transform::RotateZ(w.facing));
  r.SetTransform(head);
  r.Pole(V(-1.0f, 0, -0.5f), V(2.6f, 0, 1.0f), 1.9f, nude ? fleece : kFur, 6);
  r.Ellipsoid(V(3.6f, 0, 0.8f), V(2.8f, 1.8f, 2.0f), kFur, 5, 8);
  r.Ellipsoid(V(5.4f, 0, 0.0f - mouth * 0.5f), V(1.2f, 1.3f, 1.0f), kFur, 3, 6);
  for (float side : {-1.0f, 1.0f}) r.Ellipsoid(V(2.6f, side * 2.3f, 1.8f), V(1.0f, 1.4f, 0.5f), kFur, 3, 6);
  if (!nude) r.Ellipsoid(V(2.6f, 0, 2.4f), V(1.8f, 1.6f, 1.2f), fleece, 3, 6);
  r.SetTransform(Transform::RotateZ(w.facing));
}

struct RabbitPose {
  float lift = 0, pitch = 0, headPitch = 0, stretch = 0, ear = 0, upright = 0;
  float shift = 0;  // the body's offset along its facing from the anchor
};

// A hop: in the air for the first half of the cycle, on the ground for the second. The scene moves
// the rabbit on at a steady pace, so on the ground its body slides back under the anchor by exactly
// that pace (its feet stay put) and in the air it catches up.
RabbitPose RabbitPoseOf(const FigureRender& w) {
  RabbitPose p;
  const float ph = 2 * kPi * w.phase;
  switch (w.motion) {
    case Motion::Hop: {
      const float u = w.phase - std::floor(w.phase);
      const float air = u < 0.5f ? std::sin(2 * kPi * u) : 0.0f;
      p.lift = 5.0f * air * w.stride;
      p.stretch = air;
      p.pitch = u < 0.5f ? -14 * std::sin(4 * kPi * u) : 0.0f;
      const float length = w.stepLength;
      p.shift = u < 0.5f ? length * (Ease(2 * u) - 0.5f) : length * (0.5f - 2 * (u - 0.5f));
      break;
    }
    case Motion::Nibble:
      p.headPitch = 30 + 8 * std::sin(ph * 3);
      p.ear = 10 * std::sin(ph);
      break;
    case Motion::SitUp:
      p.upright = Envelope(w.phase, 0.05f, 0.3f, 0.7f, 0.95f);
      p.ear = 12 * std::sin(ph * 2) * p.upright;
      p.headPitch = -10 * p.upright;
      break;
    default:
      break;
  }
  return p;
}

constexpr float kRabbitBodyZ = 3.6f;

Transform RabbitBody(const RabbitPose& p, float facing) {
  return Transform::RotateY(p.pitch - 55 * p.upright)
      .Then(Transform::Translate(V(p.shift, 0, kRabbitBodyZ + p.lift + 1.6f * p.upright)))
      .Then(Transform::RotateZ(facing));
}

// The centre of a hind foot (side +1 left, -1 right) in the body frame.
Vec3 RabbitHindFoot(const RabbitPose& p, float side) {
  const float reach = p.stretch * 2.5f;
  return V(-2.2f - reach, side * 1.6f, -2.6f + 0.2f * reach);
}

void DrawRabbit(ShapeRenderer& r, const FigureRender& w) {
  const RabbitPose pose = RabbitPoseOf(w);
  const float headPitch = pose.headPitch, stretch = pose.stretch, ear = pose.ear, upright = pose.upright;
  const Transform body = RabbitBody(pose, w.facing);
  r.SetTransform(body);
  r.Ellipsoid(V(0, 0, 0), V(4.0f + stretch, 2.5f, 2.8f), kFur, 6, 10);
  r.Ellipsoid(V(-1.8f, 1.7f, -0.8f), V(2.3f, 0.9f, 2.0f), kFur, 4, 6);
  r.Ellipsoid(V(-1.8f, -1.7f, -0.8f), V(2.3f, 0.9f, 2.0f), kFur, 4, 6);
  r.Ellipsoid(V(-4.2f - stretch, 0, 0.6f), V(1.2f, 1.2f, 1.2f), kWhite, 3, 6);
  // Hind feet and forelegs.
  const float reach = stretch * 2.5f;
  for (float side : {-1.0f, 1.0f}) {
    r.Ellipsoid(RabbitHindFoot(pose, side), V(2.0f, 0.8f, 0.6f), kFur, 3, 6);
    r.Pole(V(2.4f, side * 1.2f, -1.0f), V(2.8f + reach, side * 1.2f, -3.2f + upright * 1.5f), 0.6f, kFur, 4);
  }
  const Transform head = Transform::RotateY(headPitch + 55 * upright)
                             .Then(Transform::Translate(V(3.6f + stretch, 0, 2.2f)))
                             .Then(body);
  r.SetTransform(head);
  r.Ellipsoid(V(0.6f, 0, 0.3f), V(2.1f, 1.7f, 1.8f), kFur, 5, 8);
  r.Ellipsoid(V(2.5f, 0, -0.2f), V(0.6f, 0.6f, 0.5f), kWhite, 2, 5);
  for (float side : {-1.0f, 1.0f}) {
    const Transform e = Transform::RotateY(-28 + ear * side)
                            .Then(Transform::Translate(V(-0.4f, side * 0.8f, 1.6f)))
                            .Then(head);
    r.SetTransform(e);
    r.Ellipsoid(V(0, 0, 2.4f), V(0.8f, 0.5f, 2.6f), kFur, 4, 6);
  }
  r.SetTransform(Transform::RotateZ(w.facing));
}

// The stork flies at a height above its anchor; the bundle hangs from its beak.
constexpr float kStorkHeight = 34.0f;

// The stork standing on one leg, the other tucked up, wings folded; the neck and beak move with the
// idle.
void DrawStandingStork(ShapeRenderer& r, const FigureRender& w) {
  const float ph = 2 * kPi * w.phase;
  float neckX = 7.0f, neckZ = 9.5f, beakPitch = 20, headYaw = 0, open = 0;
  switch (w.motion) {
    case Motion::StorkPreen: {
      // The head goes round to the wing and back.
      const float k = Envelope(w.phase, 0.0f, 0.3f, 0.7f, 1.0f);
      neckX = Mix(7.0f, 1.0f, k), neckZ = Mix(9.5f, 3.5f, k);
      headYaw = 150 * k + 10 * std::sin(ph * 4) * k;
      beakPitch = Mix(20, 55, k);
      break;
    }
    case Motion::StorkClatter: {
      // Head thrown back, beak up, clattering.
      const float k = Envelope(w.phase, 0.0f, 0.25f, 0.75f, 1.0f);
      neckX = Mix(7.0f, 2.0f, k), neckZ = Mix(9.5f, 11.0f, k);
      beakPitch = Mix(20, -75, k);
      open = k * (0.5f + 0.5f * std::sin(ph * 6));
      break;
    }
    default:
      headYaw = 35 * std::sin(ph);
      break;
  }
  const float breathe = 0.25f * std::sin(ph * 2);
  const Transform facing = Transform::RotateZ(w.facing);
  const Transform body =
      Transform::Scale(1.3f, 1.3f, 1.3f).Then(Transform::Translate(V(0, 0, 20.8f + breathe))).Then(facing);
  r.SetTransform(body);
  // Standing leg to the ground, the other folded under the body.
  r.Pole(V(0.2f, -0.9f, -2.2f), V(0.4f, -1.0f, -16.0f), 0.45f, kBeak, 4);
  r.Pole(V(0.2f, 0.9f, -2.2f), V(2.6f, 1.0f, -8.5f), 0.45f, kBeak, 4);
  r.Pole(V(2.6f, 1.0f, -8.5f), V(0.2f, 1.0f, -4.0f), 0.45f, kBeak, 4);
  r.Ellipsoid(V(0, 0, 0), V(6.2f, 3.0f, 3.2f), kWhite, 6, 10);
  // Folded wings: white coverts, black flight feathers along the back to the tail.
  for (float side : {-1.0f, 1.0f}) {
    r.Ellipsoid(V(0.5f, side * 2.4f, 0.9f), V(4.2f, 0.9f, 2.2f), kWhite, 4, 8);
    r.Ellipsoid(V(-3.6f, side * 2.2f, 0.7f), V(4.0f, 0.9f, 1.9f), kDark, 4, 8);
  }
  r.Ellipsoid(V(-6.3f, 0, 0.4f), V(2.6f, 2.0f, 0.8f), kDark, 3, 6);
  // Neck and head.
  r.Pole(V(4.6f, 0, 1.0f), V(neckX, 0, neckZ), 1.2f, kWhite, 6);
  const Transform head = Transform::RotateY(beakPitch)
                             .Then(Transform::RotateZ(headYaw))
                             .Then(Transform::Translate(V(neckX + 0.4f, 0, neckZ + 0.6f)))
                             .Then(body);
  r.SetTransform(head);
  r.Ellipsoid(V(0, 0, 0), V(1.8f, 1.5f, 1.6f), kWhite, 4, 6);
  r.Pole(V(1.4f, 0, 0.2f + open * 0.4f), V(8.0f, 0, 0.1f + open * 0.9f), 0.5f, kBeak, 4);
  r.Pole(V(1.4f, 0, -0.2f - open * 0.4f), V(7.6f, 0, -0.3f - open * 0.9f), 0.45f, kBeak, 4);
  r.SetTransform(facing);
}

void DrawStork(ShapeRenderer& r, const FigureRender& w) {
  if (w.motion == Motion::StorkStand || w.motion == Motion::StorkPreen || w.motion == Motion::StorkClatter) {
    DrawStandingStork(r, w);
    return;
  }
  const float ph = 2 * kPi * w.phase;
  const float flap = std::sin(ph);                // -1 down .. 1 up
  const float bob = -1.2f * std::sin(ph + 0.8f);  // the body rises on the down stroke
  const Transform body = Transform::Scale(1.3f, 1.3f, 1.3f)
                             .Then(Transform::Translate(V(0, 0, kStorkHeight + bob)))
                             .Then(Transform::RotateZ(w.facing));
  r.SetTransform(body);
  r.Ellipsoid(V(0, 0, 0), V(6.5f, 3.0f, 3.1f), kWhite, 6, 10);
  r.Ellipsoid(V(-6.5f, 0, 0.2f), V(3.2f, 2.4f, 0.9f), kWhite, 3, 6);
  r.Pole(V(5.0f, 0, 0.6f), V(10.0f, 0, 2.2f), 1.2f, kWhite, 6);
  r.Ellipsoid(V(11.0f, 0, 2.4f), V(1.8f, 1.5f, 1.6f), kWhite, 4, 6);
  r.Pole(V(12.4f, 0, 2.2f), V(19.5f, 0, 0.6f), 0.55f, kBeak, 4);
  for (float side : {-1.0f, 1.0f})
    r.Pole(V(-4.0f, side * 0.9f, -1.4f), V(-14.0f, side * 0.9f, -2.6f), 0.45f, kBeak, 4);
  // Wings: white coverts in front, black flight feathers behind and at the tips, hinged at the body
  // and bent at the wrist.
  for (float side : {-1.0f, 1.0f}) {
    const float a1 = Rad(38.0f * flap), a2 = Rad(58.0f * flap);
    const float in = 10.0f, out = 11.0f;
    auto span = [&](float x, float reach, float angle) {
      return V(x, side * reach * std::cos(angle), reach * std::sin(angle));
    };
    const Vec3 base = V(0, side * 2.4f, 1.0f);
    const Vec3 rootFront = base + V(4.0f, 0, 0), rootMid = base + V(-0.5f, 0, 0),
               rootBack = base + V(-4.5f, 0, 0);
    const Vec3 wristFront = base + span(3.0f, in, a1), wristMid = base + span(-1.0f, in, a1),
               wristBack = base + span(-5.0f, in, a1);
    const Vec3 tipFront = wristFront + span(-3.5f, out, a2),
               tipBack = wristFront + span(-7.5f, out * 0.9f, a2);
    r.Quad(rootFront, rootMid, wristMid, wristFront, kWhite);
    r.Quad(rootMid, rootBack, wristBack, wristMid, kDark);
    r.Quad(wristFront, wristBack, tipBack, tipFront, kDark);
  }
  if (w.motion == Motion::FlyCarry) {
    const Vec3 tip = V(17.5f, 0, 0.9f);
    r.Pole(tip, V(16.2f, 0.8f, -7.0f), 0.3f, kBundle, 3);
    r.Pole(tip, V(16.2f, -0.8f, -7.0f), 0.3f, kBundle, 3);
    r.Ellipsoid(V(16.0f, 0, -10.0f), V(3.0f, 2.6f, 3.2f), kBundle, 5, 8);
    r.Ellipsoid(V(16.4f, 0, -7.0f), V(1.8f, 1.8f, 1.7f), kSkin, 4, 6);
  }
  r.SetTransform(Transform::RotateZ(w.facing));
}

}  // namespace

float FacingOfDirection(int direction) {
  const float diag = std::atan2(1.0f / std::sin(Rad(38.0f)), 1.0f) * 180.0f / kPi;
  switch (direction) {
    case 0:
      return 0;
    case 1:
      return -diag;
    case 2:
      return 180 + diag;
    case 3:
      return 180;
    case 4:
      return 180 - diag;
    case 5:
      return diag;
    case 10:
      return 90;
    case 11:
      return 270;
    default:
      return 0;
  }
}

float StrideOfDirection(int direction) {
  switch (direction) {
    case 0:
    case 3:
      return 1.0f;
    case 10:
    case 11:
      return 1.25f;
    default:
      return 1.35f;
  }
}

float ModelStepOfDirection(int direction, float screenStep) {
  const float e = std::sin(Rad(38.0f));
  switch (direction) {
    case 0:
    case 3:
      return screenStep;
    case 10:
    case 11:
      return screenStep / e;
    default:
      return screenStep * std::sqrt(1.0f + 1.0f / (e * e));
  }
}

float LegLengthOf(Figure figure) {
  switch (figure) {
    case Figure::Man:
    case Figure::Woman:
    case Figure::Boy:
    case Figure::Girl:
      return (kThigh + kShin) * BuildOf(figure, Motion::Walk).s;
    case Figure::Sheep:
    case Figure::SheepNude:
      return 7.0f;
    case Figure::Rabbit:
      return 3.0f;
    default:
      return 0;
  }
}

std::vector<Vec3> FeetOf(const FigureRender& what) {
  std::vector<Vec3> feet;
  switch (what.figure) {
    case Figure::Sheep:
    case Figure::SheepNude: {
      const Transform facing = Transform::RotateZ(what.facing);
      for (const Vec3& h : SheepHooves(what)) feet.push_back(facing.Apply(h - V(0, 0, 0.2f)));
      break;
    }
    case Figure::Rabbit: {
      const RabbitPose p = RabbitPoseOf(what);
      const Transform body = RabbitBody(p, what.facing);
      const float rest = kRabbitBodyZ + RabbitHindFoot(RabbitPose{}, 1).z;
      for (float side : {1.0f, -1.0f}) feet.push_back(body.Apply(RabbitHindFoot(p, side)) - V(0, 0, rest));
      break;
    }
    case Figure::Man:
    case Figure::Woman:
    case Figure::Boy:
    case Figure::Girl: {
      const Build b = BuildOf(what.figure, what.motion);
      const HumanPose p = HumanMotion(what.figure, what.motion, what.phase, what.stepLength);
      const HumanFrames fr = ComputeFrames(b, p, what.facing);
      for (int side = 0; side < 2; ++side) {
        Vec3 hip, knee, ankle;
        LegJoints(b, p, fr, side, &hip, &knee, &ankle);
        feet.push_back(fr.world.Apply(ankle - V(0, 0, kAnkle * b.s)));
      }
      break;
    }
    default:
      break;
  }
  return feet;
}

void DrawFigure(ShapeRenderer& r, const FigureRender& what) {
  AddMaterials(r);
  switch (what.figure) {
    case Figure::Sheep:
    case Figure::SheepNude:
      DrawSheep(r, what);
      return;
    case Figure::Rabbit:
      DrawRabbit(r, what);
      return;
    case Figure::Stork:
      DrawStork(r, what);
      return;
    default:
      DrawHuman(r, what.figure, HumanMotion(what.figure, what.motion, what.phase, what.stepLength), what);
      return;
  }
}

void PaintEyes(const ShapeRenderer& r, const FigureRender& what, Sprite& picture) {
  switch (what.figure) {
    case Figure::Man:
    case Figure::Woman:
    case Figure::Boy:
    case Figure::Girl:
    case Figure::Baby:
      break;
    default:
      return;
  }
  const Build b = BuildOf(what.figure, what.motion);
  const HumanPose p = HumanMotion(what.figure, what.motion, what.phase, what.stepLength);
  const HumanFrames fr = ComputeFrames(b, p, what.facing);
  ShapeRenderer probe(r.Width(), r.Height(), picture.originX, picture.originY);
  probe.SetTransform(fr.head);
  const float k = b.head;
  const Vec3 toCamera = Normalize(V(0, -std::cos(Rad(38.0f)), std::sin(Rad(38.0f))));
  for (float side : {-1.0f, 1.0f}) {
    const Vec3 eye = V(3.2f * k, side * 1.45f * k, 0.5f * k);
    const Vec3 normal = Normalize(fr.head.ApplyDir(V(0.85f, side * 0.45f, 0.1f)));
    if (Dot(normal, toCamera) < 0.12f) continue;
    float sx, sy, depth;
    probe.Project(eye, sx, sy, depth);
    const int x = int(std::floor(sx)), y = int(std::floor(sy));
    if (!picture.Inside(x, y) || r.MaterialAt(x, y) != kFace) continue;
    picture.Set(x, y, CreatureColour(kSlotFixed, kFixedEye));
  }
}

}  // namespace tlworld
