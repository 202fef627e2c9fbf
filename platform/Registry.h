#pragma once

// The Windows registry, read-only. On Windows the calls below go to the system's registry (its W
// functions, names converted from UTF-8). On Linux the registry is the registry files of a Wine
// prefix, and so it is on any system while a test names a prefix or installs a store of its own.
//
// The prefix is $WINEPREFIX, or ~/.wine when that is not set. Its `system.reg` is
// HKEY_LOCAL_MACHINE and its `user.reg` HKEY_CURRENT_USER. HKEY_CLASSES_ROOT is the user's
// Software\Classes laid over the machine's (a key exists when it exists in either; a value is the
// user's when the user's key has it). HKEY_CURRENT_CONFIG is the machine's
// System\CurrentControlSet\Hardware Profiles\Current. HKEY_USERS holds no keys here.
//
// A file is read the first time it is needed and again only when its size or modification time
// changes. A missing, unreadable or oversized file (over kMaxRegistryFileSize) is an empty hive,
// so with no prefix at all every key is missing. Nothing is ever written.
//
// The calls keep the Windows conventions: error codes as results, sizes in and out, strings
// handed out as UTF-8 with their terminating NUL.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/RegistryHive.h"
#include "platform/WinTypes.h"

namespace platform {

inline constexpr std::uint64_t kMaxRegistryFileSize = 64ull * 1024 * 1024;

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Where the keys come from. Paths are key paths below the root (see RegistryHive::KeyExists).
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;
  virtual bool KeyExists(RegistryRoot root, const std::string& path) const = 0;
  virtual std::optional<RegistryValue> QueryValue(RegistryRoot root, const std::string& path,
                                                  const std::string& valueName) const = 0;
};

// The store made of a machine hive and a user hive, with the root mapping described above.
class HiveRegistryStore : public RegistryStore {
 public:
  HiveRegistryStore(std::shared_ptr<const RegistryHive> machine,
                    std::shared_ptr<const RegistryHive> user);
  bool KeyExists(RegistryRoot root, const std::string& path) const override;
  std::optional<RegistryValue> QueryValue(RegistryRoot root, const std::string& path,
                                          const std::string& valueName) const override;

 private:
  std::shared_ptr<const RegistryHive> machine_;
  std::shared_ptr<const RegistryHive> user_;
};

// The store of a Wine prefix folder as it is on disc now (through the file cache).
std::shared_ptr<const RegistryStore> OpenWinePrefixRegistry(const std::string& prefixPath);

// The Wine prefix in use: the override when one is set, else $WINEPREFIX when not empty, else
// $HOME/.wine (the home folder of the user's account when HOME is not set).
std::string WinePrefixPath();
// Tests point the program at a prefix folder of their own; std::nullopt returns to the default.
void SetWinePrefixOverride(std::optional<std::string> prefixPath);
// Replaces the store altogether (nullptr returns to the Wine prefix's store).
void SetRegistryStoreOverride(std::shared_ptr<const RegistryStore> store);

// Predefined keys, with the values Windows gives them: the 32-bit numbers sign-extended to the
// width of a pointer, so on 64-bit systems HKEY_CLASSES_ROOT is 0xFFFFFFFF80000000.
constexpr std::uintptr_t PredefinedKeyValue(std::uint32_t number) {
  return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(number)));
}
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(PredefinedKeyValue(0x80000000));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(PredefinedKeyValue(0x80000001));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(PredefinedKeyValue(0x80000002));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(PredefinedKeyValue(0x80000003));
inline const HKEY HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(PredefinedKeyValue(0x80000005));

// Opens `subKey` (null or empty: the key itself) below a predefined or opened key.
// ERROR_SUCCESS and a new handle in *result, ERROR_FILE_NOT_FOUND for a missing key,
// ERROR_INVALID_HANDLE for a key that is neither predefined nor open. In a store any access right
// is granted, KEY_ALL_ACCESS included, since nothing can be written anyway; the system's registry
// grants what the user may have, so there a key the user may not write is refused KEY_ALL_ACCESS.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD samDesired, HKEY* result);

// Reads a value (null or "" name: the default value). `type` receives the value's type; `size`
// gives the room at `data` and receives the size the value needs. Strings are UTF-8 with their
// terminating NUL (REG_MULTI_SZ with two). With `data` null only the size is reported; when
// the room is too small the result is ERROR_MORE_DATA and nothing is copied.
// ERROR_FILE_NOT_FOUND for a missing value.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                      std::uint8_t* data, DWORD* size);

// Releases an opened key; closing a predefined key does nothing.
LONG RegCloseKey(HKEY key);

}  // namespace platform
