#include "platform/Paths.h"
#include "platform/FileIO.h"
#include "platform/win/InstalledCopy.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

TEST(WindowsPaths, SeparatorAndExecutable) {
    EXPECT_STREQ(PathSeparator(), "\\");
    const std::string exe = ExecutablePath();
    EXPECT_EQ(exe.substr(exe.size() - 23), "zevlo_windows_tests.exe") << exe;
    EXPECT_EQ(exe[1], ':') << "a full path with its drive: " << exe;
    EXPECT_TRUE(FileExists(exe));
    EXPECT_EQ(DirectoryOf("C:\\Program Files\\Zevlo\\Zevlo.exe"), "C:\\Program Files\\Zevlo\\");
    EXPECT_EQ(DirectoryOf("C:/mixed\\path/Zevlo.exe"), "C:/mixed\\path/");
}

TEST(WindowsPaths, PerUserFolderIsUnderAppData) {
    {
        ScopedEnv appData("APPDATA", std::string("C:\\Users\\alice\\AppData\\Roaming"));
        EXPECT_EQ(PerUserDataDir(), "C:\\Users\\alice\\AppData\\Roaming\\Zevlo\\");
    }
    {
        ScopedEnv appData("APPDATA", std::string("D:\\Roaming\\"));
        EXPECT_EQ(PerUserDataDir(), "D:\\Roaming\\Zevlo\\");
    }
    {
        // Without the variable the shell's folder of the user is asked.
        ScopedEnv appData("APPDATA", std::nullopt);
        const std::string dir = PerUserDataDir();
        EXPECT_GT(dir.size(), 10u);
        EXPECT_EQ(dir.substr(dir.size() - 7), "\\Zevlo\\") << dir;
    }
}

TEST(WindowsPaths, MakeDirsCreatesParentsAndAcceptsExisting) {
    TempFolder folder;
    for (const std::string &dir :
         {folder.Path() + "a\\b c\\d\\", folder.Path() + "a\\b c\\e", folder.Path() + "f/g/"}) {
        EXPECT_TRUE(MakeDirs(dir)) << dir;
        EXPECT_TRUE(PathExists(dir)) << dir;
        EXPECT_TRUE(MakeDirs(dir)) << "again: " << dir;
    }
    const std::string file = folder.Path() + "file";
    WriteBytes(file, "x");
    EXPECT_FALSE(MakeDirs(file + "\\below"));
    EXPECT_FALSE(MakeDirs(file));
    EXPECT_FALSE(MakeDirs(""));
}

TEST(WindowsPaths, WritableFolderLeavesNoTrace) {
    TempFolder folder;
    EXPECT_TRUE(IsDirWritable(folder.Path()));
    EXPECT_TRUE(IsDirWritable(folder.Path().substr(0, folder.Path().size() - 1)));
    EXPECT_FALSE(IsDirWritable(folder.Path() + "missing\\"));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder.Path() + "*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            entries += found.cFileName[0] != '.';
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(entries, 0);
}

TEST(WindowsPaths, OwnershipOfFiles) {
    TempFolder folder;
    const std::string mine = folder.Path() + "Settings.ini";
    WriteBytes(mine, "FSET_User=me\r\n");
    EXPECT_TRUE(IsOwnedByCurrentUser(mine));
    EXPECT_FALSE(IsOwnedByCurrentUser(folder.Path() + "missing.ini"));

    // Handed to the local Administrators group: no longer the user's.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &administrators));
    const std::string theirs = folder.Path() + "theirs.ini";
    WriteBytes(theirs, "FSET_User=them\r\n");
    std::string name = theirs;
    const DWORD changed = SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, administrators,
                                                nullptr, nullptr, nullptr);
    ASSERT_EQ(changed, static_cast<DWORD>(ERROR_SUCCESS));
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoA(theirs.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                    nullptr, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const bool kept = EqualSid(owner, administrators);
    LocalFree(descriptor);
    FreeSid(administrators);
    if (!kept) {
        GTEST_SKIP() << "this system does not keep a file owner that is set (Wine derives it from the Unix owner)";
    }
    EXPECT_FALSE(IsOwnedByCurrentUser(theirs));
}

TEST(WindowsPaths, DataFolderFollowsOwnershipOfTheProgramFolder) {
    TempFolder program;
    TempFolder perUser;
    // Writable program folder without settings anywhere: the program folder.
    EXPECT_EQ(ChooseDataDir(program.Path(), perUser.Path()), program.Path());
    // The user's own settings beside the program win.
    WriteBytes(program.Path() + "Settings.ini", "FSET_User=me\r\n");
    WriteBytes(perUser.Path() + "Settings.ini", "FSET_User=me too\r\n");
    EXPECT_EQ(ChooseDataDir(program.Path(), perUser.Path()), program.Path());
}

TEST(WindowsPaths, SamePathIgnoresHowAPathIsWritten) {
    TempFolder folder;
    const std::string dir = folder.Path() + "Long Folder Name";
    ASSERT_TRUE(MakeDirs(dir));
    char shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(dir.c_str(), shortName, sizeof shortName), 0u);
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);
    const struct {
        std::string a;
        std::string b;
        bool same;
    } cases[] = {
        {dir, dir, true},
        {dir, dir + "\\", true},
        {"C:\\Users\\Me\\Zevlo.exe", "c:/users/me/ZEVLO.EXE", true},
        {dir, shortName, true},
        {std::string(current) + "\\x\\..\\Zevlo.exe", "Zevlo.exe", true},
        {"C:\\Tools\\Zevlo", "C:\\Tools\\Zevlo2", false},
        {"C:\\Tools\\Zevlo\\Zevlo.exe", "D:\\Tools\\Zevlo\\Zevlo.exe", false},
        {"", "", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(win::SamePath(c.a, c.b), c.same) << c.a << " | " << c.b;
    }
}

} // namespace
} // namespace zevlo::platform
