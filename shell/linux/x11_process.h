// What reaches the Linux saver from outside its window: SIGTERM/SIGINT (through a pipe that the one
// poll of the loop watches) and the X server's errors (kept, never fatal inside Xlib).
#pragma once

#include <signal.h>

#include <cstdint>

// SIGTERM and SIGINT end the saver from the loop: the handler only writes a byte into a pipe that the
// loop polls, so the end is prompt (no waiting for the next frame) and runs the normal destruction.
extern int g_signalPipe[2];
extern volatile sig_atomic_t g_terminate;

// X errors never end the process inside Xlib: a hack's window may vanish at any moment (XScreenSaver
// destroys it at deactivation without waiting), and every request on it then fails. The errors are
// counted; the loop ends the saver when its watched window is gone. Every other error is printed on
// stderr with the program's name (the first few of them), unless g_expectedErrors says that the
// requests in flight are a probe whose failure is an answer (the shared-memory attach).
extern unsigned long g_watchedWindow;
extern volatile bool g_windowGone;
extern unsigned long g_xErrors;
extern int g_expectedErrors;

// Installs the X error handlers and the signal handlers, and opens the signal pipe.
void InstallX11ProcessHandlers();

// Empties the signal pipe after the poll saw it readable.
void DrainSignalPipe();

// Milliseconds of the monotonic clock (wrapping).
uint32_t SteadyMs();
