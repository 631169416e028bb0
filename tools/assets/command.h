// Command groups of tillands-assets. Each group lives in its own file and registers itself with a
// static AssetCommand object, so adding a group never touches another file.
//
//   static AssetCommand archiveCommand{"archive", "list, extract and pack data_v.dat archives",
//                                      "usage text ...", &RunArchive};
//
// `run` receives the arguments after the group name (argv[0] is the group name). It returns the
// process exit status: 0 success, 1 bad usage or a failed check, 2 a fatal error in the data.
#pragma once

struct AssetCommand {
  const char* name;
  const char* summary;
  const char* usage;
  int (*run)(int argc, char** argv);
  AssetCommand(const char* name, const char* summary, const char* usage, int (*run)(int, char**));
};

class XB_WARNING_GROUPS;
// The warnings of this run (XB_Warning is routed here; commands that install their own warning
// callbacks, such as the static data's, hand the text here too).
XB_WARNING_GROUPS& ToolWarnings();

// True when argv holds -h or --help; the group then prints its usage and returns 0.
bool WantsHelp(int argc, char** argv);
int PrintUsage(const AssetCommand& command, int status);
