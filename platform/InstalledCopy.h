#pragma once

#include <string>

namespace zevlo::platform {

// True when the program in `programDir` was put there by an installer or a system package
// rather than copied by the user: its Settings.ini and log.txt then always live in the
// per-user folder, since an upgrade or a removal replaces or deletes the program's folder.
// Windows: the folder the installer recorded under HKCU\Software\Zevlo ("InstallFolder"),
// so the same Zevlo.exe unzipped elsewhere stays portable. Linux: a packaged build.
bool IsInstalledCopy(const std::string &programDir);

} // namespace zevlo::platform
