#pragma once
// A reader of one INI file. Opening never fails and reads nothing; every read goes to the
// profile reader at the time of the read.
#include <string>

class TIniFile {
public:
  explicit TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}
  const std::string& FileName() const { return FFileName; }

  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // Reads the value as text (default empty): "0x"/"0X" followed by at least one character is
  // hexadecimal, as is a leading "$"; anything else is a decimal integer with optional sign.
  // A value that is empty or not such a whole number gives Default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

private:
  std::string FFileName;
};
