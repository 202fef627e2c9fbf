// Launching on Windows is the shell's own: ShellExecuteExW with the verb, the file and the
// parameter text as one text (the started program splits it itself), and the system's waits.
#include "platform/Shell.h"

#include <string>

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

namespace {

::HANDLE SystemHandle(HANDLE process) { return reinterpret_cast<::HANDLE>(process); }

}  // namespace

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  info->hProcess = nullptr;
  const std::wstring verb = win32::Wide(info->lpVerb ? info->lpVerb : "");
  const std::wstring file = win32::Wide(info->lpFile ? info->lpFile : "");
  const std::wstring parameters = win32::Wide(info->lpParameters ? info->lpParameters : "");
  const std::wstring directory = win32::Wide(info->lpDirectory ? info->lpDirectory : "");

  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof request;
  request.fMask = info->fMask;
  request.hwnd = static_cast<HWND>(info->hwnd);
  request.lpVerb = info->lpVerb ? verb.c_str() : nullptr;
  request.lpFile = file.c_str();
  request.lpParameters = info->lpParameters ? parameters.c_str() : nullptr;
  request.lpDirectory = info->lpDirectory ? directory.c_str() : nullptr;
  request.nShow = info->nShow;
  const BOOL started = ::ShellExecuteExW(&request);
  const ::DWORD error = ::GetLastError();
  info->hInstApp = request.hInstApp;
  if (!started) {
    SetLastError(error ? error : ERROR_FILE_NOT_FOUND);
    return 0;
  }
  info->hProcess = reinterpret_cast<HANDLE>(request.hProcess);
  return 1;
}

DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds) {
  const ::DWORD result = ::WaitForInputIdle(SystemHandle(process), milliseconds);
  if (result == WAIT_FAILED) SetLastError(::GetLastError());
  return result;
}

DWORD WaitForSingleObject(HANDLE process, DWORD milliseconds) {
  const ::DWORD result = ::WaitForSingleObject(SystemHandle(process), milliseconds);
  if (result == WAIT_FAILED) SetLastError(::GetLastError());
  return result;
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
  ::DWORD code = 0;
  if (!exitCode || !::GetExitCodeProcess(SystemHandle(process), &code)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  *exitCode = code;
  return 1;
}

std::int64_t GetProcessId(HANDLE process) {
  const ::DWORD id = process ? ::GetProcessId(SystemHandle(process)) : 0;
  return id ? static_cast<std::int64_t>(id) : -1;
}

BOOL CloseHandle(HANDLE handle) {
  if (!handle || !::CloseHandle(SystemHandle(handle))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return 1;
}

}  // namespace platform
