#include "platform/Paths.h"
#include "shell/cli/CommandLine.h"

#include <dlfcn.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

// The window module: beside the program (a build folder, a portable copy), in the library
// folder of its installation prefix, or where this build put it.
int RunWindowModule(int argc, char **argv) {
    const std::string programDir = zevlo::platform::DirectoryOf(zevlo::platform::ExecutablePath());
    const std::string candidates[] = {programDir + ZEVLO_WINDOW_MODULE_NAME,
                                      programDir + ZEVLO_WINDOW_MODULE_FROM_BINDIR, ZEVLO_WINDOW_MODULE_BUILT};
    std::string errors;
    for (const std::string &path : candidates) {
        void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            errors += std::string("\n  ") + dlerror();
            continue;
        }
        using Entry = int (*)(int, char **);
        if (const auto entry = reinterpret_cast<Entry>(dlsym(module, "zevlo_run_window")))
            return entry(argc, argv);
        errors += "\n  " + path + ": no window entry";
    }
    std::cerr << "zevlo: cannot load the window module:" << errors << '\n';
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    // A command-line mode needs no display: Qt is not even loaded for it.
    const zevlo::cli::Options options =
        zevlo::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), zevlo::cli::QtOptions());
    if (options.mode != zevlo::cli::Mode::Window || !options.error.empty())
        return zevlo::cli::RunForProgram(options);
    return RunWindowModule(argc, argv);
}
