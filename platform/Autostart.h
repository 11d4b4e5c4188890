#pragma once

#include <memory>
#include <string>

namespace zevlo::platform {

// The login entry that starts the program with the desktop session
// (HKCU Run value "Zevlo" on Windows; an XDG autostart .desktop file on Linux).
class IAutostart {
public:
    virtual ~IAutostart() = default;
    virtual bool IsPresent() = 0;
    // Writes (or replaces) the entry so that it starts the executable at `exePath`.
    virtual bool Write(const std::string &exePath) = 0;
    // Deletes the entry when it exists.
    virtual bool Remove() = 0;
};

// The entry of the current user on this system.
std::unique_ptr<IAutostart> MakeUserAutostart();

enum class OwnEntryRemoval { Removed, NotThere, AnotherProgram, Failed };

// Removes the current user's entry only when it starts the executable at `exePath`: an
// uninstaller's step, which must leave the entry of another (portable) copy alone.
OwnEntryRemoval RemoveUserAutostartOf(const std::string &exePath);

} // namespace zevlo::platform
