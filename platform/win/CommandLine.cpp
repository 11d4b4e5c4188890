#include "platform/win/CommandLine.h"

namespace zevlo::platform::win {

std::string QuoteWindowsArgument(const std::string &argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Every backslash before a quote is doubled, and one more escapes the quote.
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    // The closing quote must not be escaped by trailing backslashes.
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string BuildWindowsCommandLine(const std::vector<std::string> &args) {
    std::string line;
    for (const auto &argument : args) {
        if (!line.empty()) {
            line.push_back(' ');
        }
        line += QuoteWindowsArgument(argument);
    }
    return line;
}

} // namespace zevlo::platform::win
