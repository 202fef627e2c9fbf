#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// A path from UTF-8 text: on Windows a plain std::string would be taken in the ANSI code page.
inline std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

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
        const std::u8string name = candidate.generic_u8string();
        FPath.assign(name.begin(), name.end());
        break;
      }
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!FPath.empty()) std::filesystem::remove_all(Utf8Path(FPath), ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }
  // Writes a file (folders on the way are made), executable when asked, and answers its full path.
  std::string Write(const std::string& name, const std::string& content, bool executable = false) const {
    const std::string path = File(name);
    std::filesystem::create_directories(Utf8Path(path).parent_path());
    std::ofstream(Utf8Path(path), std::ios::binary) << content;
    if (executable) {
      using std::filesystem::perms;
      std::filesystem::permissions(Utf8Path(path), perms::owner_all | perms::group_read | perms::group_exec |
                                             perms::others_read | perms::others_exec);
    }
    return path;
  }

private:
  std::string FPath;
};
