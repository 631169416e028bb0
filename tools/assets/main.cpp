// tillands-assets: the asset toolkit for the data directory the screensaver animates.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "base/xb_error.h"
#include "graphics/graphics_storables.h"
#include "tools/assets/command.h"

namespace {
std::map<std::string, const AssetCommand*>& Registry() {
  static std::map<std::string, const AssetCommand*> registry;
  return registry;
}

int PrintOverview(FILE* out, int status) {
  std::fprintf(out,
               "tillands-assets - the asset toolkit of the Tillands screensaver\n\n"
               "usage: tillands-assets COMMAND [ARGS...]\n"
               "       tillands-assets COMMAND --help\n\n"
               "commands:\n");
  for (const auto& [name, command] : Registry())
    std::fprintf(out, "  %-12s %s\n", name.c_str(), command->summary);
  return status;
}
}  // namespace

AssetCommand::AssetCommand(const char* n, const char* s, const char* u, int (*r)(int, char**))
    : name(n), summary(s), usage(u), run(r) {
  Registry()[n] = this;
}

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) return true;
  return false;
}

int PrintUsage(const AssetCommand& command, int status) {
  std::fprintf(status == 0 ? stdout : stderr, "%s", command.usage);
  return status;
}

int main(int argc, char** argv) {
  // A damaged data file ends the tool with a message and status 2, never with a core dump.
  XB_SetFatalMode(XB_FatalMode::Exit2);
  RegisterGraphicsStorables();
  if (argc < 2) return PrintOverview(stderr, 1);
  if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0 ||
      std::strcmp(argv[1], "help") == 0)
    return PrintOverview(stdout, 0);
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) {
    std::fprintf(stderr, "tillands-assets: unknown command '%s'\n\n", argv[1]);
    return PrintOverview(stderr, 1);
  }
  if (WantsHelp(argc - 1, argv + 1)) return PrintUsage(*it->second, 0);
  return it->second->run(argc - 1, argv + 1);
}
