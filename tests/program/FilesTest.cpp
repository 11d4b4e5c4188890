// The program's files as another user, another copy of the program, a full disk or a terminal
// meets them: the real program as a process against the local test service.
#include "tests/program/ProgramProcess.h"

#include "crypto/Password.h"
#include "tests/e2e/TestService.h"
#include "tests/support/SecondUser.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/file.h>

#include <iostream>
#include <memory>

#ifndef ZEVLO_PROGRAM
#error "ZEVLO_PROGRAM must name the built program"
#endif

namespace zevlo::program {
namespace {

namespace second_user = test::second_user;

constexpr const char *kPassword = "s3cret pass";
constexpr const char *kNewAddress = "203.0.113.9";

struct Outcome {
    int status = -1; // the exit status, -1 when it did not exit in time
    std::string output;
};

int ExitStatus(const std::optional<int> &status) {
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// The data folder's lock as another copy of the program holds it.
class HeldLock {
public:
    // Not handed to the program started meanwhile, which would hold it on after the test let go.
    explicit HeldLock(const fs::path &folder) : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0 || flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw std::runtime_error("cannot lock " + folder.string());
    }
    ~HeldLock() { Release(); }
    HeldLock(const HeldLock &) = delete;
    HeldLock &operator=(const HeldLock &) = delete;
    void Release() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class FilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { service_ = std::make_unique<e2e::TestService>(); }
    static void TearDownTestSuite() { service_.reset(); }

    FilesTest() : folder_(ZEVLO_PROGRAM, temp_.Root() / "program") {
        service_->ClearRequests();
        Answer(0, 0);
    }
    ~FilesTest() override {
        if (HasFailure())
            std::cerr << "program output:\n" << ReadBytes(folder_.OutputFile());
    }

    // The check answers the new address, the update "good"; each after its delay.
    static void Answer(double checkDelay, double updateDelay) {
        e2e::Answer check;
        check.body = kNewAddress;
        check.delaySeconds = checkDelay;
        e2e::Answer update;
        update.body = std::string("good ") + kNewAddress;
        update.delaySeconds = updateDelay;
        service_->Configure({{"/checkip", check}, {"/v3/update", update}});
    }

    // Settings of a running program that talks to the test service; `extra` lines go at the end.
    static std::string Settings(const std::string &extra = {}) {
        const std::string port = std::to_string(service_->Port("https"));
        return "FSET_User=alice\r\nFSET_Pass=" + EncryptPassword(kPassword) +
               "\r\nFSET_Hostname=home.example.net\r\nFSET_LAST_IP=198.51.100.1\r\nFSET_FirstRun=FALSE\r\n"
               "FSET_StateIsPaused=FALSE\r\nFSET_StartWithWindows=FALSE\r\nFSET_UPD_Server=127.0.0.1\r\n"
               "FSET_UPD_Port=" +
               port + "\r\nFSET_CIP_Server=127.0.0.1\r\nFSET_CIP_Port=" + port + "\r\nFSET_CIP_Auth=0\r\n" + extra;
    }

    // A new folder in the test's own; `mode` replaces its permissions, and any other mode than
    // the owner's alone opens the way to it for the second user.
    fs::path Folder(const std::string &name, fs::perms mode = fs::perms::owner_all) const {
        const fs::path dir = temp_.Root() / name;
        fs::create_directory(dir);
        if (mode == fs::perms::owner_all)
            fs::permissions(dir, mode, fs::perm_options::replace);
        else
            second_user::OpenTo(temp_.Root(), dir, mode);
        return dir;
    }

    std::unique_ptr<RunningProgram> Start(std::vector<std::string> args, const fs::path &input = {},
                                          const std::vector<std::string> &runAs = {}) const {
        fs::remove(folder_.OutputFile());
        return std::make_unique<RunningProgram>(folder_, folder_.RuntimeDir(),
                                                std::vector<std::string>{"CURL_CA_BUNDLE=" + service_->CertFile()},
                                                std::move(args), input, runAs);
    }

    Outcome Run(std::vector<std::string> args, const fs::path &input = {},
                const std::vector<std::string> &runAs = {}) const {
        auto program = Start(std::move(args), input, runAs);
        const int status = ExitStatus(program->WaitExit());
        return {status, ReadBytes(folder_.OutputFile())};
    }

    fs::path PasswordFile() const {
        const fs::path path = temp_.Root() / "password";
        WriteBytes(path, std::string(kPassword) + "\n");
        return path;
    }

    static bool Requested(const std::string &path) {
        try {
            for (const auto &request : service_->Requests())
                if (request.path == path)
                    return true;
        } catch (const std::exception &) {
            // a line still being written
        }
        return false;
    }

    static std::unique_ptr<e2e::TestService> service_;
    test::TempFolder temp_;
    ProgramFolder folder_;
};

std::unique_ptr<e2e::TestService> FilesTest::service_;

// A shared folder (sticky, open to all) where another user put files of their own, or a link
// to a file of the user's: the command line neither reads, runs nor writes them, and says whose
// they are. A folder that anyone may write to without the sticky bit is refused as well.
TEST_F(FilesTest, TheCommandLineRefusesFilesAnotherUserCouldHavePlanted) {
    if (!second_user::Unavailable().empty())
        GTEST_SKIP() << second_user::Unavailable();
    const fs::path victim = temp_.Root() / "victim.txt";
    const fs::path marker = temp_.Root() / "the script ran";
    WriteBytes(victim, "the user's own file\n");
    const auto sticky = fs::perms::all | fs::perms::sticky_bit;
    const struct {
        const char *name;
        fs::perms mode;
        std::string plant; // run by the second user in the folder
        bool ownSettings;
        const char *option;
        int status;
        std::string said;
    } rows[] = {
        {"their settings run no script", sticky,
         "printf 'FSET_User=alice\\nFSET_Pass=x\\nFSET_Hostname=h\\nFSET_CIP_CHKCUSTOM=TRUE\\n"
         "FSET_CIP_CUSTOMSCRIPT=%s/run.sh\\n' \"$PWD\" > Settings.ini && printf '#!/bin/sh\\ntouch \"" +
             marker.string() + "\"\\n' > run.sh && chmod 755 run.sh",
         false, "--once", 2, "Settings.ini\" belongs to nobody (uid 65534), not to root (uid 0)"},
        {"a password is not stored into their settings", sticky, "printf 'FSET_User=alice\\n' > Settings.ini", false,
         "--store-password", 2, "Settings.ini\" belongs to nobody (uid 65534)"},
        {"their link is not written through", sticky, "ln -s '" + victim.string() + "' log.txt", true, "--once", 2,
         "log.txt\" is a link of nobody (uid 65534)"},
        {"a folder anyone may change", fs::perms::all, "", true, "--once", 2,
         "may be written to by other users and has no sticky bit"},
        {"the user's own files in a shared folder", sticky, "", true, "--once", 0, ""},
    };
    int n = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        service_->ClearRequests();
        const fs::path dir = Folder("shared-" + std::to_string(++n), row.mode);
        if (row.ownSettings)
            WriteBytes(dir / "Settings.ini", Settings());
        if (!row.plant.empty()) {
            ASSERT_EQ(second_user::RunShell("cd '" + dir.string() + "' && " + row.plant), 0);
        }
        const std::string settings = ReadBytes(dir / "Settings.ini");
        const Outcome outcome = Run({row.option, "--dir", dir.string()}, PasswordFile());
        EXPECT_EQ(outcome.status, row.status) << outcome.output;
        EXPECT_TRUE(Contains(outcome.output, row.said)) << outcome.output;
        EXPECT_FALSE(fs::exists(marker));
        EXPECT_EQ(ReadBytes(victim), "the user's own file\n");
        EXPECT_EQ(Requested("/v3/update"), row.status == 0);
        if (row.status != 0) {
            EXPECT_EQ(ReadBytes(dir / "Settings.ini"), settings);
        }
    }
}

// No log.txt yet: the second user puts a link there while the check runs. The log line is not
// written through it, and the run ends as one whose files cannot be used.
TEST_F(FilesTest, ALinkPlantedDuringTheCheckIsNotWrittenThrough) {
    if (!second_user::Unavailable().empty())
        GTEST_SKIP() << second_user::Unavailable();
    const fs::path victim = temp_.Root() / "victim.txt";
    WriteBytes(victim, "the user's own file\n");
    const fs::path dir = Folder("shared", fs::perms::all | fs::perms::sticky_bit);
    WriteBytes(dir / "Settings.ini", Settings());
    Answer(1, 0);
    auto program = Start({"--once", "--dir", dir.string()});
    ASSERT_TRUE(WaitFor([] { return Requested("/checkip"); }));
    ASSERT_EQ(second_user::RunShell("ln -s '" + victim.string() + "' '" + (dir / "log.txt").string() + "'"), 0);
    EXPECT_EQ(ExitStatus(program->WaitExit()), 2);
    EXPECT_EQ(ReadBytes(victim), "the user's own file\n");
    EXPECT_TRUE(fs::is_symlink(dir / "log.txt"));
}

// A data folder that cannot be opened holds no lock of another copy: the run says why and ends
// as a settings problem, not as "in use" (which a service manager counts as success).
TEST_F(FilesTest, AFolderThatCannotBeOpenedIsAFileErrorNotInUse) {
    if (!second_user::Unavailable().empty())
        GTEST_SKIP() << second_user::Unavailable();
    second_user::OpenTo(temp_.Root(), folder_.AppDir(), fs::perms(0755));
    const fs::path theirs = Folder("write-only", fs::perms(0755));
    ASSERT_EQ(chown(theirs.c_str(), second_user::kId, second_user::kId), 0);
    ASSERT_EQ(second_user::RunShell("cd '" + theirs.string() +
                                    "' && printf 'FSET_User=alice\\n' > Settings.ini && "
                                    "chmod 300 ."),
              0);
    const fs::path closed = Folder("closed", fs::perms::owner_all);
    WriteBytes(closed / "Settings.ini", Settings());
    for (const fs::path &dir : {theirs, closed}) {
        SCOPED_TRACE(dir.string());
        const Outcome outcome = Run({"--once", "--dir", dir.string()}, {}, second_user::Command({}));
        EXPECT_EQ(outcome.status, 2) << outcome.output;
        EXPECT_TRUE(Contains(outcome.output, "Cannot open folder \"" + dir.string() + "/\". Permission denied"))
            << outcome.output;
    }
    EXPECT_FALSE(Requested("/checkip"));
}

// An address that could not be recorded would be sent again by every later run: --once sends
// no update then and fails, and fails too when the save after the answer does not work.
TEST_F(FilesTest, OnceSendsNoUpdateThatItCouldNotRecord) {
    const struct {
        const char *name;
        bool root; // needs a mount namespace of its own
        double updateDelay;
        bool sent;
        int status;
        const char *said;
    } rows[] = {
        {"the settings can be written", false, 0, true, 0, ""},
        {"a read-only Settings.ini", false, 0, false, 1, "the new address could not be recorded"},
        {"a full disk", true, 0, false, 1, "No space left on device"},
        {"made read-only during the update", false, 1, true, 1, "Cannot create file"},
    };
    int n = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.root && !second_user::Unavailable().empty()) {
            std::cerr << "left out (" << row.name << "): " << second_user::Unavailable() << '\n';
            continue;
        }
        service_->ClearRequests();
        Answer(0, row.updateDelay);
        const fs::path dir = Folder("data-" + std::to_string(++n));
        WriteBytes(dir / "Settings.ini", Settings());
        std::vector<std::string> runAs;
        if (row.root) { // a small file system of its own over the folder, filled up, for the run alone
            const fs::path copy = temp_.Root() / "settings-copy";
            WriteBytes(copy, Settings());
            runAs = {"unshare",
                     "-m",
                     "--propagation",
                     "private",
                     "/bin/sh",
                     "-c",
                     "mount -t tmpfs -o size=16k tmpfs '" + dir.string() + "' && cp '" + copy.string() + "' '" +
                         dir.string() + "/Settings.ini' && (cat /dev/zero > '" + dir.string() +
                         "/fill' 2>/dev/null; true) && exec \"$@\"",
                     "sh"};
        }
        if (std::string(row.name).find("read-only Settings") != std::string::npos)
            fs::permissions(dir / "Settings.ini", fs::perms::owner_read, fs::perm_options::replace);
        auto program = Start({"--once", "--dir", dir.string()}, {}, runAs);
        if (row.updateDelay > 0) {
            ASSERT_TRUE(WaitFor([] { return Requested("/v3/update"); }));
            fs::permissions(dir / "Settings.ini", fs::perms::owner_read, fs::perm_options::replace);
        }
        EXPECT_EQ(ExitStatus(program->WaitExit()), row.status);
        const std::string output = ReadBytes(folder_.OutputFile());
        EXPECT_TRUE(Contains(output, row.said)) << output;
        EXPECT_EQ(Requested("/v3/update"), row.sent);
        if (!row.root) {
            EXPECT_EQ(IniValue(ReadBytes(dir / "Settings.ini"), "FSET_LAST_IP"),
                      row.status == 0 ? kNewAddress : "198.51.100.1");
        }
    }
}

// Another copy (a timer's run, --store-password) holds the data folder when the window starts:
// the window waits, reading and writing nothing, ends at once when told to, and starts as usual
// once the folder is free.
TEST_F(FilesTest, TheWindowWaitsForTheDataFolderAndStillEndsAtOnce) {
    for (const bool released : {false, true}) {
        SCOPED_TRACE(released ? "the folder comes free" : "terminated while waiting");
        service_->ClearRequests();
        fs::remove(folder_.LogFile());
        WriteBytes(folder_.SettingsFile(), Settings());
        const std::string settings = folder_.Settings();
        HeldLock lock(folder_.AppDir());
        auto program = Start({});
        ASSERT_TRUE(WaitFor([&] { return Contains(ReadBytes(folder_.OutputFile()), "waiting for"); }));
        // A start with the files would check at once; give it time to show that none comes.
        EXPECT_FALSE(WaitFor([] { return Requested("/checkip"); }, 1s));
        ASSERT_TRUE(program->Running());
        EXPECT_EQ(folder_.Settings(), settings);
        if (released) {
            lock.Release();
            // The answered update, not the request alone: a termination while curl still runs
            // ends the request unanswered.
            EXPECT_TRUE(WaitFor([&] { return IniValue(folder_.Settings(), "FSET_LAST_IP") == kNewAddress; }));
            EXPECT_TRUE(Requested("/v3/update"));
        }
        program->Signal(SIGTERM);
        EXPECT_EQ(ExitStatus(program->WaitExit(10s)), 0);
        if (released) {
            EXPECT_EQ(IniValue(folder_.Settings(), "FSET_LAST_IP"), kNewAddress);
        } else {
            EXPECT_EQ(folder_.Settings(), settings);
            EXPECT_FALSE(fs::exists(folder_.LogFile()));
        }
    }
}

// --store-password asks first, then waits for the folder's lock, saying so; Ctrl+C ends the
// wait with nothing written.
TEST_F(FilesTest, StorePasswordWaitsForTheFolderAndCtrlCEndsTheWait) {
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "the folder comes free" : "Ctrl+C while waiting");
        const fs::path dir = Folder(released ? "released" : "interrupted");
        const std::string settings = "FSET_User=alice\r\nFSET_Pass=\r\n";
        WriteBytes(dir / "Settings.ini", settings);
        HeldLock lock(dir);
        auto program = Start({"--store-password", "--dir", dir.string()}, PasswordFile());
        ASSERT_TRUE(WaitFor([&] { return Contains(ReadBytes(folder_.OutputFile()), "waiting for"); }));
        EXPECT_TRUE(program->Running());
        EXPECT_EQ(ReadBytes(dir / "Settings.ini"), settings);
        if (released)
            lock.Release();
        else
            program->Signal(SIGINT);
        EXPECT_EQ(ExitStatus(program->WaitExit(10s)), released ? 0 : 1);
        const std::string output = ReadBytes(folder_.OutputFile());
        if (released) {
            EXPECT_EQ(IniValue(ReadBytes(dir / "Settings.ini"), "FSET_Pass"), EncryptPassword(kPassword));
            EXPECT_TRUE(Contains(output, "password stored in \"" + (dir / "Settings.ini").string() + "\"")) << output;
        } else {
            EXPECT_EQ(ReadBytes(dir / "Settings.ini"), settings);
            EXPECT_TRUE(Contains(output, "nothing was stored")) << output;
        }
        EXPECT_FALSE(Contains(output, "Password for")) << "no prompt without a terminal";
    }
}

} // namespace
} // namespace zevlo::program
