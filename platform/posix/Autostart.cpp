#include "platform/posix/DesktopEntryAutostart.h"

#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/posix/XdgDirs.h"

#include <cerrno>

#include <unistd.h>

namespace zevlo::platform {

std::string DesktopEntryExecValue(const std::string &exePath) {
    // First the quoting of an Exec argument...
    std::string argument = "\"";
    for (const char c : exePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            argument += '\\';
            argument += c;
        } else if (c == '%') {
            argument += "%%";
        } else {
            argument += c;
        }
    }
    argument += '"';
    // ...then the escapes of every string value, which readers undo first.
    std::string value;
    for (const char c : argument) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string DesktopEntryText(const std::string &exePath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.5\n"
           "Name=Zevlo\n"
           "Comment=Keeps a dynamic DNS host name pointing at this computer\n"
           "Exec=" +
           DesktopEntryExecValue(exePath) +
           "\n"
           "Icon=zevlo\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

DesktopEntryAutostart::DesktopEntryAutostart(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
    // No folder (no home known): nothing is there and nothing is written.
    entryPath_ = folder_.empty() ? std::string() : folder_ + "Zevlo.desktop";
}

bool DesktopEntryAutostart::IsPresent() {
    return FileExists(entryPath_);
}

bool DesktopEntryAutostart::Write(const std::string &exePath) {
    if (folder_.empty() || !MakeDirs(folder_)) {
        return false;
    }
    try {
        ReplaceFileAtomically(entryPath_, DesktopEntryText(exePath), FileAccess::Usual);
        return true;
    } catch (const FileError &) {
        return false;
    }
}

bool DesktopEntryAutostart::Remove() {
    return unlink(entryPath_.c_str()) == 0 || errno == ENOENT;
}

std::string UserAutostartFolder() {
    const std::string config = XdgConfigHome();
    return config.empty() ? std::string() : config + "/autostart/";
}

std::unique_ptr<IAutostart> MakeUserAutostart() {
    return std::make_unique<DesktopEntryAutostart>(UserAutostartFolder());
}

OwnEntryRemoval RemoveUserAutostartOf(const std::string &exePath) {
    DesktopEntryAutostart entry(UserAutostartFolder());
    std::string text;
    try {
        if (!entry.IsPresent()) {
            return OwnEntryRemoval::NotThere;
        }
        text = ReadWholeFile(entry.EntryPath());
    } catch (const FileError &) {
        return OwnEntryRemoval::Failed;
    }
    const std::string execLine = "\nExec=" + DesktopEntryExecValue(exePath) + "\n";
    if (("\n" + text).find(execLine) == std::string::npos) {
        return OwnEntryRemoval::AnotherProgram;
    }
    return entry.Remove() ? OwnEntryRemoval::Removed : OwnEntryRemoval::Failed;
}

} // namespace zevlo::platform
