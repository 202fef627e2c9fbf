#include "platform/CommandLine.h"

namespace platform {

std::vector<std::string> SplitWindowsCommandLine(const std::string& params) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  std::size_t i = 0;
  const std::size_t n = params.size();
  while (i < n) {
    char c = params[i];
    if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) args.push_back(std::move(current));
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      std::size_t run = 0;
      while (i < n && params[i] == '\\') ++run, ++i;
      if (i < n && params[i] == '"') {
        current.append(run / 2, '\\');
        if (run % 2 == 1) {
          current.push_back('"');
          ++i;
        }
        // With an even run the quote is handled by the next turn of the loop.
      } else {
        current.append(run, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < n && params[i + 1] == '"') {
        current.push_back('"');
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
      continue;
    }
    current.push_back(c);
    ++i;
  }
  if (inArgument) args.push_back(std::move(current));
  return args;
}

}  // namespace platform
