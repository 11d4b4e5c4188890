#include "shell/win/PortableCopy.h"

#include "platform/Autostart.h"
#include "platform/FileIO.h"
#include "platform/FolderLock.h"
#include "platform/InstalledCopy.h"
#include "platform/Paths.h"
#include "platform/win/InstalledCopy.h"
#include "platform/win/RunValueAutostart.h"

#include <windows.h>

#include <optional>

namespace zevlo::win {

namespace {

constexpr const char *kRunValue = "Zevlo";

// Moves one file into the folder, never over a file there; empty on success, else why not.
std::string MoveInto(const std::string &from, const std::string &toDir, const char *name) {
    const std::string source = from + name;
    const std::string target = toDir + name;
    if (MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return {};
    return "Cannot move \"" + source + "\" to \"" + target + "\". " +
           platform::SystemErrorText(static_cast<int>(GetLastError()));
}

} // namespace

void OfferToTakeOverPortableCopy(const std::string &ownExe, const std::string &perUserDir, const AskYesNo &ask,
                                 const std::function<void(const std::string &)> &report) {
    if (!platform::IsInstalledCopy(platform::DirectoryOf(ownExe)) || platform::PathExists(perUserDir + "Settings.ini"))
        return;
    const std::optional<std::string> other = platform::win::RunValueProgram(kRunValue);
    if (!other || platform::win::SamePath(*other, ownExe))
        return;
    const std::string oldDir = platform::DirectoryOf(*other);
    if (oldDir.empty() || !platform::IsOwnedByCurrentUser(oldDir + "Settings.ini"))
        return;
    // A one-shot run of the old copy may be using its files: ask at a later start instead.
    platform::FolderLock lock(oldDir);
    if (!lock.TryLock())
        return;

    if (!ask("Zevlo starts at sign-in from another copy:\n" + *other +
             "\n\nMove its settings and log (Settings.ini, log.txt) to " + perUserDir +
             " and start this installed copy at sign-in instead?"))
        return;
    if (!platform::MakeDirs(perUserDir)) {
        report("Cannot create the folder \"" + perUserDir + "\".");
        return;
    }
    if (const std::string error = MoveInto(oldDir, perUserDir, "Settings.ini"); !error.empty()) {
        report(error);
        return;
    }
    // The log is worth less than the settings: a log that cannot move stays where it is.
    if (platform::PathExists(oldDir + "log.txt")) {
        if (const std::string error = MoveInto(oldDir, perUserDir, "log.txt"); !error.empty())
            report(error);
    }
    if (!platform::MakeUserAutostart()->Write(ownExe))
        report("Cannot point the sign-in entry \"Zevlo\" at \"" + ownExe + "\".");
}

void OfferToTakeOverPortableCopy() {
    OfferToTakeOverPortableCopy(
        platform::ExecutablePath(), platform::PerUserDataDir(),
        [](const std::string &text) {
            return MessageBoxA(nullptr, text.c_str(), "Confirm", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) ==
                   IDYES;
        },
        [](const std::string &text) { MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR); });
}

} // namespace zevlo::win
