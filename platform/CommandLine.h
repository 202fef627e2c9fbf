#pragma once

// Splitting a Windows parameter text into arguments.

#include <string>
#include <vector>

namespace platform {

// Splits the text the way the Microsoft C runtime (2008 and later) splits a command line for
// main(): blanks (space and tab) separate arguments outside double quotes; a double quote toggles
// quoting and is dropped; inside quotes, two double quotes in a row give one literal quote and
// quoting goes on; 2n backslashes before a quote give n backslashes and the quote acts as above,
// 2n+1 backslashes before a quote give n backslashes and a literal quote; backslashes elsewhere
// are literal. "" on its own gives an empty argument.
//
// Every other character, newlines, ";", "$", "`", "|", "&", "*", is plain text: the arguments go
// straight to the program, never through a command shell.
std::vector<std::string> SplitWindowsCommandLine(const std::string& params);

}  // namespace platform
