#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommandLine.h"

using platform::SplitWindowsCommandLine;
using Args = std::vector<std::string>;

namespace {

struct SplitCase {
  const char* params;
  Args expected;
};

TEST(SplitWindowsCommandLine, FollowsTheRuntimeRules) {
  const SplitCase cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"  lead  trail  ", {"lead", "trail"}},
      {R"("a b" c)", {"a b", "c"}},
      {R"("a b"c d)", {"a bc", "d"}},
      {R"(x"y z"w)", {"xy zw"}},
      {R"("")", {""}},
      {R"(a "" b)", {"a", "", "b"}},
      {R"(")", {""}},
      {R"("unclosed arg)", {"unclosed arg"}},
      // Backslashes are literal unless a quote follows them.
      {R"(C:\Program Files\x)", {"C:\\Program", "Files\\x"}},
      {R"(a\\b)", {"a\\\\b"}},
      {R"(\\\\)", {"\\\\\\\\"}},
      {R"(a\"b)", {"a\"b"}},           // 2n+1 = 1: literal quote
      {R"(a\\"b c")", {"a\\b c"}},      // 2n = 2: one backslash, quote opens
      {R"(a\\\"b)", {"a\\\"b"}},        // 2n+1 = 3: one backslash and a literal quote
      {R"("C:\dir\\" next)", {"C:\\dir\\", "next"}},
      {R"("C:\dir\" next)", {"C:\\dir\" next"}},
      // Two quotes inside quotes give a literal quote and quoting goes on.
      {R"("a""b")", {"a\"b"}},
      {R"("say ""hi"" now")", {"say \"hi\" now"}},
      // Shell syntax is plain text.
      {"a;b $(rm -rf /) `ls` x|y&z", {"a;b", "$(rm", "-rf", "/)", "`ls`", "x|y&z"}},
      {R"x("$(touch x)" "`id`;")x", {"$(touch x)", "`id`;"}},
      {"line1\nline2 *.txt ~ $HOME", {"line1\nline2", "*.txt", "~", "$HOME"}},
      {"'single quotes' stay", {"'single", "quotes'", "stay"}},
  };
  for (const SplitCase& c : cases)
    EXPECT_EQ(SplitWindowsCommandLine(c.params), c.expected) << "params: [" << c.params << "]";
}

}  // namespace
