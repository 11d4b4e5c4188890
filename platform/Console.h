#pragma once

#include <string>

namespace zevlo::platform {

// Reads one line from standard input without its line end; on a terminal the typed text
// is not shown. False when no line could be read.
bool ReadLineWithoutEcho(std::string &line);

} // namespace zevlo::platform
