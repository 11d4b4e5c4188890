// The entry of the window program inside its module: the program's executable loads the
// module only when the window is wanted, so that a command-line run never loads Qt.
#include "shell/qt/Program.h"

extern "C" __attribute__((visibility("default"))) int zevlo_run_window(int argc, char **argv) {
    return zevlo::qt::RunProgram(argc, argv);
}
