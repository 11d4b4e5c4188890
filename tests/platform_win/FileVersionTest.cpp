#include "platform/FileVersion.h"
#include "tests/platform_win/HelperPrograms.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;
TEST(WindowsFileVersion, ReadsTheFourPartsInOrder) {
    // zevlo_version_probe is built with the version resource 3.0.1.7.
    EXPECT_EQ(GetFileVersionText(HelperPath("zevlo_version_probe")), "3.0.1.7");
}

TEST(WindowsFileVersion, ResourceCarriesTheIconAndTheTexts) {
    HMODULE probe = LoadLibraryExA(HelperPath("zevlo_version_probe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(probe, nullptr);
    EXPECT_NE(FindResourceA(probe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr) << "RT_GROUP_ICON 1";
    FreeLibrary(probe);

    const std::string path = HelperPath("zevlo_version_probe");
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeA(path.c_str(), &ignored), '\0');
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    void *text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileVersion", &text, &length));
    EXPECT_STREQ(static_cast<const char *>(text), "3.0.1.7");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\ProductName", &text, &length));
    EXPECT_STREQ(static_cast<const char *>(text), "Zevlo");
}

TEST(WindowsFileVersion, TestProgramCarriesTheProjectVersion) {
    EXPECT_EQ(GetFileVersionText(ExecutablePath()), ZEVLO_VERSION_TEXT);
}

TEST(WindowsFileVersion, EmptyWithoutVersionInformation) {
    EXPECT_EQ(GetFileVersionText(HelperPath("zevlo_argv_echo")), "");
    TempFolder folder;
    const std::string text = folder.Path() + "not-a-program.exe";
    WriteBytes(text, "MZ but nothing else");
    EXPECT_EQ(GetFileVersionText(text), "");
    EXPECT_EQ(GetFileVersionText(folder.Path() + "missing.exe"), "");
}

} // namespace
} // namespace zevlo::platform
