#pragma once

// Another user of the machine, for the tests of what one user may do to another's files: the
// id 65534 that no one uses ("nobody"), taken through setpriv. Only a privileged test run can
// act as another user; the tests that need one are skipped elsewhere, saying why.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zevlo::test::second_user {

inline constexpr uid_t kId = 65534;

// Why no test can act as the second user here; empty when they can.
const std::string &Unavailable();

// The argument list that runs `args` as the second user, without groups.
std::vector<std::string> Command(const std::vector<std::string> &args);

// Runs the shell command as the second user, with HOME set to `home`; its exit status, or -1
// when it could not be run.
int RunShell(const std::string &command, const std::filesystem::path &home = "/nonexistent");

// Lets the second user pass through every folder from `root` down to `folder` (mktemp-style
// test folders are closed to others), and, with `mode`, sets the folder itself to it.
void OpenTo(const std::filesystem::path &root, const std::filesystem::path &folder, std::filesystem::perms mode);

} // namespace zevlo::test::second_user
