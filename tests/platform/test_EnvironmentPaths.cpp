#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TempFiles.h"
#include "platform/Environment.h"

using namespace platform;
using platform_test::ScopedEnv;

namespace {

TEST(ExpandEnvironmentStrings, ReplacesDefinedReferencesOnly) {
  ScopedEnv a("QV_TEST_ALPHA", "alpha");
  ScopedEnv p("QV_TEST_PERCENT", "%QV_TEST_ALPHA%");
  ScopedEnv e("QV_TEST_EMPTY", "");
  ScopedEnv u("QV_TEST_UNDEFINED", nullptr);
  struct Row {
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"%QV_TEST_ALPHA%\\bin", "alpha\\bin"},
      {"%qv_test_alpha%", "alpha"},  // names are not case-sensitive
      {"a%QV_TEST_ALPHA%b%QV_TEST_ALPHA%", "aalphabalpha"},
      {"%QV_TEST_UNDEFINED%\\x", "%QV_TEST_UNDEFINED%\\x"},
      {"100%", "100%"},
      {"%%", "%%"},
      {"%", "%"},
      {"%QV_TEST_ALPHA", "%QV_TEST_ALPHA"},
      {"[%QV_TEST_EMPTY%]", "[]"},
      {"%QV_TEST_PERCENT%", "%QV_TEST_ALPHA%"},  // values are not expanded again
      {"", ""},
  };
  for (const Row& row : rows) {
    char buffer[128];
    DWORD needed = ExpandEnvironmentStringsA(row.in, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, row.out) << row.in;
    EXPECT_EQ(needed, std::strlen(row.out) + 1) << row.in;
  }
}

TEST(ExpandEnvironmentStrings, ReportsTheSizeNeededWhenTheRoomIsShort) {
  ScopedEnv a("QV_TEST_ALPHA", "alpha");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(ExpandEnvironmentStringsA("%QV_TEST_ALPHA%-%QV_TEST_ALPHA%", buffer, 8), 12u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(ExpandEnvironmentStringsA("%QV_TEST_ALPHA%", buffer, 6), 6u);  // exact fit
  EXPECT_STREQ(buffer, "alpha");
  EXPECT_EQ(ExpandEnvironmentStringsA("abc", nullptr, 0), 4u);
  EXPECT_EQ(ExpandEnvironmentStringsA(nullptr, buffer, 8), 0u);
}

}  // namespace
