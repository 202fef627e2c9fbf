#include "platform/Registry.h"

#include <map>
#include <mutex>
#include <set>

#include "platform/FileReading.h"
#include "platform/SystemHooks.h"

namespace platform {

// An opened key: the store as it was when the key was opened, the root and the path below it.
struct RegistryKeyObject {
  std::shared_ptr<const RegistryStore> store;
  RegistryRoot root;
  std::string path;
};

namespace {

constexpr std::string_view kClasses = "Software\\Classes";
constexpr std::string_view kCurrentConfig = "System\\CurrentControlSet\\Hardware Profiles\\Current";

std::string Join(std::string_view base, const std::string& path) {
  std::string full(base);
  if (!path.empty()) full.append("\\").append(path);
  return full;
}

// Parsed files, kept while their identity, size and modification time stay the same.
struct CachedHive {
  TFileStamp stamp;
  std::shared_ptr<const RegistryHive> hive;
};

std::mutex stateMutex;
std::map<std::string, CachedHive> hiveCache;
std::optional<std::string> prefixOverride;
std::shared_ptr<const RegistryStore> storeOverride;
std::set<HKEY> openKeys;

std::shared_ptr<const RegistryHive> EmptyHive() {
  static const auto empty = std::make_shared<const RegistryHive>();
  return empty;
}

std::shared_ptr<const RegistryHive> LoadHive(const std::string& fileName) {
  TFileStamp stamp;
  if (!SystemFileStamp(fileName, stamp) || stamp.size > kMaxRegistryFileSize) {
    std::lock_guard lock(stateMutex);
    hiveCache.erase(fileName);
    return EmptyHive();
  }
  {
    std::lock_guard lock(stateMutex);
    auto it = hiveCache.find(fileName);
    if (it != hiveCache.end() && it->second.stamp == stamp) return it->second.hive;
  }
  std::optional<std::string> text = ReadWholeFile(fileName, kMaxRegistryFileSize);
  auto hive = text ? std::make_shared<const RegistryHive>(RegistryHive::Parse(*text)) : EmptyHive();
  std::lock_guard lock(stateMutex);
  hiveCache[fileName] = CachedHive{stamp, hive};
  return hive;
}

// The store the calls read: the one a test installed, else the Wine prefix a test named, else the
// system's own (none on a system whose registry is real: its calls then go to the system).
std::shared_ptr<const RegistryStore> CurrentStore() {
  std::optional<std::string> prefix;
  {
    std::lock_guard lock(stateMutex);
    if (storeOverride) return storeOverride;
    prefix = prefixOverride;
  }
  return prefix ? OpenWinePrefixRegistry(*prefix) : SystemRegistryStore();
}

std::optional<RegistryRoot> PredefinedRoot(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return RegistryRoot::ClassesRoot;
  if (key == HKEY_CURRENT_USER) return RegistryRoot::CurrentUser;
  if (key == HKEY_LOCAL_MACHINE) return RegistryRoot::LocalMachine;
  if (key == HKEY_USERS) return RegistryRoot::Users;
  if (key == HKEY_CURRENT_CONFIG) return RegistryRoot::CurrentConfig;
  return std::nullopt;
}

bool IsOpenKey(HKEY key) {
  std::lock_guard lock(stateMutex);
  return openKeys.contains(key);
}

}  // namespace

HiveRegistryStore::HiveRegistryStore(std::shared_ptr<const RegistryHive> machine,
                                     std::shared_ptr<const RegistryHive> user)
    : machine_(machine ? std::move(machine) : EmptyHive()),
      user_(user ? std::move(user) : EmptyHive()) {}

bool HiveRegistryStore::KeyExists(RegistryRoot root, const std::string& path) const {
  switch (root) {
    case RegistryRoot::LocalMachine: return machine_->KeyExists(path);
    case RegistryRoot::CurrentUser: return user_->KeyExists(path);
    case RegistryRoot::ClassesRoot:
      return user_->KeyExists(Join(kClasses, path)) || machine_->KeyExists(Join(kClasses, path));
    case RegistryRoot::CurrentConfig: return machine_->KeyExists(Join(kCurrentConfig, path));
    case RegistryRoot::Users: return false;
  }
  return false;
}

std::optional<RegistryValue> HiveRegistryStore::QueryValue(RegistryRoot root,
                                                           const std::string& path,
                                                           const std::string& valueName) const {
  const RegistryValue* value = nullptr;
  switch (root) {
    case RegistryRoot::LocalMachine: value = machine_->FindValue(path, valueName); break;
    case RegistryRoot::CurrentUser: value = user_->FindValue(path, valueName); break;
    case RegistryRoot::ClassesRoot:
      value = user_->FindValue(Join(kClasses, path), valueName);
      if (!value) value = machine_->FindValue(Join(kClasses, path), valueName);
      break;
    case RegistryRoot::CurrentConfig:
      value = machine_->FindValue(Join(kCurrentConfig, path), valueName);
      break;
    case RegistryRoot::Users: break;
  }
  if (!value) return std::nullopt;
  return *value;
}

std::shared_ptr<const RegistryStore> OpenWinePrefixRegistry(const std::string& prefixPath) {
  if (prefixPath.empty()) return std::make_shared<HiveRegistryStore>(nullptr, nullptr);
  return std::make_shared<HiveRegistryStore>(LoadHive(prefixPath + "/system.reg"),
                                             LoadHive(prefixPath + "/user.reg"));
}

std::string WinePrefixPath() {
  {
    std::lock_guard lock(stateMutex);
    if (prefixOverride) return *prefixOverride;
  }
  return SystemWinePrefixPath();
}

void SetWinePrefixOverride(std::optional<std::string> prefixPath) {
  std::lock_guard lock(stateMutex);
  prefixOverride = std::move(prefixPath);
}

void SetRegistryStoreOverride(std::shared_ptr<const RegistryStore> store) {
  std::lock_guard lock(stateMutex);
  storeOverride = std::move(store);
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD samDesired,
                   HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;

  std::shared_ptr<const RegistryStore> store;
  RegistryRoot root;
  std::string path;
  if (auto predefined = PredefinedRoot(key)) {
    store = CurrentStore();
    if (!store) return SystemRegOpenKeyEx(key, subKey, options, samDesired, result);
    root = *predefined;
  } else if (IsOpenKey(key)) {
    store = key->store;
    root = key->root;
    path = key->path;
  } else {
    return SystemRegOpenKeyEx(key, subKey, options, samDesired, result);
  }
  if (subKey && *subKey) path = RegistryHive::NormalisePath(Join(path, subKey));
  if (!path.empty() && !store->KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;

  auto* opened = new RegistryKeyObject{std::move(store), root, std::move(path)};
  std::lock_guard lock(stateMutex);
  openKeys.insert(opened);
  *result = opened;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* /*reserved*/, DWORD* type,
                      std::uint8_t* data, DWORD* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  std::optional<RegistryValue> value;
  std::string name = valueName ? valueName : "";
  auto fromSystem = [&]() -> LONG {
    RegistryValue found;
    const LONG status = SystemRegQueryValue(key, name, found);
    if (status == ERROR_SUCCESS) value = std::move(found);
    return status;
  };
  if (auto predefined = PredefinedRoot(key)) {
    if (auto store = CurrentStore()) value = store->QueryValue(*predefined, "", name);
    else if (const LONG status = fromSystem(); status != ERROR_SUCCESS) return status;
  } else if (IsOpenKey(key)) {
    value = key->store->QueryValue(key->root, key->path, name);
  } else if (const LONG status = fromSystem(); status != ERROR_SUCCESS) {
    return status;
  }
  if (!value) return ERROR_FILE_NOT_FOUND;

  std::string bytes = std::move(value->data);
  if (IsRegistryTextType(value->type)) {
    bytes.push_back('\0');
    if (value->type == REG_MULTI_SZ) bytes.push_back('\0');
  }
  if (type) *type = value->type;
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(bytes.size());
  DWORD room = *size;
  *size = needed;
  if (!data) return ERROR_SUCCESS;
  if (room < needed) return ERROR_MORE_DATA;
  std::copy(bytes.begin(), bytes.end(), data);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (PredefinedRoot(key)) return ERROR_SUCCESS;
  {
    std::lock_guard lock(stateMutex);
    if (openKeys.erase(key) == 0) return SystemRegCloseKey(key);
  }
  delete key;
  return ERROR_SUCCESS;
}

}  // namespace platform
