#pragma once

#include "platform/Autostart.h"

#include <string>

namespace zevlo::platform {

// The Exec value that starts the program at `exePath`, quoted and escaped as Desktop
// Entry files ask (so a path with blanks, quotes, "$", "\" or "%" stays one argument).
std::string DesktopEntryExecValue(const std::string &exePath);

// The whole "Zevlo.desktop" file that starts the program at `exePath`.
std::string DesktopEntryText(const std::string &exePath);

// The XDG autostart entry "Zevlo.desktop" in `folder`.
class DesktopEntryAutostart final : public IAutostart {
public:
    explicit DesktopEntryAutostart(std::string folder);

    bool IsPresent() override;
    // Creates the folder when missing; writes the file atomically.
    bool Write(const std::string &exePath) override;
    bool Remove() override;

    const std::string &EntryPath() const { return entryPath_; }

private:
    std::string folder_;
    std::string entryPath_;
};

// The autostart folder of the user: $XDG_CONFIG_HOME/autostart, default ~/.config/autostart.
std::string UserAutostartFolder();

} // namespace zevlo::platform
