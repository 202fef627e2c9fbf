// Finding files whose names differ in letter case on a file system that tells cases apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/PathLookup.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

using platform::TPathMatch;

namespace {

// Runs a test in another working folder and with a program folder, restoring both.
class ScopedFolders {
public:
  ScopedFolders(const std::string& working, const std::string& program) : FOld(std::filesystem::current_path()) {
    std::filesystem::current_path(working);
    platform::SetProgramFolder(program);
  }
  ~ScopedFolders() {
    std::filesystem::current_path(FOld);
    platform::SetProgramFolder("");
  }

private:
  std::filesystem::path FOld;
};

TEST(PathLookup, FindsNamesOnARealTreeWithoutRegardToCase) {
  TempDir dir;
  dir.Write("video/feature.avi", "x");
  dir.Write("Covers/Front.BMP", "x");
  dir.Write("dup/abc", "x");
  dir.Write("dup/Abc", "x");
  dir.Write("dup/ABC", "x");
  dir.Write("Vid\xC3\xA9o/\xC3\x84rger.avi", "x");
  dir.Write("latin/caf\xE9.txt", "x");
  dir.Write("\xCE\xA3\xCE\xA4/file", "x");
  std::filesystem::create_symlink("loop", dir.File("loop"));
  const std::string root = dir.Path() + "/";
  const struct {
    const char* Name;
    std::string Wanted;
    TPathMatch Match;
    std::string Found;
  } cases[] = {
      {"exact", "video/feature.avi", TPathMatch::Exact, "video/feature.avi"},
      {"every name in another case", "Video/Feature.AVI", TPathMatch::LetterCase, "video/feature.avi"},
      {"folder only", "VIDEO/", TPathMatch::LetterCase, "video/"},
      {"first in byte order wins", "dup/aBC", TPathMatch::LetterCase, "dup/ABC"},
      {"an exact name among case twins", "dup/Abc", TPathMatch::Exact, "dup/Abc"},
      {"accented letters fold", "VID\xC3\x89O/\xC3\xA4RGER.AVI", TPathMatch::LetterCase, "Vid\xC3\xA9o/\xC3\x84rger.avi"},
      {"Greek final sigma", "\xCF\x82\xCF\x84/FILE", TPathMatch::LetterCase, "\xCE\xA3\xCE\xA4/file"},
      {"a name on disk in Windows-1252", "Latin/CAF\xC3\x89.TXT", TPathMatch::Encoding, "latin/caf\xE9.txt"},
      {"dots pass through", "video/../COVERS/./front.bmp", TPathMatch::LetterCase, "video/../Covers/./Front.BMP"},
      {"missing stays as written", "Video/Nothing.avi", TPathMatch::Missing, "Video/Nothing.avi"},
      {"a file is no folder", "Video/Feature.AVI/x", TPathMatch::Missing, "Video/Feature.AVI/x"},
      {"a link loop ends the walk", "LOOP/x", TPathMatch::Missing, "LOOP/x"},
  };
  for (const auto& c : cases) {
    const platform::TResolvedPath got = platform::LookUpNativePath(root + c.Wanted);
    EXPECT_EQ(got.Match, c.Match) << c.Name;
    EXPECT_EQ(got.Native, root + c.Found) << c.Name;
    EXPECT_FALSE(got.FromProgramFolder) << c.Name;
  }
  // Through the Windows-style entry points every part of the program uses.
  EXPECT_TRUE(platform::FileExists(root + "VIDEO\\FEATURE.avi"));
  EXPECT_FALSE(platform::FileExists(root + "VIDEO"));
  EXPECT_TRUE(platform::DirectoryExists(root + "VIDEO"));
  EXPECT_EQ(platform::NativePath(root + "covers\\front.bmp"), root + "Covers/Front.BMP");
  EXPECT_EQ(platform::NativePath(root + "covers\\back.bmp"), root + "covers/back.bmp");
}

TEST(PathLookup, ThousandsOfCaseTwinsGiveTheFirstInByteOrder) {
  TempDir dir;
  const std::string letters = "abcdefghijk";
  for (unsigned mask = 0; mask < (1u << letters.size()); ++mask) {
    std::string name = letters;
    for (size_t i = 0; i < letters.size(); ++i)
      if (mask & (1u << i)) name[i] = static_cast<char>(name[i] - 32);
    dir.Write(name + "l", "");
  }
  const platform::TResolvedPath got = platform::LookUpNativePath(dir.File("ABCDEFGHIJKL"));
  EXPECT_EQ(got.Match, TPathMatch::LetterCase);
  EXPECT_EQ(got.Native, dir.File("ABCDEFGHIJKl"));
}

TEST(PathLookup, RelativePathsFallBackToTheProgramFolder) {
  TempDir disc, elsewhere;
  disc.Write("Video/feature.avi", "disc");
  disc.Write("Info/notes.txt", "disc");
  elsewhere.Write("Info/notes.txt", "working folder");
  ScopedFolders folders(elsewhere.Path(), disc.Path());
  const struct {
    const char* Name;
    std::string Wanted;
    std::string Found;
    bool FromProgramFolder;
  } cases[] = {
      {"only beside the launcher", "Video\\feature.avi", disc.File("Video/feature.avi"), true},
      {"beside the launcher, other case", "VIDEO\\Feature.avi", disc.File("Video/feature.avi"), true},
      {"the working folder wins", "Info\\notes.txt", "Info/notes.txt", false},
      {"the working folder wins in any case", "INFO\\NOTES.TXT", "Info/notes.txt", false},
      {"nowhere", "Video\\none.avi", "Video/none.avi", false},
  };
  for (const auto& c : cases) {
    const platform::TResolvedPath got = platform::ResolvePath(c.Wanted);
    EXPECT_EQ(got.Native, c.Found) << c.Name;
    EXPECT_EQ(got.FromProgramFolder, c.FromProgramFolder) << c.Name;
  }
  EXPECT_FALSE(platform::FileExists("/Video/feature.avi")) << "an absolute path is never moved";
}

}  // namespace
