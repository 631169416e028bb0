// Bob authoring: turns pixels into the run-length bobs of a bob library, builds libraries (.bmd) and
// fonts. The inverse of drawing: whatever is encoded here draws back exactly.
//
//   BobLibraryBuilder builder(0);                          // first bob number
//   builder.AddPacked(0, sprite, /*key*/ 0, -20, -58);     // 8-bit bitmap, key index transparent
//   builder.AddShadow(1, shadowCoverage, -20, -10);        // non-zero coverage = darkened
//   builder.AddMask(2, levels, -20, -58);                  // level 255 = transparent
//   builder.SaveBmd("out.bmd");                            // or Build() -> XB_BOB_MANAGER*
//
// Limits of the format are refused with a fatal error that says what is wrong: a bob wider than
// 1023 columns, pixel data of a library beyond 4 MiB, input bitmaps that are not 8-bit.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class XB_BITMAP;
class XB_BOB_MANAGER;
class XB_FONT;

constexpr int32_t kMaxAuthoredBobWidth = 1023;

// One encoded bob: its entry values and its rows, with offsets relative to its own data.
struct EncodedBob {
  uint16_t kind = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> rows;  // XB_BOB_EMPTY_ROW or (start column << 22) | offset into data
  std::vector<uint8_t> data;
};

// Packed bob from an 8-bit bitmap: pixels equal to `key` are transparent.
EncodedBob EncodePackedBob(const XB_BITMAP& pixels, uint8_t key);
// Packed bob from an 8-bit bitmap where `coverage` (8-bit, same size) is non-zero; every index,
// including 0, can then be opaque.
EncodedBob EncodePackedBobCovered(const XB_BITMAP& pixels, const XB_BITMAP& coverage);
// Shadow bob: the non-zero pixels of an 8-bit coverage bitmap are darkened.
EncodedBob EncodeShadowBob(const XB_BITMAP& coverage);
// Level mask from an 8-bit bitmap of levels 0-255; 255 is transparent.
EncodedBob EncodeLevelMask(const XB_BITMAP& levels);

// The inverse, for tools and tests: the bob's pixels as an 8-bit bitmap of its size. Packed bobs
// give their indices with `background` where transparent; shadow bobs give 255 where darkened and
// `background` elsewhere; level masks give their levels with 255 where transparent.
XB_BITMAP* DecodeBob(const XB_BOB_MANAGER& library, uint32_t number, uint8_t background);
// Null from either when the number holds no bob.
// Coverage of a packed bob (255 opaque, 0 transparent), so that index-0 pixels survive a round trip.
XB_BITMAP* DecodeBobCoverage(const XB_BOB_MANAGER& library, uint32_t number);

class BobLibraryBuilder {
 public:
  explicit BobLibraryBuilder(uint32_t firstIndex = 0) : firstIndex_(firstIndex) {}

  // Each Add places a bob at `number` (>= first index); numbers not given stay kind-0 gaps.
  // Adding the same number twice replaces the bob.
  void Add(uint32_t number, EncodedBob bob, int32_t offsetX = 0, int32_t offsetY = 0);
  void AddPacked(uint32_t number, const XB_BITMAP& pixels, uint8_t key, int32_t offsetX = 0,
                 int32_t offsetY = 0);
  void AddPackedCovered(uint32_t number, const XB_BITMAP& pixels, const XB_BITMAP& coverage,
                        int32_t offsetX = 0, int32_t offsetY = 0);
  void AddShadow(uint32_t number, const XB_BITMAP& coverage, int32_t offsetX = 0, int32_t offsetY = 0);
  void AddMask(uint32_t number, const XB_BITMAP& levels, int32_t offsetX = 0, int32_t offsetY = 0);
  // Reserves numbers up to `number` as kind-0 entries (a library may end in gaps).
  void ReserveUpTo(uint32_t number);

  uint32_t GetFirstIndex() const { return firstIndex_; }
  uint32_t GetCount() const;  // entries from the first index to the highest number used
  bool Has(uint32_t number) const { return bobs_.count(number) != 0; }

  // A new library (owned by the caller). Pixel data over 4 MiB is a fatal error.
  XB_BOB_MANAGER* Build() const;
  // Builds and writes the .bmd; false when the file cannot be created.
  bool SaveBmd(const char* path) const;

 private:
  struct Placed {
    EncodedBob bob;
    int32_t x = 0;
    int32_t y = 0;
  };
  uint32_t firstIndex_;
  uint32_t reservedEnd_ = 0;  // one past the highest reserved number (0 = none)
  std::map<uint32_t, Placed> bobs_;
};

// Glyph bitmaps to a font: the glyph of character code k becomes bob k - 32 of the font's library.
class FontBuilder {
 public:
  explicit FontBuilder(uint16_t lineHeight) : lineHeight_(lineHeight) {}
  // An 8-bit glyph bitmap with `key` transparent, drawn at (cursor + offsetX, cursor + offsetY).
  void AddGlyph(uint8_t code, const XB_BITMAP& glyph, uint8_t key, int32_t offsetX = 0, int32_t offsetY = 0);
  XB_FONT* Build() const;
  bool SaveFnt(const char* path) const;

 private:
  uint16_t lineHeight_;
  BobLibraryBuilder glyphs_{0};
};
