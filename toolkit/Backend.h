#pragma once
// The seam between the toolkit and the GUI system under it. The toolkit's classes hold peers
// created here; the Qt backend (toolkit/qt) provides them. Nothing above this file sees Qt.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"
#include "toolkit/Types.h"

class TWinControl;

// The native window behind a windowed control.
class IWindowPeer {
public:
  virtual ~IWindowPeer() = default;
  virtual void SetBounds(const TRect& r) = 0;  // in the parent's client coordinates
  virtual void SetVisible(bool visible) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetBackgroundColor(TColor rgb) = 0;
  // Marks a rectangle (nullptr: the whole client area) for the next paint; never erases.
  virtual void Invalidate(const TRect* r) = 0;
  // Takes a rectangle out of what is marked for painting.
  virtual void ValidateRect(const TRect& r) = 0;
  virtual void Update() = 0;  // paints what is invalid now, and only that
  // The paint in progress on this window: its device context and rectangle; nullptr outside a
  // paint. EndPaint closes it.
  virtual TDeviceContext* BeginPaint(TPaintStruct& paint) = 0;
  virtual void EndPaint(const TPaintStruct& paint) = 0;
  virtual void SetMouseCapture(bool capture) = 0;
  virtual void SetFocus() = 0;
  virtual bool Focused() const = 0;
  virtual void ShowHint(const std::string& text, TPoint clientPos) = 0;
  virtual void HideHint() = 0;
  virtual uintptr_t Handle() const = 0;
  virtual void* NativeWidget() = 0;  // for backend-side children (the rich-edit control)
  virtual TPoint ScreenToClient(TPoint p) const = 0;
  virtual TPoint ClientToScreen(TPoint p) const = 0;
  virtual TPoint CursorPos() const = 0;  // the pointer, in screen coordinates
  // Whether the top-level window this one lies in is the system's active window.
  virtual bool IsActiveWindow() const = 0;
};

// One paint of a window from BeginPaint to EndPaint, closed on every way out. DC() is nullptr when
// there is no peer or nothing to paint.
class TWindowPaint {
public:
  explicit TWindowPaint(IWindowPeer* peer) : FPeer(peer), FDC(peer ? peer->BeginPaint(FPaint) : nullptr) {}
  ~TWindowPaint() {
    if (FDC) FPeer->EndPaint(FPaint);
  }
  TWindowPaint(const TWindowPaint&) = delete;
  TWindowPaint& operator=(const TWindowPaint&) = delete;
  TDeviceContext* DC() const { return FDC; }
  const TPaintStruct& Paint() const { return FPaint; }

private:
  IWindowPeer* FPeer;
  TPaintStruct FPaint;
  TDeviceContext* FDC;
};

// Top-level windows add the frame.
enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;

class IFormPeer : public IWindowPeer {
public:
  virtual void SetFrame(TBorderStyle style, TBorderIcons icons, int clientWidth, int clientHeight) = 0;
  virtual void CenterOnScreen() = 0;
  virtual void Raise() = 0;
};

class ITimerPeer {
public:
  virtual ~ITimerPeer() = default;
  virtual void Start(unsigned intervalMs) = 0;
  virtual void Stop() = 0;
};

// A 32-bit picture in memory that the GUI system can draw into: bytes B, G, R, A, rows bottom-up,
// Width * 4 bytes a row, cleared to zero when made.
class IDIBSection {
public:
  virtual ~IDIBSection() = default;
  virtual uint8_t* Bits() = 0;
  virtual TDeviceContext& DC() = 0;
  virtual void Flush() = 0;  // drawing in progress reaches the pixels
};

// A message box request as the toolkit passes it on.
struct TMessageBoxRequest {
  std::string Text;
  std::string Caption;
  unsigned Flags = 0;
};

class IBackend {
public:
  virtual ~IBackend() = default;
  virtual std::unique_ptr<IWindowPeer> CreateWindowPeer(TWinControl* control, IWindowPeer* parent) = 0;
  virtual std::unique_ptr<IFormPeer> CreateFormPeer(TWinControl* form) = 0;
  virtual std::unique_ptr<ITimerPeer> CreateTimerPeer(std::function<void()> onTick) = 0;
  // Answers nullptr when the system refuses the memory; the caller reports the failure.
  virtual std::unique_ptr<IDIBSection> CreateDIBSection(int width, int height) = 0;
  // A device context for measuring text outside painting.
  virtual TDeviceContext& ScreenDC() = 0;
  virtual int ShowMessageBox(const TMessageBoxRequest& request) = 0;
  virtual void RunMessageLoop() = 0;      // until Quit
  virtual void ProcessMessages() = 0;     // what is pending, then return
  virtual void Quit(int exitCode) = 0;    // ends RunMessageLoop once it is reached
  virtual int ScreenBitsPerPixel() const = 0;
  virtual TSize ScreenSize() const = 0;
  virtual TPoint CursorPos() const = 0;
  // The windowed control whose window lies under a screen point, or nullptr.
  virtual TWinControl* ControlAtScreenPoint(TPoint p) const = 0;
};

// The backend in use. The program and GUI tests install the Qt one (toolkit/qt/QtBackend.h).
IBackend& Backend();
bool BackendInstalled();
void SetBackend(IBackend* backend);
