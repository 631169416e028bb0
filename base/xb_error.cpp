#include "base/xb_error.h"

#include <cstdio>
#include <cstdlib>

#include "base/xb_atomic_file.h"

namespace {

XB_FatalMode g_fatalMode = XB_FatalMode::Abort;
const char* g_programName = "tillands";
XB_WarningSink g_warningSink = nullptr;
XB_FatalReporter g_fatalReporter = nullptr;

// The two process-wide message buffers. vsnprintf bounds every message to the buffer; a longer
// message is cut at the end rather than running over.
char g_fatalBuffer[XB_MESSAGE_BUFFER_SIZE];
char g_warningBuffer[XB_MESSAGE_BUFFER_SIZE];

void FormatInto(char* buffer, const char* format, va_list args) {
  if (!format) {
    buffer[0] = '\0';
    return;
  }
  const int written = std::vsnprintf(buffer, XB_MESSAGE_BUFFER_SIZE, format, args);
  if (written < 0) buffer[0] = '\0';
}

}  // namespace

void XB_SetFatalMode(XB_FatalMode mode) {
  g_fatalMode = mode;
}

void XB_SetProgramName(const char* name) {
  g_programName = name ? name : "tillands";
}

void XB_SetWarningSink(XB_WarningSink sink) {
  g_warningSink = sink;
}

XB_WarningSink XB_GetWarningSink() {
  return g_warningSink;
}

void XB_SetFatalReporter(XB_FatalReporter reporter) {
  g_fatalReporter = reporter;
}

XB_FatalMode XB_GetFatalMode() {
  return g_fatalMode;
}

void XB_FatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(g_fatalBuffer, format, args);
  va_end(args);

  // Unwinding removes the temporary files of unfinished outputs; the other two modes end the process
  // without unwinding, so they are removed here.
  if (g_fatalMode != XB_FatalMode::Throw) XB_RemovePendingTemporaries();
  switch (g_fatalMode) {
    case XB_FatalMode::Throw:
      throw XB_FATAL_EXCEPTION(g_fatalBuffer);
    case XB_FatalMode::Exit2:
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", g_programName, g_fatalBuffer);
      std::fflush(stderr);
      std::exit(2);
    case XB_FatalMode::Abort:
      break;
  }
  std::printf("\n\nXB FATAL ERROR:\n\n%s\n\n\n", g_fatalBuffer);
  std::fflush(stdout);
  if (g_fatalReporter) g_fatalReporter(g_fatalBuffer);
  std::abort();
}

void XB_Warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(g_warningBuffer, format, args);
  va_end(args);
  if (g_warningSink) {
    g_warningSink(g_warningBuffer);
    return;
  }
  std::printf("RARA::DIVURAR: WARNING: %s\n", g_warningBuffer);
  std::fflush(stdout);
}

std::string XB_CutPath(const char* path, int room) {
  std::string p(path ? path : "");
  if (room < 4) room = 4;
  if (static_cast<int>(p.size()) <= room) return p;
  return "..." + p.substr(p.size() - static_cast<size_t>(room - 3));
}

const char* XB_LastWarning() {
  return g_warningBuffer;
}
