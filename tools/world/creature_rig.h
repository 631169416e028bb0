// The articulated figures of the demo world's creatures and their motions.
//
// A figure is a small rig of simple shapes (ellipsoids for heads, bodies and fleece, poles for limbs
// and tools) placed by joint angles. A motion is a function from the phase of its cycle (0..1) to a
// pose; rendering a motion at n evenly spaced phases gives the n frames of a looping animation. The
// same pose is drawn in every walking direction by turning the model about its vertical axis.
//
// Humans are built in layers, as the creature libraries store them: the body (with arms, legs and
// tools) and, drawn over it, one head, and at most one of hair, cap, scout hat or helmet. Every
// layer is drawn together with the body so that the body's nearer parts (a raised arm) hide it.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/world/shape_render.h"

namespace tlworld {

enum class Figure { Man, Woman, Boy, Girl, Baby, Sheep, SheepNude, Rabbit, Stork };

enum class Motion {
  // people
  Walk,
  WalkAxe,     // axe over the shoulder
  WalkShovel,  // shovel over the shoulder
  WalkStaff,   // a shepherd's staff
  March,       // soldier with a spear
  WalkLog,     // a log on the shoulder
  WalkLoad,    // a basket of clay on the shoulder
  Stand,
  LookAround,
  LookShade,  // shading the eyes with a hand, looking into the distance
  Talk,
  Scratch,  // scratching the head
  Sit,      // sits down on the ground, rests, gets up again
  Stretch,
  Wave,
  Pray,   // kneels with folded hands
  Sleep,  // lies on the ground and snores
  Hammer,
  Chop,
  Dig,
  Heave,  // lifts the basket of clay onto the shoulder
  Jump,   // children
  Twirl,
  // soldiers standing idle in uniform with the spear: at ease, looking round, scratching with the free
  // hand, stretching, and resting on the planted spear
  GuardStand,
  GuardLook,
  GuardScratch,
  GuardStretch,
  GuardRest,
  // workers resting on their tools: the hammer on the shoulder, the axe and the shovel planted
  HammerRest,
  AxeRest,
  ShovelRest,
  // babies
  Crawl,
  BabySit,
  BabyClap,
  BabyCry,
  // animals
  Graze,
  LookUp,
  Bleat,
  Hop,  // rabbit walk
  Nibble,
  SitUp,
  Fly,
  FlyCarry,  // the stork with the baby's bundle
  // the stork on the ground: standing on one leg, preening its wing, clattering with its head back
  StorkStand,
  StorkPreen,
  StorkClatter,
};

// Which piece of a layered human a render produces.
enum class Layer { Body, Head, Hair, Cap, Scout, Helmet };

struct LayerChoice {
  Layer layer = Layer::Body;
  int variant = 0;  // head 0..5, hair 0..1, helmet 0..2
};

// Model facing (degrees, counter-clockwise from east seen from above) of a walking direction code:
// 0 E, 1 SE, 2 SW, 3 W, 4 NW, 5 NE, 10 N, 11 S. The diagonals follow the screen diagonals, which are
// steeper in the model because the camera looks down at an angle.
float FacingOfDirection(int direction);

// Stride scale of a walking direction, so that feet keep up with the faster diagonal movement (the
// rabbit's hop).
float StrideOfDirection(int direction);

// Distance in model units a walker covers in one frame in `direction` when the walk data's step is
// `screenStep` pixels per frame: the scene director moves it by the step on both screen axes, and the
// camera's tilt shortens the model's y axis on the screen.
float ModelStepOfDirection(int direction, float screenStep);

// Draws `figure` in `motion` at `phase` (0..1) facing `facing` degrees. `head` is the head layer
// drawn with the body, when `withHead`; `extra` adds one more layer (hair, cap, scout, helmet) or
// Layer::Body for none. Sets the renderer's materials itself (call on a fresh renderer).
struct FigureRender {
  Figure figure = Figure::Man;
  Motion motion = Motion::Stand;
  float phase = 0;
  float facing = 0;
  float stride = 1;      // the rabbit's hop: stride scale of the direction
  float stepLength = 0;  // walks and hops: how far a planted foot travels under the body
                         // in one step (model units; 0 = a middle length)
  bool withHead = true;
  int head = 0;
  LayerChoice extra;
};
void DrawFigure(ShapeRenderer& renderer, const FigureRender& what);

// Length of a leg of the figures that walk or hop on planted feet (people, sheep, rabbits); 0 for the
// others.
float LegLengthOf(Figure figure);

// Where the feet of people, the hooves of sheep and the hind feet of rabbits touch the ground, in model
// coordinates relative to the anchor: z is 0 while a foot is planted and above 0 while it is in the air (up
// to kFootOnGround counts as on the ground). Empty for other figures.
constexpr float kFootOnGround = 0.05f;
std::vector<Vec3> FeetOf(const FigureRender& what);

// Paints the eyes of a human whose head was drawn by DrawFigure into `picture` (the renderer's
// Picture()), where the face is visible.
void PaintEyes(const ShapeRenderer& renderer, const FigureRender& what, Sprite& picture);

}  // namespace tlworld
