#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempDir {
public:
  TempDir() {
    // A fresh name of our own: create_directory answers false when it exists already.
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate = base / ("qvtest-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        FPath = candidate.generic_string();
        break;
      }
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!FPath.empty()) std::filesystem::remove_all(FPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }
  // Writes a file (folders on the way are made), executable when asked, and answers its full path.
  std::string Write(const std::string& name, const std::string& content, bool executable = false) const {
    const std::string path = File(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    if (executable) {
      using std::filesystem::perms;
      std::filesystem::permissions(path, perms::owner_all | perms::group_read | perms::group_exec |
                                             perms::others_read | perms::others_exec);
    }
    return path;
  }

private:
  std::string FPath;
};
