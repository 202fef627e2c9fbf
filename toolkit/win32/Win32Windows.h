#pragma once
// The native windows behind windowed controls and forms: the toolkit's window classes, the window
// procedure that hands the toolkit the system's messages as they come, and the peers over them.
// The toolkit decides everything (who is under the pointer, who holds the capture, where the focus
// goes); the windows only report what happened and draw what they are told.
#include <memory>
#include <string>

#include "toolkit/Backend.h"

#include "platform/win32/Win32Api.h"

namespace win32 {

// Registers the toolkit's window classes; the backend calls it once when it starts.
void RegisterWindowClasses();
void UnregisterWindowClasses();

// The windowed control that a window of this process stands for, read from its user data; a
// native window inside one (the notes panel's edit control) belongs to the nearest such. nullptr
// for every other window.
TWinControl* ControlOf(HWND window);

// Dispatches a message the backend's own loop took from the queue. The key presses of the
// toolkit's windows are turned into characters by their window procedure, only when no
// notification took the key; those of other windows here.
void DispatchLoopMessage(MSG& message);

// The hint window that shows a control's hint near the pointer (screen coordinates).
void ShowHintWindow(const std::string& text, POINT screen);
void HideHintWindow();
// Destroys what the windows share; before the backend goes.
void ReleaseWindowResources();

// For start-up measurements: when QV_FIRST_FRAME_LOG names a file, the moment the first frame has
// been painted (a window painted and no paint left in the queue, so every window of that frame is
// in it) is appended to it as nanoseconds of the performance counter. The message loop calls this
// before it waits.
void NoteFirstFrame();

// What every window of the toolkit has: the window, the control it stands for, and the
// translation of the system's messages.
class TWindowCore {
public:
  explicit TWindowCore(TWinControl* control);
  virtual ~TWindowCore();
  TWindowCore(const TWindowCore&) = delete;
  TWindowCore& operator=(const TWindowCore&) = delete;

  HWND Window() const { return FWindow; }
  // The window procedures call this for every message of the window.
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp);

protected:
  // Makes a window of the toolkit's own classes for this core.
  bool CreateOwnWindow(bool form, HWND parent);
  // Takes over a native window (an edit control) made by the caller: its messages pass through
  // here first, then to its own procedure.
  void AdoptNativeWindow(HWND window);
  // The rich-edit peer answers its parent's colour question for its native window.
  virtual HBRUSH ControlColor(HDC) { return nullptr; }
  bool Native() const { return FOriginal != nullptr; }

  // What the peers do, shared by every kind of peer.
  void PeerSetBounds(const TRect& r);
  void PeerSetVisible(bool visible);
  void PeerSetEnabled(bool enabled);
  void PeerSetCaption(const std::string& caption);
  void PeerInvalidate(const TRect* r);
  void PeerValidateRect(const TRect& r);
  void PeerUpdate();
  TDeviceContext* PeerBeginPaint(TPaintStruct& paint);
  void PeerSetMouseCapture(bool capture);
  void PeerSetFocus();
  bool PeerFocused() const;
  void PeerShowHint(const std::string& text, TPoint clientPos);
  TPoint PeerScreenToClient(TPoint p) const;
  TPoint PeerClientToScreen(TPoint p) const;
  bool PeerIsActiveWindow() const;

  HWND FWindow = nullptr;
  // nullptr while the peer destroys its window: nothing of that reaches the toolkit.
  TWinControl* FControl;

private:
  friend LRESULT CALLBACK ToolkitWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK NativeWindowProc(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND window);
  void Detach();
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) const;
  void Paint();
  void Send(unsigned msg, uintptr_t wp = 0, intptr_t lp = 0);
  void SendMouse(unsigned msg, WPARAM wp, LPARAM lp);
  void PointerMoved(LPARAM lp);
  void PointerLeft();
  void Hover(LPARAM lp);
  void Track(bool hover);
  LRESULT Key(UINT msg, WPARAM wp, LPARAM lp);
  void FocusArrived();
  void FocusLeft(HWND next);
  bool Activate(WPARAM wp);

  WNDPROC FOriginal = nullptr;
  TDeviceContext* FPaintDC = nullptr;
  RECT FPaintRect{};
  bool FTracking = false;
  bool FHoverArmed = false;
  // The control whose hint shows, only compared: it may be gone.
  const TControl* FHintFor = nullptr;
  wchar_t FHighSurrogate = 0;
  // On a form: the window of it that had the focus last, given it back when the form is
  // activated again.
  HWND FLastFocus = nullptr;
  // Expires with the core, so that a message handler can tell whether the toolkit destroyed the
  // window's control (and this core) while it ran.
  std::shared_ptr<char> FLife = std::make_shared<char>();
};

// The peer of a windowed control over a TWindowCore, for IWindowPeer and its extensions.
template <class Base>
class TWindowPeer : public Base, public TWindowCore {
public:
  using TWindowCore::TWindowCore;
  void SetBounds(const TRect& r) override { PeerSetBounds(r); }
  void SetVisible(bool visible) override { PeerSetVisible(visible); }
  void SetEnabled(bool enabled) override { PeerSetEnabled(enabled); }
  void SetCaption(const std::string& caption) override { PeerSetCaption(caption); }
  void SetBackgroundColor(TColor) override {}
  void Invalidate(const TRect* r) override { PeerInvalidate(r); }
  void ValidateRect(const TRect& r) override { PeerValidateRect(r); }
  void Update() override { PeerUpdate(); }
  TDeviceContext* BeginPaint(TPaintStruct& paint) override { return PeerBeginPaint(paint); }
  void EndPaint(const TPaintStruct&) override {}
  void SetMouseCapture(bool capture) override { PeerSetMouseCapture(capture); }
  void SetFocus() override { PeerSetFocus(); }
  bool Focused() const override { return PeerFocused(); }
  void ShowHint(const std::string& text, TPoint clientPos) override { PeerShowHint(text, clientPos); }
  void HideHint() override { HideHintWindow(); }
  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(FWindow); }
  void* NativeWidget() override { return FWindow; }
  TPoint ScreenToClient(TPoint p) const override { return PeerScreenToClient(p); }
  TPoint ClientToScreen(TPoint p) const override { return PeerClientToScreen(p); }
  TPoint CursorPos() const override {
    POINT p{};
    ::GetCursorPos(&p);
    return {p.x, p.y};
  }
  bool IsActiveWindow() const override { return PeerIsActiveWindow(); }
};

// The window of a windowed control (a child of its parent's window, or a hidden top-level
// window while it has no parent), and that of a form. nullptr when the system refuses a window.
std::unique_ptr<IWindowPeer> CreateControlPeer(TWinControl* control, IWindowPeer* parent);
std::unique_ptr<IFormPeer> CreateFormPeer(TWinControl* form);

}  // namespace win32
