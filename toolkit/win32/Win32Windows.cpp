#include "toolkit/Controls.h"
#include "toolkit/Forms.h"
#include "toolkit/win32/Win32DeviceContext.h"
#include "toolkit/win32/Win32Windows.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/win32/WideText.h"

namespace win32 {

namespace {

constexpr wchar_t kControlClass[] = L"QuorvaneControl";
constexpr wchar_t kFormClass[] = L"QuorvaneForm";
// The core of a native window the toolkit took over.
constexpr wchar_t kCoreProperty[] = L"Quorvane.WindowCore";
// The window's extra bytes hold its core; its user data holds its control.
constexpr int kCoreSlot = 0;

ATOM gControlAtom = 0;
ATOM gFormAtom = 0;

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

// The message the backend's own loop is dispatching, for the key presses it leaves untranslated.
thread_local const MSG* gDispatching = nullptr;

// Posted to a window that lost the mouse capture, to learn afterwards whether the pointer left it
// meanwhile: the system reports no leaving while a window holds the capture.
constexpr UINT kCheckPointerLeft = WM_APP + 0x51;

TWindowCore* CoreOf(HWND window) {
  if (!window) return nullptr;
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != ::GetCurrentProcessId()) return nullptr;
  if (auto* native = static_cast<TWindowCore*>(::GetPropW(window, kCoreProperty))) return native;
  const auto atom = static_cast<ATOM>(::GetClassLongPtrW(window, GCW_ATOM));
  if (atom == 0 || (atom != gControlAtom && atom != gFormAtom)) return nullptr;
  return reinterpret_cast<TWindowCore*>(::GetWindowLongPtrW(window, kCoreSlot));
}

bool IsForm(HWND window) {
  return window && static_cast<ATOM>(::GetClassLongPtrW(window, GCW_ATOM)) == gFormAtom;
}

// ---- Painting through a buffer ------------------------------------------------------------

// A picture the size of a window's client area that a paint draws into before it is copied to
// the window in one piece, so that nothing shows half painted. Kept for the next paint.
struct TPaintBuffer {
  HDC DC = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  TWin32Surface Surface;
  ~TPaintBuffer() {
    if (DC) {
      ::SelectObject(DC, Old);
      ::DeleteDC(DC);
    }
    if (Bitmap) ::DeleteObject(Bitmap);
  }
};

std::vector<std::unique_ptr<TPaintBuffer>>& SpareBuffers() {
  static auto* spare = new std::vector<std::unique_ptr<TPaintBuffer>>;
  return *spare;
}

std::unique_ptr<TPaintBuffer> TakeBuffer(int width, int height) {
  auto& spare = SpareBuffers();
  for (auto it = spare.begin(); it != spare.end(); ++it)
    if ((*it)->Surface.Width >= width && (*it)->Surface.Height >= height) {
      std::unique_ptr<TPaintBuffer> found = std::move(*it);
      spare.erase(it);
      return found;
    }
  auto buffer = std::make_unique<TPaintBuffer>();
  void* bits = nullptr;
  buffer->Bitmap = CreateDIBSection32(width, height, &bits);
  if (!buffer->Bitmap) return nullptr;
  buffer->DC = ::CreateCompatibleDC(nullptr);
  if (!buffer->DC) return nullptr;
  buffer->Old = ::SelectObject(buffer->DC, buffer->Bitmap);
  buffer->Surface = {static_cast<uint8_t*>(bits), width, height};
  return buffer;
}

void GiveBackBuffer(std::unique_ptr<TPaintBuffer> buffer) {
  auto& spare = SpareBuffers();
  spare.push_back(std::move(buffer));
  // Two are enough: one for a paint and one for a paint inside it.
  if (spare.size() > 2) {
    auto smallest = std::min_element(spare.begin(), spare.end(), [](const auto& a, const auto& b) {
      return a->Surface.Width * a->Surface.Height < b->Surface.Width * b->Surface.Height;
    });
    spare.erase(smallest);
  }
}

// A palette display draws through the window's own device context, where the palette is.
bool PaletteDisplay() {
  HDC screen = ::GetDC(nullptr);
  const bool palette = screen && (::GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return palette;
}

// ---- The hint window ----------------------------------------------------------------------

HWND gHintWindow = nullptr;

// Whether any window has been painted, for NoteFirstFrame.
bool gPainted = false;

TOOLINFOW HintTool(const wchar_t* text) {
  TOOLINFOW tool{};
  // The size of the structure every version of the common controls knows.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = gHintWindow;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(text);
  return tool;
}

}  // namespace

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  auto* core = reinterpret_cast<TWindowCore*>(::GetWindowLongPtrW(window, kCoreSlot));
  if (msg == WM_NCCREATE) {
    core = static_cast<TWindowCore*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (core) core->Attach(window);
  }
  if (!core) return ::DefWindowProcW(window, msg, wp, lp);
  return core->Message(msg, wp, lp);
}

LRESULT CALLBACK NativeWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  auto* core = static_cast<TWindowCore*>(::GetPropW(window, kCoreProperty));
  if (!core) return ::DefWindowProcW(window, msg, wp, lp);
  return core->Message(msg, wp, lp);
}

void RegisterWindowClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  // Double clicks are the toolkit's own message; the background is never erased.
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ToolkitWindowProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = Instance();
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  wc.lpszClassName = kControlClass;
  if (!gControlAtom) gControlAtom = ::RegisterClassExW(&wc);
  wc.lpszClassName = kFormClass;
  wc.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // the application icon
  if (!gFormAtom) gFormAtom = ::RegisterClassExW(&wc);
}

void UnregisterWindowClasses() {
  if (gControlAtom) ::UnregisterClassW(kControlClass, Instance());
  if (gFormAtom) ::UnregisterClassW(kFormClass, Instance());
  gControlAtom = gFormAtom = 0;
}

TWinControl* ControlOf(HWND window) {
  for (HWND w = window; w; w = ::GetAncestor(w, GA_PARENT))
    if (CoreOf(w)) return reinterpret_cast<TWinControl*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
  return nullptr;
}

void DispatchLoopMessage(MSG& message) {
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST && CoreOf(message.hwnd)) {
    const MSG* outer = gDispatching;
    gDispatching = &message;
    ::DispatchMessageW(&message);
    gDispatching = outer;
    return;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void ShowHintWindow(const std::string& text, POINT screen) {
  if (!gHintWindow) {
    gHintWindow = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    0, 0, 0, 0, nullptr, nullptr, Instance(), nullptr);
    if (!gHintWindow) return;
    TOOLINFOW tool = HintTool(L"");
    ::SendMessageW(gHintWindow, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A width limit makes the hint break its lines where the text does.
    ::SendMessageW(gHintWindow, TTM_SETMAXTIPWIDTH, 0, 480);
  }
  const std::wstring wide = Wide(text);
  TOOLINFOW tool = HintTool(wide.c_str());
  ::SendMessageW(gHintWindow, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  // Below the pointer, where the pointer does not cover it.
  ::SendMessageW(gHintWindow, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y + 20));
  ::SendMessageW(gHintWindow, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void HideHintWindow() {
  if (!gHintWindow) return;
  TOOLINFOW tool = HintTool(L"");
  ::SendMessageW(gHintWindow, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void ReleaseWindowResources() {
  if (gHintWindow) ::DestroyWindow(gHintWindow);
  gHintWindow = nullptr;
  SpareBuffers().clear();
}

// ---- TWindowCore ----------------------------------------------------------------------------

TWindowCore::TWindowCore(TWinControl* control) : FControl(control) {}

TWindowCore::~TWindowCore() {
  FControl = nullptr;
  if (FHintFor) HideHintWindow();
  if (FWindow) {
    const HWND window = FWindow;
    // A child window that goes with the focus would make the system hand the focus to its
    // parent, and the toolkit would hear of a focus it never gave: the toolkit has already let go
    // of the control, so the focus goes nowhere.
    const HWND focus = ::GetFocus();
    if (focus && (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) && (focus == window || ::IsChild(window, focus)))
      ::SetFocus(nullptr);
    ::DestroyWindow(window);
    // A window the system would not destroy (another thread's) no longer reaches this core.
    if (FWindow) Detach();
  }
}

bool TWindowCore::CreateOwnWindow(bool form, HWND parent) {
  DWORD style = WS_CLIPCHILDREN;
  if (form) style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  else if (parent) style |= WS_CHILD | WS_CLIPSIBLINGS;
  else style |= WS_POPUP;
  const HWND window = ::CreateWindowExW(0, form ? kFormClass : kControlClass, L"", style, 0, 0, 0, 0, parent, nullptr,
                                        Instance(), this);
  return window != nullptr;
}

void TWindowCore::AdoptNativeWindow(HWND window) {
  FWindow = window;
  ::SetPropW(window, kCoreProperty, this);
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(FControl));
  FOriginal = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NativeWindowProc)));
}

void TWindowCore::Attach(HWND window) {
  FWindow = window;
  ::SetWindowLongPtrW(window, kCoreSlot, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(FControl));
}

void TWindowCore::Detach() {
  const HWND window = FWindow;
  FWindow = nullptr;
  if (!window) return;
  if (FOriginal) {
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOriginal));
    ::RemovePropW(window, kCoreProperty);
  } else {
    ::SetWindowLongPtrW(window, kCoreSlot, 0);
  }
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

LRESULT TWindowCore::Default(UINT msg, WPARAM wp, LPARAM lp) const {
  if (FOriginal) return ::CallWindowProcW(FOriginal, FWindow, msg, wp, lp);
  return ::DefWindowProcW(FWindow, msg, wp, lp);
}

LRESULT TWindowCore::Message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) {
    const LRESULT result = Default(msg, wp, lp);
    Detach();
    return result;
  }
  if (!FControl) return Default(msg, wp, lp);
  // What the default processing needs, kept: the toolkit may destroy this core while it runs.
  const HWND window = FWindow;
  const WNDPROC original = FOriginal;
  const std::weak_ptr<char> life = FLife;
  auto fallThrough = [&]() -> LRESULT {
    if (!::IsWindow(window)) return 0;
    if (original) return ::CallWindowProcW(original, window, msg, wp, lp);
    return ::DefWindowProcW(window, msg, wp, lp);
  };
  switch (msg) {
    case WM_PAINT:
      if (Native()) break;
      Paint();
      return 0;
    case WM_ERASEBKGND:
      // The toolkit paints every pixel of its windows.
      if (Native()) break;
      return 1;
    case WM_MOUSEMOVE:
      PointerMoved(lp);
      if (Native() || life.expired()) return fallThrough();
      SendMouse(WM_MOUSEMOVE, wp, lp);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      HideHintWindow();
      FHintFor = nullptr;
      if (Native()) break;
      // The toolkit knows no right double click: it is a second press.
      SendMouse(msg == WM_RBUTTONDBLCLK ? WM_RBUTTONDOWN : msg, wp, lp);
      return 0;
    case WM_MOUSELEAVE:
      PointerLeft();
      return 0;
    case WM_MOUSEHOVER:
      if (Native()) break;
      Hover(lp);
      return 0;
    case WM_CAPTURECHANGED:
      if (Native()) break;
      if (reinterpret_cast<HWND>(lp) != window) ::PostMessageW(window, kCheckPointerLeft, 0, 0);
      Send(WM_CAPTURECHANGED, 0, lp);
      return fallThrough();
    case kCheckPointerLeft:
      if (!FTracking) PointerLeft();
      return 0;
    case WM_SETFOCUS:
      FocusArrived();
      return fallThrough();
    case WM_KILLFOCUS:
      FocusLeft(reinterpret_cast<HWND>(wp));
      return fallThrough();
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      return Key(msg, wp, lp);
    case WM_CLOSE:
      // The form decides: closing the main form ends the program.
      Send(WM_CLOSE);
      return 0;
    case WM_ACTIVATE:
      if (Activate(wp)) return 0;
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (TWindowCore* child = CoreOf(reinterpret_cast<HWND>(lp)))
        if (HBRUSH brush = child->ControlColor(reinterpret_cast<HDC>(wp))) return reinterpret_cast<LRESULT>(brush);
      break;
    default: break;
  }
  return fallThrough();
}

void TWindowCore::Send(unsigned msg, uintptr_t wp, intptr_t lp) {
  TWinControl* control = FControl;
  if (control) ProtectedCall([&] { control->Perform(msg, wp, lp); });
}

void TWindowCore::SendMouse(unsigned msg, WPARAM wp, LPARAM lp) {
  const uintptr_t keys = wp & (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL);
  Send(msg, keys, MakeMousePos(static_cast<int16_t>(LOWORD(lp)), static_cast<int16_t>(HIWORD(lp))));
}

void TWindowCore::Paint() {
  const HWND window = FWindow;
  TWinControl* control = FControl;
  const std::weak_ptr<char> life = FLife;
  RECT client{};
  ::GetClientRect(window, &client);
  std::unique_ptr<TPaintBuffer> buffer;
  HRGN update = nullptr;
  if (client.right > 0 && client.bottom > 0 && !PaletteDisplay()) {
    update = ::CreateRectRgn(0, 0, 0, 0);
    if (update && ::GetUpdateRgn(window, update, FALSE) != RGN_ERROR) buffer = TakeBuffer(client.right, client.bottom);
  }
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(window, &ps);
  if (!dc) {
    if (update) ::DeleteObject(update);
    if (buffer) GiveBackBuffer(std::move(buffer));
    return;
  }
  int level = 0;
  if (buffer) {
    // The buffer holds the client area in its own coordinates; the part to paint is its clip.
    level = ::SaveDC(buffer->DC);
    ::SelectClipRgn(buffer->DC, update);
  }
  {
    TWin32DeviceContext context(buffer ? buffer->DC : dc, buffer ? &buffer->Surface : nullptr);
    FPaintDC = &context;
    FPaintRect = ps.rcPaint;
    ProtectedCall([&] { control->Perform(WM_PAINT); });
    if (!life.expired()) FPaintDC = nullptr;
  }
  if (buffer) {
    ::RestoreDC(buffer->DC, level);
    const RECT& r = ps.rcPaint;
    ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, buffer->DC, r.left, r.top, SRCCOPY);
    GiveBackBuffer(std::move(buffer));
  }
  if (update) ::DeleteObject(update);
  ::EndPaint(window, &ps);
  gPainted = true;
}

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
  const long long ns = static_cast<long long>(static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart));
  if (std::FILE* f = ::_wfopen(path, L"a")) {
    std::fprintf(f, "%lld\n", ns);
    std::fclose(f);
  }
}

void TWindowCore::Track(bool hover) {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE | (hover ? TME_HOVER : 0u);
  track.hwndTrack = FWindow;
  track.dwHoverTime = HOVER_DEFAULT;
  if (!::TrackMouseEvent(&track)) return;
  FTracking = true;
  if (hover) FHoverArmed = true;
}

void TWindowCore::PointerMoved(LPARAM lp) {
  TWinControl* control = FControl;
  if (Native()) {
    if (!FTracking) Track(false);
    // The native window's moves do not reach the toolkit: it only hears that the pointer is
    // over the control.
    ProtectedCall([&] { MouseIdle(control); });
    return;
  }
  // A hint stays while the pointer is over the control it is for; over another, the next rest
  // may show that one's.
  const TPoint p{static_cast<int16_t>(LOWORD(lp)), static_cast<int16_t>(HIWORD(lp))};
  const TControl* under = control;
  ProtectedCall([&] {
    if (TControl* child = control->ControlAtPos(p)) under = child;
  });
  if (FHintFor && under != FHintFor) {
    HideHintWindow();
    FHintFor = nullptr;
  }
  // While this window holds the capture the pointer may be far outside: it is not tracked there.
  RECT client{};
  ::GetClientRect(FWindow, &client);
  const POINT at{p.X, p.Y};
  if (!::PtInRect(&client, at)) return;
  const bool hover = !FHintFor && !FHoverArmed;
  if (!FTracking || hover) Track(hover);
}

void TWindowCore::PointerLeft() {
  FTracking = false;
  FHoverArmed = false;
  if (FHintFor) {
    HideHintWindow();
    FHintFor = nullptr;
  }
  // A window holding the capture hears of the pointer leaving once it lets go of it.
  if (::GetCapture() == FWindow) return;
  // Into a window inside this one the pointer has not left: the moves there tell the toolkit
  // where it is, as they do when it comes back. (Windows reports the leaving as the pointer
  // enters the inner window; Wine may report it after the inner window's first moves.)
  POINT p{};
  ::GetCursorPos(&p);
  for (HWND w = ::WindowFromPoint(p); w; w = ::GetAncestor(w, GA_PARENT))
    if (w == FWindow) return;
  TWinControl* control = FControl;
  ProtectedCall([&] { control->PeerMouseLeft(); });
}

void TWindowCore::Hover(LPARAM lp) {
  FHoverArmed = false;
  TWinControl* control = FControl;
  const std::weak_ptr<char> life = FLife;
  const TPoint p{static_cast<int16_t>(LOWORD(lp)), static_cast<int16_t>(HIWORD(lp))};
  THintInfo info;
  bool show = false;
  const TControl* target = control;
  ProtectedCall([&] {
    TControl* under = control->ControlAtPos(p);
    const TPoint local = under ? TPoint{p.X - under->Left(), p.Y - under->Top()} : p;
    if (under) target = under;
    show = HintToShow(under ? under : control, local, info);
  });
  if (life.expired()) return;
  if (!show) {
    HideHintWindow();
    return;
  }
  POINT screen{};
  ::GetCursorPos(&screen);
  ShowHintWindow(info.HintStr, screen);
  FHintFor = target;
}

LRESULT TWindowCore::Key(UINT msg, WPARAM wp, LPARAM lp) {
  const HWND window = FWindow;
  const WNDPROC original = FOriginal;
  const bool press = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  const bool release = msg == WM_KEYUP || msg == WM_SYSKEYUP;
  uintptr_t code = wp;
  if (msg == WM_CHAR || msg == WM_SYSCHAR) {
    // A character beyond the first plane comes as two messages.
    const auto unit = static_cast<wchar_t>(wp);
    if (unit >= 0xD800 && unit < 0xDC00) {
      FHighSurrogate = unit;
      return 0;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
      if (!FHighSurrogate) return 0;
      code = 0x10000 + ((static_cast<uintptr_t>(FHighSurrogate) - 0xD800) << 10) + (unit - 0xDC00);
    }
    FHighSurrogate = 0;
  }
  if (press && FHintFor) {
    HideHintWindow();
    FHintFor = nullptr;
  }
  const auto system = static_cast<uint32_t>(lp);
  const WORD flags = HIWORD(system);
  intptr_t data = MakeKeyData(::GetKeyState(VK_SHIFT) < 0, ::GetKeyState(VK_CONTROL) < 0,
                              (flags & KeyFlagAltDown) != 0, release, system & 0xFFFF);
  // The scan code and the extended-key flag as the system gives them.
  data |= static_cast<intptr_t>(system & 0x01FF0000u);
  if (press && (flags & KeyFlagRepeat)) data |= KF_REPEAT;
  TWinControl* control = FControl;
  bool taken = false, notified = false;
  ProtectedCall([&] { taken = DispatchKeyMessage(control, msg, code, data, press ? &notified : nullptr); });
  // Characters come from key presses that no notification took, as the system translates them.
  const MSG* dispatching = gDispatching;
  if (press && !notified && dispatching && dispatching->hwnd == window && dispatching->message == msg &&
      dispatching->wParam == wp && dispatching->lParam == lp && ::IsWindow(window))
    ::TranslateMessage(dispatching);
  if (taken || !::IsWindow(window)) return 0;
  if (original) return ::CallWindowProcW(original, window, msg, wp, lp);
  return ::DefWindowProcW(window, msg, wp, lp);
}

void TWindowCore::FocusArrived() {
  if (TWindowCore* form = CoreOf(::GetAncestor(FWindow, GA_ROOT))) form->FLastFocus = FWindow;
  TWinControl* control = FControl;
  ProtectedCall([&] { ChangeSystemFocus(control); });
}

void TWindowCore::FocusLeft(HWND next) {
  // Focus moving to another window of the toolkit is reported by that window when it has it.
  if (CoreOf(next)) return;
  ProtectedCall([] { ChangeSystemFocus(nullptr); });
}

bool TWindowCore::Activate(WPARAM wp) {
  if (LOWORD(wp) == WA_INACTIVE || HIWORD(wp) != 0 || !IsForm(FWindow)) return false;
  // An activated form gives the focus back to the window that had it, as the system does for
  // dialogs; without one the system's default gives it to the form itself.
  const HWND last = FLastFocus;
  if (!last || !::IsWindow(last) || (last != FWindow && !::IsChild(FWindow, last)) || !::IsWindowVisible(last) ||
      !::IsWindowEnabled(last))
    return false;
  ::SetFocus(last);
  return true;
}

void TWindowCore::PeerSetBounds(const TRect& r) {
  if (!FWindow) return;
  ::SetWindowPos(FWindow, nullptr, r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindowCore::PeerSetVisible(bool visible) {
  if (!FWindow) return;
  ::ShowWindow(FWindow, !visible ? SW_HIDE : IsForm(FWindow) ? SW_SHOW : SW_SHOWNOACTIVATE);
}

void TWindowCore::PeerSetEnabled(bool enabled) {
  if (FWindow) ::EnableWindow(FWindow, enabled ? TRUE : FALSE);
}

void TWindowCore::PeerSetCaption(const std::string& caption) {
  // Only a top-level window shows a caption; the toolkit draws those of the others.
  if (FWindow && !(::GetWindowLongPtrW(FWindow, GWL_STYLE) & WS_CHILD)) ::SetWindowTextW(FWindow, Wide(caption).c_str());
}

// What is marked for painting is marked in the windows inside too, and painted with them: the
// toolkit's parent windows paint what lies under their children.
void TWindowCore::PeerInvalidate(const TRect* r) {
  if (!FWindow) return;
  if (!r) {
    ::RedrawWindow(FWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    return;
  }
  if (r->IsEmpty()) return;
  const RECT rc{r->Left, r->Top, r->Right, r->Bottom};
  ::RedrawWindow(FWindow, &rc, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TWindowCore::PeerValidateRect(const TRect& r) {
  if (!FWindow || r.IsEmpty()) return;
  const RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  ::ValidateRect(FWindow, &rc);
}

void TWindowCore::PeerUpdate() {
  if (FWindow) ::RedrawWindow(FWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

TDeviceContext* TWindowCore::PeerBeginPaint(TPaintStruct& paint) {
  if (!FPaintDC) return nullptr;
  paint.DC = FPaintDC;
  paint.Paint = {FPaintRect.left, FPaintRect.top, FPaintRect.right, FPaintRect.bottom};
  paint.Erase = false;
  return FPaintDC;
}

void TWindowCore::PeerSetMouseCapture(bool capture) {
  if (!FWindow) return;
  if (capture) ::SetCapture(FWindow);
  else if (::GetCapture() == FWindow) ::ReleaseCapture();
}

void TWindowCore::PeerSetFocus() {
  if (FWindow) ::SetFocus(FWindow);
}

bool TWindowCore::PeerFocused() const { return FWindow && ::GetFocus() == FWindow; }

void TWindowCore::PeerShowHint(const std::string& text, TPoint clientPos) {
  if (!FWindow) return;
  POINT p{clientPos.X, clientPos.Y};
  ::ClientToScreen(FWindow, &p);
  ShowHintWindow(text, p);
}

TPoint TWindowCore::PeerScreenToClient(TPoint p) const {
  POINT q{p.X, p.Y};
  if (FWindow) ::ScreenToClient(FWindow, &q);
  return {q.x, q.y};
}

TPoint TWindowCore::PeerClientToScreen(TPoint p) const {
  POINT q{p.X, p.Y};
  if (FWindow) ::ClientToScreen(FWindow, &q);
  return {q.x, q.y};
}

bool TWindowCore::PeerIsActiveWindow() const {
  if (!FWindow) return false;
  const HWND root = ::GetAncestor(FWindow, GA_ROOT);
  return root && ::GetForegroundWindow() == root;
}

// ---- Forms ----------------------------------------------------------------------------------

namespace {

class TControlPeer : public TWindowPeer<IWindowPeer> {
public:
  using TWindowPeer<IWindowPeer>::TWindowPeer;
  bool Create(HWND parent) { return CreateOwnWindow(false, parent); }
};

class TFormPeer : public TWindowPeer<IFormPeer> {
public:
  using TWindowPeer<IFormPeer>::TWindowPeer;
  bool Create() { return CreateOwnWindow(true, nullptr); }

  void SetBounds(const TRect& r) override {
    // The toolkit's bounds include the frame; the frame's size follows the client size (SetFrame).
    if (FWindow) ::SetWindowPos(FWindow, nullptr, r.Left, r.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void SetFrame(TBorderStyle border, TBorderIcons icons, int clientWidth, int clientHeight) override {
    if (!FWindow) return;
    const LONG_PTR oldStyle = ::GetWindowLongPtrW(FWindow, GWL_STYLE);
    const LONG_PTR oldExStyle = ::GetWindowLongPtrW(FWindow, GWL_EXSTYLE);
    LONG_PTR style = oldStyle & ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME |
                                                       WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    LONG_PTR exStyle = oldExStyle & ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP);
    switch (border) {
      case TBorderStyle::bsNone: style |= WS_POPUP; break;
      case TBorderStyle::bsSingle: style |= WS_CAPTION; break;
      case TBorderStyle::bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
      case TBorderStyle::bsDialog:
        style |= WS_CAPTION;
        exStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    // The buttons of the caption come with its system menu.
    if (border != TBorderStyle::bsNone && (icons & biSystemMenu)) {
      style |= WS_SYSMENU;
      if (border != TBorderStyle::bsDialog && (icons & biMinimize)) style |= WS_MINIMIZEBOX;
      if (border == TBorderStyle::bsSizeable && (icons & biMaximize)) style |= WS_MAXIMIZEBOX;
      if (border == TBorderStyle::bsDialog && (icons & biHelp)) exStyle |= WS_EX_CONTEXTHELP;
    }
    UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    if (style != oldStyle || exStyle != oldExStyle) {
      ::SetWindowLongPtrW(FWindow, GWL_STYLE, style);
      ::SetWindowLongPtrW(FWindow, GWL_EXSTYLE, exStyle);
      flags |= SWP_FRAMECHANGED;
    }
    RECT frame{0, 0, std::max(0, clientWidth), std::max(0, clientHeight)};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle));
    ::SetWindowPos(FWindow, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, flags);
  }

  void CenterOnScreen() override {
    if (!FWindow) return;
    RECT area{}, window{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return;
    ::GetWindowRect(FWindow, &window);
    const int x = area.left + ((area.right - area.left) - (window.right - window.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (window.bottom - window.top)) / 2;
    ::SetWindowPos(FWindow, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void Raise() override {
    if (!FWindow) return;
    ::SetWindowPos(FWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(FWindow);
  }
};

}  // namespace

std::unique_ptr<IWindowPeer> CreateControlPeer(TWinControl* control, IWindowPeer* parent) {
  auto peer = std::make_unique<TControlPeer>(control);
  if (!peer->Create(parent ? static_cast<HWND>(parent->NativeWidget()) : nullptr)) return nullptr;
  return peer;
}

std::unique_ptr<IFormPeer> CreateFormPeer(TWinControl* form) {
  auto peer = std::make_unique<TFormPeer>(form);
  if (!peer->Create()) return nullptr;
  return peer;
}

}  // namespace win32
