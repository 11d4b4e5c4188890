#include "shell/win/Program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return zevlo::win::RunWindowProgram(instance);
}
