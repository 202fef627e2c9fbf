#pragma once
// A file's four version numbers read the way the launcher reads them, for the version tests.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileVersion.h"

namespace platform_test {

using namespace platform;

// Reads a file's version the way the launcher does; nullopt when any step fails.
inline std::optional<std::array<int, 4>> ReadVersion(const std::string& file) {
  DWORD handle = 1;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
  EXPECT_EQ(handle, 0u);
  if (size == 0) return std::nullopt;
  std::vector<std::uint8_t> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return std::nullopt;
  void* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", &fixed, &length)) return std::nullopt;
  EXPECT_GE(length, sizeof(VS_FIXEDFILEINFO));
  auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return std::array<int, 4>{int(info->dwFileVersionMS >> 16), int(info->dwFileVersionMS & 0xFFFF),
                            int(info->dwFileVersionLS >> 16), int(info->dwFileVersionLS & 0xFFFF)};
}

}  // namespace platform_test
