// The pixel kernels of the 8-bit bob drawing: byte spans mapped through a 256-entry table, and the
// walk of a whole unclipped bob's run-length rows. Every kernel has a plain C++ version; vector sets
// (SSSE3, AVX2, AVX-512) are built into x86-64 programs, and the best one the processor runs is chosen
// once at start. All sets write the same bytes (tests compare them), so frames never depend on the
// machine. The environment variable "TILLANDS_DRAW_KERNELS" (plain, sse, avx2, avx512) forces a set,
// for tests, benchmarks and bug reports.
#pragma once

#include <cstddef>
#include <cstdint>

// A 256-entry table made ready for the lookups of every set, once per draw rather than once per run
// (a draw through a mask maps hundreds of short runs through the same table). The vector sets read
// the table's difference from the identity (table[i] ^ i) as sixteen rows of 16 entries; `xorRows`
// holds each row exclusive-ored with the row before it (rows 0 and 8 as they are). A table that
// changes a few colours has few such rows that are not all zero, and the vector sets then visit only
// those: `fewRows` of them (-1 when more than XB_LOOKUP_FEW_ROWS), listed in `rows`, the first
// `fewLower` of them in the lower half (rows 0 to 7).
constexpr int XB_LOOKUP_FEW_ROWS = 6;
struct XB_LOOKUP {
  const uint8_t* table = nullptr;  // the entries themselves, as given (not owned)
  int8_t fewRows = -1;
  int8_t fewLower = 0;
  uint8_t rows[XB_LOOKUP_FEW_ROWS] = {};
  uint8_t xorRows[256];
};
// Prepares `lookup` for `table` (256 entries, which must outlive the lookup's use).
void XB_PrepareLookup(XB_LOOKUP& lookup, const uint8_t* table);

// d[k] = table[s[k]] for k < n; s may equal d (a shadow maps the bitmap in place).
using XB_MapSpanFn = void (*)(uint8_t* d, const uint8_t* s, int32_t n, const XB_LOOKUP& table);
// d[k] = table[s[k]] where pass[k] is 0xFF, unchanged where it is 0 (s and d never overlap).
using XB_MapSpanWhereFn = void (*)(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n,
                                   const XB_LOOKUP& table);
// d[k] = s[k] where pass[k] is 0xFF, unchanged where it is 0 (a draw through identity tables).
using XB_CopySpanWhereFn = void (*)(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n);

// What a row walk does with each counted run of a packed or shadow row.
enum XB_ROW_OP : int {
  XB_ROW_COPY = 0,          // packed: copy the literal pixels
  XB_ROW_MAP = 1,           // packed: write table[pixel]
  XB_ROW_MAP_IN_PLACE = 2,  // shadow (no pixel bytes): the bitmap's pixel becomes table[pixel]
};
// Walks `rows` row descriptors (empty rows skipped). Row r starts at dst + r * pitch + x0 + its start
// column; nothing is clipped, so the caller guarantees that every run lies inside the bitmap. A copy
// reads no table (it may be null).
using XB_DrawRowsFn = void (*)(int op, const uint32_t* desc, int32_t rows, const uint8_t* bytes, uint8_t* dst,
                               ptrdiff_t pitch, int32_t x0, const XB_LOOKUP* table);

// Turns the runs of a level-mask row ((count, level) pairs ended by a count of 0) into pass bytes,
// starting with the run at column `col` (<= right) and going on to the end of the row or past column
// `right`: pass[c - col] = 0xFF for the columns of runs whose level is at most `threshold`, else 0.
// Bytes after the last run written may be overwritten too; nothing beyond XB_PASS_SLACK bytes after
// column `right` is touched. Row data is never read at or beyond `end`. Returns the column after the
// last run written (> right when the row goes on); *any becomes non-zero when some written column
// passes (a column right of `right` may count).
using XB_MaskPassFn = int32_t (*)(const uint8_t* runs, const uint8_t* end, int32_t col, int32_t right,
                                  uint8_t threshold, uint8_t* pass, uint64_t* any);
constexpr int32_t XB_PASS_SLACK = 320;

// pass[k] = 0xFF where level[k] <= threshold, else 0, for k < n (a row of a mask's decoded levels).
// Returns whether any byte passes.
using XB_LevelPassFn = bool (*)(const uint8_t* level, int32_t n, uint8_t threshold, uint8_t* pass);

struct XB_DRAW_KERNELS {
  const char* name;
  XB_MapSpanFn mapSpan;
  XB_MapSpanWhereFn mapSpanWhere;
  XB_CopySpanWhereFn copySpanWhere;
  XB_DrawRowsFn drawRows;
  XB_MaskPassFn maskPass;
  XB_LevelPassFn levelPass;
};

// Every set's name, slowest first; the list ends with a null pointer.
extern const char* const XB_DRAW_KERNEL_NAMES[];

const XB_DRAW_KERNELS& XB_PlainDrawKernels();
// The set of that name, or null when this build lacks it or this processor cannot run it.
const XB_DRAW_KERNELS* XB_FindDrawKernels(const char* name);
// The set the drawing uses: the one "TILLANDS_DRAW_KERNELS" names when it can run here, else the
// fastest one this processor runs. Chosen on first use.
const XB_DRAW_KERNELS& XB_ActiveDrawKernels();
// Makes the drawing use a set (tests and benchmarks draw with each; not thread-safe, call it between
// frames).
void XB_UseDrawKernels(const XB_DRAW_KERNELS& kernels);
