#pragma once

#include "form/TfrmMain.h"
#include "platform/FolderLock.h"

#include <string>

namespace zevlo::form {

// The window program's files: where the executable and its data folder are (the per-user
// folder created when it is the one), and the data folder's lock for as long as this lives.
// Another copy (a timer's run at sign-in, --store-password) may hold the lock: the form waits
// for it with its tray icon up, and never uses the files without it. Problems go to standard
// error.
class ProgramFiles {
public:
    ProgramFiles();

    // The folders, the executable, its version text and the folder's lock; the shell adds the
    // runner and the login entry. The lock lives here, as long as this does.
    MainServices Services();

private:
    std::string executable_;
    std::string programDir_;
    std::string dataDir_;
    platform::FolderLock lock_;
    bool waitTold_ = false;
};

} // namespace zevlo::form
