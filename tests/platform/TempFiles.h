#pragma once

// Reading a test file back and setting an environment variable for one test; the test folder
// itself is the shared TempDir.

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "platform/Environment.h"
#include "support/TempDir.h"

namespace platform_test {

inline std::string ReadFile(const std::string& file) {
  std::ifstream in(Utf8Path(file), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets an environment variable for the lifetime of the object and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    platform::SetEnvironmentVariableText(name_, value ? std::optional<std::string>(value) : std::nullopt);
  }
  ~ScopedEnv() { platform::SetEnvironmentVariableText(name_, old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace platform_test
