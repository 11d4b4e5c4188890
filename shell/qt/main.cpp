#include "shell/cli/CommandLine.h"
#include "shell/qt/Program.h"

#include <string>
#include <vector>

int main(int argc, char **argv) {
    // A command-line mode needs no display: no toolkit is started for it.
    const zevlo::cli::Options options = zevlo::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (options.mode != zevlo::cli::Mode::Window || !options.error.empty())
        return zevlo::cli::RunForProgram(options);
    return zevlo::qt::RunProgram(argc, argv);
}
