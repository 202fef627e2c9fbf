#pragma once
// The program's arguments in UTF-8, split by the system's own rules from the command line it was
// given: the C runtime's argv holds them in the ANSI code page, where names outside it are lost.
#include <string>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

#include <shellapi.h>

class TUtf8Arguments {
public:
  TUtf8Arguments() {
    int count = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
      for (int i = 0; i < count; ++i) FTexts.push_back(win32::Narrow(wide[i]));
      ::LocalFree(wide);
    }
    if (FTexts.empty()) FTexts.emplace_back();
    for (std::string& text : FTexts) FValues.push_back(text.data());
    FValues.push_back(nullptr);
  }
  TUtf8Arguments(const TUtf8Arguments&) = delete;
  TUtf8Arguments& operator=(const TUtf8Arguments&) = delete;

  int Count() const { return static_cast<int>(FTexts.size()); }
  char** Values() { return FValues.data(); }

private:
  std::vector<std::string> FTexts;
  std::vector<char*> FValues;
};
