#include "shell/cli/CommandLine.h"

#include "crypto/Password.h"
#include "data/KnownServices.h"
#include "data/SettingsSchema.h"
#include "engine/Engine.h"
#include "engine/StoredEndpoints.h"
#include "engine/TextRules.h"
#include "platform/Autostart.h"
#include "platform/Console.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"
#include "shell/cli/Modes.h"

#include <iostream>
#include <optional>

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
    // A host name missing from the file loads as "-": sent, it would name no host of the user.
    const std::string hostname = text::TrimBlanks(dm.FSET_Hostname);
    if (dm.FSET_User.empty() || dm.FSET_Pass.empty() || hostname.empty() || hostname == "-") {
        err << "zevlo: " << SettingKey(&Tdm::FSET_User) << ", " << SettingKey(&Tdm::FSET_Pass) << " and "
            << SettingKey(&Tdm::FSET_Hostname) << " must be set in \"" << dm.SettingsFile << "\"\n";
        dm.SettingsFile.clear();
        return kExitUsage;
    }
    if (const std::string unknown = UnknownServiceText(dm); !unknown.empty()) {
        err << "zevlo: " << unknown << " (zevlo --services lists them)\n";
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
    // The service asked not to be sent this again (a refusal given for these settings) or not
    // yet (its trouble): nothing goes out unless the user insists.
    if (const std::optional<UpdateHold> hold = engine.Hold(); hold && !options.force) {
        *env.out << "not sent: " << hold->text
                 << (hold->kind == UpdateHold::Kind::Refused ? "; change the settings or use --force" : "") << '\n';
        dm.SettingsFile.clear(); // nothing changed
        return kExitFailed;
    }
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

// The URL of a request without its query.
std::string UrlWithoutQuery(const CurlCommand &command) {
    for (const std::string &arg : command.args)
        if (arg.rfind("https://", 0) == 0 || arg.rfind("http://", 0) == 0)
            return arg.substr(0, arg.find('?'));
    return {};
}

// One line per known service: its id, its name and the URLs a run with that service sends
// to, as the engine builds them.
int PrintServices(const Environment &env) {
    StreamNotifier notifier(*env.err);
    for (const KnownService &service : KnownServices()) {
        Tdm dm(env.clock);
        ApplyService(service, dm);
        const StoredEndpoints endpoints(dm);
        const Engine engine(dm, endpoints, *env.runner, notifier, env.programDir);
        *env.out << service.id << '\t' << service.name << '\t'
                 << UrlWithoutQuery(engine.BuildCurlCommand(RequestKind::Update)) << '\t'
                 << UrlWithoutQuery(engine.BuildCurlCommand(RequestKind::CheckIP)) << '\n';
    }
    return kExitOk;
}

// The login entry goes only when it starts this very program: the removal of an installed
// copy must not take the entry of a portable copy with it.
int RemoveOwnAutostart(const Environment &env) {
    switch (platform::RemoveUserAutostartOf(env.executable)) {
    case platform::OwnEntryRemoval::Removed:
        *env.out << "zevlo: removed the login entry of " << env.executable << '\n';
        return kExitOk;
    case platform::OwnEntryRemoval::NotThere:
        *env.out << "zevlo: there is no login entry\n";
        return kExitOk;
    case platform::OwnEntryRemoval::AnotherProgram:
        *env.out << "zevlo: the login entry starts another copy of the program; it stays\n";
        return kExitOk;
    case platform::OwnEntryRemoval::Failed:
        break;
    }
    *env.err << "zevlo: cannot remove the login entry\n";
    return kExitFailed;
}

} // namespace

namespace {

// One option of ours. Adding an option is one row in kOptions (and its line in Usage()).
struct OptionRow {
    const char *name;  // "--once"
    const char *alias; // a second spelling ("-h"), or null
    bool takesValue;   // "--dir DIR" or "--dir=DIR"
    void (*apply)(Options &options, const std::string &given, const std::string &value);
};

template <Mode mode> void Select(Options &options, const std::string &given, const std::string &) {
    if (options.mode != Mode::Window && options.mode != mode && options.error.empty())
        options.error = "option " + given + " cannot be combined with the other mode given";
    options.mode = mode;
}

constexpr OptionRow kOptions[] = {
    {"--once", nullptr, false, Select<Mode::Once>},
    {"--store-password", nullptr, false, Select<Mode::StorePassword>},
    {"--help", "-h", false, Select<Mode::Help>},
    {"--version", nullptr, false, Select<Mode::Version>},
    {"--remove-autostart", nullptr, false, Select<Mode::RemoveAutostart>},
    {"--services", nullptr, false, Select<Mode::Services>},
    {"--force", nullptr, false,
     [](Options &options, const std::string &, const std::string &) { options.force = true; }},
    {"--dir", nullptr, true, [](Options &options, const std::string &, const std::string &dir) { options.dir = dir; }},
};

constexpr ToolkitOption kQtOptions[] = {
    // QGuiApplication and QApplication
    {"platform", true, false},
    {"platformpluginpath", true, false},
    {"platformtheme", true, false},
    {"plugin", true, false},
    {"qwindowgeometry", true, false},
    {"qwindowicon", true, false},
    {"qwindowtitle", true, false},
    {"reverse", false, false},
    {"session", true, false},
    {"style", true, true},
    {"stylesheet", true, true},
    {"widgetcount", false, false},
    {"qmljsdebugger", false, true},
    {"testability", false, false},
    // the X11 platform
    {"display", true, false},
    {"geometry", true, false},
    {"title", true, false},
    {"icon", true, false},
    {"name", true, false},
    {"visual", true, false},
    {"nograb", false, false},
    {"dograb", false, false},
};

bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The row of one of our options as given (a value joined with "=" split off into `joined`).
const OptionRow *FindOurs(const std::string &arg, std::optional<std::string> &joined) {
    for (const OptionRow &row : kOptions) {
        if (arg == row.name || (row.alias != nullptr && arg == row.alias))
            return &row;
        const std::string withEquals = std::string(row.name) + "=";
        if (row.takesValue && StartsWith(arg, withEquals)) {
            joined = arg.substr(withEquals.size());
            return &row;
        }
    }
    return nullptr;
}

// Qt takes its options with one dash or two; a value follows, or for some joins with "=".
const ToolkitOption *FindToolkit(const std::string &arg, std::span<const ToolkitOption> toolkit, bool &joined) {
    std::string name;
    if (StartsWith(arg, "--"))
        name = arg.substr(2);
    else if (StartsWith(arg, "-"))
        name = arg.substr(1);
    else
        return nullptr;
    for (const ToolkitOption &option : toolkit) {
        joined = option.joinedValue && StartsWith(name, std::string(option.name) + "=");
        if (name == option.name || joined)
            return &option;
    }
    return nullptr;
}

} // namespace

std::span<const ToolkitOption> QtOptions() {
    return kQtOptions;
}

Options ParseArguments(const std::vector<std::string> &args, std::span<const ToolkitOption> toolkit) {
    Options options;
    std::string toolkitOption;
    for (std::size_t i = 0; i < args.size() && options.error.empty(); ++i) {
        const std::string &arg = args[i];
        std::optional<std::string> value;
        bool joined = false;
        if (const OptionRow *row = FindOurs(arg, value)) {
            if (row->takesValue && !value) {
                if (i + 1 == args.size()) {
                    options.error = "option " + arg + " needs a value";
                    break;
                }
                value = args[++i];
            }
            row->apply(options, arg, value.value_or(std::string()));
        } else if (const ToolkitOption *option = FindToolkit(arg, toolkit, joined)) {
            if (option->takesValue && !joined && ++i == args.size())
                options.error = "option " + arg + " needs a value";
            toolkitOption = arg;
        } else {
            options.error = (StartsWith(arg, "-") ? "unknown option " : "unexpected argument ") + arg;
        }
    }
    if (!options.error.empty())
        return options;
    if (options.mode == Mode::Window && (options.force || !options.dir.empty()))
        options.error = "--force and --dir go with --once or --store-password";
    else if (!options.dir.empty() && options.mode != Mode::Once && options.mode != Mode::StorePassword)
        options.error = "--dir goes with --once or --store-password"; // a folder silently unused misleads
    else if (options.force && options.mode != Mode::Once)
        options.error = "--force goes with --once";
    else if (options.mode != Mode::Window && !toolkitOption.empty())
        options.error = "option " + toolkitOption + " goes with the window only";
    return options;
}

std::string Usage() {
    return "Usage: zevlo [--once [--force] | --store-password] [--dir DIR] | --services | --help | --version\n"
           "       zevlo --remove-autostart\n"
           "Without options the program starts with its window and tray icon (on Linux Qt's\n"
           "own options, such as -display, -platform or -style, go with it).\n"
           "\n"
           "  --once            check the address once and tell the service when it changed;\n"
           "                    prints the log lines it adds, shows no window\n"
           "  --force           with --once: send the update even when nothing changed\n"
           "  --store-password  read a password from standard input (asked for on a\n"
           "                    terminal) and store it in Settings.ini (no other line changes)\n"
           "  --dir DIR         use DIR for Settings.ini and log.txt (yours, in a folder\n"
           "                    others cannot change)\n"
           "  --remove-autostart\n"
           "                    remove the login entry when it starts this program (the\n"
           "                    uninstaller's step; the entry of another copy stays)\n"
           "  --services        list the known services: the id for FSET_UPD_Service, the\n"
           "                    name, the update URL and the check URL\n"
           "  -h, --help        show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 no change or updated (warnings too), 1 the check or the update\n"
           "failed or its address could not be recorded, or the service's last answer holds\n"
           "the update back (a refusal, a wait), 2 a usage, settings or folder problem,\n"
           "3 the folder is in use by another copy.\n";
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
    if (options.mode == Mode::RemoveAutostart)
        return RemoveOwnAutostart(env);
    if (options.mode == Mode::Services)
        return PrintServices(env);
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
    const std::string executable = platform::ExecutablePath();
    const std::string programDir = platform::DirectoryOf(executable);
    platform::ProcessRunner runner;
    Environment env;
    env.programDir = programDir;
    env.executable = executable;
    env.dataDir = platform::DataDirForProgram(programDir, platform::PerUserDataDir());
    env.runner = &runner;
    env.out = &std::cout;
    env.err = &std::cerr;
    env.readSecret = platform::ReadSecretLine;
    env.endRequested = platform::TerminationRequested;
    return Run(options, env);
}

} // namespace zevlo::cli
