#include "app/Program.h"

int main(int argc, char **argv) {
    return zevlo::RunProgram(argc, argv);
}
