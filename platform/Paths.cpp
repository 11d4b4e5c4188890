#include "platform/Paths.h"

#include "platform/InstalledCopy.h"

#include <filesystem>
#include <system_error>

namespace zevlo::platform {

namespace {

constexpr const char *kSettingsName = "Settings.ini";

std::string WithSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != PathSeparator()[0]) {
        dir += PathSeparator();
    }
    return dir;
}

// Anything at the path counts, a link too, even one that leads nowhere: writing through
// it would put the settings wherever its owner chose.
bool SomethingAt(const std::string &path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return status.type() != std::filesystem::file_type::not_found && status.type() != std::filesystem::file_type::none;
}

} // namespace

std::string DirectoryOf(const std::string &path) {
    // Windows takes both separators; POSIX only "/".
    const char *separators = PathSeparator()[0] == '\\' ? "\\/" : "/";
    const auto cut = path.find_last_of(separators);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ChooseDataDir(const std::string &programDir, const std::string &perUserDir) {
    const std::string program = WithSeparator(programDir);
    const std::string perUser = WithSeparator(perUserDir);
    const std::string programSettings = program + kSettingsName;
    if (IsOwnedByCurrentUser(programSettings)) {
        return program;
    }
    // Someone else's settings file beside the program is never read.
    if (!SomethingAt(programSettings) && IsDirWritable(program) && !SomethingAt(perUser + kSettingsName)) {
        return program;
    }
    return perUser;
}

std::string DataDirForProgram(const std::string &programDir, const std::string &perUserDir) {
    return IsInstalledCopy(programDir) ? WithSeparator(perUserDir) : ChooseDataDir(programDir, perUserDir);
}

} // namespace zevlo::platform
