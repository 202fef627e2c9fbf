#include "../FeatureSystem.h"

#include <filesystem>

#include "platform/Registry.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace feature_system {

namespace {

// Below win32::CurrentUser, which a test may write without asking for rights.
std::string SubKey() { return "Software\\Quorvane Tests\\" + std::to_string(::GetCurrentProcessId()) + "\\Demo\\Player"; }

void SetValue(HKEY key, const char* name, DWORD type, const std::wstring& text) {
  ::RegSetValueExW(key, name ? win32::Wide(name).c_str() : nullptr, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

TRegistryValues::TRegistryValues(const TempDir& disc) : FKey(SubKey()) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(win32::CurrentUser, win32::Wide(FKey).c_str(), 0, nullptr, 0, platform::KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != platform::ERROR_SUCCESS)
    return;
  SetValue(key, nullptr, platform::REG_SZ, win32::Wide(disc.Path() + "/fromdefault"));
  SetValue(key, "Folder", platform::REG_SZ, win32::Wide(disc.Path() + "/players"));
  SetValue(key, "Command", platform::REG_SZ, L"\"C:\\Players\\player.exe\" --x");
  SetValue(key, "Plain", platform::REG_SZ, L"player --x");
  SetValue(key, "Expand", platform::REG_EXPAND_SZ, L"%QV_TEST_ROOT%\\players");
  const DWORD number = 16;
  ::RegSetValueExW(key, L"Number", 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  ::RegCloseKey(key);
}

TRegistryValues::~TRegistryValues() {
  const std::string mine = "Software\\Quorvane Tests\\" + std::to_string(::GetCurrentProcessId());
  ::RegDeleteTreeW(win32::CurrentUser, win32::Wide(mine).c_str());
}

std::string TRegistryValues::Key() { return "HKEY_CURRENT_USER\\" + SubKey(); }

std::string ProgramName(const std::string& stem) { return stem + ".exe"; }

std::string WriteRecorder(const TempDir& disc, const std::string& folder, const std::string& stem, int delayMs,
                          TEnd end) {
  const std::string path = disc.File(folder + "/" + ProgramName(stem));
  std::filesystem::create_directories(Utf8Path(path).parent_path());
  std::filesystem::copy_file(QV_RECORDER, Utf8Path(path), std::filesystem::copy_options::overwrite_existing);
  disc.Write(folder + "/" + ProgramName(stem) + ".txt", disc.File(stem + ".log") + "\n" + std::to_string(delayMs) + "\n" +
                                                           (end == TEnd::Crashing ? "crash\n" : ""));
  return path;
}

}  // namespace feature_system
