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
#include "shell/cli/Modes.h"

#include <iostream>

namespace zevlo::cli {

namespace {

// The engine's messages as lines on standard error: there is nobody to click a box. Counts the
// file errors, each told once.
class StreamNotifier final : public INotifier {
public:
    explicit StreamNotifier(std::ostream &err) : err_(err) {}
    void ShowMessage(MessageKind kind, const std::string &text) override {
        if (kind == MessageKind::FileError) {
            ++fileErrors_;
            if (text == lastFileError_)
                return;
            lastFileError_ = text;
        }
        err_ << "zevlo: " << CaptionFor(kind) << ": " << text << '\n';
    }
    int FileErrors() const { return fileErrors_; }

private:
    std::ostream &err_;
    int fileErrors_ = 0;
    std::string lastFileError_;
};

std::string WithSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != platform::PathSeparator()[0])
        dir += platform::PathSeparator();
    return dir;
}

// Why an update must not go out: its answer could not be recorded, and every later run would
// send the same address again (a service counts that as abuse), unseen by a timer.
std::string WhyTheAddressCannotBeRecorded(Tdm &dm) {
    try {
        dm.CheckSettingsCanBeSaved();
        return {};
    } catch (const FileError &error) {
        return "ERROR - Not sent: the new address could not be recorded [" + std::string(error.what()) + "]";
    }
}

// The last saves of the run, reported as the engine's are; false when the settings could not
// be written, so the address the service got may be sent again.
bool SaveAtTheEnd(Tdm &dm, INotifier &notifier) {
    bool saved = true;
    try {
        dm.SaveSettings();
    } catch (const FileError &error) {
        notifier.ShowMessage(MessageKind::FileError, error.what());
        saved = false;
    }
    try {
        dm.SaveLog();
    } catch (const FileError &error) {
        notifier.ShowMessage(MessageKind::FileError, error.what());
    }
    // Done: nothing is left for the end of the store to write.
    dm.SettingsFile.clear();
    dm.LogFile.clear();
    return saved;
}

} // namespace

namespace detail {

int LoadSettingsOf(Tdm &dm, const std::string &dataDir, std::ostream &err) {
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

} // namespace detail

namespace {

int RunOnce(const Options &options, const Environment &env, const std::string &dataDir) {
    std::ostream &err = *env.err;
    Tdm dm(env.clock);
    if (const int status = detail::LoadSettingsOf(dm, dataDir, err); status != kExitOk) {
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
    engine.BeforeUpdate = [&dm] { return WhyTheAddressCannotBeRecorded(dm); };
    if (options.force)
        engine.ForceUpdate();
    else
        engine.CheckAndUpdate();
    const CycleOutcome &outcome = engine.LastOutcome();
    int status = engine.Abandoned() || outcome.checkFailed || outcome.updateFailed ? kExitFailed : kExitOk;
    if (!SaveAtTheEnd(dm, notifier))
        status = kExitFailed;
    // A file error may come from a link or a file that another user put there meanwhile.
    if (notifier.FileErrors() > 0) {
        if (const std::string refusal = platform::DataFolderRefusal(dataDir); !refusal.empty()) {
            err << "zevlo: " << refusal << '\n';
            status = kExitUsage;
        }
    }
    return status;
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
           "  --store-password  read a password from standard input (asked for on a\n"
           "                    terminal) and store it in Settings.ini (no other line changes)\n"
           "  --dir DIR         use DIR for Settings.ini and log.txt (yours, in a folder\n"
           "                    others cannot change)\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 no change or updated (warnings too), 1 the check or the update\n"
           "failed or its address could not be recorded, 2 a usage, settings or folder\n"
           "problem, 3 the folder is in use by another copy.\n";
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
    // Files that another user could have planted, or could swap, are not read, let alone run.
    if (const std::string refusal = platform::DataFolderRefusal(dataDir); !refusal.empty()) {
        *env.err << "zevlo: " << refusal << "; nothing was read\n";
        return kExitUsage;
    }
    if (options.mode == Mode::StorePassword)
        return detail::StorePassword(env, dataDir);
    // Another copy (the window, or another run) uses these files: leave them to it.
    platform::FolderLock lock(dataDir);
    if (!lock.TryLock()) {
        if (!lock.Error().empty()) {
            *env.err << "zevlo: " << lock.Error() << '\n';
            return kExitUsage;
        }
        *env.err << "zevlo: \"" << dataDir << "\" is in use by another copy of the program\n";
        return kExitInUse;
    }
    return RunOnce(options, env, dataDir);
}

int RunForProgram(const Options &options) {
    platform::InstallTerminationSignals();
    platform::AlsoEndOnQuit();
    const std::string programDir = platform::DirectoryOf(platform::ExecutablePath());
    platform::ProcessRunner runner;
    Environment env;
    env.programDir = programDir;
    env.dataDir = platform::DataDirForProgram(programDir, platform::PerUserDataDir());
    env.runner = &runner;
    env.out = &std::cout;
    env.err = &std::cerr;
    env.readSecret = platform::ReadSecretLine;
    env.endRequested = platform::TerminationRequested;
    return Run(options, env);
}

} // namespace zevlo::cli
