#include "platform/SingleInstance.h"
#include "platform/ProcessRunner.h"
#include "tests/platform_win/HelperPrograms.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

namespace zevlo::platform {
namespace {

using zevlo::test::HelperPath;
std::string UniqueName() {
    return "Zevlo_Mutex_Test_" + std::to_string(GetCurrentProcessId());
}

std::string Probe(const std::string &name, const char *mode) {
    ProcessRunner runner;
    return runner.RunProgram({HelperPath("zevlo_mutex_probe"), name, mode}, "", std::nullopt).output;
}

TEST(WindowsSingleInstance, SecondProcessSeesAlreadyExists) {
    const std::string name = UniqueName();
    EXPECT_EQ(Probe(name, "raw"), "0\r\n");
    {
        const SingleInstance guard(name);
        ASSERT_TRUE(guard.IsFirst());
        EXPECT_EQ(Probe(name, "raw"), "183\r\n");
        EXPECT_EQ(Probe(name, "guard"), "second\r\n");
    }
    // Released and closed: the next program is first again.
    EXPECT_EQ(Probe(name, "guard"), "first\r\n");
}

TEST(WindowsSingleInstance, SecondGuardInTheSameProcessIsNotFirst) {
    const std::string name = UniqueName() + "_same";
    const SingleInstance first(name);
    const SingleInstance second(name);
    EXPECT_TRUE(first.IsFirst());
    EXPECT_FALSE(second.IsFirst());
}

TEST(WindowsSingleInstance, ReleasedWhenAnExceptionEndsTheRun) {
    const std::string name = UniqueName() + "_throw";
    try {
        const SingleInstance guard(name);
        ASSERT_TRUE(guard.IsFirst());
        throw std::runtime_error("the run failed");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(Probe(name, "guard"), "first\r\n");
}

} // namespace
} // namespace zevlo::platform
