#pragma once

#include <string>

namespace zevlo::platform {

enum class SecretInput {
    Read,      // a line was read (it may be empty)
    None,      // no line came: standard input was empty or closed
    Cancelled, // the user ended the program while it waited (Ctrl+C, Ctrl+\, a termination request)
};

// Reads one line from standard input without its line end. On a terminal it first writes
// `prompt` to standard error and does not show what is typed; whatever way the reading ends,
// the terminal is left as it was. From a pipe or a file it reads the line quietly.
SecretInput ReadSecretLine(const std::string &prompt, std::string &line);

} // namespace zevlo::platform
