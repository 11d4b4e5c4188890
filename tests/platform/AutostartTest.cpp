#include "platform/ProcessRunner.h"
#include "platform/posix/DesktopEntryAutostart.h"

#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

// A reader of the Exec key written from the Desktop Entry rules, kept apart from the
// writer: string escapes first, then the quoting of one argument, then "%%".
std::optional<std::string> ParseSingleExecArgument(const std::string &fileText) {
    const std::string key = "\nExec=";
    const auto at = fileText.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const auto start = at + key.size();
    const std::string raw = fileText.substr(start, fileText.find('\n', start) - start);

    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            value += raw[i];
            continue;
        }
        if (++i == raw.size()) {
            return std::nullopt;
        }
        switch (raw[i]) {
        case 's':
            value += ' ';
            break;
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case '\\':
            value += '\\';
            break;
        default:
            return std::nullopt;
        }
    }

    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        return std::nullopt;
    }
    std::string argument;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        char c = value[i];
        if (c == '"' || c == '`' || c == '$') {
            return std::nullopt; // must have been escaped
        }
        if (c == '\\') {
            c = value[++i];
            if (i + 1 >= value.size() || (c != '"' && c != '`' && c != '$' && c != '\\')) {
                return std::nullopt;
            }
        } else if (c == '%') {
            if (value[++i] != '%') {
                return std::nullopt; // a field code inside quotes
            }
        }
        argument += c;
    }
    return argument;
}

TEST(DesktopEntryExecValue, FollowsTheQuotingRules) {
    // Expected values written by hand from the Desktop Entry rules: a literal backslash
    // in a quoted argument takes four backslashes in the file.
    const std::pair<std::string, std::string> cases[] = {
        {"/usr/bin/zevlo", R"("/usr/bin/zevlo")"},
        {"/opt/my app/zevlo", R"("/opt/my app/zevlo")"},
        {R"(/a\b)", R"("/a\\\\b")"},
        {R"(/a"b)", R"("/a\\"b")"},
        {"/a$b", R"("/a\\$b")"},
        {"/a`b", R"("/a\\`b")"},
        {"/50%/z", R"("/50%%/z")"},
        {"/it's", R"("/it's")"},
        {"/new\nline\ttab", R"("/new\nline\ttab")"},
    };
    for (const auto &[path, expected] : cases) {
        EXPECT_EQ(DesktopEntryExecValue(path), expected) << path;
    }
}

TEST(DesktopEntryAutostart, WritesAValidEntryThatReadsBackAsThePath) {
    TempFolder dir;
    const std::string tricky[] = {
        "/usr/local/bin/zevlo",        "/home/a user/Zevlo's \"copy\"/zevlo", "/tmp/$HOME/`id`/$(id)/zevlo",
        R"(/odd\path\\twice\n/zevlo)", "/100% sure/%f %u %%/zevlo",           "/tab\there/new\nline/zevlo",
        "/;&|<>*?~#=[]{}/zevlo",
    };
    DesktopEntryAutostart entry(dir.Path() + "config/autostart");
    for (const auto &path : tricky) {
        ASSERT_TRUE(entry.Write(path)) << path;
        const std::string text = ReadBytes(entry.EntryPath());
        EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
        for (const char *line : {"\nType=Application\n", "\nName=Zevlo\n", "\nIcon=zevlo\n", "\nTerminal=false\n",
                                 "\nX-GNOME-Autostart-enabled=true\n", "\nComment="}) {
            EXPECT_NE(text.find(line), std::string::npos) << line;
        }
        EXPECT_EQ(ParseSingleExecArgument(text), path);
    }
}

TEST(DesktopEntryAutostart, WriteRemoveAndPresence) {
    TempFolder dir;
    DesktopEntryAutostart entry(dir.Path() + "missing/autostart/");
    EXPECT_EQ(entry.EntryPath(), dir.Path() + "missing/autostart/Zevlo.desktop");
    EXPECT_FALSE(entry.IsPresent());
    EXPECT_TRUE(entry.Remove()) << "nothing to remove is fine";

    ASSERT_TRUE(entry.Write("/first/zevlo"));
    EXPECT_TRUE(entry.IsPresent());
    ASSERT_TRUE(entry.Write("/second/zevlo"));
    EXPECT_EQ(ParseSingleExecArgument(ReadBytes(entry.EntryPath())), "/second/zevlo");

    EXPECT_TRUE(entry.Remove());
    EXPECT_FALSE(entry.IsPresent());
    EXPECT_NE(access(entry.EntryPath().c_str(), F_OK), 0);
}

TEST(DesktopEntryAutostart, WriteFailsWhenTheFolderCannotBeMade) {
    TempFolder dir;
    WriteBytes(dir.Path() + "file", "x");
    DesktopEntryAutostart entry(dir.Path() + "file/autostart");
    EXPECT_FALSE(entry.Write("/usr/bin/zevlo"));
    EXPECT_FALSE(entry.IsPresent());
}

TEST(DesktopEntryAutostart, UserEntryFollowsTheConfigFolder) {
    TempFolder dir;
    {
        ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "cfg");
        ASSERT_TRUE(MakeUserAutostart()->Write("/usr/bin/zevlo"));
        EXPECT_TRUE(MakeUserAutostart()->IsPresent());
        EXPECT_EQ(access((dir.Path() + "cfg/autostart/Zevlo.desktop").c_str(), F_OK), 0);
    }
    ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv home("HOME", dir.Path() + "home");
    EXPECT_EQ(UserAutostartFolder(), dir.Path() + "home/.config/autostart/");
    EXPECT_FALSE(MakeUserAutostart()->IsPresent());
}

TEST(DesktopEntryAutostart, AnUninstallerRemovesOnlyTheEntryOfItsOwnProgram) {
    const struct {
        const char *name;
        std::optional<std::string> entryFor;
        OwnEntryRemoval result;
        bool stays;
    } cases[] = {
        {"this program", "/opt/zevlo/bin/zevlo", OwnEntryRemoval::Removed, false},
        {"a copy in a folder whose name it begins", "/opt/zevlo/bin/zevlo-old", OwnEntryRemoval::AnotherProgram, true},
        {"another copy", "/home/me/zevlo/zevlo", OwnEntryRemoval::AnotherProgram, true},
        {"no entry", std::nullopt, OwnEntryRemoval::NotThere, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "cfg");
        if (c.entryFor)
            ASSERT_TRUE(MakeUserAutostart()->Write(*c.entryFor));
        EXPECT_EQ(RemoveUserAutostartOf("/opt/zevlo/bin/zevlo"), c.result);
        EXPECT_EQ(MakeUserAutostart()->IsPresent(), c.stays);
    }
}

// GLib's launcher, an independent reader, starts the program the entry names. It takes
// no "%" in the path (it looks the program up before undoing "%%").
TEST(DesktopEntryAutostart, GlibLaunchesTheEntry) {
    ProcessRunner runner;
    if (runner.RunCommand("command -v gio", "/").output.empty()) {
        GTEST_SKIP() << "gio is not installed";
    }
    TempFolder dir;
    const std::string folder = dir.Path() + "a \"b\" $c `d` \\e 'f' g/";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string program = folder + "zevlo";
    const std::string marker = dir.Path() + "started";
    WriteBytes(program, "#!/bin/sh\nprintf '%s' \"$0\" > " + QuoteForInterpreter(marker) + "\n");
    ASSERT_EQ(chmod(program.c_str(), 0700), 0);

    DesktopEntryAutostart entry(dir.Path() + "autostart");
    ASSERT_TRUE(entry.Write(program));
    const std::string home = dir.Path() + "home";
    runner.RunProgram({"env", "HOME=" + home, "XDG_CONFIG_HOME=" + home, "XDG_DATA_HOME=" + home,
                       "XDG_CACHE_HOME=" + home, "gio", "launch", entry.EntryPath()},
                      dir.Path(), std::nullopt);
    for (int i = 0; i < 500 && ReadBytes(marker).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ReadBytes(marker), program);
}

} // namespace
} // namespace zevlo::platform
