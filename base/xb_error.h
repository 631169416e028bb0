// Error reporting of the base library: fatal errors end the process, warnings are printed and work
// goes on. Both format into a bounded 200-character buffer; longer messages are cut, never overflow.
#pragma once

#include <cstdarg>

// How XB_FatalError ends the process. The saver keeps the classic abnormal end (message on standard
// output, then abort); command-line tools print to standard error and exit with status 2 so that a
// bad input file gives a clean error instead of a core dump.
enum class XB_FatalMode {
  Abort,  // print "\n\nXB FATAL ERROR:\n\n%s\n\n\n" to stdout, then abort()
  Exit2,  // print "tillands: fatal: %s\n" style text to stderr, then exit(2)
};

void XB_SetFatalMode(XB_FatalMode mode);
XB_FatalMode XB_GetFatalMode();

// Size of the two process-wide message buffers, terminator included.
constexpr int XB_MESSAGE_BUFFER_SIZE = 200;

[[noreturn]] void XB_FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void XB_Warning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The last message formatted by XB_Warning (tests and tools read it back).
const char* XB_LastWarning();
