#include "platform/SingleInstance.h"

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

constexpr const char *kName = "Zevlo_Mutex";

// Asks a second process whether it would be the first copy: its exit status says.
bool SecondProcessIsFirst() {
    const pid_t child = fork();
    if (child == 0) {
        const SingleInstance other(kName);
        _exit(other.IsFirst() ? 10 : 20);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(WEXITSTATUS(status) == 10 || WEXITSTATUS(status) == 20) << WEXITSTATUS(status);
    return WEXITSTATUS(status) == 10;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    TempFolder runtime_;
    ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.Path()};
};

TEST_F(SingleInstanceTest, SecondProcessIsNotFirstWhileTheGuardIsHeld) {
    EXPECT_TRUE(SecondProcessIsFirst()) << "nobody holds it yet";
    {
        const SingleInstance guard(kName);
        ASSERT_TRUE(guard.IsFirst());
        EXPECT_FALSE(SecondProcessIsFirst());
        EXPECT_FALSE(SingleInstance(kName).IsFirst()) << "a second guard in the same process";
    }
    EXPECT_TRUE(SecondProcessIsFirst()) << "released at destruction";
}

TEST_F(SingleInstanceTest, GuardIsFreeAgainWhenTheHolderDies) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        close(ready[0]);
        const SingleInstance guard(kName);
        const char answer = guard.IsFirst() ? 'y' : 'n';
        (void)!write(ready[1], &answer, 1);
        pause(); // until killed
        _exit(0);
    }
    close(ready[1]);
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    EXPECT_EQ(answer, 'y');

    EXPECT_FALSE(SingleInstance(kName).IsFirst());
    kill(holder, SIGKILL);
    while (waitpid(holder, nullptr, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(SingleInstance(kName).IsFirst());
}

TEST_F(SingleInstanceTest, ChildProgramsDoNotInheritTheGuard) {
    auto guard = std::make_unique<SingleInstance>(kName);
    ASSERT_TRUE(guard->IsFirst());
    // Started the plain way, with no descriptor closed for it.
    pid_t child = -1;
    char sleepName[] = "sleep";
    char seconds[] = "30";
    char *argv[] = {sleepName, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    guard.reset();
    const bool freeAgain = SingleInstance(kName).IsFirst();
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(freeAgain) << "the child kept the lock";
}

TEST_F(SingleInstanceTest, LockFileIsPrivateAndInTheRuntimeFolder) {
    const SingleInstance guard(kName);
    struct stat info {};
    ASSERT_EQ(stat((runtime_.Path() + kName).c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(SingleInstanceFolder, FallsBackToTheTempFolderWithTheUserId) {
    TempFolder temp;
    ScopedEnv tmpdir("TMPDIR", temp.Path());
    const std::string inTemp = temp.Path() + kName + "-" + std::to_string(geteuid());
    const std::optional<std::string> runtimes[] = {std::nullopt, "", temp.Path() + "missing", "relative/folder"};
    for (const auto &runtime : runtimes) {
        ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime);
        unlink(inTemp.c_str());
        const SingleInstance guard(kName);
        EXPECT_TRUE(guard.IsFirst());
        EXPECT_EQ(access(inTemp.c_str(), F_OK), 0) << runtime.value_or("(unset)");
    }
}

TEST_F(SingleInstanceTest, PlantedLinkIsNotFollowed) {
    const std::string target = runtime_.Path() + "target";
    ASSERT_EQ(symlink(target.c_str(), (runtime_.Path() + kName).c_str()), 0);
    const SingleInstance guard(kName);
    EXPECT_TRUE(guard.IsFirst()) << "runs unguarded rather than never";
    EXPECT_NE(access(target.c_str(), F_OK), 0) << "the link was followed";
}

} // namespace
} // namespace zevlo::platform
