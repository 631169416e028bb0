// tillands-assets cdf: show the binary cache of the animation descriptions (z_animation_descriptions.cdf).
#include <cstdio>
#include <string>
#include <vector>

#include "base/xb_file.h"
#include "tools/assets/command.h"

namespace {

int RunCdf(int argc, char** argv);

const AssetCommand cdfCommand{
    "cdf", "dump the animation description cache (z_animation_descriptions.cdf)",
    "usage: tillands-assets cdf dump FILE\n"
    "\n"
    "Prints every cached animation description in id order: name, mode, speed, ticks per frame,\n"
    "frames with their bob numbers, replays, directions, shadow bob offset, carried-good colour\n"
    "windows, the bob libraries of its 15 layers, its events and its event sound. Nothing is loaded\n"
    "besides the file itself.\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, 2 a missing or damaged file.\n",
    &RunCdf};

const char* const kLayerNames[15] = {"body",  "head0",   "head1",   "head2",   "head3",
                                     "head4", "head5",   "hairs0",  "hairs1",  "cap",
                                     "scout", "helmet0", "helmet1", "helmet2", "shadow"};

std::string Id(uint16_t id) {
  return id == 0xFFFF ? "none" : std::to_string(id);
}

int RunCdf(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "dump") return PrintUsage(cdfCommand, 1);
  const char* what = "tillands-assets cdf";
  XB_FILE file(argv[2], true);
  file.RequireRemaining(4, what);
  uint32_t count = file.ReadU32();
  file.RequireRemaining(static_cast<uint64_t>(count) * 86, what);
  std::printf("%u animation descriptions\n", count);
  for (uint32_t i = 0; i < count; ++i) {
    char name[51] = {};
    file.RequireRemaining(70, what);
    file.Read(name, 50);
    uint16_t mode = file.ReadU16(), speed = file.ReadU16(), ticks = file.ReadU16(), frames = file.ReadU16();
    uint8_t replays = file.ReadU8();
    file.ReadU8();
    uint16_t events = file.ReadU16();
    uint8_t startDirection = file.ReadU8(), endDirection = file.ReadU8();
    uint16_t shadowOffset = file.ReadU16(), carry1 = file.ReadU16(), carry2 = file.ReadU16();
    std::printf(
        "[%u] %s\n  mode %u  speed %u  ticks/frame %u  replays %u  directions %u -> %u  shadow offset %u\n"
        "  carried-good colours %s %s\n",
        i, name, mode, speed, ticks, replays, startDirection, endDirection, shadowOffset, Id(carry1).c_str(),
        Id(carry2).c_str());
    std::string libraries;
    for (int layer = 0; layer < 15; ++layer) {
      file.RequireRemaining(1, what);
      if (!file.ReadU8()) continue;
      file.RequireRemaining(1, what);
      uint32_t length = file.ReadU8();
      file.RequireRemaining(length + 1, what);
      std::vector<char> text(length + 1);
      file.Read(text.data(), length + 1);
      libraries += std::string("  ") + kLayerNames[layer] + "=" + std::string(text.data(), length);
    }
    std::printf("  libraries%s\n", libraries.empty() ? " (none)" : libraries.c_str());
    file.RequireRemaining(static_cast<uint64_t>(frames) * 2, what);
    std::printf("  frames %u:", frames);
    for (uint32_t f = 0; f < frames; ++f) std::printf(" %u", file.ReadU16());
    std::printf("\n");
    file.RequireRemaining(static_cast<uint64_t>(events) * 6 + 1, what);
    for (uint32_t e = 0; e < events; ++e) {
      uint16_t frame = file.ReadU16(), code = file.ReadU16(), value = file.ReadU16();
      std::printf("  event frame %u code %u value %u\n", frame, code, value);
    }
    if (file.ReadU8()) {
      file.RequireRemaining(1, what);
      uint32_t length = file.ReadU8();
      file.RequireRemaining(length, what);
      std::vector<char> text(length + 1, 0);
      file.Read(text.data(), length);
      std::printf("  event sound \"%s\"\n", text.data());
    }
  }
  if (file.Remaining() != 0)
    std::printf("note: %lld bytes after the last description\n", static_cast<long long>(file.Remaining()));
  return 0;
}

}  // namespace
