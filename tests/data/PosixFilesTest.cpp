// Links, permissions and the C locale's date text: POSIX systems only.
#include "data/Tdm.h"
#include "tests/data/StoreFiles.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/SecondUser.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zevlo::test {
namespace {

// What stat says of the file, or of the link itself.
struct stat StatOf(const std::string &path, bool followLink = true) {
    struct stat info {};
    EXPECT_EQ(followLink ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info), 0) << path;
    return info;
}

mode_t ModeOf(const std::string &path) {
    return StatOf(path).st_mode & 07777;
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(old_); }

private:
    mode_t old_;
};

TEST(PosixFiles, LinkToAFolderIsNeitherReadNorReplaced) {
    TempFolder folder;
    const std::string settingsPath = folder.File("Settings.ini");
    fs::create_directory(folder.File("elsewhere"));
    fs::create_directory_symlink(folder.File("elsewhere"), settingsPath);
    {
        const auto dm = StoreOn(settingsPath);
        EXPECT_EQ(FileErrorOf([&] { dm->LoadSettings(); }),
                  "Cannot open file \"" + settingsPath + "\". Is a directory");
        EXPECT_FALSE(dm->SaveSettings());
        EXPECT_TRUE(fs::is_symlink(settingsPath));
        EXPECT_EQ(FileErrorOf([&] { dm->SaveSettings(true); }),
                  "Cannot create file \"" + settingsPath + "\". Is a directory");
        testing::internal::CaptureStderr();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ""); // the exit save refused quietly
    EXPECT_TRUE(fs::is_symlink(settingsPath));
    EXPECT_EQ(fs::read_symlink(settingsPath), folder.File("elsewhere"));
    EXPECT_TRUE(fs::is_empty(folder.File("elsewhere")));
    EXPECT_FALSE(fs::exists(folder.File("elsewhere.tmp")));
}

TEST(PosixFiles, LinkToAFileIsWrittenThrough) {
    TempFolder folder;
    const std::string target = folder.File("real.ini");
    const std::string settingsPath = folder.File("Settings.ini");
    WriteBytes(target, "FSET_User=old\r\n");
    fs::create_symlink(target, settingsPath);
    const auto dm = StoreOn(settingsPath);
    dm->LoadSettings();
    EXPECT_EQ(dm->FSET_User, "old");
    dm->FSET_User = "new";
    ASSERT_TRUE(dm->SaveSettings());
    EXPECT_TRUE(fs::is_symlink(settingsPath));
    EXPECT_EQ(ReadBytes(target).rfind("FSET_User=new\r\n", 0), 0u);
}

// In a shared folder (sticky, writable by all) a second user plants Settings.ini or log.txt
// as a link to a file of the user's, or as a file of their own: none is read or written, and
// the link and its target stay as they were.
TEST(PosixFiles, LinksAndFilesPlantedByAnotherUserAreNeitherReadNorWritten) {
    namespace second = zevlo::test::second_user;
    if (!second::Unavailable().empty())
        GTEST_SKIP() << second::Unavailable();
    TempFolder folder;
    const fs::path shared = folder.Root() / "shared";
    fs::create_directory(shared);
    second::OpenTo(folder.Root(), shared, fs::perms::all | fs::perms::sticky_bit);
    const std::string victim = folder.File("victim.txt");
    WriteBytes(victim, "the user's own file\n");
    const std::string settingsPath = (shared / "Settings.ini").string();
    const std::string logPath = (shared / "log.txt").string();
    const struct {
        const char *name;
        const char *plant; // run by the second user in the shared folder
        const char *readError;
        const char *writeError;
    } cases[] = {
        {"a link", "ln -s VICTIM Settings.ini && ln -s VICTIM log.txt", "Too many levels of symbolic links",
         "Too many levels of symbolic links"},
        {"a file of theirs", "echo FSET_CIP_CUSTOMSCRIPT=/tmp/x | tee Settings.ini > log.txt", "Permission denied",
         "Permission denied"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(settingsPath);
        fs::remove(logPath);
        std::string plant = c.plant;
        for (std::size_t at; (at = plant.find("VICTIM")) != std::string::npos;)
            plant.replace(at, 6, "'" + victim + "'");
        ASSERT_EQ(second::RunShell("cd '" + shared.string() + "' && " + plant), 0);
        {
            const auto dm = StoreOn(settingsPath, logPath);
            EXPECT_EQ(FileErrorOf([&] { dm->LoadSettings(); }),
                      "Cannot open file \"" + settingsPath + "\". " + c.readError);
            EXPECT_EQ(FileErrorOf([&] { dm->LoadLog(); }), "Cannot open file \"" + logPath + "\". " + c.readError);
            dm->SettingsFile.clear();
            dm->LogFile.clear();
        }
        {
            // Planted while the run went on, after its files were read.
            const auto dm = StoreOn(settingsPath, logPath);
            EXPECT_EQ(FileErrorOf([&] { dm->SaveSettings(true); }),
                      "Cannot create file \"" + settingsPath + "\". " + c.writeError);
            dm->LogLines = {"earlier"};
            EXPECT_EQ(FileErrorOf([&] { dm->AddLog("Update:", "good 203.0.113.7"); }),
                      "Cannot create file \"" + logPath + "\". " + c.writeError);
            EXPECT_EQ(FileErrorOf([&] { dm->CheckSettingsCanBeSaved(); }),
                      "Cannot create file \"" + settingsPath + "\". " + c.writeError);
            dm->SettingsFile.clear();
            dm->LogFile.clear();
        }
        EXPECT_EQ(ReadBytes(victim), "the user's own file\n");
        for (const std::string &path : {settingsPath, logPath})
            EXPECT_EQ(StatOf(path, false).st_uid, second::kId) << path;
        EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 2);
    }
}

TEST(PosixFiles, ErrorTextsAreTheSystems) {
    TempFolder folder;
    Tdm dm;
    dm.SettingsFile = folder.File("no/Settings.ini");
    EXPECT_EQ(FileErrorOf([&] { dm.SaveSettings(); }),
              "Cannot create file \"" + dm.SettingsFile + "\". No such file or directory");
    dm.SettingsFile.clear();
    dm.LogFile = folder.File("no/log.txt");
    EXPECT_EQ(FileErrorOf([&] { dm.SaveLog(); }),
              "Cannot create file \"" + dm.LogFile + "\". No such file or directory");
    dm.LogFile.clear();
}

TEST(PosixFiles, NewSettingsAndLogAreReadableByTheOwnerOnly) {
    UmaskGuard permissive(0);
    TempFolder folder;
    const auto dm = StoreOn(folder.File("Settings.ini"), folder.File("log.txt"));
    ASSERT_TRUE(dm->SaveSettings());
    dm->SaveLog();
    EXPECT_EQ(ModeOf(dm->SettingsFile), 0600u);
    EXPECT_EQ(ModeOf(dm->LogFile), 0600u);
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
        const std::string path = folder.File(c.name);
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
            EXPECT_EQ(FileErrorOf(save), "Cannot create file \"" + path + "\". Permission denied") << c.name;
            EXPECT_EQ(ReadBytes(path), "old\r\n") << c.name;
        } else {
            EXPECT_EQ(FileErrorOf(save), "(no error)") << c.name;
            EXPECT_NE(ReadBytes(path), "old\r\n") << c.name;
        }
        EXPECT_EQ(ModeOf(path), c.after) << c.name;
        EXPECT_FALSE(fs::exists(path + ".tmp")) << c.name;
        dm.SettingsFile.clear();
        dm.LogFile.clear();
    }
}

// The end of a run leaves a file as it is when nothing in it would change, unless others can
// read a private one.
TEST(PosixFiles, TheEndOfARunRewritesOnlyWhatChangedOrWhatOthersCanRead) {
    TempFolder folder;
    const struct {
        const char *name;
        mode_t mode;
        bool rewritten;
    } cases[] = {{"private", 0600, false}, {"readable by others", 0644, true}};
    for (const auto &c : cases) {
        const std::string settings = folder.File(std::string(c.name) + ".ini");
        const std::string log = folder.File(std::string(c.name) + ".txt");
        {
            const auto dm = StoreOn(settings, log);
            dm->FSET_Hostname = "home.example.net";
            ASSERT_TRUE(dm->SaveSettings());
            dm->AddLog("Check: ", "No changed detected.");
        }
        ASSERT_EQ(::chmod(settings.c_str(), c.mode), 0);
        const ino_t before = StatOf(settings).st_ino;
        const ino_t logBefore = StatOf(log).st_ino;
        {
            const auto dm = StoreOn(settings, log);
            dm->LoadSettings();
            dm->LoadLog();
        }
        EXPECT_EQ(StatOf(settings).st_ino != before, c.rewritten) << c.name;
        EXPECT_EQ(ModeOf(settings), 0600u) << c.name;
        EXPECT_EQ(StatOf(log).st_ino, logBefore) << c.name;
    }
}

// Only the files of a folder were handed to the user (a portable folder of someone else's):
// no temporary file can be made there, the files themselves may be written. The save runs in
// a child process as that user; as root the child takes an id no one uses.
TEST(PosixFiles, OwnFilesInAFolderOfSomeoneElseAreRewrittenInPlace) {
    constexpr int kSkip = 77;
    TempFolder folder;
    const std::string settingsPath = folder.File("Settings.ini");
    const std::string logPath = folder.File("log.txt");
    WriteBytes(settingsPath, "FSET_User=old\r\nFSET_Hostname=home.example.net\r\n");
    WriteBytes(logPath, "earlier\r\n");
    ASSERT_EQ(::chmod(settingsPath.c_str(), 0640), 0);
    ASSERT_EQ(::chmod(logPath.c_str(), 0644), 0);
    const bool root = ::geteuid() == 0;
    const uid_t uid = root ? 65534 : ::geteuid();
    const gid_t gid = root ? 65534 : ::getegid();
    const std::string folderPath = folder.Root().string();
    if (root) {
        ASSERT_EQ(::chown(settingsPath.c_str(), uid, gid), 0);
        ASSERT_EQ(::chown(logPath.c_str(), uid, gid), 0);
    }
    // Root's folder is closed to the child by its owner; our own by its mode.
    ASSERT_EQ(::chmod(folderPath.c_str(), root ? 0755 : 0555), 0);
    struct ModeBack {
        std::string path;
        ~ModeBack() { ::chmod(path.c_str(), 0755); }
    } modeBack{folderPath};

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No assertions here: the exit code and a line on the pipe tell the parent.
        ::close(pipeEnds[0]);
        auto finish = [&](int code, const std::string &text) {
            (void)!::write(pipeEnds[1], text.data(), text.size());
            ::_exit(code);
        };
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            finish(kSkip, std::string("cannot take the unused user id 65534: ") + std::strerror(errno));
        if (::access(settingsPath.c_str(), R_OK | W_OK) != 0)
            finish(kSkip, "the temporary folder is out of reach of user id " + std::to_string(uid));
        const std::string probe = folder.File("probe");
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0)
            finish(kSkip, "this user may create files in a folder it cannot write to (a capability?)");
        try {
            const auto dm = StoreOn(settingsPath, logPath);
            dm->LoadSettings();
            dm->LoadLog();
            dm->FSET_User = "new";
            const bool saved = dm->SaveSettings();
            dm->AddLog("Update:", "good 203.0.113.7");
            dm->SettingsFile.clear();
            dm->LogFile.clear();
            finish(saved ? 0 : 1, saved ? "" : "the settings save refused");
        } catch (const std::exception &error) {
            finish(1, error.what());
        }
    }
    ::close(pipeEnds[1]);
    std::string message;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    if (WEXITSTATUS(status) == kSkip)
        GTEST_SKIP() << message;
    ASSERT_EQ(WEXITSTATUS(status), 0) << message;

    const std::string settings = ReadBytes(settingsPath);
    EXPECT_EQ(settings.rfind("FSET_User=new\r\nFSET_Hostname=home.example.net\r\n", 0), 0u) << settings;
    const std::string log = ReadBytes(logPath);
    EXPECT_EQ(log.rfind("earlier\r\n", 0), 0u) << log;
    EXPECT_NE(log.find("\tUpdate: good 203.0.113.7\r\n"), std::string::npos) << log;
    EXPECT_EQ(ModeOf(settingsPath), 0600u); // others lose their access to the password
    EXPECT_EQ(ModeOf(logPath), 0644u);
    for (const auto &path : {settingsPath, logPath})
        EXPECT_EQ(StatOf(path).st_uid, uid) << path;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Root()), fs::directory_iterator()), 2);
}

class LocalTimeInUtc : public testing::Test {
protected:
    void SetUp() override {
        tz_.emplace("TZ", "UTC");
        ::tzset();
        std::setlocale(LC_TIME, "C");
    }
    void TearDown() override {
        tz_.reset();
        ::tzset();
    }

    static std::chrono::system_clock::time_point At(std::time_t seconds) {
        return std::chrono::system_clock::from_time_t(seconds);
    }

private:
    std::optional<ScopedEnv> tz_;
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
    dm.LogFile = folder.File("log.txt");
    dm.AddLog("Update:", "good 203.0.113.7");
    now = At(kMidnight + 49530);
    dm.AddLog("Check: ", "203.0.113.7");
    EXPECT_EQ(ReadBytes(dm.LogFile),
              "12/08/26\tUpdate: good 203.0.113.7\r\n12/08/26 13:45:30\tCheck:  203.0.113.7\r\n");
}

} // namespace
} // namespace zevlo::test
