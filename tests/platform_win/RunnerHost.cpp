// Runs its arguments as a program through the system's runner and waits for it: a program
// the tests kill outright, to see that the runner's child does not outlive it.
#include "platform/ProcessRunner.h"

#include <chrono>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    zevlo::platform::ProcessRunner runner(std::chrono::minutes(5));
    runner.RunProgram(args, "", std::nullopt);
    return 0;
}
