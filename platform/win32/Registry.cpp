// The registry on Windows is the system's own; the store of Wine's registry files is read only
// while a test names a prefix or installs a store (see Registry.cpp).
#include "platform/Registry.h"

#include <vector>

#include "platform/SystemHooks.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

namespace {

// Our keys are the system's: the predefined ones have the same (sign-extended) values, and an
// opened key is the system's handle itself.
::HKEY SystemKey(HKEY key) { return reinterpret_cast<::HKEY>(key); }

}  // namespace

bool SystemFileStamp(const std::string& fileName, TFileStamp& stamp) {
  ::HANDLE file = ::CreateFileW(win32::Wide(fileName).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  ::CloseHandle(file);
  if (!known) return false;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  stamp.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  stamp.modified = static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                             info.ftLastWriteTime.dwLowDateTime);
  return true;
}

std::string SystemWinePrefixPath() { return {}; }

std::shared_ptr<const RegistryStore> SystemRegistryStore() { return nullptr; }

LONG SystemRegOpenKeyEx(HKEY key, const char* subKey, DWORD options, DWORD samDesired, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  ::HKEY opened = nullptr;
  const std::wstring name = win32::Wide(subKey ? subKey : "");
  const ::LONG status = ::RegOpenKeyExW(SystemKey(key), name.c_str(), options, samDesired, &opened);
  if (status != ERROR_SUCCESS) return status;
  *result = reinterpret_cast<HKEY>(opened);
  return ERROR_SUCCESS;
}

LONG SystemRegQueryValue(HKEY key, const std::string& valueName, RegistryValue& value) {
  const std::wstring name = win32::Wide(valueName);
  // The whole value, in the system's form.
  std::vector<BYTE> raw(256);
  ::DWORD rawType = 0;
  ::LONG status;
  for (;;) {
    ::DWORD rawSize = static_cast<::DWORD>(raw.size());
    status = ::RegQueryValueExW(SystemKey(key), name.c_str(), nullptr, &rawType, raw.data(), &rawSize);
    if (status == ERROR_MORE_DATA) {
      raw.resize(rawSize > raw.size() ? rawSize : raw.size() * 2);
      continue;
    }
    if (status == ERROR_SUCCESS) raw.resize(rawSize);
    break;
  }
  if (status != ERROR_SUCCESS) return status;
  value.type = rawType;
  if (IsRegistryTextType(rawType)) {
    // UTF-16 as stored, often with its terminators and sometimes without: the text up to the
    // last non-NUL unit (of a single string, up to its first NUL).
    std::wstring_view text(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
    if (rawType != REG_MULTI_SZ) text = text.substr(0, text.find(L'\0'));
    value.data = win32::Narrow(text);
  } else {
    value.data.assign(raw.begin(), raw.end());
  }
  return ERROR_SUCCESS;
}

LONG SystemRegCloseKey(HKEY key) { return ::RegCloseKey(SystemKey(key)); }

}  // namespace platform
