// tillands-wintest.exe: the Windows half of the Wine tests. It reads what the X server cannot show
// (the texts and states of a dialog's controls) and hosts a preview window.
//
//   tillands-wintest dump TITLE [SECONDS]   waits for a top-level window of that title and prints it and
//                                           its controls, one per line (texts as raw Windows-1252)
//   tillands-wintest close TITLE            answers a message box of that title with OK (IDOK)
//   tillands-wintest displaychange TITLE    tells a top-level window of that title that the display
//                                           changed (WM_DISPLAYCHANGE, as the system sends it)
//   tillands-wintest host W H SECONDS       a borderless window at 100,100 with a W x H client area;
//                                           prints its handle in decimal, closes itself after SECONDS
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

BOOL CALLBACK DumpChild(HWND child, LPARAM) {
  char cls[64] = {}, text[256] = {};
  GetClassNameA(child, cls, sizeof cls);
  GetWindowTextA(child, text, sizeof text);
  std::printf("control id=%d class=%s text=%s", GetDlgCtrlID(child), cls, text);
  if (_stricmp(cls, TRACKBAR_CLASSA) == 0)
    std::printf(" min=%ld max=%ld pos=%ld tics=%ld", long(SendMessageA(child, TBM_GETRANGEMIN, 0, 0)),
                long(SendMessageA(child, TBM_GETRANGEMAX, 0, 0)), long(SendMessageA(child, TBM_GETPOS, 0, 0)),
                long(SendMessageA(child, TBM_GETNUMTICS, 0, 0)));
  if (_stricmp(cls, "Button") == 0) std::printf(" checked=%d", int(SendMessageA(child, BM_GETCHECK, 0, 0)));
  if (_stricmp(cls, "ComboBox") == 0)
    std::printf(" count=%ld sel=%ld", long(SendMessageA(child, CB_GETCOUNT, 0, 0)),
                long(SendMessageA(child, CB_GETCURSEL, 0, 0)));
  RECT r;
  GetWindowRect(child, &r);
  POINT at{r.left, r.top};
  ScreenToClient(GetParent(child), &at);
  std::printf(" size=%ldx%ld at=%ld,%ld\n", r.right - r.left, r.bottom - r.top, at.x, at.y);
  return TRUE;
}

int Dump(const char* title, int seconds) {
  HWND window = nullptr;
  for (int i = 0; i < seconds * 10 && !window; ++i) {
    window = FindWindowA(nullptr, title);
    if (!window) Sleep(100);
  }
  if (!window) {
    std::printf("no window\n");
    return 1;
  }
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  RECT r;
  GetClientRect(window, &r);
  std::printf("window text=%s client=%ldx%ld\n", text, r.right, r.bottom);
  EnumChildWindows(window, &DumpChild, 0);
  return 0;
}

int Close(const char* title) {
  HWND window = FindWindowA(nullptr, title);
  if (!window) return 1;
  return PostMessageA(window, WM_COMMAND, IDOK, 0) ? 0 : 1;
}

int DisplayChange(const char* title) {
  HWND window = FindWindowA(nullptr, title);
  if (!window) return 1;
  HDC screen = GetDC(nullptr);
  const WPARAM bits = static_cast<WPARAM>(GetDeviceCaps(screen, BITSPIXEL));
  ReleaseDC(nullptr, screen);
  return PostMessageA(window, WM_DISPLAYCHANGE, bits,
                      MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)))
             ? 0
             : 1;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int Host(int width, int height, int seconds) {
  WNDCLASSA c{};
  c.lpfnWndProc = &HostProc;
  c.hInstance = GetModuleHandleA(nullptr);
  c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  c.lpszClassName = "TillandsPreviewHost";
  RegisterClassA(&c);
  HWND window =
      CreateWindowExA(0, c.lpszClassName, "Tillands Preview Host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                      100, 100, width, height, nullptr, nullptr, c.hInstance, nullptr);
  if (!window) return 1;
  std::printf("%lld\n", static_cast<long long>(reinterpret_cast<intptr_t>(window)));
  std::fflush(stdout);
  SetTimer(window, 1, UINT(seconds) * 1000u, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "dump") == 0)
    return Dump(argv[2], argc > 3 ? std::atoi(argv[3]) : 10);
  if (argc == 3 && std::strcmp(argv[1], "close") == 0) return Close(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "displaychange") == 0) return DisplayChange(argv[2]);
  if (argc == 5 && std::strcmp(argv[1], "host") == 0)
    return Host(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  std::fprintf(stderr,
               "usage: tillands-wintest dump TITLE [SECONDS]\n"
               "       tillands-wintest close TITLE\n"
               "       tillands-wintest displaychange TITLE\n"
               "       tillands-wintest host W H SECONDS\n");
  return argc > 1 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
