#pragma once

#include <string>

namespace zevlo::platform::win {

// Where the installer records the folder it installed Zevlo.exe into: a string value under
// HKEY_CURRENT_USER (the MSI writes it and removes it again with the program).
inline constexpr const char *kProductKey = "Software\\Zevlo";
inline constexpr const char *kInstallFolderValue = "InstallFolder";

// True when both name the same file or folder: case is ignored, "/" counts as "\", a
// trailing separator and relative or short (8.3) forms make no difference.
bool SamePath(const std::string &a, const std::string &b);

} // namespace zevlo::platform::win
