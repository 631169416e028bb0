// The scenery of the demo world as pixel art: the background tile, logos, buildings that rise in
// stages, flowers, trees and their fall, the clay pit, monuments and the pages of the intro and text
// phases. Every function is deterministic.
#pragma once

#include <string>
#include <vector>

#include "tools/world/shape_render.h"

namespace tlworld {

// A picture with its level mask of the same geometry. In `mask`, 0 means "no pixel" and 1..254 the
// level at which the pixel appears while a dissolve's threshold grows (255 is never used here).
struct MaskedSprite {
  Sprite picture;
  Sprite mask;
};

// A building as the layered object of the scenes: layer 1 (foundation and scaffold), layer 2 (walls),
// main (the finished building), each with its level mask; the shadow bob (1 = darkened) and the
// layer shadow mask (levels, so that the shadow grows with the building).
struct LayeredBuilding {
  MaskedSprite layer1, layer2, main;
  Sprite shadow;
  Sprite shadowMask;
};

// A picture with its cast shadow (1 = darkened).
struct ShadowedSprite {
  Sprite picture;
  Sprite shadow;
};

inline constexpr int kTileSize = 512;

Sprite GrassTile();
// Corner logos: 1 lower left, 2 lower right on screens up to 800 wide, 3 lower right on wider ones.
ShadowedSprite CornerLogo(int number);
LayeredBuilding SmallBuilding();
LayeredBuilding LargeBuilding();
// Flower `i` of 0..10: a small sprig (the pictures of the village), and a bed of them, what the
// flower scene plants (bobs 20..30), big enough to read as flowers on a large screen.
ShadowedSprite Flower(int i);
ShadowedSprite FlowerBed(int i);
// 31 sapling, 32 young tree, 33 fellable tree, 34 fir; 35..42 the fall of 33; 43 the fallen tree
// (its offsets already contain the +40 that compensates the scene's y -= 40).
ShadowedSprite TreeBob(int number);
MaskedSprite ClayPit();
MaskedSprite BigLogo();
MaskedSprite Monument(int which);  // 0 or 1
Sprite TextPage();                 // 320 x 300, origin top left
Sprite Backdrop();                 // 640 x 480, origin top left
// The logo picture (at most 320 x 300) in screen palette indices.
Sprite LogoPicture();
// A small rendered scene of the world, `width` x `height`, in screen palette indices.
Sprite PreviewScene(int width, int height);

// The round tree emblem of the logos and icons, `size` x `size`.
Sprite Emblem(int size);

// Lettering: text of `pixelSize` in a light-to-dark fill ramp with a dark outline.
Sprite Lettering(const std::string& text, int pixelSize, const Ramp& fill, uint8_t outline);

}  // namespace tlworld
