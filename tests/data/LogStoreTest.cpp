#include "data/Tdm.h"
#include "platform/FileError.h"
#include "tests/data/StoreFiles.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>

using TimePoint = std::chrono::system_clock::time_point;

namespace zevlo::test {
namespace {

// A moment of the local calendar (the platform formats local time).
TimePoint LocalMoment(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class LogStore : public testing::Test {
protected:
    TempFolder folder;
    std::string logPath = folder.File("log.txt");
    TimePoint now = LocalMoment(2026, 12, 8, 13, 45, 30);
    Tdm dm{[this] { return now; }};

    void SetUp() override { dm.LogFile = logPath; }

    // Another store on the log file, on the same clock.
    std::unique_ptr<Tdm> Store(std::int32_t maxLog) {
        auto store = std::make_unique<Tdm>([this] { return now; });
        store->LogFile = logPath;
        store->FMaxLog = maxLog;
        return store;
    }
};

TextList Numbered(int count) {
    TextList lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

TEST_F(LogStore, LineIsTimestampTabTypeBlankData) {
    dm.AddLog("Update:", "good 203.0.113.7");
    dm.AddLog("Check: ", "198.51.100.1");
    ASSERT_EQ(dm.LogLines.size(), 2u);
    const std::string stamp = Tdm::LogTimestamp(now);
    EXPECT_EQ(dm.LogLines[0], stamp + "\tUpdate: good 203.0.113.7");
    EXPECT_EQ(dm.LogLines[1], stamp + "\tCheck:  198.51.100.1");
    EXPECT_EQ(ReadBytes(logPath), dm.LogLines[0] + "\r\n" + dm.LogLines[1] + "\r\n");
    // Date, one blank, time: neither part empty.
    const auto blank = stamp.find(' ');
    ASSERT_NE(blank, std::string::npos) << stamp;
    EXPECT_GT(blank, 0u);
    EXPECT_LT(blank + 1, stamp.size());
}

TEST_F(LogStore, MidnightShowsTheDateAlone) {
    const std::string midnight = Tdm::LogTimestamp(LocalMoment(2026, 12, 8, 0, 0, 0));
    const std::string oneSecondLater = Tdm::LogTimestamp(LocalMoment(2026, 12, 8, 0, 0, 1));
    const std::string noon = Tdm::LogTimestamp(LocalMoment(2026, 12, 8, 12, 0, 0));
    EXPECT_FALSE(midnight.empty());
    EXPECT_GT(oneSecondLater.size(), midnight.size() + 1);
    EXPECT_EQ(oneSecondLater.rfind(midnight + " ", 0), 0u) << oneSecondLater;
    EXPECT_EQ(noon.rfind(midnight + " ", 0), 0u) << noon;
    EXPECT_NE(noon, oneSecondLater);

    now = LocalMoment(2026, 12, 8, 0, 0, 0);
    dm.AddLog("Update:", "x");
    EXPECT_EQ(dm.LogLines.back(), midnight + "\tUpdate: x");
}

TEST_F(LogStore, AppendDropsTheOldestBeyondTheBound) {
    struct Case {
        std::int32_t maxLog;
        int held;
        TextList kept; // before the new line
        bool settingsUnreadable = false;
    };
    const Case cases[] = {
        {3, 3, {"line 2", "line 3"}},
        {3, 10, {"line 9", "line 10"}}, // bound lowered while more were held
        {5, 2, {"line 1", "line 2"}},
        {1, 4, {}},
        // Settings unreadable: the bound is only the default, the user's may be larger.
        {500, 600, Numbered(600), true},
    };
    for (const auto &c : cases) {
        const auto store = Store(c.maxLog);
        if (c.settingsUnreadable) {
            store->SettingsFile = folder.File("Settings.ini");
            std::filesystem::create_directory(store->SettingsFile); // unreadable as a file, even for root
            EXPECT_THROW(store->LoadSettings(), FileError);
        }
        store->LogLines = Numbered(c.held);
        store->AddLog("Update:", "new");
        ASSERT_EQ(store->LogLines.size(), c.kept.size() + 1) << c.maxLog << " " << c.held;
        EXPECT_EQ(TextList(store->LogLines.begin(), store->LogLines.end() - 1), c.kept);
        EXPECT_EQ(store->LogLines.back(), Tdm::LogTimestamp(now) + "\tUpdate: new");
        EXPECT_EQ(ReadBytes(logPath), zevlo::JoinLines(store->LogLines));
    }
}

TEST_F(LogStore, BoundOfZeroOrLessKeepsNothing) {
    for (const std::int32_t maxLog : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        dm.FMaxLog = maxLog;
        dm.LogLines = Numbered(4);
        dm.AddLog("Update:", "new");
        EXPECT_TRUE(dm.LogLines.empty()) << maxLog;
        EXPECT_EQ(ReadBytes(logPath), "") << maxLog;
        EXPECT_TRUE(std::filesystem::exists(logPath));
    }
}

TEST_F(LogStore, LoadTrimsToTheBoundUnlessAskedNotTo) {
    WriteBytes(logPath, zevlo::JoinLines(Numbered(10)));
    dm.FMaxLog = 3;
    dm.LoadLog(false);
    EXPECT_EQ(dm.LogLines, Numbered(10));
    dm.LoadLog();
    EXPECT_EQ(dm.LogLines, (TextList{"line 8", "line 9", "line 10"}));
    EXPECT_EQ(ReadBytes(logPath), zevlo::JoinLines(Numbered(10))); // loading writes nothing

    // Only line ends split the file; a zero byte stays in its line and is written back.
    WriteBytes(logPath, std::string("a\rb\0x\nc\r\nd", 10));
    dm.FMaxLog = 500;
    dm.LoadLog();
    EXPECT_EQ(dm.LogLines, (TextList{"a", std::string("b\0x", 3), "c", "d"}));
    dm.AddLog("Update:", "new");
    EXPECT_EQ(ReadBytes(logPath).rfind(std::string("a\r\nb\0x\r\nc\r\nd\r\n", 14), 0), 0u);
}

// Each new line is appended to log.txt; the file may run a tenth over the bound before one
// rewrite trims it, while the list in memory always holds the bound. Opening the viewer and the
// end of the run (SaveLog) trim the file.
TEST_F(LogStore, AppendedLinesLetTheFileRunATenthOverTheBound) {
    const struct {
        const char *name;
        std::int32_t maxLog;
        int inFile;
        int added;
        int fileLines; // after the appends, before SaveLog
    } cases[] = {
        {"up to a tenth over", 100, 100, 10, 110},
        {"one more rewrites it", 100, 100, 11, 100},
        {"a short file grows", 100, 50, 60, 110},
        {"a bound under ten allows none over", 5, 5, 1, 5},
        {"a file over the bound at load counts", 100, 105, 6, 100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(logPath, zevlo::JoinLines(Numbered(c.inFile)));
        const auto store = Store(c.maxLog);
        store->LoadLog();
        for (int i = 0; i < c.added; ++i)
            store->AddLog("Check: ", "No changed detected.");
        EXPECT_EQ(store->LogLines.size(), static_cast<std::size_t>(std::min(c.maxLog, c.inFile + c.added)));
        const TextList inFile = zevlo::SplitLines(ReadBytes(logPath));
        EXPECT_EQ(inFile.size(), static_cast<std::size_t>(c.fileLines));
        EXPECT_EQ(TextList(inFile.end() - static_cast<std::ptrdiff_t>(store->LogLines.size()), inFile.end()),
                  store->LogLines)
            << "the file ends with the list";
        store->SaveLog();
        EXPECT_EQ(ReadBytes(logPath), zevlo::JoinLines(store->LogLines));
        store->LogFile.clear();
    }
}

// The run knows what it wrote; a log.txt that changed since (removed, cut, written by someone
// else) is written whole with the next line, never appended to.
TEST_F(LogStore, ALogFileChangedSinceItWasWrittenIsWrittenWhole) {
    const struct {
        const char *name;
        std::function<void(const std::string &)> change;
    } cases[] = {
        {"removed", [](const std::string &path) { std::filesystem::remove(path); }},
        {"cut short", [](const std::string &path) { std::filesystem::resize_file(path, 5); }},
        {"a line added", [](const std::string &path) { WriteBytes(path, ReadBytes(path) + "by hand\r\n"); }},
        {"replaced", [](const std::string &path) { WriteBytes(path, "other\r\n"); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(logPath, zevlo::JoinLines(Numbered(3)));
        const auto store = Store(100);
        store->LoadLog();
        store->AddLog("Check: ", "first");
        c.change(logPath);
        store->AddLog("Check: ", "second");
        EXPECT_EQ(ReadBytes(logPath), zevlo::JoinLines(store->LogLines));
        c.change(logPath);
        store->SaveLog();
        EXPECT_EQ(ReadBytes(logPath), zevlo::JoinLines(store->LogLines)) << "the end of the run writes it again";
        store->LogFile.clear();
    }
}

TEST_F(LogStore, MissingLogFileKeepsTheLines) {
    dm.LogLines = {"earlier"};
    dm.LoadLog();
    EXPECT_EQ(dm.LogLines, TextList{"earlier"});
    EXPECT_FALSE(std::filesystem::exists(logPath));
}

TEST_F(LogStore, EmptyLogFileNameWritesNothing) {
    dm.LogFile.clear();
    dm.AddLog("Update:", "in memory");
    dm.SaveLog();
    ASSERT_EQ(dm.LogLines.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Root()));
}

TEST_F(LogStore, UnreadableLogIsNotWrittenOver) {
    std::filesystem::create_directory(logPath);
    dm.LogLines = {"kept"};
    ExpectFileError([&] { dm.LoadLog(); }, "Cannot open file \"" + logPath + "\". ");
    EXPECT_EQ(dm.LogLines, TextList{"kept"});
    // A save would fail loudly on the folder; a refused one is silent.
    EXPECT_NO_THROW(dm.AddLog("Update:", "after"));
    EXPECT_NO_THROW(dm.SaveLog());
    EXPECT_EQ(dm.LogLines.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_directory(logPath));
    EXPECT_FALSE(std::filesystem::exists(logPath + ".tmp"));
}

TEST_F(LogStore, FailedSaveKeepsTheNewLineForTheNextSave) {
    const std::string blocked = folder.File("later/log.txt");
    dm.LogFile = blocked;
    ExpectFileError([&] { dm.AddLog("Update:", "pending"); }, "Cannot create file \"" + blocked + "\". ");
    ASSERT_EQ(dm.LogLines.size(), 1u);
    std::filesystem::create_directory(folder.File("later"));
    dm.SaveLog();
    EXPECT_EQ(ReadBytes(blocked), dm.LogLines[0] + "\r\n");
}

TEST_F(LogStore, FailedRenameRemovesTheTemporaryFile) {
    std::filesystem::create_directory(logPath); // a folder cannot be replaced by a file
    dm.LogLines = {"line"};
    EXPECT_THROW(dm.SaveLog(), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(logPath));
    EXPECT_FALSE(std::filesystem::exists(logPath + ".tmp"));
    dm.LogFile.clear();
}

TEST(UserAgent, PutsTheUserInLiterally) {
    const struct {
        const char *user;
        const char *agent;
    } cases[] = {
        {"alice", "Zevlo - Windows DDNS Client by Tarvenic [alice] - v3.0"},
        {"", "Zevlo - Windows DDNS Client by Tarvenic [] - v3.0"},
        {"%s%d%n%%", "Zevlo - Windows DDNS Client by Tarvenic [%s%d%n%%] - v3.0"},
    };
    for (const auto &c : cases) {
        Tdm dm;
        dm.FSET_User = c.user;
        EXPECT_EQ(dm.GetUserAgent(), c.agent);
    }
}

} // namespace
} // namespace zevlo::test
