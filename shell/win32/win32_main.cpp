// The entry point of "Tillands Bildschirmschoner.scr": the single-instance mutex, then the spine's
// start-up routine over the Win32 front end.
#include <windows.h>

#include "shell/command_line.h"
#include "shell/saver_startup.h"
#include "shell/win32/win32_saver.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "Tillands ScreenSaver");
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (SecondStartMustQuit(existed, commandLine)) {
    if (mutex) CloseHandle(mutex);
    return 0;
  }
  {
    MultimediaClock clock;
    ResourceSoundSink sound(instance);
    FrontEndSeams seams;
    seams.clock = &clock;
    seams.sound = &sound;
    seams.warning = &ReportWarning;
    seams.fatalReporter = &ReportFatalError;
    // The resources are the program's own (.rc); the embedded table is not linked.
    SaverProcess process(seams);
    Win32Saver saver(process.App(), instance);
    process.Run(commandLine, saver);
  }
  if (mutex) CloseHandle(mutex);
  return 0;
}
