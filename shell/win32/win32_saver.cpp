#include "shell/win32/win32_saver.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "shell/saver_window.h"
#include "shell/settings.h"
#include "shell/monitor_scenes.h"
#include "shell/win32/dib_surface.h"
#include "shell/win32/resource_ids.h"
#include "shell/win32/win32_monitors.h"

const char* const kSaverWindowClass = "Tillands ScreenSaver";

namespace {

constexpr int kSettingsDialogResource = 101;
constexpr int kClassIconResource = 105;
constexpr int kPreviewBitmapResource = 108;
constexpr int kPreviewBitmapWidth = 152;
constexpr int kPreviewBitmapHeight = 112;

Win32Saver* g_current = nullptr;

// The spine's texts are Windows-1252 whatever the system's code page is; the wide calls show them right
// on Central European, Cyrillic and East Asian systems too.
std::wstring Wide(const char* text) {
  if (!text || !*text) return std::wstring();
  const int n = MultiByteToWideChar(1252, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? size_t(n) : 1u, L'\0');
  if (n > 0) MultiByteToWideChar(1252, 0, text, -1, wide.data(), n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

// A text of the string table in the user interface's language (German or English).
std::wstring Text(HINSTANCE instance, int id) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(instance, UINT(id), reinterpret_cast<wchar_t*>(&text), 0);
  return n > 0 && text ? std::wstring(text, size_t(n)) : std::wstring();
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Saver* saver = Win32Saver::Current();
  return saver ? saver->SaverMessage(window, message, wParam, lParam)
               : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Saver* saver = Win32Saver::Current();
  return saver ? saver->PreviewMessage(window, message, wParam, lParam)
               : DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Saver* saver = Win32Saver::Current();
  return saver ? saver->DialogMessage(dialog, message, wParam, lParam) : FALSE;
}

// With TILLANDS_SOUND_LOG set (tests only, like the capture variables) every call into the system's
// sound playback is kept, with the saver's stage at that moment, and written there when the run ends.
std::vector<std::string>& SoundCalls() {
  static std::vector<std::string> calls;
  return calls;
}

bool SoundLogWanted() {
  static const bool wanted = [] {
    const char* path = std::getenv("TILLANDS_SOUND_LOG");
    return path && *path;
  }();
  return wanted;
}

void PlaySoundKept(const char* name, HMODULE module, DWORD flags) {
  PlaySoundA(name, module, flags);
  if (!SoundLogWanted()) return;
  Win32Saver* saver = Win32Saver::Current();
  char line[160];
  std::snprintf(line, sizeof line, "%s module=%d flags=0x%lx stage=%s", name ? name : "(none)",
                module != nullptr, static_cast<unsigned long>(flags), saver ? saver->Stage() : "none");
  SoundCalls().push_back(line);
}

// Writes text to path through a temporary file beside it, so the file is whole or absent.
void WriteWhole(const char* path, const std::string& text) {
  const std::string temporary = std::string(path) + ".tmp";
  FILE* f = std::fopen(temporary.c_str(), "wb");  // lines end in \n, as the readers on Linux expect
  if (!f) return;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) == 0 && written)
    MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING);
  else
    DeleteFileA(temporary.c_str());
}

SaverSettings SettingsOf(const SaverApplication& app) {
  return SaverSettings{app.frameRate, app.numAnimations, app.soundOn, app.scaleSetting, app.monitorsSetting};
}

}  // namespace

// ---------------------------------------------------------------------------------------------------

uint32_t MultimediaClock::NowMs() {
  return timeGetTime();
}

void ResourceSoundSink::PlayNamedSound(const char* resourceName) {
  PlaySoundKept(resourceName, instance_, SND_RESOURCE | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
}

std::vector<SurfaceRect> DesktopLayout::MonitorRects() {
  return DesktopMonitorRects();
}

SurfaceRect DesktopLayout::PrimaryRect() {
  HDC screen = GetDC(nullptr);
  SurfaceRect r{0, 0, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES)};
  ReleaseDC(nullptr, screen);
  return r;
}

uint16_t DesktopLayout::BitsPerPixel() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  return static_cast<uint16_t>(bits);
}

// ---------------------------------------------------------------------------------------------------

Win32Saver::Win32Saver(SaverApplication& app, HINSTANCE instance) : app_(app), instance_(instance) {
  g_current = this;
  app_.instance = instance;
  QueryPerformanceCounter(&start_);
}

Win32Saver::~Win32Saver() {
  if (g_current == this) g_current = nullptr;
  if (SoundLogWanted()) {
    std::string text;
    for (const std::string& call : SoundCalls()) text += call + "\n";
    WriteWhole(std::getenv("TILLANDS_SOUND_LOG"), text);
  }
  // With TILLANDS_STATS_FILE the run's timings are written there (for measurements, like the capture
  // variables never a command-line letter): milliseconds from start to the first presented frame, the
  // ticks after it with their mean cost (UpdateFrame and the presentation), and the time from the first
  // to the last of them (so the real frame rate is ticks / run_ms).
  const char* path = std::getenv("TILLANDS_STATS_FILE");
  if (!path || !*path) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const double ms = 1000.0 / double(frequency.QuadPart);
  char text[256];
  std::snprintf(text, sizeof text, "first_frame_ms %.1f\nticks %llu\nmean_tick_ms %.3f\nrun_ms %.1f\n",
                firstFrame_.QuadPart ? double(firstFrame_.QuadPart - start_.QuadPart) * ms : -1.0,
                (unsigned long long)timedTicks_,
                timedTicks_ ? double(tickTime_.QuadPart) * ms / double(timedTicks_) : 0.0,
                timedTicks_ ? double(lastTick_.QuadPart - firstFrame_.QuadPart) * ms : 0.0);
  WriteWhole(path, text);
}

const char* Win32Saver::Stage() const {
  return windowAlive_ ? "window" : window_ ? "destroyed" : "before-window";
}

Win32Saver* Win32Saver::Current() {
  return g_current;
}

void Win32Saver::ReadScreenMetrics(SaverApplication& app) {
  // Saver mode only: the preview's child window must keep the awareness of the dialog it lives in.
  if (!app.previewMode) MakeSaverDpiAware();
  DesktopLayout layout;
  screenArea_ = ReadSaverScreenMetrics(app, layout);
}

bool Win32Saver::RegisterClassWith(WNDPROC procedure) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kClassIconResource));
  const std::wstring name = Wide(kSaverWindowClass);
  windowClass.lpszClassName = name.c_str();
  return RegisterClassW(&windowClass) != 0;
}

void Win32Saver::RunSettingsDialog(SaverApplication&) {
  HMODULE shell = LoadLibraryA("shell32.dll");
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  DialogBoxParamW(instance_, MAKEINTRESOURCEW(kSettingsDialogResource), nullptr, &SettingsDialogProc, 0);
  if (shell) FreeLibrary(shell);
}

INT_PTR Win32Saver::DialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      // The values come from the spine; the texts from the string table, in German or English (the
      // German ones are the spine's).
      const SettingsDialogInit init = SettingsDialogInitValues(SettingsOf(app_));
      SetWindowTextW(dialog, Text(instance_, IDS_SETTINGS_TITLE).c_str());
      SetDlgItemTextW(dialog, kDialogIdCaption, Text(instance_, IDS_SETTINGS_CAPTION).c_str());
      SetDlgItemTextW(dialog, kDialogIdSoundBox, Text(instance_, IDS_SETTINGS_SOUND).c_str());
      HWND trackbar = GetDlgItem(dialog, kDialogIdTrackbar);
      SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(init.trackbarMin, init.trackbarMax));
      SendMessageW(trackbar, TBM_SETTICFREQ, init.tickFrequency, 0);
      SendMessageW(trackbar, TBM_SETPOS, TRUE, init.trackbarPosition);
      CheckDlgButton(dialog, kDialogIdSoundBox, init.soundChecked ? BST_CHECKED : BST_UNCHECKED);
      const auto fill = [&](int labelId, int labelText, int listId, int firstChoice, int choices,
                            int selected) {
        SetDlgItemTextW(dialog, labelId, Text(instance_, labelText).c_str());
        HWND list = GetDlgItem(dialog, listId);
        for (int i = 0; i < choices; ++i)
          SendMessageW(list, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Text(instance_, firstChoice + i).c_str()));
        SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
      };
      fill(kDialogIdScaleLabel, IDS_SCALE_LABEL, kDialogIdScaleList, IDS_SCALE_CHOICE_FIRST,
           int(std::size(kSettingsDialogScaleChoices)), app_.scaleSetting <= 3 ? app_.scaleSetting : 0);
      fill(kDialogIdMonitorsLabel, IDS_MONITORS_LABEL, kDialogIdMonitorsList, IDS_MONITORS_CHOICE_FIRST,
           int(std::size(kSettingsDialogMonitorsChoices)),
           app_.monitorsSetting == kMonitorsSpan ? kMonitorsSpan : kMonitorsEach);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kDialogIdOk) {
        const uint32_t position =
            static_cast<uint16_t>(SendDlgItemMessageW(dialog, kDialogIdTrackbar, TBM_GETPOS, 0, 0));
        const bool sound = IsDlgButtonChecked(dialog, kDialogIdSoundBox) == BST_CHECKED;
        const LRESULT scale = SendDlgItemMessageW(dialog, kDialogIdScaleList, CB_GETCURSEL, 0, 0);
        const LRESULT monitors = SendDlgItemMessageW(dialog, kDialogIdMonitorsList, CB_GETCURSEL, 0, 0);
        SaverSettings settings = SettingsOf(app_);
        const int result = SettingsDialogOk(settings, position, sound, scale == CB_ERR ? 0u : uint32_t(scale),
                                            monitors == CB_ERR ? 0u : uint32_t(monitors), store_);
        app_.numAnimations = settings.numAnimations;
        app_.soundOn = settings.soundOn;
        app_.scaleSetting = settings.scale;
        app_.monitorsSetting = settings.monitors;
        EndDialog(dialog, result);
        return TRUE;
      }
      if (LOWORD(wParam) == kDialogIdCancel) {
        EndDialog(dialog, SettingsDialogCancel());
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// ---------------------------------------------------------------------------------------------------
// Preview mode.

void Win32Saver::RunPreview(SaverApplication& app, int64_t parentHandle) {
  HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(parentHandle));
  RECT client{};
  GetClientRect(parent, &client);
  app.screenWidth = static_cast<uint16_t>(client.right);
  app.screenHeight = static_cast<uint16_t>(client.bottom);
  RegisterClassWith(&PreviewWindowProc);
  const std::wstring name = Wide(kSaverWindowClass);
  HWND window = CreateWindowExW(0, name.c_str(), name.c_str(), WS_CHILD | WS_VISIBLE, client.left, client.top,
                                client.right, client.bottom, parent, nullptr, instance_, nullptr);
  app.window = window;
  // Without a window (a handle that names no window) no message would ever end the loop.
  if (!window) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT Win32Saver::PreviewMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      app_.windowDC = GetWindowDC(window);
      HANDLE bitmap = LoadImageW(instance_, MAKEINTRESOURCEW(kPreviewBitmapResource), IMAGE_BITMAP, 0, 0,
                                 LR_DEFAULTCOLOR);
      app_.previewBitmap = bitmap;
      HDC memory = CreateCompatibleDC(static_cast<HDC>(app_.windowDC));
      app_.previewDC = memory;
      app_.previewOldBitmap = SelectObject(memory, bitmap);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      StretchBlt(dc, 0, 0, app_.screenWidth, app_.screenHeight, static_cast<HDC>(app_.previewDC), 0, 0,
                 kPreviewBitmapWidth, kPreviewBitmapHeight, SRCCOPY);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      SelectObject(static_cast<HDC>(app_.previewDC), static_cast<HGDIOBJ>(app_.previewOldBitmap));
      DeleteDC(static_cast<HDC>(app_.previewDC));
      DeleteObject(static_cast<HGDIOBJ>(app_.previewBitmap));
      ReleaseDC(window, static_cast<HDC>(app_.windowDC));
      app_.previewDC = app_.previewOldBitmap = app_.previewBitmap = app_.windowDC = nullptr;
      PostQuitMessage(1);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------------------------------
// Saver mode.

void Win32Saver::ShowMessage(const char* text, const char* caption) {
  // The saver's one message has a German and an English variant in the string table.
  const std::wstring shown =
      std::strcmp(text, kMissingGamePathMessage) == 0 ? Text(instance_, IDS_MISSING_GAME_PATH) : Wide(text);
  MessageBoxW(nullptr, shown.c_str(), Wide(caption).c_str(), MB_OK);
}

bool Win32Saver::ChangeDirectory(const char* path) {
  return SetCurrentDirectoryA(path) != 0;
}

void Win32Saver::CreateSaverWindow(SaverApplication&) {
  RegisterClassWith(&SaverWindowProc);
  // The window covers the virtual screen: every monitor, at the monitors' real pixels.
  const std::wstring name = Wide(kSaverWindowClass);
  CreateWindowExW(0, name.c_str(), name.c_str(), WS_POPUP | WS_VISIBLE, screenArea_.left, screenArea_.top,
                  screenArea_.right - screenArea_.left, screenArea_.bottom - screenArea_.top, nullptr,
                  nullptr, instance_, nullptr);
}

void Win32Saver::MakeSaverWindowTopmost() {
  if (windowAlive_) SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Win32Saver::RunSaverMessageLoop(SaverApplication& app) {
  while (!app.quitRequested) {
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) app.quitRequested = 1;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT Win32Saver::SaverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SaverEvent event;
  switch (message) {
    case WM_CREATE:
      window_ = window;
      app_.window = window;
      windowAlive_ = true;
      event.kind = SaverEventKind::Create;
      break;
    case WM_DESTROY:
      windowAlive_ = false;
      event.kind = SaverEventKind::Destroy;
      break;
    case WM_CLOSE:
      // A close from outside (another program, the task list) goes the way of the saver's own
      // destruction: inside a tick (a "Warning!" box is up) it waits until the tick has ended, since
      // the tick still uses the window and the static data.
      DestroyWindow();
      return 0;
    case WM_TIMER:
      event.kind = SaverEventKind::Timer;
      event.timerId = static_cast<uint32_t>(wParam);
      break;
    case WM_ERASEBKGND:
      event.kind = SaverEventKind::EraseBackground;
      break;
    case WM_DISPLAYCHANGE:
      OnDisplayChange();
      return 0;
    case WM_PAINT:
      if (PaintDeadAreas(window)) return 0;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
      event.kind = SaverEventKind::MouseMove;
      event.x = static_cast<int16_t>(GET_X_LPARAM(lParam));
      event.y = static_cast<int16_t>(GET_Y_LPARAM(lParam));
      break;
    case WM_KEYDOWN:
      event.kind = SaverEventKind::KeyDown;
      break;
    case WM_LBUTTONDOWN:
      event.kind = SaverEventKind::LeftButtonDown;
      break;
    case WM_RBUTTONDOWN:
      event.kind = SaverEventKind::RightButtonDown;
      break;
    case WM_MBUTTONDOWN:
      event.kind = SaverEventKind::MiddleButtonDown;
      break;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
  const bool timed = event.kind == SaverEventKind::Timer && event.timerId == app_.timerId && !guard_.InTick();
  LARGE_INTEGER before, after;
  QueryPerformanceCounter(&before);
  const SaverEventResult result = GuardedSaverWindowEvent(app_, *this, guard_, event);
  if (timed) {
    QueryPerformanceCounter(&after);
    if (!firstFrame_.QuadPart)
      firstFrame_ = after;
    else {
      // The first tick also loads the static data; the mean is of the ordinary ticks after it.
      tickTime_.QuadPart += after.QuadPart - before.QuadPart;
      lastTick_ = before;
      ++timedTicks_;
    }
  }
  return result.callDefault ? DefWindowProcW(window, message, wParam, lParam) : result.value;
}

void* Win32Saver::AcquireWindowDC() {
  return GetWindowDC(window_);
}

void Win32Saver::ReleaseWindowDC(void* dc) {
  if (dc) ReleaseDC(window_, static_cast<HDC>(dc));
}

uint16_t Win32Saver::StartFrameTimer(uint16_t id, uint32_t periodMs) {
  return static_cast<uint16_t>(SetTimer(window_, id, periodMs, nullptr));
}

void Win32Saver::StopFrameTimer(uint16_t id) {
  KillTimer(window_, id);
}

SurfaceRect Win32Saver::ClientRect() {
  // The scene's size: the window's divided by the display scale (each frame is enlarged on present).
  return SurfaceRect{0, 0, app_.screenWidth, app_.screenHeight};
}

DisplaySurface* Win32Saver::CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) {
  return DibSurface::Create(window_, rect, bitsPerPixel, fill, app_.displayScale).release();
}

DisplaySurface* Win32Saver::CreateSceneDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill,
                                               uint16_t scale) {
  return DibSurface::Create(window_, rect, bitsPerPixel, fill, scale).release();
}

std::vector<SurfaceRect> Win32Saver::SceneMonitors() {
  std::vector<SurfaceRect> rects = DesktopMonitorRects();
  for (SurfaceRect& r : rects) {
    r.left -= screenArea_.left;
    r.right -= screenArea_.left;
    r.top -= screenArea_.top;
    r.bottom -= screenArea_.top;
  }
  return rects;
}

void Win32Saver::OnDisplayChange() {
  MonitorScenes* scenes = ActiveMonitorScenes();
  if (!windowAlive_ || !scenes) return;
  // Never under a running tick (a warning box's loop delivers messages): once it has ended.
  if (guard_.InTick()) {
    PostMessageA(window_, WM_DISPLAYCHANGE, 0, 0);
    return;
  }
  DesktopLayout layout;
  screenArea_ = SaverScreenArea(layout.MonitorRects(), layout.PrimaryRect());
  const int32_t width = screenArea_.right - screenArea_.left, height = screenArea_.bottom - screenArea_.top;
  SetWindowPos(window_, HWND_TOPMOST, screenArea_.left, screenArea_.top, width, height, SWP_NOACTIVATE);
  scenes->Rearrange(
      *this, MonitorSceneRects(SceneMonitors(), SurfaceRect{0, 0, width, height}, app_.monitorsSetting));
  // The old scenes' pixels must not stay where no scene draws any more.
  InvalidateRect(window_, nullptr, FALSE);
}

bool Win32Saver::PaintDeadAreas(HWND window) {
  // With one scene it covers the window and its next frame paints everything.
  MonitorScenes* scenes = ActiveMonitorScenes();
  if (!scenes || scenes->Count() < 2) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  for (size_t i = 0; i < scenes->Count(); ++i) {
    const SurfaceRect& a = scenes->Area(i);
    ExcludeClipRect(dc, a.left, a.top, a.right, a.bottom);
  }
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(window, &paint);
  return true;
}

const uint8_t* Win32Saver::LoadResource(int number, const char* typeName) {
  char name[16];
  std::snprintf(name, sizeof name, "#%d", number);
  HRSRC found = FindResourceA(instance_, name, typeName);
  if (!found) return nullptr;
  HGLOBAL loaded = ::LoadResource(instance_, found);
  return loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
}

void Win32Saver::StopAllSounds() {
  PlaySoundKept(nullptr, nullptr, 0);
}

void Win32Saver::DestroyWindow() {
  // A destruction asked for inside a tick (a key pressed while a warning box was up) waits for the
  // tick to end; the guard carries it out then.
  if (guard_.DeferDestroy()) return;
  if (windowAlive_) ::DestroyWindow(window_);
}

void Win32Saver::PostQuit(int code) {
  PostQuitMessage(code);
}

void Win32Saver::CaptureMouseAndHideCursor() {
  SetCapture(window_);
  ShowCursor(FALSE);
  mouseCaptured_ = true;
}

void Win32Saver::ShowCursorAndReleaseMouse() {
  if (!mouseCaptured_) return;
  ShowCursor(TRUE);
  ReleaseCapture();
  mouseCaptured_ = false;
}

void Win32Saver::ShowWarning(const char* text) {
  // The box belongs to the saver window (so it stands above the topmost window, and the window gets no
  // input while it is up); the cursor comes back so the box can be answered.
  HWND owner = windowAlive_ ? window_ : nullptr;
  const bool captured = owner && mouseCaptured_;
  if (captured) {
    ShowCursor(TRUE);
    ReleaseCapture();
  }
  MessageBoxW(owner, Wide(text).c_str(), L"Warning!", MB_OK | MB_ICONWARNING | MB_TOPMOST | MB_SETFOREGROUND);
  if (captured && windowAlive_) {
    ShowCursor(FALSE);
    SetCapture(window_);
  }
}

void Win32Saver::ShowFatalError(const char* message) {
  // The saver window steps aside first: it is topmost and has the mouse, and its frame timer must not
  // tick inside the box's message loop over data that is half loaded.
  if (windowAlive_) {
    KillTimer(window_, app_.timerId);
    ShowWindow(window_, SW_HIDE);
  }
  if (mouseCaptured_) {
    ShowCursor(TRUE);
    ReleaseCapture();
  }
  MessageBoxW(nullptr, Wide(message).c_str(), Text(instance_, IDS_SAVER_NAME).c_str(),
              MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND | MB_TASKMODAL);
}

void ReportFatalError(const char* message) {
  if (Win32Saver* saver = Win32Saver::Current())
    saver->ShowFatalError(message);
  else
    MessageBoxW(nullptr, Wide(message).c_str(), Wide(kSaverDisplayName).c_str(),
                MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND | MB_TASKMODAL);
  // The process ends here, with the C runtime's abnormal-end status but without its own box, and
  // without running anything of the state the error broke off; the system takes the window with it.
  TerminateProcess(GetCurrentProcess(), 3);
  ExitProcess(3);
}

void ReportWarning(const char* text) {
  if (Win32Saver* saver = Win32Saver::Current())
    saver->ShowWarning(text);
  else
    MessageBoxW(nullptr, Wide(text).c_str(), L"Warning!", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}
