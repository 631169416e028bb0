// Error reporting of the base library: fatal errors end the process, warnings are printed and work
// goes on. Both format into a bounded 200-character buffer; longer messages are cut, never overflow.
#pragma once

#include <cstdarg>
#include <stdexcept>
#include <string>

// How XB_FatalError ends the process. The saver keeps the classic abnormal end (message on standard
// output, then abort); command-line tools print to standard error and exit with status 2 so that a
// bad input file gives a clean error instead of a core dump.
enum class XB_FatalMode {
  Abort,  // print "\n\nXB FATAL ERROR:\n\n%s\n\n\n" to stdout, then abort()
  Exit2,  // print "<program>: %s\n" to stderr (see XB_SetProgramName), then exit(2)
  Throw,  // throw XB_FATAL_EXCEPTION carrying the message (fuzz harnesses and tests)
};

// Thrown by XB_FatalError in XB_FatalMode::Throw. Loaders hold what they allocate in owning
// pointers until construction completes, so unwinding through them leaks nothing.
class XB_FATAL_EXCEPTION : public std::runtime_error {
 public:
  explicit XB_FATAL_EXCEPTION(const std::string& message) : std::runtime_error(message) {}
};

void XB_SetFatalMode(XB_FatalMode mode);
// The name XB_FatalMode::Exit2 begins its message with ("tillands" unless set): every command-line
// program reports in its own name.
void XB_SetProgramName(const char* name);
// Where XB_Warning's text goes: the saver prints it on standard output; command-line programs pass a
// sink that writes to standard error. Null restores the standard-output line.
using XB_WarningSink = void (*)(const char* text);
void XB_SetWarningSink(XB_WarningSink sink);
XB_WarningSink XB_GetWarningSink();
XB_FatalMode XB_GetFatalMode();
// In XB_FatalMode::Abort, after the message is printed: a front end that has a user to tell (the
// Windows saver, whose standard output nobody sees) shows the message here and ends the process in its
// own way. Should it return, the process aborts as usual. Null (the default): print and abort only.
using XB_FatalReporter = void (*)(const char* message);
void XB_SetFatalReporter(XB_FatalReporter reporter);

// Size of the two process-wide message buffers, terminator included.
constexpr int XB_MESSAGE_BUFFER_SIZE = 200;

// Messages are formatted with the C++ library's vsnprintf, which on MinGW is the C99-conforming one
// (%zu, %lld), so the format check must follow the GNU rules there rather than the MS runtime's.
#if defined(__MINGW32__)
#define XB_PRINTF_CHECK(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define XB_PRINTF_CHECK(f, a) __attribute__((format(printf, f, a)))
#endif

[[noreturn]] void XB_FatalError(const char* format, ...) XB_PRINTF_CHECK(1, 2);
void XB_Warning(const char* format, ...) XB_PRINTF_CHECK(1, 2);

// A path shortened for a message: at most `room` characters, keeping the end (the file name) behind
// a leading "..." when it is longer. Keeps messages that name long paths within the buffers.
std::string XB_CutPath(const char* path, int room = 100);

// The last message formatted by XB_Warning (tests and tools read it back).
const char* XB_LastWarning();
