#include "toolkit/win32/Win32Backend.h"

#include "platform/WinTypes.h"
#include "toolkit/Backend.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/win32/Win32DeviceContext.h"
#include "toolkit/win32/Win32Pictures.h"
#include "toolkit/win32/Win32RichEdit.h"
#include "toolkit/win32/Win32Timers.h"
#include "toolkit/win32/Win32Windows.h"

#include "platform/win32/WideText.h"

namespace {

// A 32-bit bottom-up DIB section selected into a memory device context of its own.
class TWin32DIBSection : public IDIBSection {
public:
  // nullptr when the system refuses, with its reason as the thread's last error.
  static std::unique_ptr<TWin32DIBSection> Make(int width, int height) {
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection32(width, height, &bits);
    HDC dc = bitmap ? ::CreateCompatibleDC(nullptr) : nullptr;
    if (!bitmap || !dc || !bits) {
      const DWORD error = ::GetLastError();
      if (dc) ::DeleteDC(dc);
      if (bitmap) ::DeleteObject(bitmap);
      platform::SetLastError(error ? error : static_cast<platform::DWORD>(platform::ERROR_NOT_ENOUGH_MEMORY));
      return nullptr;
    }
    return std::unique_ptr<TWin32DIBSection>(new TWin32DIBSection(dc, bitmap, static_cast<uint8_t*>(bits), width, height));
  }
  ~TWin32DIBSection() override {
    ::GdiFlush();
    ::SelectObject(FDC, FOld);
    ::DeleteDC(FDC);
    ::DeleteObject(FBitmap);
  }
  uint8_t* Bits() override { return FSurface.Bits; }
  TDeviceContext& DC() override { return FContext; }
  void Flush() override { ::GdiFlush(); }

private:
  TWin32DIBSection(HDC dc, HBITMAP bitmap, uint8_t* bits, int width, int height)
      : FDC(dc), FBitmap(bitmap), FOld(::SelectObject(dc, bitmap)), FSurface{bits, width, height},
        FContext(dc, &FSurface) {}
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
  TWin32Surface FSurface;
  TWin32DeviceContext FContext;
};

}  // namespace

class TWin32Backend : public IBackend {
public:
  TWin32Backend() : FScreen(::CreateCompatibleDC(nullptr)), FScreenDC(FScreen) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    win32::RegisterWindowClasses();
    win32::CreateTimerWindow();
  }
  ~TWin32Backend() override {
    win32::ReleaseWindowResources();
    win32::DestroyTimerWindow();
    win32::UnregisterWindowClasses();
    if (FScreen) ::DeleteDC(FScreen);
  }

  std::unique_ptr<IWindowPeer> CreateWindowPeer(TWinControl* control, IWindowPeer* parent) override {
    if (auto* notes = dynamic_cast<TRichEdit*>(control)) return win32::CreateRichEditPeer(notes, parent);
    return win32::CreateControlPeer(control, parent);
  }
  std::unique_ptr<IFormPeer> CreateFormPeer(TWinControl* form) override { return win32::CreateFormPeer(form); }
  std::unique_ptr<ITimerPeer> CreateTimerPeer(std::function<void()> onTick) override {
    return win32::CreateTimerPeer(std::move(onTick));
  }
  std::unique_ptr<IDIBSection> CreateDIBSection(int width, int height) override {
    if (width <= 0 || height <= 0) return nullptr;
    return TWin32DIBSection::Make(width, height);
  }
  TDeviceContext& ScreenDC() override { return FScreenDC; }

  int ShowMessageBox(const TMessageBoxRequest& request) override {
    UINT flags = request.Flags;
    // The failure reports hold the application until they are answered; the other boxes have no
    // owner window, so the main window stays usable while one is open.
    if ((flags & 0xF0) == MB_ICONSTOP) flags |= MB_TASKMODAL;
    const int answer =
        ::MessageBoxW(nullptr, win32::Wide(request.Text).c_str(), win32::Wide(request.Caption).c_str(), flags);
    switch (answer) {
      case IDOK:
      case IDYES:
      case IDNO:
      case IDCANCEL: return answer;
      default: return IDCANCEL;
    }
  }

  void RunMessageLoop() override {
    // A quit of our own rather than the system's: a quit asked for inside nested processing (an
    // installer being waited for) must end this loop only, and never end the loop of a message
    // box shown later in the same run. What is queued ahead of a quit still runs.
    ProcessMessages();
    while (!FQuitRequested) {
      win32::NoteFirstFrame();
      MSG message;
      const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        FQuitRequested = true;
        break;
      }
      win32::DispatchLoopMessage(message);
      if (FQuitRequested) ProcessMessages();
    }
  }
  void ProcessMessages() override {
    // What is queued now. A message the system stamps later than the start is the last one of
    // this turn, so that a timer faster than its handler cannot keep this from returning.
    const DWORD start = ::GetTickCount();
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        FQuitRequested = true;
        break;
      }
      win32::DispatchLoopMessage(message);
      if (static_cast<LONG>(message.time - start) > 0) break;
    }
  }
  void Quit(int) override {
    FQuitRequested = true;
    win32::WakeMessageLoop();
  }
  int ScreenBitsPerPixel() const override {
    HDC screen = ::GetDC(nullptr);
    if (!screen) return 32;
    const int bits = ::GetDeviceCaps(screen, BITSPIXEL) * ::GetDeviceCaps(screen, PLANES);
    ::ReleaseDC(nullptr, screen);
    return bits;
  }
  TSize ScreenSize() const override { return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }
  TPoint CursorPos() const override {
    POINT p{};
    ::GetCursorPos(&p);
    return {p.x, p.y};
  }
  TWinControl* ControlAtScreenPoint(TPoint p) const override {
    return win32::ControlOf(::WindowFromPoint(POINT{p.X, p.Y}));
  }

private:
  HDC FScreen;
  TWin32DeviceContext FScreenDC;
  bool FQuitRequested = false;
};

TWin32BackendScope::TWin32BackendScope() : FBackend(std::make_unique<TWin32Backend>()) {
  RegisterWin32PictureFormats();
  SetBackend(FBackend.get());
}

TWin32BackendScope::~TWin32BackendScope() {
  SetBackend(nullptr);
  FBackend.reset();
}
