// tillands-assets: the asset toolkit for the data directory the screensaver animates.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "base/xb_error.h"
#include "base/xb_warning_groups.h"
#include "graphics/graphics_storables.h"
#include "shell/version.h"
#include "tools/assets/command.h"

namespace {
std::map<std::string, const AssetCommand*>& Registry() {
  static std::map<std::string, const AssetCommand*> registry;
  return registry;
}

int PrintOverview(FILE* out, int status) {
  std::fprintf(out,
               "tillands-assets - the asset toolkit of the Tillands screensaver\n\n"
               "usage: tillands-assets COMMAND [ARGS...] [--quiet]\n"
               "       tillands-assets COMMAND --help\n"
               "       tillands-assets --version\n\n"
               "Warnings go to standard error, the first few of each kind in full and a count of the rest\n"
               "at the end; --quiet (or -q) shows only the counts. Exit status of every command: 0 success,\n"
               "1 bad usage, a missing input or a failed check, 2 damaged data.\n\n"
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

XB_WARNING_GROUPS& ToolWarnings() {
  static XB_WARNING_GROUPS groups("tillands-assets");
  return groups;
}

int PrintUsage(const AssetCommand& command, int status) {
  std::fprintf(status == 0 ? stdout : stderr, "%s", command.usage);
  return status;
}

namespace {
// Runs the command, then the summary of the warnings that were grouped or silenced.
int RunCommand(const AssetCommand& command, int argc, char** argv) {
  const int status = command.run(argc, argv);
  ToolWarnings().PrintSummary();
  return status;
}
}  // namespace

int main(int argc, char** argv) {
  // A damaged data file ends the tool with a message and status 2, never with a core dump; messages
  // and warnings go to standard error in the tool's own name, so dumps on standard output stay clean.
  XB_SetFatalMode(XB_FatalMode::Exit2);
  XB_SetProgramName("tillands-assets");
  XB_RouteWarningsTo(&ToolWarnings());
  RegisterGraphicsStorables();
  // --quiet (anywhere) silences warnings; their count stays in the summary.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quiet") == 0 || std::strcmp(argv[i], "-q") == 0)
      ToolWarnings().SetQuiet(true);
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
  if (argc < 2) return PrintOverview(stderr, 1);
  if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0 ||
      std::strcmp(argv[1], "help") == 0)
    return PrintOverview(stdout, 0);
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("tillands-assets %s\n", kTillandsVersion);
    return 0;
  }
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) {
    std::fprintf(stderr, "tillands-assets: unknown command '%s'\n\n", argv[1]);
    return PrintOverview(stderr, 1);
  }
  if (WantsHelp(argc - 1, argv + 1)) return PrintUsage(*it->second, 0);
  return RunCommand(*it->second, argc - 1, argv + 1);
}
