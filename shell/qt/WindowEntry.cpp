// The entry of the window program inside its module: the program's executable loads the
// module only when the window is wanted, so that a command-line run never loads Qt.
#include "shell/cli/CommandLine.h"
#include "shell/qt/DisplayCheck.h"
#include "shell/qt/Program.h"

#include <iostream>

extern "C" __attribute__((visibility("default"))) int zevlo_run_window(int argc, char **argv) {
    // Qt ends the process with an abort when it finds no display: say what to do instead.
    if (!zevlo::qt::DisplayReachable(zevlo::qt::DisplayRequestFor(argc, argv), zevlo::qt::X11Accepts)) {
        std::cerr << "zevlo: no display; use --once to run without a desktop\n";
        return zevlo::cli::kExitUsage;
    }
    return zevlo::qt::RunProgram(argc, argv);
}
