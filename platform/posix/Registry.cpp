// The registry on Linux is the registry files of a Wine prefix: $WINEPREFIX, else ~/.wine.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Registry.h"
#include "platform/SystemHooks.h"

namespace platform {

bool SystemFileStamp(const std::string& fileName, TFileStamp& stamp) {
  struct stat info{};
  if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  stamp.volume = static_cast<std::uint64_t>(info.st_dev);
  stamp.file = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

std::string SystemWinePrefixPath() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.wine";
  if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir)
    return std::string(account->pw_dir) + "/.wine";
  return {};
}

std::shared_ptr<const RegistryStore> SystemRegistryStore() {
  return OpenWinePrefixRegistry(WinePrefixPath());
}

// Every key of this system is a store's, so anything else is no key.
LONG SystemRegOpenKeyEx(HKEY, const char*, DWORD, DWORD, HKEY* result) {
  if (result) *result = nullptr;
  return ERROR_INVALID_HANDLE;
}

LONG SystemRegQueryValue(HKEY, const std::string&, RegistryValue&) { return ERROR_INVALID_HANDLE; }

LONG SystemRegCloseKey(HKEY) { return ERROR_INVALID_HANDLE; }

}  // namespace platform
