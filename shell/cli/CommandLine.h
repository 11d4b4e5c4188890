#pragma once

#include "data/Tdm.h"
#include "platform/Console.h"
#include "platform/ProcessRunner.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace zevlo::cli {

enum class Mode { Window, Once, StorePassword, Help, Version };

struct Options {
    Mode mode = Mode::Window;
    bool force = false;
    std::string dir;   // empty: the folder the window would use
    std::string error; // not empty: the arguments are refused, this says why
};

// Mode Window when no argument is one of ours: the arguments then belong to the toolkit
// (session restore passes its own). With one of ours every argument must be ours.
Options ParseArguments(const std::vector<std::string> &args);

std::string Usage();

// What a command-line run needs from outside; tests hand in temporary folders.
struct Environment {
    std::string programDir; // curl's working folder
    std::string dataDir;    // where Settings.ini and log.txt live unless --dir says otherwise
    platform::IProcessRunner *runner = nullptr;
    std::ostream *out = nullptr;
    std::ostream *err = nullptr;
    // Reads the password for --store-password, prompting as given on a terminal.
    std::function<platform::SecretInput(const std::string &prompt, std::string &)> readSecret;
    // True once the user asked the program to end (Ctrl+C): a wait for the folder ends then.
    std::function<bool()> endRequested;
    Clock clock = std::chrono::system_clock::now;
};

// Exit statuses of a command-line run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInUse = 3;

// Runs a mode other than Window; returns the exit status.
int Run(const Options &options, const Environment &environment);

// Run with the system's runner, standard streams and the program's own folders; the
// termination signals end a running request.
int RunForProgram(const Options &options);

} // namespace zevlo::cli
