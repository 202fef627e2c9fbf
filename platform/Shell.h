#pragma once

// Starting programs and documents by verb, the way the Windows shell does, and waiting for them.
//
// Nothing here goes through a command shell, so no file name or parameter is ever read as shell
// syntax.
//
// On Windows the call is the shell's own (ShellExecuteExW, names and parameters converted from
// UTF-8): the parameter text goes to the program as one text, unsplit, and the shell chooses what
// opens a document. WaitForInputIdle and WaitForSingleObject are the system's.
//
// On Linux every program is started with posix_spawn and an argument vector:
//
// verb "Open" (also no verb):
//   - a native program (an ELF file or a "#!" script with execute permission) is started
//     directly; the parameter text is split into arguments by SplitWindowsCommandLine, and each
//     argument that names an existing file or folder through ResolvePath (separators, drive
//     letters, letter case, the program folder) is given as that absolute native path;
//   - a Windows program (.exe, .com, .bat, .cmd, .msi; any letter case) is started through `wine`
//     from PATH (an .msi through Wine's msiexec /i); without Wine it is refused;
//   - any other existing file is handed to `xdg-open` as its one argument; without xdg-open it is
//     refused.
// verb "Install" on an .inf file: Wine's setup API installs its DefaultInstall section
//   (`wine rundll32 setupapi.dll,InstallHinfSection DefaultInstall 132 <file>`); without Wine, and
//   for any other file, it is refused.
//
// The target goes through NativePath. A target without a folder part is looked for in the
// working directory first and then on PATH, as the Windows shell searches. A missing target is
// refused with ERROR_FILE_NOT_FOUND. Files handed to Wine programs as arguments are given in
// Wine's form of a native path ("Z:\home\...").
//
// The started program inherits the environment, and the current directory unless lpDirectory
// names another. It inherits no descriptors beyond 0, 1 and 2.

#include <cstdint>

#include "platform/WinTypes.h"

namespace platform {

struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  ULONG fMask;
  void* hwnd;
  const char* lpVerb;
  const char* lpFile;
  const char* lpParameters;
  const char* lpDirectory;
  int nShow;
  void* hInstApp;  // on return: a value above 32 on success, else an SE_ERR_ code
  void* lpIDList;
  const char* lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  void* hIcon;
  HANDLE hProcess;  // with SEE_MASK_NOCLOSEPROCESS: the started process, for the waits below
};

inline constexpr DWORD STILL_ACTIVE = 259;

// Starts the file as described above. TRUE on success; FALSE with the last error set
// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND for a missing lpDirectory, ERROR_NO_ASSOCIATION
// when nothing can open the file, ERROR_ACCESS_DENIED, ...).
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);

// Linux has no "waiting for input" state: there a valid process handle answers 0 at once; an
// invalid one WAIT_FAILED.
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);

// WAIT_OBJECT_0 once the process has ended (it is reaped then), WAIT_TIMEOUT when it is still
// running after `milliseconds` (INFINITE waits for good), WAIT_FAILED for an invalid handle. The
// wait sleeps (on Linux on a pidfd or, on old kernels, polling every few milliseconds); it never
// spins.
DWORD WaitForSingleObject(HANDLE process, DWORD milliseconds);

// The exit code of an ended process (the signal number plus 128 when a signal ended it), or
// STILL_ACTIVE while it runs.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);

// The process id behind a handle, or -1 for an invalid handle.
std::int64_t GetProcessId(HANDLE process);

// Releases the handle. A process that is still running keeps running; on Linux it is reaped as
// soon as it ends (a thread waits for it), so no zombie lingers; so is a process started without
// SEE_MASK_NOCLOSEPROCESS.
BOOL CloseHandle(HANDLE handle);

}  // namespace platform
