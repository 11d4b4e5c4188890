#include "form/ProgramFiles.h"

#include "platform/FileVersion.h"
#include "platform/Paths.h"

#include <chrono>
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
      dataDir_(DataDir(programDir_)), lock_(dataDir_) {
    if (!lock_.LockWithin(std::chrono::minutes(2)))
        std::cerr << "zevlo: the folder " << dataDir_ << " is still in use by another copy; going on\n";
}

MainServices ProgramFiles::Services() const {
    MainServices services;
    services.programDir = programDir_;
    services.dataDir = dataDir_;
    services.executablePath = executable_;
    services.versionText = [executable = executable_] { return platform::GetFileVersionText(executable); };
    return services;
}

} // namespace zevlo::form
