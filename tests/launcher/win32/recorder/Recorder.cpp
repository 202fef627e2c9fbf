// A stand-in player or installer for the feature-run tests: it reads the file beside it named as
// itself plus ".txt" (the log's path on its first line, a wait in milliseconds on its second,
// "crash" on a third to end as a crashed program does), waits, then writes its working folder and
// its arguments, split by the system's rules, one a line, to the log. The W functions throughout,
// so that any name comes through.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

#include <shellapi.h>

namespace {

std::string ReadSettings() {
  std::vector<wchar_t> self(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  const std::wstring settings = std::wstring(self.data(), length) + L".txt";
  std::string text;
  if (std::FILE* in = ::_wfopen(settings.c_str(), L"rb")) {
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, got);
    std::fclose(in);
  }
  return text;
}

}  // namespace

int main() {
  const std::string settings = ReadSettings();
  const size_t end = settings.find('\n');
  const std::string log = settings.substr(0, end);
  const int delay = end == std::string::npos ? 0 : std::atoi(settings.c_str() + end + 1);
  if (delay > 0) ::Sleep(static_cast<DWORD>(delay));
  wchar_t folder[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, folder);
  std::string text = win32::Narrow(std::wstring_view(folder, length)) + "\n";
  int count = 0;
  if (LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) text += win32::Narrow(arguments[i]) + "\n";
    ::LocalFree(arguments);
  }
  if (std::FILE* out = ::_wfopen(win32::Wide(log).c_str(), L"wb")) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  }
  // Ended by the system with the access violation's status, as an unhandled crash ends a program,
  // without the debugger the system would offer first.
  if (settings.find("\ncrash") != std::string::npos) ::TerminateProcess(::GetCurrentProcess(), 0xC0000005u);
  return 0;
}
