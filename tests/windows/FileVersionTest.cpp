#include "platform/FileVersion.h"
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

namespace zevlo::platform {
namespace {

TEST(WindowsFileVersion, ReadsTheFourPartsInOrder) {
    // zevlo_version_probe is built with the version resource 3.0.1.7.
    EXPECT_EQ(GetFileVersionText(testing::HelperPath("zevlo_version_probe")), "3.0.1.7");
}

TEST(WindowsFileVersion, TestProgramCarriesTheProjectVersion) {
    EXPECT_EQ(GetFileVersionText(ExecutablePath()), ZEVLO_VERSION_TEXT);
}

TEST(WindowsFileVersion, EmptyWithoutVersionInformation) {
    EXPECT_EQ(GetFileVersionText(testing::HelperPath("zevlo_argv_echo")), "");
    testing::TempFolder folder;
    const std::string text = folder.Path() + "not-a-program.exe";
    testing::WriteFileBytes(text, "MZ but nothing else");
    EXPECT_EQ(GetFileVersionText(text), "");
    EXPECT_EQ(GetFileVersionText(folder.Path() + "missing.exe"), "");
}

} // namespace
} // namespace zevlo::platform
