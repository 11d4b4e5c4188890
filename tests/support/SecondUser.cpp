#include "tests/support/SecondUser.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace zevlo::test::second_user {

namespace fs = std::filesystem;

namespace {

int Run(std::vector<std::string> args, const std::vector<std::string> &env) {
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    std::vector<char *> envp;
    for (std::string &entry : envCopy)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

const std::string &Unavailable() {
    static const std::string reason = []() -> std::string {
        if (geteuid() != 0)
            return "only a test run as root can act as the second user " + std::to_string(kId);
        if (Run(Command({"/bin/true"}), {"PATH=/usr/bin:/bin"}) != 0)
            return "setpriv cannot take the user id " + std::to_string(kId);
        return {};
    }();
    return reason;
}

std::vector<std::string> Command(const std::vector<std::string> &args) {
    const std::string id = std::to_string(kId);
    std::vector<std::string> command = {"setpriv", "--reuid", id, "--regid", id, "--clear-groups", "--"};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

int RunShell(const std::string &command, const fs::path &home) {
    return Run(Command({"/bin/sh", "-c", command}), {"PATH=/usr/bin:/bin", "HOME=" + home.string()});
}

void OpenTo(const fs::path &root, const fs::path &folder, fs::perms mode) {
    for (fs::path part = folder.parent_path(); !part.empty(); part = part.parent_path()) {
        fs::permissions(part, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
        if (part == root || part == part.parent_path())
            break;
    }
    fs::permissions(folder, mode, fs::perm_options::replace);
}

} // namespace zevlo::test::second_user
