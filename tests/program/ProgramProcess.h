#pragma once

// The real program started as a process in a folder of its own: a copy of the executable
// beside a prepared Settings.ini, a temporary home, configuration and runtime folder, and
// Qt's offscreen platform, so no test touches the user's files or display.

#include "tests/support/Files.h"
#include "tests/support/Wait.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zevlo::program {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::IniValue;
using test::ReadBytes;
using test::WaitFor;
using test::WriteBytes;

// A temporary root holding the program's folder, a home folder and a runtime folder.
class ProgramFolder {
public:
    ProgramFolder(const fs::path &executable, const fs::path &root) : root_(root) {
        fs::create_directories(AppDir());
        fs::create_directories(Home() / ".config");
        fs::create_directories(RuntimeDir());
        fs::permissions(RuntimeDir(), fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(executable, Executable());
    }

    fs::path AppDir() const { return root_ / "program folder"; }
    fs::path Executable() const { return AppDir() / "zevlo"; }
    fs::path SettingsFile() const { return AppDir() / "Settings.ini"; }
    fs::path LogFile() const { return AppDir() / "log.txt"; }
    fs::path Home() const { return root_ / "home"; }
    fs::path RuntimeDir() const { return root_ / "run"; }
    fs::path OutputFile() const { return root_ / "output.txt"; }

    std::string Settings() const { return ReadBytes(SettingsFile()); }
    std::string Log() const { return ReadBytes(LogFile()); }

private:
    fs::path root_;
};

class RunningProgram {
public:
    // `extraEnv`: NAME=value entries added to (or replacing those of) the program's small, fixed
    // environment; a bare NAME removes that variable. `args` follow the program's name;
    // standard input comes from `input` (the null device when empty). With `runAs` the program
    // is started through that command (another user, another mount namespace), found on PATH.
    RunningProgram(const ProgramFolder &folder, const fs::path &runtimeDir, const std::vector<std::string> &extraEnv,
                   std::vector<std::string> args = {}, const fs::path &input = {},
                   const std::vector<std::string> &runAs = {}) {
        std::vector<std::string> env = {
            "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"),
            "HOME=" + folder.Home().string(),
            "XDG_CONFIG_HOME=" + (folder.Home() / ".config").string(),
            "XDG_RUNTIME_DIR=" + runtimeDir.string(),
            "QT_QPA_PLATFORM=offscreen",
            "LANG=C.UTF-8",
        };
        for (const auto &extra : extraEnv) {
            const auto name = extra.substr(0, extra.find('=')) + "=";
            std::erase_if(env, [&](const std::string &entry) { return entry.starts_with(name); });
            if (extra.find('=') != std::string::npos)
                env.push_back(extra);
        }
        std::vector<char *> envp;
        for (auto &entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        std::string exe = folder.Executable().string();
        args.insert(args.begin(), exe);
        args.insert(args.begin(), runAs.begin(), runAs.end());
        std::vector<char *> argv;
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string output = folder.OutputFile().string();
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const std::string inputPath = input.empty() ? std::string("/dev/null") : input.string();
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputPath.c_str(), O_RDONLY, 0);
        const int error = runAs.empty() ? posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), envp.data())
                                        : posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            throw std::runtime_error("cannot start " + exe);
    }

    ~RunningProgram() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal) const { kill(pid_, signal); }

    // The wait status once the process ended within the deadline.
    std::optional<int> WaitExit(std::chrono::milliseconds deadline = 20s) {
        WaitFor([&] { return !Running(); }, deadline);
        return exitStatus_;
    }

    bool Running() {
        if (pid_ <= 0)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_)
            return true;
        pid_ = 0;
        exitStatus_ = status;
        return false;
    }

private:
    pid_t pid_ = 0;
    std::optional<int> exitStatus_;
};

} // namespace zevlo::program
