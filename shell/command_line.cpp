#include "shell/command_line.h"

#include <cstring>

const char* const kSaverWindowName = "Tillands ScreenSaver";
const char* const kSaverDisplayName = "Tillands Bildschirmschoner";

namespace {
char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool ParseCommandLine(ParsedCommandLine& parsed, const char* commandLine) {
  if (!commandLine || !*commandLine) {
    parsed.configureMode = true;
    return true;
  }
  // Only the first letter of the work buffer decides, so that is all of it we need to look at.
  char work[128] = {};
  std::strncpy(work, commandLine, sizeof work - 1);
  const char* mode = work;
  if (*mode == '/' || *mode == '-') ++mode;
  const char letter = LowerAscii(*mode);

  if (const char* blank = std::strchr(commandLine, ' ')) {
    std::strncpy(parsed.modeArgument, blank + 1, kModeArgumentSize - 1);
    parsed.modeArgument[kModeArgumentSize - 1] = 0;
  }
  switch (letter) {
    case 'a':
      parsed.passwordMode = true;
      return true;
    case 'c':
      parsed.configureMode = true;
      return true;
    case 'p':
      parsed.previewMode = true;
      return true;
    case 's':
      return true;
    default:
      return false;
  }
}

int64_t ParseDecimalLikeAtol(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\f' || *text == '\v')
    ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint64_t value = 0;
  const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
  for (; *text >= '0' && *text <= '9'; ++text) {
    uint64_t digit = uint64_t(*text - '0');
    value = (value > (limit - digit) / 10) ? limit : value * 10 + digit;
  }
  if (negative) return value == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -int64_t(value);
  return int64_t(value);
}

RunDecision DecideRunMode(const ParsedCommandLine& parsed) {
  RunDecision decision;
  if (parsed.configureMode) {
    decision.mode = RunMode::Configure;
  } else if (parsed.passwordMode) {
    decision.mode = RunMode::Password;
  } else if (parsed.previewMode) {
    decision.previewParent = ParseDecimalLikeAtol(parsed.modeArgument);
    decision.mode = decision.previewParent != 0 ? RunMode::Preview : RunMode::None;
  } else {
    decision.mode = RunMode::Saver;
  }
  return decision;
}

RunDecision DecideRunMode(const char* commandLine) {
  ParsedCommandLine parsed;
  if (!ParseCommandLine(parsed, commandLine)) return RunDecision{};
  return DecideRunMode(parsed);
}

bool SecondStartMustQuit(bool mutexAlreadyExisted, const char* commandLine) {
  return mutexAlreadyExisted && commandLine && commandLine[0] == '/' && LowerAscii(commandLine[1]) == 's';
}
