#pragma once
// Controls: windowless ones that their parent paints and feeds with mouse messages, and windowed
// ones with a native window underneath. Behaviour is written against messages (Messages.h).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Backend.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"
#include "toolkit/Types.h"

class TWinControl;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
// Key events: the virtual key code (or, for a key press, the character as a code point) by
// reference; a handler that sets it to 0 has taken the key.
using TKeyEvent = std::function<void(TObject* sender, uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char32_t& key)>;

// The shift state a key message carries in its key data.
TShiftState KeyDataToShiftState(intptr_t keyData);
// The Shift, Ctrl and Alt keys as the last key message found them.
TShiftState GetKeyboardShiftState();

enum TControlStyleFlag : unsigned {
  csAcceptsControls = 1u << 0,
  csCaptureMouse = 1u << 1,
  csClickEvents = 1u << 2,
  csOpaque = 1u << 3,
  csDoubleClicks = 1u << 4,
  csSetCaption = 1u << 5,
  csReplicatable = 1u << 6,
  // The control raises no OnKeyDown / OnKeyUp / OnKeyPress of its own.
  csNoStdEvents = 1u << 7,
  // A windowed control of the old framed look: a parent that draws its children's frames draws a
  // sunken one around it while it has the 3-D look (Ctl3D).
  csFramed = 1u << 8,
};
enum TControlStateFlag : unsigned { csLButtonDown = 1u << 0, csClicked = 1u << 1, csFocusing = 1u << 2 };

class TControl : public TComponent {
public:
  QV_CLASS(TControl)
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // Messages.
  virtual void WndProc(TMessage& message);
  intptr_t Perform(unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0);
  // Where a window procedure can be put in front of the control's own (the palette does so).
  using TWindowProc = std::function<void(TMessage&)>;
  TWindowProc WindowProc;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  virtual void SetBounds(int left, int top, int width, int height);
  virtual TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  // Through every parent up to the form and the form's real place on the screen.
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign align);

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled);
  // Visible here and in every parent up to the form.
  bool Showing() const;

  const std::string& Caption() const { return FText; }
  void SetCaption(const std::string& text);

  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& hint) { FHint = hint; }
  // ShowHint follows the parent's while ParentShowHint is set.
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool v);

  TFont* Font() const { return FFont.get(); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool v);

  unsigned ControlStyle() const { return FControlStyle; }
  void SetControlStyle(unsigned style) { FControlStyle = style; }
  unsigned ControlState() const { return FControlState; }
  void SetControlState(unsigned state) { FControlState = state; }

  bool MouseCapture() const;
  void SetMouseCapture(bool capture);

  virtual void Invalidate();
  void Update();
  void Repaint();
  void BringToFront();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  virtual void Click();
  virtual void DblClick();

  // The first ancestor that is a form, or the top-most parent.
  TWinControl* ParentForm() const;

protected:
  // Dispatches a message to the handlers below; what none handles goes to DefaultHandler.
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage&) {}

  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void FontChanged();
  virtual void CMFontChanged(TMessage& message);
  virtual void CMColorChanged(TMessage& message);
  virtual void CMTextChanged(TMessage& message);
  virtual void CMEnabledChanged(TMessage& message);
  virtual void CMVisibleChanged(TMessage& message);
  virtual void CMParentFontChanged(TMessage& message);
  virtual void CMParentColorChanged(TMessage& message);
  virtual void CMMouseEnter(TMessage& message);
  virtual void CMMouseLeave(TMessage& message);
  virtual void CMHintShow(TMessage& message) { (void)message; }
  // The control's bounds were changed; windowed controls move their window.
  virtual void BoundsChanged() {}
  void RequestAlign();

  unsigned FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  unsigned FControlState = 0;
  std::unique_ptr<TFont> FFont;

private:
  friend class TWinControl;
  void HandleMouseMessage(TMessage& message);
  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = TAlign::alNone;
  bool FVisible = true;
  bool FEnabled = true;
  bool FShowHint = false;
  bool FParentShowHint = true;
  bool FParentFont = true;
  bool FParentColor = true;
  bool FChangingParentFont = false;
  TColor FColor = clWindow;
  void CMParentShowHintChanged();
  std::string FText;
  std::string FHint;
};

// A control without a window of its own, painted by its parent into the parent's device context.
class TGraphicControl : public TControl {
public:
  QV_CLASS(TGraphicControl)
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  void Dispatch(TMessage& message) override;
  virtual void Paint() {}

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// A control with a native window: it has children, focus, keys, and paints its windowless
// children in child order after itself.
class TWinControl : public TControl {
public:
  QV_CLASS(TWinControl)
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  int ControlCount() const { return FControls.Count(); }
  TControl* Controls(int index) const { return FControls.Items(index); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  int IndexOfControl(const TControl* control) const { return FControls.IndexOf(control); }
  void SetChildOrder(TControl* child, int order);

  IWindowPeer* Peer() const { return FPeer.get(); }
  bool HandleAllocated() const { return FPeer != nullptr; }
  void HandleNeeded();
  uintptr_t Handle();

  // Focus. A control can take the focus when it and every parent up to its form are visible
  // and enabled; SetFocus raises "Cannot focus a disabled or invisible window" otherwise.
  virtual bool CanFocus() const;
  virtual void SetFocus();
  // Whether this control has the system's keyboard focus.
  bool Focused() const;
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool v);
  // The position among the parent's windowed children in tab order; -1 without a parent.
  int TabOrder() const;
  void SetTabOrder(int v);
  // The windowed descendants in tab order (each child followed by its own descendants).
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const;
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
  bool ContainsControl(const TControl* control) const;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  // The toolkit's key processing for a key message that reached this control: key preview on the
  // form first, then the control's own event. True when the key was taken.
  bool DoKeyDown(TMessage& message);
  bool DoKeyUp(TMessage& message);
  bool DoKeyPress(TMessage& message);
  // The shortcut test of a key: the form's, then the application's (CM_APPKEYDOWN).
  bool IsMenuKey(TMessage& message);

  // The topmost visible, enabled windowless child whose rectangle holds the point (client
  // coordinates), or nullptr.
  TControl* ControlAtPos(TPoint p) const;
  void Broadcast(TMessage& message);

  void Invalidate() override;
  void InvalidateRect(const TRect& r);

  // Paints the window itself (opaque windowless children taken out of its clip) and then the
  // windowless children, into the given device context.
  void PaintHandler(TDeviceContext& dc);
  // Called by the window peer.
  void PeerMouseLeft();
  std::string HintAt(TPoint clientPos) const;
  // Places the aligned visible children in the client area. Not while the control is being
  // loaded: a stored form holds the children's aligned bounds already, and its properties arrive
  // one by one (a child's Align before its Visible, siblings after it), so the children are
  // aligned once, when loading ends. A hidden child keeps its stored bounds until it is shown.
  void AlignControls();
  void Loaded() override;
  // Whether the form this control lies on is the system's active window.
  bool FormIsActiveWindow() const;

  void WndProc(TMessage& message) override;

protected:
  void Dispatch(TMessage& message) override;
  virtual std::unique_ptr<IWindowPeer> CreatePeer(IWindowPeer* parentPeer);
  virtual void CreateHandle();
  virtual void PaintWindow(TDeviceContext& dc);
  void PaintControls(TDeviceContext& dc);
  virtual void AdjustClientRect(TRect& r) const { (void)r; }
  void BoundsChanged() override;
  void CMVisibleChanged(TMessage& message) override;
  void CMEnabledChanged(TMessage& message) override;
  void CMColorChanged(TMessage& message) override;
  void CMTextChanged(TMessage& message) override;
  void CMFontChanged(TMessage& message) override;
  void CMMouseLeave(TMessage& message) override;
  virtual void WMPaint(TMessage& message);
  virtual void WMSetFocus(TMessage& message);
  virtual void WMKillFocus(TMessage& message);
  virtual void CMEnter(TMessage& message) { (void)message; DoEnter(); }
  virtual void CMExit(TMessage& message) { (void)message; DoExit(); }
  virtual void CMFocusChanged(TMessage& message);
  virtual void CMDialogKey(TMessage& message);
  virtual void CMDialogChar(TMessage& message);
  virtual void CMChildKey(TMessage& message);
  virtual void CNKeyDown(TMessage& message);
  virtual void CNKeyUp(TMessage& message);
  virtual void CNChar(TMessage& message);
  virtual void CNSysChar(TMessage& message);
  virtual void WMKeyDown(TMessage& message);
  virtual void WMKeyUp(TMessage& message);
  virtual void WMChar(TMessage& message);
  virtual void WMGetDlgCode(TMessage& message) { message.Result = 0; }
  // The enter and exit actions: they raise OnEnter and OnExit.
  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char32_t& key);
  // Key messages and paints nothing here handles go back to the native window.
  void DefaultHandler(TMessage& message) override;

private:
  friend class TControl;
  void RouteMouse(TMessage& message);
  std::unique_ptr<IWindowPeer> FPeer;
  TList<TControl> FControls;
  TList<TWinControl> FTabList;
  bool FTabStop = false;
  bool FCtl3D = true;
  bool FAligning = false;
};

// A windowed control that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
  QV_CLASS(TCustomControl)
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  void PaintWindow(TDeviceContext& dc) override;
  virtual void Paint() {}

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// The system's keyboard focus as the toolkit sees it. The backend reports every change; the
// control losing the focus gets WM_KILLFOCUS and the one gaining it WM_SETFOCUS (each naming the
// other in WParam).
TWinControl* FocusedWindow();
void ChangeSystemFocus(TWinControl* control);

// The toolkit's processing of a key message the system sends to the focused window: first the
// notification (CN_KEYDOWN ...) the control may take for navigation or shortcuts, then the
// message itself. Answers false when nothing took it and the native window should have it.
// taken, when given, says whether the notification took the key (no character follows then).
bool DispatchKeyMessage(TWinControl* focused, unsigned msg, uintptr_t wparam, intptr_t lparam,
                        bool* takenByNotification = nullptr);

// The control under the pointer as far as CM_MOUSEENTER / CM_MOUSELEAVE go. Called with the
// control the pointer is over now (windowed or windowless, or none) after every pointer move,
// wherever it happened. While a control holds the mouse capture only that control hears of
// entering and leaving.
void MouseIdle(TControl* underPointer);
TControl* MouseControl();
// The control under a screen point: the windowed control there, or its topmost windowless child
// at the point.
TControl* FindDragTarget(TPoint screenPoint);
// The control holding the mouse capture, or nullptr.
TControl* GetCaptureControl();
// A button released at a screen point while a control holds the capture, before the release
// reaches anyone: when the point lies outside the capturing control, that control hears the
// pointer leave (unless it is the receiver of the release itself) and the windowless control under
// the point hears it come.
void PointerReleasedAt(TPoint screenPoint, const TControl* receiver);
// Whether a hint shows for the control under the pointer (at a point in its client coordinates):
// its ShowHint decides, the text is the first hint found from it up through its parents, and that
// control may change or refuse it in CM_HINTSHOW.
bool HintToShow(TControl* underPointer, TPoint clientPos, THintInfo& info);

// Turns what escapes an event handler into the application's failure report; the backend calls
// it from inside its catch blocks.
void HandleEventException();
// Runs one event-handler call with that protection.
void ProtectedCall(const std::function<void()>& call);
