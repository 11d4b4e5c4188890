#include "form/ProgramFiles.h"

#include "platform/FileVersion.h"
#include "platform/Paths.h"

#include <iostream>

namespace zevlo::form {

namespace {

std::string DataDir(const std::string &programDir) {
    const std::string perUserDir = platform::PerUserDataDir();
    const std::string dataDir = platform::DataDirForProgram(programDir, perUserDir);
    if (dataDir == perUserDir && !platform::MakeDirs(perUserDir))
        std::cerr << "zevlo: cannot create the folder " << perUserDir << "\n";
    return dataDir;
}

} // namespace

ProgramFiles::ProgramFiles()
    : executable_(platform::ExecutablePath()), programDir_(platform::DirectoryOf(executable_)),
      dataDir_(DataDir(programDir_)), lock_(dataDir_) {}

MainServices ProgramFiles::Services() {
    MainServices services;
    services.programDir = programDir_;
    services.dataDir = dataDir_;
    services.executablePath = executable_;
    services.versionText = [executable = executable_] { return platform::GetFileVersionText(executable); };
    services.lockDataFolder = [this](std::string &why) {
        if (lock_.TryLock())
            return true;
        why = lock_.Error().empty() ? "in use by another copy" : lock_.Error();
        if (!waitTold_)
            std::cerr << "zevlo: waiting for " << dataDir_ << ": " << why << '\n';
        waitTold_ = true;
        return false;
    };
    return services;
}

} // namespace zevlo::form
