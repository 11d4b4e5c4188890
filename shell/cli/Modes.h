#pragma once

// The command-line modes behind Run that have a file of their own, and what they share.

#include "data/Tdm.h"
#include "shell/cli/CommandLine.h"

#include <iosfwd>
#include <string>

namespace zevlo::cli::detail {

// Loads Settings.ini of the folder into `dm`; kExitOk, or the exit status after saying on
// `err` why the file cannot be used.
int LoadSettingsOf(Tdm &dm, const std::string &dataDir, std::ostream &err);

// --store-password: asks for the password first, then takes the folder's lock (waiting for
// another copy) only to change the one line.
int StorePassword(const Environment &env, const std::string &dataDir);

} // namespace zevlo::cli::detail
