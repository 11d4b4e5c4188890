#pragma once

#include "platform/Autostart.h"

#include <memory>
#include <optional>
#include <string>

namespace zevlo::platform::win {

// The key under HKEY_CURRENT_USER whose values Windows starts at logon.
inline constexpr const char *kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A string value under kRunKey. It is written as the quoted path ("C:\...\Zevlo.exe"),
// so a path holding blanks cannot start another program; a value already there, quoted
// or not, counts as present.
std::unique_ptr<IAutostart> MakeRunValueAutostart(const std::string &valueName);

// The program a value under kRunKey starts: the quoted path, or the whole of an unquoted
// value (as older versions wrote it); nothing when there is no such string value.
std::optional<std::string> RunValueProgram(const std::string &valueName);

} // namespace zevlo::platform::win
