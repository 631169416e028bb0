// installer.exe: hands the saver, already copied into the Windows directory, to the shell's "install"
// verb, which makes it the desktop's screensaver. It shows nothing and reports nothing: what the user
// sees when the file or the verb is missing is the shell's business.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char windowsDirectory[MAX_PATH] = {};
  GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
  char saverPath[MAX_PATH] = {};
  std::snprintf(saverPath, MAX_PATH, "%s\\Tillands Bildschirmschoner.scr", windowsDirectory);
  ShellExecuteA(nullptr, "install", saverPath, nullptr, windowsDirectory, SW_SHOW);
  return 0;
}
