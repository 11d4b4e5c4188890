// Links, permissions and the C locale's date text: POSIX systems only.
#include "data/Tdm.h"
#include "platform/FileError.h"
#include "tests/data/TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>

using zevlo::FileError;
using zevlo::Tdm;
using zevlo::test::ReadBytes;
using zevlo::test::TempFolder;
using zevlo::test::WriteBytes;
namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const std::string &path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::string ErrorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const FileError &error) {
        return error.what();
    }
    return "(no error)";
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(old_); }

private:
    mode_t old_;
};

} // namespace

TEST(PosixFiles, LinkToAFolderIsNeitherReadNorReplaced) {
    TempFolder folder;
    const std::string settingsPath = folder.file("Settings.ini");
    fs::create_directory(folder.file("elsewhere"));
    fs::create_directory_symlink(folder.file("elsewhere"), settingsPath);
    {
        Tdm dm;
        dm.SettingsFile = settingsPath;
        EXPECT_EQ(ErrorOf([&] { dm.LoadSettings(); }), "Cannot open file \"" + settingsPath + "\". Is a directory");
        EXPECT_FALSE(dm.SaveSettings());
        EXPECT_TRUE(fs::is_symlink(settingsPath));
        EXPECT_EQ(ErrorOf([&] { dm.SaveSettings(true); }),
                  "Cannot create file \"" + settingsPath + "\". Is a directory");
        testing::internal::CaptureStderr();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ""); // the exit save refused quietly
    EXPECT_TRUE(fs::is_symlink(settingsPath));
    EXPECT_EQ(fs::read_symlink(settingsPath), folder.file("elsewhere"));
    EXPECT_TRUE(fs::is_empty(folder.file("elsewhere")));
    EXPECT_FALSE(fs::exists(folder.file("elsewhere.tmp")));
}

TEST(PosixFiles, LinkToAFileIsWrittenThrough) {
    TempFolder folder;
    const std::string target = folder.file("real.ini");
    const std::string settingsPath = folder.file("Settings.ini");
    WriteBytes(target, "FSET_User=old\r\n");
    fs::create_symlink(target, settingsPath);
    Tdm dm;
    dm.SettingsFile = settingsPath;
    dm.LoadSettings();
    EXPECT_EQ(dm.FSET_User, "old");
    dm.FSET_User = "new";
    ASSERT_TRUE(dm.SaveSettings());
    EXPECT_TRUE(fs::is_symlink(settingsPath));
    EXPECT_EQ(ReadBytes(target).rfind("FSET_User=new\r\n", 0), 0u);
}

TEST(PosixFiles, ErrorTextsAreTheSystems) {
    TempFolder folder;
    Tdm dm;
    dm.SettingsFile = folder.file("no/Settings.ini");
    EXPECT_EQ(ErrorOf([&] { dm.SaveSettings(); }),
              "Cannot create file \"" + dm.SettingsFile + "\". No such file or directory");
    dm.SettingsFile.clear();
    dm.LogFile = folder.file("no/log.txt");
    EXPECT_EQ(ErrorOf([&] { dm.SaveLog(); }), "Cannot create file \"" + dm.LogFile + "\". No such file or directory");
    dm.LogFile.clear();
}

TEST(PosixFiles, NewSettingsAreReadableByTheOwnerOnly) {
    UmaskGuard permissive(0);
    TempFolder folder;
    Tdm dm;
    dm.SettingsFile = folder.file("Settings.ini");
    dm.LogFile = folder.file("log.txt");
    ASSERT_TRUE(dm.SaveSettings());
    dm.SaveLog();
    EXPECT_EQ(ModeOf(dm.SettingsFile), 0600u);
    EXPECT_EQ(ModeOf(dm.LogFile), 0666u);
}

TEST(PosixFiles, ExistingFilesKeepTheirModeAndReadOnlyOnesAreNeverWritten) {
    UmaskGuard usual(022);
    TempFolder folder;
    const struct {
        const char *name;
        mode_t before;
        mode_t after;
        bool settings;
        bool refused; // no owner write bit: read-only for root too
    } cases[] = {
        {"Settings.ini", 0644, 0600, true, false}, {"ro.ini", 0400, 0400, true, true},
        {"log.txt", 0640, 0640, false, false},     {"open.txt", 0666, 0666, false, false},
        {"ro.txt", 0444, 0444, false, true},       {"group-writable.txt", 0464, 0464, false, true},
    };
    for (const auto &c : cases) {
        const std::string path = folder.file(c.name);
        WriteBytes(path, "old\r\n");
        ASSERT_EQ(::chmod(path.c_str(), c.before), 0);
        Tdm dm;
        std::function<void()> save;
        if (c.settings) {
            dm.SettingsFile = path;
            save = [&] { EXPECT_TRUE(dm.SaveSettings()); };
        } else {
            dm.LogFile = path;
            dm.LogLines = {"new"};
            save = [&] { dm.SaveLog(); };
        }
        if (c.refused) {
            EXPECT_EQ(ErrorOf(save), "Cannot create file \"" + path + "\". Permission denied") << c.name;
            EXPECT_EQ(ReadBytes(path), "old\r\n") << c.name;
        } else {
            EXPECT_EQ(ErrorOf(save), "(no error)") << c.name;
            EXPECT_NE(ReadBytes(path), "old\r\n") << c.name;
        }
        EXPECT_EQ(ModeOf(path), c.after) << c.name;
        EXPECT_FALSE(fs::exists(path + ".tmp")) << c.name;
        dm.SettingsFile.clear();
        dm.LogFile.clear();
    }
}

class LocalTimeInUtc : public testing::Test {
protected:
    void SetUp() override {
        if (const char *tz = std::getenv("TZ"))
            oldTz_ = tz;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        std::setlocale(LC_TIME, "C");
    }
    void TearDown() override {
        if (oldTz_)
            ::setenv("TZ", oldTz_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

    static std::chrono::system_clock::time_point At(std::time_t seconds) {
        return std::chrono::system_clock::from_time_t(seconds);
    }

private:
    std::optional<std::string> oldTz_;
};

// Seconds since 1970 from `date -u -d '2026-12-08 00:00:00' +%s`.
constexpr std::time_t kMidnight = 1796688000;

TEST_F(LocalTimeInUtc, TimestampsOfTheCLocale) {
    const struct {
        std::time_t when;
        const char *text;
    } cases[] = {
        {kMidnight, "12/08/26"},
        {kMidnight + 1, "12/08/26 00:00:01"},
        {kMidnight + 60, "12/08/26 00:01:00"},
        {kMidnight + 3600, "12/08/26 01:00:00"},
        {kMidnight - 1, "12/07/26 23:59:59"},
        {kMidnight + 49530, "12/08/26 13:45:30"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Tdm::LogTimestamp(At(c.when)), c.text) << c.when;
    // Part of a second does not make midnight a time.
    EXPECT_EQ(Tdm::LogTimestamp(At(kMidnight) + std::chrono::milliseconds(999)), "12/08/26");
}

TEST_F(LocalTimeInUtc, LogLineOfAPinnedClock) {
    TempFolder folder;
    auto now = At(kMidnight);
    Tdm dm([&] { return now; });
    dm.LogFile = folder.file("log.txt");
    dm.AddLog("Update:", "good 203.0.113.7");
    now = At(kMidnight + 49530);
    dm.AddLog("Check: ", "203.0.113.7");
    EXPECT_EQ(ReadBytes(dm.LogFile),
              "12/08/26\tUpdate: good 203.0.113.7\r\n12/08/26 13:45:30\tCheck:  203.0.113.7\r\n");
}
