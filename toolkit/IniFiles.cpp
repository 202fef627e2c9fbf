#include "toolkit/IniFiles.h"

#include "platform/Profile.h"
#include "toolkit/SysUtils.h"

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return platform::GetPrivateProfileString(section, key, defaultValue, FFileName);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.erase(0, 1);
    text[0] = '$';
  }
  // "0x" and "0X" mean hexadecimal only at the very start; TryStrToInt would otherwise take them
  // after blanks or a sign too.
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) return defaultValue;
  return StrToIntDef(text, defaultValue);
}
