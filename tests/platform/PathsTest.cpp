#include "platform/Paths.h"
#include "platform/ProcessRunner.h"

#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

constexpr uid_t kOtherUser = 54321;

bool IsRoot() {
    return geteuid() == 0;
}

// What sits at one path when a case starts.
enum class Entry {
    Nothing,
    OwnFile,
    OtherUsersFile, // needs root to make
    LinkToOwnFile,
    LinkToOtherUsersFile,    // our link, their file; needs root
    OtherUsersLinkToOwnFile, // needs root
    DanglingLink,
    LinkToFolder,
};

bool NeedsRoot(Entry entry) {
    return entry == Entry::OtherUsersFile || entry == Entry::LinkToOtherUsersFile ||
           entry == Entry::OtherUsersLinkToOwnFile;
}

void Make(Entry entry, const std::string &path, const std::string &scratch) {
    const std::string target = scratch + "target-of-" + std::to_string(std::hash<std::string>()(path));
    switch (entry) {
    case Entry::Nothing:
        return;
    case Entry::OwnFile:
        WriteBytes(path, "x");
        return;
    case Entry::OtherUsersFile:
        WriteBytes(path, "x");
        ASSERT_EQ(chown(path.c_str(), kOtherUser, kOtherUser), 0);
        return;
    case Entry::LinkToOwnFile:
        WriteBytes(target, "x");
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        return;
    case Entry::LinkToOtherUsersFile:
        WriteBytes(target, "x");
        ASSERT_EQ(chown(target.c_str(), kOtherUser, kOtherUser), 0);
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        return;
    case Entry::OtherUsersLinkToOwnFile:
        WriteBytes(target, "x");
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        ASSERT_EQ(lchown(path.c_str(), kOtherUser, kOtherUser), 0);
        return;
    case Entry::DanglingLink:
        ASSERT_EQ(symlink((scratch + "nowhere").c_str(), path.c_str()), 0);
        return;
    case Entry::LinkToFolder:
        ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        return;
    }
}

TEST(Paths, IsOwnedByCurrentUser) {
    const struct {
        Entry entry;
        bool owned;
    } cases[] = {
        {Entry::Nothing, false},
        {Entry::OwnFile, true},
        {Entry::OtherUsersFile, false},
        {Entry::LinkToOwnFile, true},
        {Entry::LinkToOtherUsersFile, false},
        {Entry::OtherUsersLinkToOwnFile, false},
        {Entry::DanglingLink, false},
        {Entry::LinkToFolder, true},
    };
    for (const auto &c : cases) {
        if (NeedsRoot(c.entry) && !IsRoot()) {
            continue;
        }
        TempFolder dir;
        const std::string path = dir.Path() + "Settings.ini";
        Make(c.entry, path, dir.Path());
        EXPECT_EQ(IsOwnedByCurrentUser(path), c.owned) << static_cast<int>(c.entry);
    }
}

// The command line's rule for a folder it is given: only the user's own files, in a folder that
// others cannot change.
TEST(Paths, DataFolderRefusal) {
    const struct {
        Entry settings;
        Entry log;
        mode_t folderMode;
        bool otherGroup;     // the folder's group is not the user's own (needs root)
        const char *refusal; // a part of it; empty: the folder is used
    } cases[] = {
        {Entry::OwnFile, Entry::OwnFile, 0700, false, ""},
        {Entry::LinkToOwnFile, Entry::Nothing, 0700, false, ""},
        {Entry::OwnFile, Entry::OwnFile, 01777, false, ""}, // as /tmp: only owners remove files
        {Entry::Nothing, Entry::Nothing, 0777, false, "may be written to by other users and has no sticky bit"},
        {Entry::OwnFile, Entry::Nothing, 0770, true, "may be written to by other users"},
        // Root's group is root's own, as a user's private group is (folders of a umask of 002).
        {Entry::OwnFile, Entry::Nothing, 0775, false, ""},
        {Entry::OtherUsersFile, Entry::Nothing, 01777, false, "Settings.ini\" belongs to uid 54321, not to "},
        {Entry::OwnFile, Entry::OtherUsersLinkToOwnFile, 01777, false, "log.txt\" is a link of uid 54321"},
        {Entry::LinkToOtherUsersFile, Entry::Nothing, 0700, false, "Settings.ini\" leads to a file of uid 54321"},
    };
    for (const auto &c : cases) {
        if ((NeedsRoot(c.settings) || NeedsRoot(c.log) || c.otherGroup || c.folderMode == 0775) && !IsRoot())
            continue;
        TempFolder scratch;
        TempFolder dir;
        Make(c.settings, dir.Path() + "Settings.ini", scratch.Path());
        Make(c.log, dir.Path() + "log.txt", scratch.Path());
        ASSERT_EQ(chmod(dir.Root().c_str(), c.folderMode), 0);
        if (c.otherGroup) {
            ASSERT_EQ(chown(dir.Root().c_str(), geteuid(), kOtherUser), 0);
        }
        const std::string refusal = DataFolderRefusal(dir.Path());
        if (std::string(c.refusal).empty())
            EXPECT_EQ(refusal, "") << c.folderMode;
        else
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
    }
}

TEST(Paths, ChooseDataDir) {
    enum class Folder { Writable, Missing };
    const struct {
        const char *name;
        Folder program;
        Entry programSettings;
        Entry perUserSettings;
        bool expectProgram;
    } cases[] = {
        {"own settings beside the program win", Folder::Writable, Entry::OwnFile, Entry::OwnFile, true},
        {"fresh writable program folder", Folder::Writable, Entry::Nothing, Entry::Nothing, true},
        {"per-user settings exist", Folder::Writable, Entry::Nothing, Entry::OwnFile, false},
        {"per-user settings are a dangling link", Folder::Writable, Entry::Nothing, Entry::DanglingLink, false},
        {"program folder not usable", Folder::Missing, Entry::Nothing, Entry::Nothing, false},
        {"someone else's settings beside the program", Folder::Writable, Entry::OtherUsersFile, Entry::Nothing, false},
        {"our link to someone else's settings", Folder::Writable, Entry::LinkToOtherUsersFile, Entry::Nothing, false},
        {"someone else's link to our settings", Folder::Writable, Entry::OtherUsersLinkToOwnFile, Entry::Nothing,
         false},
        {"dangling link beside the program", Folder::Writable, Entry::DanglingLink, Entry::Nothing, false},
        {"our link to our settings", Folder::Writable, Entry::LinkToOwnFile, Entry::OwnFile, true},
        {"unreadable settings of our own (a folder)", Folder::Writable, Entry::LinkToFolder, Entry::Nothing, true},
    };
    for (const auto &c : cases) {
        if ((NeedsRoot(c.programSettings) || NeedsRoot(c.perUserSettings)) && !IsRoot()) {
            continue;
        }
        TempFolder dir;
        const std::string program = dir.Path() + "program/";
        const std::string perUser = dir.Path() + "per-user/";
        ASSERT_EQ(mkdir(perUser.c_str(), 0700), 0);
        if (c.program == Folder::Writable) {
            ASSERT_EQ(mkdir(program.c_str(), 0700), 0);
            Make(c.programSettings, program + "Settings.ini", dir.Path());
        }
        Make(c.perUserSettings, perUser + "Settings.ini", dir.Path());
        EXPECT_EQ(ChooseDataDir(program, perUser), c.expectProgram ? program : perUser) << c.name;
    }
}

TEST(Paths, ChooseDataDirWithoutWriteAccess) {
    if (IsRoot()) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    TempFolder dir;
    const std::string program = dir.Path() + "program/";
    const std::string perUser = dir.Path() + "per-user/";
    ASSERT_EQ(mkdir(program.c_str(), 0500), 0);
    EXPECT_EQ(ChooseDataDir(program, perUser), perUser);
    EXPECT_FALSE(IsDirWritable(program));
}

TEST(Paths, ChooseDataDirAddsMissingSeparators) {
    TempFolder dir;
    const std::string program = dir.Path() + "program";
    ASSERT_EQ(mkdir(program.c_str(), 0700), 0);
    EXPECT_EQ(ChooseDataDir(program, dir.Path() + "per-user"), program + "/");
    EXPECT_EQ(ChooseDataDir(dir.Path() + "missing", dir.Path() + "per-user"), dir.Path() + "per-user/");
}

TEST(Paths, IsDirWritable) {
    TempFolder dir;
    WriteBytes(dir.Path() + "file", "x");
    EXPECT_TRUE(IsDirWritable(dir.Path()));
    EXPECT_FALSE(IsDirWritable(dir.Path() + "file"));
    EXPECT_FALSE(IsDirWritable(dir.Path() + "missing/"));
    EXPECT_FALSE(IsDirWritable(""));
}

TEST(Paths, MakeDirs) {
    TempFolder dir;
    WriteBytes(dir.Path() + "file", "x");
    const std::string nested = dir.Path() + "a/b c/d/";
    ASSERT_TRUE(MakeDirs(nested));
    struct stat info {};
    ASSERT_EQ(stat(nested.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u) << "created folders are private";
    EXPECT_TRUE(MakeDirs(nested)) << "existing folder";
    EXPECT_TRUE(MakeDirs(dir.Path() + "no/trailing/separator"));
    EXPECT_FALSE(MakeDirs(dir.Path() + "file/below"));
    EXPECT_FALSE(MakeDirs(dir.Path() + "file"));
    EXPECT_FALSE(MakeDirs(""));
}

TEST(Paths, PerUserDataDir) {
    const std::string account = ProcessRunner().RunCommand("getent passwd \"$(id -u)\" | cut -d: -f6", "/").output;
    const struct {
        std::optional<std::string> configHome;
        std::optional<std::string> home;
        std::string expected;
    } cases[] = {
        {"/cfg/where", "/home/u", "/cfg/where/zevlo/"},
        {"/cfg/trailing/", "/home/u", "/cfg/trailing/zevlo/"},
        {"relative/cfg", "/home/u", "/home/u/.config/zevlo/"},
        {"", "/home/u", "/home/u/.config/zevlo/"},
        {std::nullopt, "/home/u/", "/home/u/.config/zevlo/"},
        {std::nullopt, std::nullopt,
         account.empty() ? std::string() : account.substr(0, account.size() - 1) + "/.config/zevlo/"},
        {std::nullopt, "", account.empty() ? std::string() : account.substr(0, account.size() - 1) + "/.config/zevlo/"},
    };
    for (const auto &c : cases) {
        ScopedEnv config("XDG_CONFIG_HOME", c.configHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(PerUserDataDir(), c.expected)
            << c.configHome.value_or("(unset)") << " " << c.home.value_or("(unset)");
    }
}

TEST(Paths, ExecutablePathNamesThisTestProgram) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], '/');
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "zevlo_platform_tests");
    EXPECT_EQ(access(path.c_str(), X_OK), 0);
}

} // namespace
} // namespace zevlo::platform
