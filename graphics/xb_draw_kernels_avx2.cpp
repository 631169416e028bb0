// The AVX2 drawing kernels (most x86-64 processors since 2013). Compiled
// with -mavx2; called only after the processor said it has it.
#include "graphics/xb_draw_kernels.h"

#if defined(TL_DRAW_X86) && defined(__AVX2__)

#define TL_SIMD_AVX2 1
#include "graphics/xb_draw_kernels_simd.inc"

namespace {
const XB_DRAW_KERNELS kKernels = {"avx2",   MapSpan,  MapSpanWhere, CopySpanWhere,
                                  DrawRows, MaskPass, LevelPass};
}  // namespace

const XB_DRAW_KERNELS* XB_Avx2DrawKernels() {
  return &kKernels;
}

#elif defined(TL_DRAW_X86)

const XB_DRAW_KERNELS* XB_Avx2DrawKernels() {
  return nullptr;  // a compiler without that instruction set
}

#endif
