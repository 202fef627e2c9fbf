// The checker's report on a disc whose definitions read Wine's registry files and name Linux
// programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/check/untMainCheck.h"
#include "platform/PathLookup.h"
#include "platform/Registry.h"
#include "support/PeFiles.h"
#include "support/TempDir.h"

namespace {

TEST(DiscCheck, ReportsWhatTheLauncherWouldMeetEachOnceInReadingOrder) {
  TempDir d;
  platform::SetWinePrefixOverride(d.File("prefix"));
  d.Write("prefix/system.reg", "WINE REGISTRY Version 2\n[Software\\\\Demo\\\\Player] 1700000000\n\"Folder\"=\"" +
                                   d.Path() + "/players\"\n");
  d.Write("prefix/user.reg", "WINE REGISTRY Version 2\n");
  d.Write("quorvane.ini",
          "[Item1]\r\nCaption=One\r\nMainFile=Video\\a.avi\r\nInformationFile=Info\\missing.txt\r\n"
          "CodecNeededDefinitionFile=Definitions\\old.ini\r\nOpenWithDefinitionFile=Definitions\\reg.ini\r\n"
          "[Item2]\r\nCaption=Two\r\nMainFile=Video\\b.avi\r\nInformationFile=Info\\b.txt\r\n"
          "CodecNeededDefinitionFile=Definitions\\old.ini\r\nOpenWithDefinitionFile=Definitions\\nothere.ini\r\n");
  d.Write("Video/a.avi", "");
  d.Write("Info/b.txt", "Caf\xE9\r\n");
  d.Write("Players/player.dll", test_pe::MakePe({1, 0, 0, 0}, false));
  d.Write("players/player.sh", "#!/bin/sh\n", true);
  d.Write("Installers/other.sh", "#!/bin/sh\n", true);
  d.Write("Definitions/old.ini",
          "[Main]\nDescription=Old\n[Version Checking]\nPath=Players\\\nFile=player.dll\nMinVersionRequired=2.0\n"
          "[Install]\nPath=Installers\\\nFile=none.sh\n");
  d.Write("Definitions/reg.ini",
          "[Main]\nDescription=Reg\nPathFromRegistryKey=HKEY_LOCAL_MACHINE\\Software\\Demo\\Player\\Folder\n"
          "File=player.sh\nParameters=\"%1\"\n[Version Checking]\nPath=Players\\\nFile=player.dll\n");

  const TCheckResult result = CheckDisc(d.File("quorvane"));
  std::vector<std::string> lines;
  for (const TFinding& f : result.Findings) lines.push_back(FormatFinding(f, false));
  const std::vector<std::string> expected = {
      "info feature [Item1] \"One\" plays Video\\a.avi",
      "info feature [Item2] \"Two\" plays Video\\b.avi",
      "error notice [Item2] MainFile not found | Video\\b.avi",
      "error notice [Item1] InformationFile not found | Info\\missing.txt",
      "info version [Definitions\\old.ini] Old: Players\\player.dll has version 1.0.0.0, required 2.0; the user is "
      "asked to upgrade it",
      "error installer [Definitions\\old.ini] installer not found: Installers\\none.sh",
      "info version [Definitions\\reg.ini] Reg: Players\\player.dll has version 1.0.0.0, required 0.0.0.0; accepted",
      "info registry [Definitions\\reg.ini [Main]] HKEY_LOCAL_MACHINE\\Software\\Demo\\Player\\Folder = " + d.Path() +
          "/players",
      "info program [Definitions\\reg.ini] program " + d.Path() + "/players\\player.sh, folder " + d.Path() +
          "/players\\, parameters [Video\\a.avi]",
      "info encoding [Info\\b.txt] Info\\b.txt is read as Windows-1252",
      "error definition [Definitions\\nothere.ini] definition file not found: Definitions\\nothere.ini",
      "error definition [Definitions\\nothere.ini] Path/PathFromRegistryKey/ExtractPathFromRegistryKey not defined | "
      "Definitions\\nothere.ini",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(result.Clean());
  platform::SetWinePrefixOverride(std::nullopt);
  platform::SetProgramFolder("");
}

}  // namespace
