#pragma once
// Messages of the toolkit: a control's behaviour is written once, against these numbers; the GUI
// backend turns its own events into them.
#include <cstdint>
#include <string>

#include "toolkit/Types.h"

struct TMessage {
  unsigned Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

// The position parameter of mouse messages: x in the low word, y in the high word, both signed.
inline intptr_t MakeMousePos(int x, int y) {
  return static_cast<intptr_t>(static_cast<uint32_t>((static_cast<uint16_t>(x)) |
                                                     (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16)));
}
inline int MouseX(intptr_t lparam) { return static_cast<int16_t>(lparam & 0xFFFF); }
inline int MouseY(intptr_t lparam) { return static_cast<int16_t>((lparam >> 16) & 0xFFFF); }

enum : unsigned {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_ENABLE = 0x000A,
  WM_SETTEXT = 0x000C,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_ERASEBKGND = 0x0014,
  WM_SHOWWINDOW = 0x0018,
  WM_CANCELMODE = 0x001F,
  WM_SETCURSOR = 0x0020,
  WM_GETDLGCODE = 0x0087,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
  WM_TIMER = 0x0113,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MOUSEWHEEL = 0x020A,
  WM_CAPTURECHANGED = 0x0215,
  WM_QUERYNEWPALETTE = 0x030F,
  WM_PALETTEISCHANGING = 0x0310,
  WM_PALETTECHANGED = 0x0311,

  CM_BASE = 0xB000,
  CM_ACTIVATE = CM_BASE + 0,
  CM_DEACTIVATE = CM_BASE + 1,
  CM_DIALOGKEY = CM_BASE + 5,
  CM_DIALOGCHAR = CM_BASE + 6,
  CM_FOCUSCHANGED = CM_BASE + 7,
  CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9,
  CM_HITTEST = CM_BASE + 10,
  CM_VISIBLECHANGED = CM_BASE + 11,
  CM_ENABLEDCHANGED = CM_BASE + 12,
  CM_COLORCHANGED = CM_BASE + 13,
  CM_FONTCHANGED = CM_BASE + 14,
  CM_CURSORCHANGED = CM_BASE + 15,
  CM_TEXTCHANGED = CM_BASE + 18,
  CM_MOUSEENTER = CM_BASE + 19,
  CM_MOUSELEAVE = CM_BASE + 20,
  CM_APPKEYDOWN = CM_BASE + 22,
  CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27,
  CM_WANTSPECIALKEY = CM_BASE + 30,
  CM_SHOWHINTCHANGED = CM_BASE + 34,
  CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
  CM_TABSTOPCHANGED = CM_BASE + 40,
  CM_CHILDKEY = CM_BASE + 46,
  CM_HINTSHOW = CM_BASE + 48,
  CN_BASE = 0xBC00,
  CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
  CN_KEYUP = CN_BASE + WM_KEYUP,
  CN_CHAR = CN_BASE + WM_CHAR,
  CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN,
  CN_SYSCHAR = CN_BASE + WM_SYSCHAR,
};

// Virtual key codes.
enum : unsigned {
  VK_LBUTTON = 0x01,
  VK_CANCEL = 0x03,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_EXECUTE = 0x2B,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_F1 = 0x70,
  // Digits and letters are their own upper-case ASCII codes ('0'..'9', 'A'..'Z').
};

// Key data (LParam of key messages): repeat count in bits 0-15, scan code in 16-23, Alt held in
// bit 29, the key's previous state in 30 and the transition (released) in 31, as the system gives
// them. The toolkit also carries the Shift and Ctrl state of the moment in bits 25 and 26, which
// the system leaves reserved, so that a key message says its whole shift state by itself.
enum : uint32_t {
  KF_REPEATMASK = 0xFFFF,
  KF_SHIFTDOWN = 1u << 25,
  KF_CTRLDOWN = 1u << 26,
  KF_ALTDOWN = 1u << 29,
  KF_REPEAT = 1u << 30,
  KF_UP = 1u << 31,
};
inline intptr_t MakeKeyData(bool shift, bool ctrl, bool alt, bool released = false, unsigned repeat = 1) {
  uint32_t d = repeat & KF_REPEATMASK;
  if (shift) d |= KF_SHIFTDOWN;
  if (ctrl) d |= KF_CTRLDOWN;
  if (alt) d |= KF_ALTDOWN;
  if (released) d |= KF_UP | KF_REPEAT;
  return static_cast<intptr_t>(d);
}

// Mouse key state flags carried in WParam of mouse messages.
enum : unsigned { MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008 };

// Dialog codes answered to WM_GETDLGCODE.
enum : unsigned { DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004, DLGC_WANTCHARS = 0x0080 };

// What a windowed control's paint message brings when it carries no device context: the device
// context of the window being painted and the rectangle that needs it (client coordinates). A
// control that paints everything itself reads it with BeginPaint and ends with EndPaint.
class TDeviceContext;
struct TPaintStruct {
  TDeviceContext* DC = nullptr;
  TRect Paint;
  bool Erase = false;  // never set: invalidation never erases
};

// What CM_HINTSHOW carries (LParam): the control may change the text or refuse the hint by
// answering non-zero.
class TControl;
struct THintInfo {
  TControl* HintControl = nullptr;
  TPoint CursorPos;  // in the control's client coordinates
  std::string HintStr;
};
