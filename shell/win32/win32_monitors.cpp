#include "shell/win32/win32_monitors.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT rect, LPARAM data) {
  auto* rects = reinterpret_cast<std::vector<SurfaceRect>*>(data);
  const SurfaceRect r{rect->left, rect->top, rect->right, rect->bottom};
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY))
    rects->insert(rects->begin(), r);
  else
    rects->push_back(r);
  return TRUE;
}

}  // namespace

std::vector<SurfaceRect> ParseMonitorLines(const std::string& text) {
  std::vector<SurfaceRect> rects;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    long l = 0, t = 0, r = 0, b = 0;
    std::string rest;
    if (!(fields >> l >> t >> r >> b) || (fields >> rest)) continue;
    rects.push_back(SurfaceRect{int32_t(l), int32_t(t), int32_t(r), int32_t(b)});
  }
  return rects;
}

std::vector<SurfaceRect> DesktopMonitorRects() {
  if (const char* fake = std::getenv("TILLANDS_FAKE_MONITORS"); fake && *fake) {
    std::ifstream in(fake);
    std::stringstream text;
    text << in.rdbuf();
    return ParseMonitorLines(text.str());
  }
  std::vector<SurfaceRect> rects;
  EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&rects));
  return rects;
}

void MakeSaverDpiAware() {
  // Looked up by name: the functions came with Windows 10 1703 and 8.1, and the program must start on
  // systems without them (and import no DLL that is not always there).
  HMODULE user32 = GetModuleHandleA("user32.dll");
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (auto set = user32 ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                              GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                        : nullptr) {
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the first per-monitor kind.
    if (set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4))) ||
        set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-3))))
      return;
  }
  if (HMODULE shcore = LoadLibraryA("shcore.dll")) {
    using SetAwareness = HRESULT(WINAPI*)(int);
    auto set = reinterpret_cast<SetAwareness>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
    const bool done = set && SUCCEEDED(set(2));  // PROCESS_PER_MONITOR_DPI_AWARE
    FreeLibrary(shcore);
    if (done) return;
  }
  SetProcessDPIAware();
}
