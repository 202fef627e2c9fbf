#pragma once
// What the system-independent units of this folder ask of the system. Each is defined once in
// platform/posix and once in platform/win32; nothing outside platform/ calls them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

namespace platform {

struct TGuid;
struct TResolvedPath;
class RegistryStore;
struct RegistryValue;

// The code page's text as UTF-8, every byte the page cannot convert becoming U+FFFD. False when the
// system does not know the page at all (the caller then reads it as Windows-1252).
bool SystemCodePageToUtf8(unsigned codePage, std::string_view bytes, std::string& out);

// Finds a native path as the system's file systems would: as written and, where they tell letter
// cases apart, without regard to them. True, with the result filled, when found.
bool SystemLookUpPath(const std::string& path, TResolvedPath& result);
// Whether a native path is relative to the working folder (so it may be found beside the program).
bool SystemIsRelativePath(const std::string& path);
std::string SystemJoinPath(const std::string& folder, const std::string& name);

// The text with its environment references expanded by the system's rules; nothing when the
// system fails (the last error says why).
std::optional<std::string> SystemExpandEnvironment(const std::string& text);

// A new version-4 GUID from the system. False when the system refuses.
bool SystemCreateGuid(TGuid& guid);

// Where pixel memory comes from. Slabs are kSlab-sized blocks the pixel allocator cuts medium
// blocks from; the other blocks are single pictures. Zeroed blocks read as zero; slabs need not.
void* SystemAllocateSlab(std::size_t bytes);
void SystemFreeSlab(void* slab, std::size_t bytes) noexcept;
void* SystemAllocateBlock(std::size_t bytes, bool zeroed);
void* SystemReallocateBlock(void* block, std::size_t bytes);
void SystemFreeBlock(void* block) noexcept;

// What tells a file read before from a changed one: which file it is, its size and the time of
// its last change. False for anything but an existing regular file.
struct TFileStamp {
  std::uint64_t volume = 0, file = 0, size = 0;
  std::int64_t modified = 0;  // in the system's own unit
  bool operator==(const TFileStamp&) const = default;
};
bool SystemFileStamp(const std::string& fileName, TFileStamp& stamp);

// The registry. Where the system keeps it in files (Wine's prefix on Linux), the store of those
// files; nullptr where the system has a registry of its own, whose calls then take every key that
// is not one of a store.
std::shared_ptr<const RegistryStore> SystemRegistryStore();
// The Wine prefix the program reads when no test names one; empty where there is none.
std::string SystemWinePrefixPath();
LONG SystemRegOpenKeyEx(HKEY key, const char* subKey, DWORD options, DWORD samDesired, HKEY* result);
// A value of a key of the system's own registry, in the stores' form (text as UTF-8 without its
// terminator); the registry's error code when there is none.
LONG SystemRegQueryValue(HKEY key, const std::string& valueName, RegistryValue& value);
LONG SystemRegCloseKey(HKEY key);

}  // namespace platform
