// tillands-wintest.exe: the Windows half of the Wine tests. It reads what the X server cannot show
// (texts and states of controls, window styles, the resources of a program) and stands in for the
// desktop's parts (a preview host, the shell's "install" verb). Texts are printed in UTF-8.
//
//   tillands-wintest dump TITLE [SECONDS]     waits for a top-level window of that title and prints it and
//                                             its controls, one per line
//   tillands-wintest ready TITLE [SECONDS]    waits until that window is the foreground window and the
//                                             keyboard focus is in it (input sent earlier may be lost)
//   tillands-wintest mutex-free [SECONDS]     waits until no process holds the saver's mutex
//   tillands-wintest close TITLE              answers a message box of that title with OK (IDOK)
//   tillands-wintest send-close TITLE         sends WM_CLOSE to that window; returns once it was handled
//   tillands-wintest window TITLE PROGRAM     the window's style, place and class icon (compared with the
//                                             program's icon 105), and whether its thread has the mouse
//   tillands-wintest resources PROGRAM        the program's string tables (German, English) and icons
//   tillands-wintest host W H SECONDS         a borderless window at 100,100 with a W x H client area;
//                                             prints its handle in decimal, closes itself after SECONDS
//   tillands-wintest record FILE ARGS...      writes its arguments and working directory to FILE (the
//                                             command of a test's "install" verb)
//   tillands-wintest displaychange TITLE      tells a top-level window of that title that the display
//                                             changed (WM_DISPLAYCHANGE, as the system sends it)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? size_t(n) : 1u, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, s.data(), n, nullptr, nullptr);
  s.resize(std::strlen(s.c_str()));
  return s;
}

std::wstring WideArg(const char* text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring s(n > 0 ? size_t(n) : 1u, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, s.data(), n);
  s.resize(wcslen(s.c_str()));
  return s;
}

std::string TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return Utf8(text);
}

BOOL CALLBACK DumpChild(HWND child, LPARAM) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  std::printf("control id=%d class=%s text=%s", GetDlgCtrlID(child), Utf8(cls).c_str(),
              TextOf(child).c_str());
  if (_wcsicmp(cls, TRACKBAR_CLASSW) == 0)
    std::printf(" min=%ld max=%ld pos=%ld tics=%ld", long(SendMessageW(child, TBM_GETRANGEMIN, 0, 0)),
                long(SendMessageW(child, TBM_GETRANGEMAX, 0, 0)), long(SendMessageW(child, TBM_GETPOS, 0, 0)),
                long(SendMessageW(child, TBM_GETNUMTICS, 0, 0)));
  if (_wcsicmp(cls, L"Button") == 0) std::printf(" checked=%d", int(SendMessageW(child, BM_GETCHECK, 0, 0)));
  if (_wcsicmp(cls, L"ComboBox") == 0) {
    const long count = long(SendMessageW(child, CB_GETCOUNT, 0, 0));
    std::printf(" count=%ld sel=%ld items=", count, long(SendMessageW(child, CB_GETCURSEL, 0, 0)));
    for (long i = 0; i < count; ++i) {
      wchar_t item[128] = {};
      if (SendMessageW(child, CB_GETLBTEXTLEN, WPARAM(i), 0) < 127)
        SendMessageW(child, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(item));
      std::printf("%s%s", i ? "|" : "", Utf8(item).c_str());
    }
  }
  RECT r;
  GetWindowRect(child, &r);
  POINT at{r.left, r.top};
  ScreenToClient(GetParent(child), &at);
  std::printf(" size=%ldx%ld at=%ld,%ld\n", r.right - r.left, r.bottom - r.top, at.x, at.y);
  return TRUE;
}

HWND WaitForWindow(const char* title, int seconds) {
  const std::wstring wide = WideArg(title);
  HWND window = nullptr;
  for (int i = 0; i < seconds * 10 && !window; ++i) {
    window = FindWindowW(nullptr, wide.c_str());
    if (!window) Sleep(100);
  }
  return window;
}

int Dump(const char* title, int seconds) {
  HWND window = WaitForWindow(title, seconds);
  // A dialog or message box is found as soon as it exists, before its controls are made and filled;
  // it is shown once they are.
  for (int i = 0; window && !IsWindowVisible(window) && i < seconds * 10; ++i) Sleep(100);
  if (!window) {
    std::printf("no window\n");
    return 1;
  }
  RECT r;
  GetClientRect(window, &r);
  // acp: the system's ANSI code page the texts were read under (1252 or another).
  std::printf("window text=%s client=%ldx%ld acp=%u\n", TextOf(window).c_str(), r.right, r.bottom, GetACP());
  EnumChildWindows(window, &DumpChild, 0);
  return 0;
}

int Ready(const char* title, int seconds) {
  HWND window = WaitForWindow(title, seconds);
  for (int i = 0; window && i < seconds * 10; ++i) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui);
    const bool focused = gui.hwndFocus && (gui.hwndFocus == window || IsChild(window, gui.hwndFocus));
    if (GetForegroundWindow() == window && focused && IsWindowVisible(window)) return 0;
    Sleep(50);
  }
  std::printf("not ready\n");
  return 1;
}

// The saver's single-instance mutex outlives its process for a moment (the system closes the handle
// after the process has gone); a saver started in that moment rightly quits at once.
int MutexFree(int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Tillands ScreenSaver");
    if (!mutex) return 0;
    CloseHandle(mutex);
    Sleep(50);
  }
  std::printf("mutex held\n");
  return 1;
}

int Close(const char* title) {
  HWND window = FindWindowW(nullptr, WideArg(title).c_str());
  if (!window) return 1;
  return PostMessageW(window, WM_COMMAND, IDOK, 0) ? 0 : 1;
}

int SendClose(const char* title) {
  HWND window = FindWindowW(nullptr, WideArg(title).c_str());
  if (!window) return 1;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &result) ? 0 : 1;
}

// Returns once the thread of the window has handled all input the X server had delivered to it, and
// whatever that input set off: Wine turns X events into messages when the thread next looks at its
// queue, and a sent message is answered only from the thread's message loop. The first round trip
// has the thread read the input, the second has it dispatch that input, the third whatever the input
// posted. Fails when the window is gone (or never answers within SECONDS).
int Sync(const char* title, int seconds) {
  HWND window = FindWindowW(nullptr, WideArg(title).c_str());
  for (int i = 0; i < 3; ++i) {
    DWORD_PTR result = 0;
    if (!window || !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, UINT(seconds) * 1000u, &result)) {
      std::printf("no window\n");
      return 1;
    }
  }
  return IsWindow(window) ? 0 : 1;
}

// The colour and mask bits of an icon, for comparing two icons by value.
std::vector<uint8_t> IconBits(HICON icon) {
  std::vector<uint8_t> bits;
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return bits;
  HDC dc = GetDC(nullptr);
  for (HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
    if (!bitmap) continue;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    GetDIBits(dc, bitmap, 0, 0, nullptr, &header, DIB_RGB_COLORS);
    const LONG rows = header.bmiHeader.biHeight;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> pixels(size_t(header.bmiHeader.biWidth) * size_t(rows < 0 ? -rows : rows) * 4u);
    GetDIBits(dc, bitmap, 0, UINT(rows < 0 ? -rows : rows), pixels.data(), &header, DIB_RGB_COLORS);
    bits.insert(bits.end(), pixels.begin(), pixels.end());
    DeleteObject(bitmap);
  }
  ReleaseDC(nullptr, dc);
  return bits;
}

int Window(const char* title, const char* program) {
  HWND window = WaitForWindow(title, 15);
  if (!window) {
    std::printf("no window\n");
    return 1;
  }
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  RECT r;
  GetWindowRect(window, &r);
  std::printf("popup=%d child=%d caption=%d visible=%d topmost=%d\n", (style & WS_POPUP) != 0,
              (style & WS_CHILD) != 0, (style & WS_CAPTION) == WS_CAPTION, (style & WS_VISIBLE) != 0,
              (exStyle & WS_EX_TOPMOST) != 0);
  std::printf("rect=%ld,%ld,%ld,%ld virtual=%d,%d,%d,%d\n", r.left, r.top, r.right, r.bottom,
              GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN));
  HMODULE module = LoadLibraryExW(WideArg(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HICON expected =
      module ? static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(105), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0))
             : nullptr;
  HICON actual = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
  const std::vector<uint8_t> a = IconBits(actual), b = IconBits(expected);
  std::printf("class_icon=%d icon105=%d\n", actual != nullptr, !a.empty() && a == b);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui);
  std::printf("capture=%d\n", gui.hwndCapture == window);
  return 0;
}

// A string table's block of 16 counted wide strings, in one language.
void PrintStrings(HMODULE module, WORD language, const char* name) {
  for (int block = 1; block <= 2; ++block) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), language);
    if (!found) continue;
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
    for (int i = 0; i < 16; ++i) {
      const int length = *p++;
      if (length) {
        const std::wstring text(p, size_t(length));
        std::printf("string %s %d=%s\n", name, (block - 1) * 16 + i, Utf8(text.c_str()).c_str());
      }
      p += length;
    }
  }
}

BOOL CALLBACK PrintName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR) {
  if (IS_INTRESOURCE(name))
    std::printf(" %u", unsigned(reinterpret_cast<uintptr_t>(name)));
  else
    std::printf(" %s", Utf8(name).c_str());
  return TRUE;
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

int Resources(const char* program) {
  HMODULE module = LoadLibraryExW(WideArg(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    std::printf("cannot load %s\n", program);
    return 1;
  }
  PrintStrings(module, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "de");
  PrintStrings(module, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "en");
  for (int id : {105, 106, 107}) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    if (!found) continue;
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    const auto* entry = reinterpret_cast<const GroupIconEntry*>(group + 6);
    for (WORD i = 0; i < count; ++i)
      std::printf("icon %d %dx%d colours=%d bits=%d\n", id, entry[i].width ? entry[i].width : 256,
                  entry[i].height ? entry[i].height : 256, entry[i].colours, entry[i].bitCount);
  }
  std::printf("dialogs");
  EnumResourceNamesW(module, MAKEINTRESOURCEW(5), &PrintName, 0);
  std::printf("\nwaves");
  EnumResourceNamesW(module, L"WAVE", &PrintName, 0);
  std::printf("\n");
  return 0;
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
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int Host(int width, int height, int seconds) {
  WNDCLASSW c{};
  c.lpfnWndProc = &HostProc;
  c.hInstance = GetModuleHandleW(nullptr);
  c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  c.lpszClassName = L"TillandsPreviewHost";
  RegisterClassW(&c);
  HWND window =
      CreateWindowExW(0, c.lpszClassName, L"Tillands Preview Host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                      100, 100, width, height, nullptr, nullptr, c.hInstance, nullptr);
  if (!window) return 1;
  std::printf("%lld\n", static_cast<long long>(reinterpret_cast<intptr_t>(window)));
  std::fflush(stdout);
  SetTimer(window, 1, UINT(seconds) * 1000u, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}

int Record(int argc, char** argv) {
  const std::string path = argv[2];
  const std::string temporary = path + ".tmp";
  FILE* f = std::fopen(temporary.c_str(), "w");
  if (!f) return 1;
  for (int i = 3; i < argc; ++i) std::fprintf(f, "arg=%s\n", argv[i]);
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  std::fprintf(f, "cwd=%s\n", Utf8(directory).c_str());
  if (std::fclose(f) != 0) return 1;
  return MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc >= 3 && command == "dump") return Dump(argv[2], argc > 3 ? std::atoi(argv[3]) : 10);
  if (argc >= 3 && command == "ready") return Ready(argv[2], argc > 3 ? std::atoi(argv[3]) : 15);
  if (command == "mutex-free") return MutexFree(argc > 2 ? std::atoi(argv[2]) : 10);
  if (argc == 3 && command == "close") return Close(argv[2]);
  if (argc == 3 && command == "displaychange") return DisplayChange(argv[2]);
  if (argc == 3 && command == "send-close") return SendClose(argv[2]);
  if (argc >= 3 && command == "sync") return Sync(argv[2], argc > 3 ? std::atoi(argv[3]) : 10);
  if (argc == 4 && command == "window") return Window(argv[2], argv[3]);
  if (argc == 3 && command == "resources") return Resources(argv[2]);
  if (argc == 5 && command == "host") return Host(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  if (argc >= 3 && command == "record") return Record(argc, argv);
  if (command == "--version") {
    std::printf("tillands-wintest 1\n");
    return 0;
  }
  std::fprintf(command == "--help" ? stdout : stderr,
               "usage: tillands-wintest dump TITLE [SECONDS]\n"
               "       tillands-wintest ready TITLE [SECONDS]\n"
               "       tillands-wintest mutex-free [SECONDS]\n"
               "       tillands-wintest close TITLE\n"
               "       tillands-wintest displaychange TITLE\n"
               "       tillands-wintest send-close TITLE\n"
               "       tillands-wintest sync TITLE [SECONDS]\n"
               "       tillands-wintest window TITLE PROGRAM\n"
               "       tillands-wintest resources PROGRAM\n"
               "       tillands-wintest host W H SECONDS\n"
               "       tillands-wintest record FILE ARGS...\n");
  return command == "--help" ? 0 : 2;
}
