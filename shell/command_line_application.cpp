// The command line into the application record.
#include <cstring>

#include "scene/saver_application.h"
#include "shell/command_line.h"

bool ParseCommandLine(SaverApplication& application, const char* commandLine) {
  ParsedCommandLine parsed;
  std::memcpy(parsed.modeArgument, application.modeArgument, sizeof parsed.modeArgument);
  bool ok = ParseCommandLine(parsed, commandLine);
  if (parsed.previewMode) application.previewMode = 1;
  if (parsed.configureMode) application.configureMode = 1;
  if (parsed.passwordMode) application.passwordMode = 1;
  std::memcpy(application.modeArgument, parsed.modeArgument, sizeof application.modeArgument);
  return ok;
}
