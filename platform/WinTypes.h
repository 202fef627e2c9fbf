#pragma once

// The handful of Win32 names the program's logic is written against. The platform layer gives
// them their Windows meanings on every system (on top of POSIX on Linux, through the system's own
// calls on Windows), so the code above it reads like the Windows original and keeps its
// return-value conventions.

#include <cstdint>

namespace platform {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
// Windows truth values: 0 is FALSE, anything else TRUE. The names TRUE / FALSE are left to other
// headers (several C libraries define them as macros); results here are 0 or 1.
using BOOL = int;

// Error codes, as returned by the registry calls and kept by SetLastError / GetLastError.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_INVALID_FUNCTION = 1;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_BAD_FORMAT = 11;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr LONG ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr LONG ERROR_NO_ASSOCIATION = 1155;

// Registry value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Registry access rights. The store is read-only, so the rights only matter for their values.
inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

// Wait results.
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x40;
inline constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x400;

// A handle to a started process (see Shell.h). Opaque to callers; null means "no process".
struct ProcessObject;
using HANDLE = ProcessObject*;

// A registry key. The predefined roots are small constant values; opened keys are pointers to
// the store's own key objects (see Registry.h).
struct RegistryKeyObject;
using HKEY = RegistryKeyObject*;

// The calling thread's last error, as Windows keeps it.
void SetLastError(DWORD error);
DWORD GetLastError();

}  // namespace platform
