#pragma once

#include <string>
#include <vector>

namespace zevlo::platform::win {

// One argument quoted so that the Microsoft C runtime and CommandLineToArgvW give it
// back unchanged: left bare when it holds no blank, tab, line feed, vertical tab or
// double quote (and is not empty); otherwise put in double quotes with each quote
// written \" and the backslashes before a quote or the closing quote doubled.
std::string QuoteWindowsArgument(const std::string &argument);

// The arguments quoted and joined by single blanks.
std::string BuildWindowsCommandLine(const std::vector<std::string> &args);

} // namespace zevlo::platform::win
