#include "shell/cli/CommandLine.h"

#include "crypto/Password.h"
#include "data/SettingsSchema.h"
#include "engine/Engine.h"
#include "engine/StoredEndpoints.h"
#include "platform/Console.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"

#include <iostream>

namespace zevlo::cli {

namespace {

// The engine's messages as lines on standard error: there is nobody to click a box.
class StreamNotifier final : public INotifier {
public:
    explicit StreamNotifier(std::ostream &err) : err_(err) {}
    void ShowMessage(MessageKind kind, const std::string &text) override {
        err_ << "zevlo: " << CaptionFor(kind) << ": " << text << '\n';
    }

private:
    std::ostream &err_;
};

std::string WithSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != platform::PathSeparator()[0])
        dir += platform::PathSeparator();
    return dir;
}

// Settings.ini of the folder, loaded; a status other than kExitOk when it cannot be used.
int LoadSettings(Tdm &dm, const std::string &dataDir, std::ostream &err) {
    dm.SettingsFile = dataDir + "Settings.ini";
    if (!platform::PathExists(dm.SettingsFile)) {
        err << "zevlo: no settings file \"" << dm.SettingsFile
            << "\": start the program with its window once, or write one (see the README)\n";
        return kExitUsage;
    }
    try {
        dm.LoadSettings();
    } catch (const FileError &error) {
        err << "zevlo: " << error.what() << '\n';
        return kExitUsage;
    }
    return kExitOk;
}

int RunOnce(const Options &options, const Environment &env, const std::string &dataDir) {
    std::ostream &err = *env.err;
    Tdm dm(env.clock);
    if (const int status = LoadSettings(dm, dataDir, err); status != kExitOk) {
        dm.SettingsFile.clear(); // nothing of this run may be written over it
        return status;
    }
    if (dm.FSET_User.empty() || dm.FSET_Pass.empty() || dm.FSET_Hostname.empty()) {
        err << "zevlo: " << SettingKey(&Tdm::FSET_User) << ", " << SettingKey(&Tdm::FSET_Pass) << " and "
            << SettingKey(&Tdm::FSET_Hostname) << " must be set in \"" << dm.SettingsFile << "\"\n";
        dm.SettingsFile.clear();
        return kExitUsage;
    }
    dm.AppDir = dataDir;
    dm.LogFile = dataDir + "log.txt";
    try {
        dm.LoadLog();
    } catch (const FileError &error) {
        err << "zevlo: " << error.what() << '\n';
    }
    dm.LogLineAdded = [&env](const std::string &line) { *env.out << line << std::endl; };

    const StoredEndpoints endpoints(dm);
    StreamNotifier notifier(err);
    Engine engine(dm, endpoints, *env.runner, notifier, env.programDir);
    if (options.force)
        engine.ForceUpdate();
    else
        engine.CheckAndUpdate();
    const CycleOutcome &outcome = engine.LastOutcome();
    if (engine.Abandoned() || outcome.checkFailed || outcome.updateFailed)
        return kExitFailed;
    return kExitOk;
}

int StorePassword(const Environment &env, const std::string &dataDir) {
    std::ostream &err = *env.err;
    Tdm dm(env.clock);
    const int status = LoadSettings(dm, dataDir, err);
    std::string password;
    if (status == kExitOk && (!env.readSecret || !env.readSecret(password) || password.empty()))
        err << "zevlo: no password was given on standard input\n";
    if (status != kExitOk || password.empty()) {
        dm.SettingsFile.clear();
        return kExitUsage;
    }
    // Only the one line changes: the other keys stay exactly as the user wrote them.
    dm.SetStr(SettingKey(&Tdm::FSET_Pass), EncryptPassword(password));
    int result = kExitOk;
    try {
        platform::ReplaceFileAtomically(dm.SettingsFile, JoinLines(dm.SettingsList), platform::FileAccess::Private);
    } catch (const FileError &error) {
        err << "zevlo: " << error.what() << '\n';
        result = kExitFailed;
    }
    dm.SettingsFile.clear(); // a save at the end would write every field
    return result;
}

} // namespace

Options ParseArguments(const std::vector<std::string> &args) {
    Options options;
    bool ours = false;
    for (const std::string &arg : args)
        ours = ours || arg == "--once" || arg == "--force" || arg == "--dir" || arg.rfind("--dir=", 0) == 0 ||
               arg == "--help" || arg == "--version" || arg == "--store-password";
    if (!ours)
        return options;

    auto setMode = [&options](Mode mode, const std::string &arg) {
        if (options.mode != Mode::Window && options.mode != mode && options.error.empty())
            options.error = "option " + arg + " cannot be combined with the other mode given";
        options.mode = mode;
    };
    for (std::size_t i = 0; i < args.size() && options.error.empty(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--once")
            setMode(Mode::Once, arg);
        else if (arg == "--store-password")
            setMode(Mode::StorePassword, arg);
        else if (arg == "--help")
            setMode(Mode::Help, arg);
        else if (arg == "--version")
            setMode(Mode::Version, arg);
        else if (arg == "--force")
            options.force = true;
        else if (arg.rfind("--dir=", 0) == 0)
            options.dir = arg.substr(6);
        else if (arg == "--dir" && i + 1 < args.size())
            options.dir = args[++i];
        else if (arg == "--dir")
            options.error = "option --dir needs a folder";
        else
            options.error = "unknown option " + arg;
    }
    if (!options.error.empty())
        return options;
    if (options.mode == Mode::Window)
        options.error = "--force and --dir go with --once or --store-password";
    else if (options.force && options.mode != Mode::Once)
        options.error = "--force goes with --once";
    return options;
}

std::string Usage() {
    return "Usage: zevlo [--once [--force] | --store-password] [--dir DIR] | --help | --version\n"
           "Without options the program starts with its window and tray icon.\n"
           "\n"
           "  --once            check the address once and tell the service when it changed;\n"
           "                    prints the log lines it adds, shows no window\n"
           "  --force           with --once: send the update even when nothing changed\n"
           "  --store-password  read a password from standard input and store it in\n"
           "                    Settings.ini (no other line changes)\n"
           "  --dir DIR         use DIR for Settings.ini and log.txt\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 no change or updated (warnings too), 1 the check or the update\n"
           "failed, 2 a usage or settings problem, 3 the folder is in use by another copy.\n";
}

int Run(const Options &options, const Environment &env) {
    if (!options.error.empty()) {
        *env.err << "zevlo: " << options.error << '\n' << Usage();
        return kExitUsage;
    }
    if (options.mode == Mode::Help) {
        *env.out << Usage();
        return kExitOk;
    }
    if (options.mode == Mode::Version) {
        *env.out << "zevlo " << ZEVLO_PROJECT_VERSION << '\n';
        return kExitOk;
    }
    const std::string dataDir = WithSeparator(options.dir.empty() ? env.dataDir : options.dir);
    // Another copy (the window, or another run) uses these files: leave them to it.
    platform::FolderLock lock(dataDir);
    if (!lock.TryLock()) {
        if (!platform::PathExists(dataDir)) {
            *env.err << "zevlo: no folder \"" << dataDir << "\"\n";
            return kExitUsage;
        }
        *env.err << "zevlo: \"" << dataDir << "\" is in use by another copy of the program\n";
        return kExitInUse;
    }
    return options.mode == Mode::StorePassword ? StorePassword(env, dataDir) : RunOnce(options, env, dataDir);
}

int RunForProgram(const Options &options) {
    platform::InstallTerminationSignals();
    const std::string programDir = platform::DirectoryOf(platform::ExecutablePath());
    platform::ProcessRunner runner;
    Environment env;
    env.programDir = programDir;
    env.dataDir = platform::DataDirForProgram(programDir, platform::PerUserDataDir());
    env.runner = &runner;
    env.out = &std::cout;
    env.err = &std::cerr;
    env.readSecret = platform::ReadLineWithoutEcho;
    return Run(options, env);
}

} // namespace zevlo::cli
