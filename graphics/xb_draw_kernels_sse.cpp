// The SSSE3 drawing kernels (every x86-64 processor of the last fifteen years has SSSE3). Compiled
// with -mssse3; called only after the processor said it has it.
#include "graphics/xb_draw_kernels.h"

#if defined(TL_DRAW_X86) && defined(__SSSE3__)

#include "graphics/xb_draw_kernels_simd.inc"

namespace {
const XB_DRAW_KERNELS kKernels = {"sse", MapSpan, MapSpanWhere, CopySpanWhere, DrawRows, MaskPass, LevelPass};
}  // namespace

const XB_DRAW_KERNELS* XB_SseDrawKernels() {
  return &kKernels;
}

#elif defined(TL_DRAW_X86)

const XB_DRAW_KERNELS* XB_SseDrawKernels() {
  return nullptr;  // a compiler without that instruction set
}

#endif
