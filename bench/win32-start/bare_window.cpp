// The yardstick of the Windows cold-start benchmark: a bare Win32 window of the launcher's client
// size, with the launcher's frame, that fills itself black, and reports its first frame the way
// the launcher does (QV_FIRST_FRAME_LOG: the performance counter in nanoseconds, once the first
// paint is done and no paint is left in the queue).
#include <windows.h>

#include <cstdio>

namespace {

bool gPainted = false;

void NoteFirstFrame() {
  static bool noted = false;
  if (noted || !gPainted || (HIWORD(::GetQueueStatus(QS_PAINT)) & QS_PAINT)) return;
  noted = true;
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"QV_FIRST_FRAME_LOG", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  LARGE_INTEGER now{}, frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  if (std::FILE* f = ::_wfopen(path, L"a")) {
    std::fprintf(f, "%lld\n", static_cast<long long>(static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart)));
    std::fclose(f);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window, &ps);
      ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
      ::EndPaint(window, &ps);
      gPainted = true;
      return 0;
    }
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(window, msg, wp, lp);
  }
}

}  // namespace

int main() {
  WNDCLASSW kind{};
  kind.lpfnWndProc = WindowProc;
  kind.hInstance = ::GetModuleHandleW(nullptr);
  kind.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  kind.lpszClassName = L"BareWindow";
  ::RegisterClassW(&kind);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, 700, 473};
  ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND window = ::CreateWindowExW(0, L"BareWindow", L"Bare window", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  kind.hInstance, nullptr);
  ::ShowWindow(window, SW_SHOW);
  MSG message;
  for (;;) {
    NoteFirstFrame();
    if (::GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
