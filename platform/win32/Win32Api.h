#pragma once
// The one place that includes <windows.h> (and the few system headers beside it that the Windows
// build needs). It is included only inside platform/win32/ and toolkit/win32/.
//
// Our own vocabulary uses the system's names: ERROR_SUCCESS, HKEY_CURRENT_USER, WM_PAINT, VK_LEFT,
// MB_YESNO, RGB, TextOut, MessageBox, ... Most of them are macros in the system's headers, and a
// macro would rewrite our declarations wherever this header came first. So every macro whose name
// we declare ourselves is undefined below, after the few whose values we need have been kept under
// names of their own in namespace win32. Most values agree with ours; two kinds do not, silently:
//   - the predefined registry keys are sign-extended on 64-bit Windows (0xFFFFFFFF80000000 for
//     HKEY_CLASSES_ROOT), so ours are too, and win32::ClassesRoot and friends are the system's;
//   - the system's KF_ALTDOWN, KF_REPEAT and KF_UP are bits of the high word of a key message's
//     lParam, ours are bits of the whole lParam (16 places higher).
// tests/platform/win32 pins both, and compiles every header of ours after this one.
//
// The program calls the W functions only (text inside the program is UTF-8, converted at each
// call), so UNICODE is not needed and the A/W macros are undefined with the rest.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <richedit.h>
#include <shellapi.h>
#include <wincodec.h>
#include <winver.h>

namespace win32 {

inline const HKEY ClassesRoot = HKEY_CLASSES_ROOT;
inline const HKEY CurrentUser = HKEY_CURRENT_USER;
inline const HKEY LocalMachine = HKEY_LOCAL_MACHINE;
inline const HKEY Users = HKEY_USERS;
inline const HKEY CurrentConfig = HKEY_CURRENT_CONFIG;

// Bits of HIWORD(lParam) of WM_KEYDOWN and its kin.
inline constexpr WORD KeyFlagAltDown = KF_ALTDOWN;
inline constexpr WORD KeyFlagRepeat = KF_REPEAT;
inline constexpr WORD KeyFlagUp = KF_UP;

inline constexpr DWORD StillActive = STILL_ACTIVE;

}  // namespace win32

#undef BITSPIXEL
#undef COLOR_3DDKSHADOW
#undef COLOR_3DLIGHT
#undef COLOR_ACTIVEBORDER
#undef COLOR_ACTIVECAPTION
#undef COLOR_APPWORKSPACE
#undef COLOR_BACKGROUND
#undef COLOR_BTNFACE
#undef COLOR_BTNHIGHLIGHT
#undef COLOR_BTNSHADOW
#undef COLOR_BTNTEXT
#undef COLOR_CAPTIONTEXT
#undef COLOR_GRAYTEXT
#undef COLOR_HIGHLIGHT
#undef COLOR_HIGHLIGHTTEXT
#undef COLOR_INACTIVEBORDER
#undef COLOR_INACTIVECAPTION
#undef COLOR_INACTIVECAPTIONTEXT
#undef COLOR_INFOBK
#undef COLOR_INFOTEXT
#undef COLOR_MENU
#undef COLOR_MENUTEXT
#undef COLOR_SCROLLBAR
#undef COLOR_WINDOW
#undef COLOR_WINDOWFRAME
#undef COLOR_WINDOWTEXT
#undef COMPLEXREGION
#undef DEFAULT_CHARSET
#undef DLGC_WANTALLKEYS
#undef DLGC_WANTARROWS
#undef DLGC_WANTCHARS
#undef DLGC_WANTTAB
#undef DT_BOTTOM
#undef DT_CALCRECT
#undef DT_CENTER
#undef DT_EXPANDTABS
#undef DT_HIDEPREFIX
#undef DT_LEFT
#undef DT_NOCLIP
#undef DT_NOPREFIX
#undef DT_RIGHT
#undef DT_RTLREADING
#undef DT_SINGLELINE
#undef DT_TOP
#undef DT_VCENTER
#undef DT_WORDBREAK
#undef DefWindowProc
#undef DispatchMessage
#undef DrawTextEx
#undef ERROR_ACCESS_DENIED
#undef ERROR_BAD_FORMAT
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_INSUFFICIENT_BUFFER
#undef ERROR_INVALID_DATA
#undef ERROR_INVALID_FUNCTION
#undef ERROR_INVALID_HANDLE
#undef ERROR_INVALID_PARAMETER
#undef ERROR_MORE_DATA
#undef ERROR_NOT_ENOUGH_MEMORY
#undef ERROR_NO_ASSOCIATION
#undef ERROR_PATH_NOT_FOUND
#undef ERROR_RESOURCE_DATA_NOT_FOUND
#undef ERROR_RESOURCE_TYPE_NOT_FOUND
#undef ERROR_SUCCESS
#undef GetBValue
#undef GetClassInfo
#undef GetGValue
#undef GetPrivateProfileString
#undef GetRValue
#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_CONFIG
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef HKEY_USERS
#undef IDABORT
#undef IDCANCEL
#undef IDIGNORE
#undef IDNO
#undef IDOK
#undef IDRETRY
#undef IDYES
#undef INFINITE
#undef KEY_ALL_ACCESS
#undef KEY_QUERY_VALUE
#undef KEY_READ
#undef KF_ALTDOWN
#undef KF_REPEAT
#undef KF_UP
#undef LOGPIXELSX
#undef LOGPIXELSY
#undef MB_APPLMODAL
#undef MB_ICONERROR
#undef MB_ICONINFORMATION
#undef MB_ICONQUESTION
#undef MB_ICONSTOP
#undef MB_ICONWARNING
#undef MB_OK
#undef MB_OKCANCEL
#undef MB_SYSTEMMODAL
#undef MB_TASKMODAL
#undef MB_YESNO
#undef MB_YESNOCANCEL
#undef MK_CONTROL
#undef MK_LBUTTON
#undef MK_RBUTTON
#undef MK_SHIFT
#undef MessageBox
#undef NULLREGION
#undef PLANES
#undef RASTERCAPS
#undef RC_DIBTODEV
#undef RC_DI_BITMAP
#undef RC_PALETTE
#undef RC_STRETCHDIB
#undef REG_BINARY
#undef REG_DWORD
#undef REG_DWORD_BIG_ENDIAN
#undef REG_EXPAND_SZ
#undef REG_LINK
#undef REG_MULTI_SZ
#undef REG_NONE
#undef REG_QWORD
#undef REG_SZ
#undef RGB
#undef RGN_ERROR
#undef RT_VERSION
#undef SEE_MASK_NOCLOSEPROCESS
#undef SEE_MASK_FLAG_NO_UI
#undef SIMPLEREGION
#undef STILL_ACTIVE
#undef SW_SHOWNORMAL
#undef TextOut
#undef VK_BACK
#undef VK_CANCEL
#undef VK_CONTROL
#undef VK_DELETE
#undef VK_DOWN
#undef VK_END
#undef VK_ESCAPE
#undef VK_EXECUTE
#undef VK_F1
#undef VK_HOME
#undef VK_INSERT
#undef VK_LBUTTON
#undef VK_LEFT
#undef VK_MENU
#undef VK_NEXT
#undef VK_PRIOR
#undef VK_RETURN
#undef VK_RIGHT
#undef VK_SHIFT
#undef VK_SPACE
#undef VK_TAB
#undef VK_UP
#undef WAIT_FAILED
#undef WAIT_OBJECT_0
#undef WAIT_TIMEOUT
#undef WM_ACTIVATE
#undef WM_CANCELMODE
#undef WM_CAPTURECHANGED
#undef WM_CHAR
#undef WM_CLOSE
#undef WM_CREATE
#undef WM_DESTROY
#undef WM_ENABLE
#undef WM_ERASEBKGND
#undef WM_GETDLGCODE
#undef WM_KEYDOWN
#undef WM_KEYUP
#undef WM_KILLFOCUS
#undef WM_LBUTTONDBLCLK
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_MBUTTONDOWN
#undef WM_MBUTTONUP
#undef WM_MOUSEMOVE
#undef WM_MOUSEWHEEL
#undef WM_MOVE
#undef WM_NULL
#undef WM_PAINT
#undef WM_PALETTECHANGED
#undef WM_PALETTEISCHANGING
#undef WM_QUERYNEWPALETTE
#undef WM_QUIT
#undef WM_RBUTTONDBLCLK
#undef WM_RBUTTONDOWN
#undef WM_RBUTTONUP
#undef WM_SETCURSOR
#undef WM_SETFOCUS
#undef WM_SETTEXT
#undef WM_SHOWWINDOW
#undef WM_SIZE
#undef WM_SYSCHAR
#undef WM_SYSKEYDOWN
#undef WM_SYSKEYUP
#undef WM_TIMER
#undef far
#undef near
