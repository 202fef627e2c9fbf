#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    FPath = made ? made : pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
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
    if (executable) ::chmod(path.c_str(), 0755);
    return path;
  }

private:
  std::string FPath;
};
