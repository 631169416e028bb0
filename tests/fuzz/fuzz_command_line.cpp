// libFuzzer harness: the two command-line parsers. The saver's Windows-style command line ("/s",
// "/p 1234", ...) takes the input as one string; the headless front end's arguments are the input
// split at NUL bytes and newlines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/headless_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  ParsedCommandLine parsed;
  (void)ParseCommandLine(parsed, text.c_str());  // stops at the first NUL, as a C string does
  if (std::memchr(parsed.modeArgument, 0, sizeof parsed.modeArgument) == nullptr) std::abort();
  (void)DecideRunMode(text.c_str());
  (void)ParseDecimalLikeAtol(text.c_str());

  std::vector<std::string> words{"tillands"};
  std::string current;
  for (char c : text) {
    if (c == '\0' || c == '\n') {
      words.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) words.push_back(current);
  if (words.size() > 64) words.resize(64);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  HeadlessOptions options;
  std::string error;
  const int result =
      ParseHeadlessArguments(static_cast<int>(argv.size()), argv.data(), options, error, "/data");
  if (result == 0) {
    // Accepted options are within their documented ranges.
    if (options.width < 32 || options.width > 8192 || options.height < 32 || options.height > 8192)
      std::abort();
    if (options.fps == 0 || options.every == 0 || options.TickMs() == 0) std::abort();
    (void)options.TickCount();
  } else if (result == 1 && error.empty()) {
    std::abort();  // every refusal says why
  }
  return 0;
}
