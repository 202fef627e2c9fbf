#pragma once

// File versions: the fixed file information of a file's version resource.
//
// Windows executables and libraries (PE32 and PE32+) are read by walking their own structures:
// DOS header, PE header, optional header, the resource data directory, the section table and the
// resource tree (RT_VERSION, its first name, its first language) down to the VS_VERSIONINFO
// block. Our own ELF executables carry the 52-byte VS_FIXEDFILEINFO record in a section named
// ".qv_version"; for them a VS_VERSIONINFO block holding just that record is made up, so callers
// see both kinds through the same three calls.
//
// Everything read from the file is bounds-checked against the file and the structure that
// contains it; a damaged file reads as one without version information (size 0).
// Paths go through NativePath, so "C:\..." names inside a Wine prefix work.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileReading.h"
#include "platform/WinTypes.h"

namespace platform {

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;  // kFixedFileInfoSignature
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;
// A VS_VERSIONINFO block's length is a 16-bit field, so no real block is larger.
inline constexpr std::size_t kMaxVersionBlockSize = 0xFFFF;

// The VS_VERSIONINFO block of a PE or ELF file, as it is stored (UTF-16 keys, little-endian
// numbers); nothing for a file without one or a damaged file.
std::optional<std::string> ReadVersionBlock(const ByteSource& file);

// The size of the file's version information, or 0 when it has none (the last error tells
// why). *handle, when given, is set to 0.
DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle);

// Copies the version information into `data` (room for `length` bytes). With less room than the
// size reported above, the block is cut and its own length field says so, so that a later
// VerQueryValueA never reads past what was copied.
BOOL GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD length, void* data);

// Looks up a value in a block filled by GetFileVersionInfoA. Only the root block "\" is
// supported: it gives the VS_FIXEDFILEINFO record, and fails when the block has none or its
// signature is wrong. Other sub-blocks (the string tables) are not needed here and fail.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

}  // namespace platform
