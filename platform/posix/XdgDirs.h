#pragma once

#include <string>

namespace zevlo::platform {

// The user's home folder: $HOME, or the password database when it is unset or empty.
// Empty when neither knows one.
std::string HomeDir();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; without a trailing "/".
// Empty when no home folder is known.
std::string XdgConfigHome();

} // namespace zevlo::platform
