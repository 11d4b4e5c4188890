#pragma once

#include "data/Tdm.h"
#include "platform/Console.h"
#include "platform/ProcessRunner.h"

#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace zevlo::cli {

enum class Mode { Window, Once, StorePassword, RemoveAutostart, Services, Help, Version };

struct Options {
    Mode mode = Mode::Window;
    bool force = false;
    std::string dir;   // empty: the folder the window would use
    std::string error; // not empty: the arguments are refused, this says why
};

// An option of the window's toolkit, which the window program passes on untouched: taken
// with one dash or two, with its value following or (`joinedValue`) after "=".
struct ToolkitOption {
    const char *name; // without the dash
    bool takesValue;
    bool joinedValue;
};

// Qt's own options (the platform, the session restore, the style, X11's display ...).
std::span<const ToolkitOption> QtOptions();

// Every argument must be one of ours or, in the window mode, one of `toolkit`'s: anything
// else is refused in every mode, before the window program looks for a running copy.
Options ParseArguments(const std::vector<std::string> &args, std::span<const ToolkitOption> toolkit = {});

std::string Usage();

// What a command-line run needs from outside; tests hand in temporary folders.
struct Environment {
    std::string programDir; // curl's working folder
    std::string executable; // the program whose login entry --remove-autostart removes
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
