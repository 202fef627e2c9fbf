#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/check/untMainCheck.h"
#include "platform/PathLookup.h"
#include "support/TempDir.h"

namespace {

std::string Line(const TFinding& f) { return FormatFinding(f, false); }

TEST(DiscCheck, DiscsWithoutFeaturesAreNotClean) {
  TempDir d;
  d.Write("empty.ini", "[Item1]\nCaption=No main file\n");
  const struct {
    const char* Launcher;
    std::string Expected;
  } cases[] = {
      {"quorvane", "error configuration [" + d.File("quorvane.ini") + "] no configuration file: " + d.File("quorvane.ini")},
      {"empty", "error configuration [" + d.File("empty.ini") + "] no feature: [Item1] has no MainFile"},
  };
  for (const auto& c : cases) {
    const TCheckResult result = CheckDisc(d.File(c.Launcher));
    ASSERT_EQ(result.Findings.size(), 1u) << c.Launcher;
    EXPECT_EQ(Line(result.Findings[0]), c.Expected);
    EXPECT_FALSE(result.Clean());
  }
  platform::SetProgramFolder("");
}

TEST(DiscCheck, JsonLinesKeepTheExactText) {
  const TFinding finding{TSeverity::Error, "notice", "Item1", "MainFile not found\r\nC:\\\"a\"\x01"};
  EXPECT_EQ(FormatFinding(finding, true),
            "{\"severity\":\"error\",\"kind\":\"notice\",\"subject\":\"Item1\",\"text\":\"MainFile not "
            "found\\r\\nC:\\\\\\\"a\\\"\\u0001\"}");
}

}  // namespace
