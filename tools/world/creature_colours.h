// Colours of the demo world's creatures.
//
// Creature bobs do not hold screen colours: every pixel is a creature colour 16 x slot + shade, where
// the slot names what the pixel shows (skin, shirt, hair, ...) and the shade runs from 0 (lightest)
// to 15 (darkest). When an actor is dressed, its working palette is assembled from a base table
// ("civilian", "soldier", "animals") and weighted random 16-colour windows (the player colour sets),
// and matched to the screen palette. So one drawing shows many differently dressed villagers.
//
// Every colour of every table and window is an exact entry of the screen palette other than 0 and
// 255 (which the screen shows black), so no creature is ever drawn black by accident.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/world/shape_render.h"

namespace tlworld {

// What each 16-colour slot of a creature palette shows.
enum CreatureSlot : int {
  kSlotFixed = 0,     // eyes, mouth and other colours no colour set changes
  kSlotSkin = 1,      //
  kSlotHair = 2,      // hair, beards, eyebrows
  kSlotShirt = 3,     // shirts and blouses
  kSlotTrousers = 4,  //
  kSlotDress = 5,     // women's and girls' dresses
  kSlotApron = 6,     // aprons and shawls
  kSlotHat = 7,       // caps, the scout hat, the helmets' plumes
  kSlotMetal = 8,     // tool blades, helmets, spear points
  kSlotWood = 9,      // handles, staffs, logs
  kSlotLeather = 10,  // shoes, belts, baskets, clay
  kSlotUniform = 11,  // soldiers' tunics, babies' rompers
  kSlotWool = 12,     // fleece of the sheep
  kSlotFur = 13,      // rabbits, sheep faces and legs
  kSlotFeather = 14,  // the stork's plumage
  kSlotBeak = 15,     // the stork's beak and legs
};

// Fixed colours inside slot 0 (index 0 itself is never drawn).
enum : uint8_t {
  kFixedEye = 1,
  kFixedMouth = 2,
  kFixedWhite = 3,
  kFixedCheek = 4,
  kFixedOutline = 5,
  // The stork's bundle: a soft blue-white cloth in colours of its own, so no dressing can remap it.
  kFixedBundleLight = 6,
  kFixedBundle = 7,
  kFixedBundleShade = 8,
  kFixedBundleOutline = 10,
};

constexpr uint8_t CreatureColour(int slot, int shade) {
  return uint8_t(slot * 16 + shade);
}

// A colour table the creature colours need: a [RemapTable] section of remaptables.ini whose
// FileName is a PCX picture carrying `palette` (256 colours).
struct CreatureColourTable {
  std::string name;      // "civilian", "soldier", "animals", "creature_ramps_1", ...
  std::string fileName;  // the PCX file in ve_graphics\remaptables\ (lower case)
  std::array<Rgb, 256> palette{};
};

// A [RemapTable16] window: 16 colours of a table's palette from entry 16 x start.
struct CreatureColourWindow {
  std::string name;   // "skin_light", "cloth_red", ...
  std::string table;  // the table it looks into
  int start = 0;      // window start (its colours are palette entries 16 x start .. 16 x start + 15)
};

// The tables and windows the creature descriptions name; the creature part of the world adds them
// to remaptables.ini.
const std::vector<CreatureColourTable>& CreatureColourTables();
const std::vector<CreatureColourWindow>& CreatureColourWindows();

// The colours of one window (16 entries), by window name; empty when unknown.
std::vector<Rgb> CreatureWindowColours(const std::string& window);
// The palette of a base table by name; null when unknown.
const std::array<Rgb, 256>* CreatureTablePalette(const std::string& table);

// The text of x_random_remaps.ini: "Player_0_Color_Man" .. "Player_9_Color_Man" and the same for
// "Woman", each a set of weighted choices for skin, hair and clothes.
std::string CreatureRandomRemapsIni();

}  // namespace tlworld
