#pragma once

#include "form/TfrmMain.h"
#include "platform/FolderLock.h"

#include <string>

namespace zevlo::form {

// The window program's files: where the executable and its data folder are (the per-user
// folder created when it is the one), and the data folder's lock for as long as this lives.
// A one-shot run (a timer or a scheduled task at sign-in) may hold the lock: it is waited
// for, up to two minutes, rather than leave the user without the tray icon; then the
// program goes on. Problems go to standard error.
class ProgramFiles {
public:
    ProgramFiles();

    // The folders, the executable and its version text; the shell adds the runner and the
    // login entry.
    MainServices Services() const;

private:
    std::string executable_;
    std::string programDir_;
    std::string dataDir_;
    platform::FolderLock lock_;
};

} // namespace zevlo::form
