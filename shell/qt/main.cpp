#include "shell/qt/Program.h"

int main(int argc, char **argv) {
    return zevlo::qt::RunProgram(argc, argv);
}
