// What the two drawing benchmarks (bench_bob_drawing, draw_timing) share: the kernel sets they
// measure and the table of ratios they print, so that a figure on Linux and one under Wine are read
// the same way.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/xb_draw_kernels.h"

// Every set this processor runs, slowest first, or the one "TILLANDS_DRAW_KERNELS" names.
inline std::vector<const XB_DRAW_KERNELS*> KernelSetsToMeasure() {
  std::vector<const XB_DRAW_KERNELS*> sets;
  if (const char* wanted = std::getenv("TILLANDS_DRAW_KERNELS"); wanted && *wanted) {
    sets.push_back(&XB_ActiveDrawKernels());
  } else {
    for (int k = 0; XB_DRAW_KERNEL_NAMES[k]; ++k)
      if (const XB_DRAW_KERNELS* set = XB_FindDrawKernels(XB_DRAW_KERNEL_NAMES[k])) sets.push_back(set);
  }
  return sets;
}

// One sprite's times per draw in ns for one set (0: not measured); the peers are the same for every set.
struct DrawTimes {
  double plain = 0, remapped = 0, shadow = 0, mask = 0;
  double peer = 0, mappedPeer = 0;  // a colour-key blit, plainly and through a palette map
};

inline void PrintRatio(double ours, double other) {
  if (ours > 0 && other > 0)
    std::printf(" %10.2f", ours / other);
  else
    std::printf(" %10s", "-");
}

// Per set, a row per sprite: plain / peer (goal <= 1), remapped / mapped peer (goal <= 1), remapped /
// peer, shadow and mask / that set's plain draw (goals 2.5 and 8; the plain set's goals are 1.5 times
// those), then the times. `peer` and `mapped` name the peers' columns.
template <typename TimesOf>
void PrintDrawRatios(const std::vector<const XB_DRAW_KERNELS*>& sets, const std::vector<std::string>& sprites,
                     const char* peer, const char* mapped, TimesOf timesOf) {
  const std::string plainPeer = std::string("plain/") + peer, remapPeer = std::string("remap/") + peer,
                    remapMapped = std::string("remap/") + mapped, peerNs = std::string(peer) + " ns",
                    mappedNs = std::string(mapped) + " ns";
  for (const XB_DRAW_KERNELS* set : sets) {
    std::printf("\n[%s]\n%-11s %10s %10s %10s %10s %10s %9s %9s %9s %9s %9s %9s\n", set->name, "sprite",
                plainPeer.c_str(), remapMapped.c_str(), remapPeer.c_str(), "shadow/pln", "mask/plain",
                "plain ns", "remap ns", "shadow ns", "mask ns", peerNs.c_str(), mappedNs.c_str());
    for (const std::string& name : sprites) {
      const DrawTimes t = timesOf(set, name);
      if (t.plain <= 0) continue;  // a sprite left out of this run
      std::printf("%-11s", name.c_str());
      PrintRatio(t.plain, t.peer);
      PrintRatio(t.remapped, t.mappedPeer);
      PrintRatio(t.remapped, t.peer);
      PrintRatio(t.shadow, t.plain);
      PrintRatio(t.mask, t.plain);
      std::printf(" %9.0f %9.0f %9.0f %9.0f %9.0f %9.0f\n", t.plain, t.remapped, t.shadow, t.mask, t.peer,
                  t.mappedPeer);
    }
  }
}
