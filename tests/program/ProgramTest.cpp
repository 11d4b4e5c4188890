#include "tests/program/ProgramProcess.h"

#include "crypto/Password.h"
#include "tests/e2e/TestService.h"
#include "tests/support/PublishedServices.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sys/file.h>

#ifndef ZEVLO_PROGRAM
#error "ZEVLO_PROGRAM must name the built program"
#endif

namespace zevlo::program {
namespace {

constexpr const char *kUser = "alice";
constexpr const char *kPassword = "s3cret pass";
constexpr const char *kHost = "home.example.net";
constexpr const char *kOldAddress = "198.51.100.1";
constexpr const char *kNewAddress = "203.0.113.9";

bool ExitedWith(const std::optional<int> &status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool HasLineWith(const std::string &text, const std::string &type, const std::string &part) {
    for (const std::string &line : test::Lines(text))
        if (line.find("\t" + type) != std::string::npos && line.find(part) != std::string::npos)
            return true;
    return false;
}

class ProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { service_ = std::make_unique<e2e::TestService>(); }
    static void TearDownTestSuite() { service_.reset(); }

    ProgramTest() {
        folder_ = std::make_unique<ProgramFolder>(ZEVLO_PROGRAM, temp_.Root() / "first");
        service_->ClearRequests();
        // A curl on PATH ahead of the real one that notes every start and end: shows that no
        // request was even attempted, whatever server it was meant for, and when one is over.
        fs::create_directories(temp_.Root() / "bin");
        const std::string notes = temp_.File("curl-starts");
        WriteBytes(temp_.Root() / "bin/curl", "#!/bin/sh\necho start >> '" + notes +
                                                  "'\n/usr/bin/curl \"$@\"\nstatus=$?\necho end >> '" + notes +
                                                  "'\nexit $status\n");
        fs::permissions(temp_.Root() / "bin/curl", fs::perms::owner_all);
    }

    ~ProgramTest() override {
        program_.reset();
        if (HasFailure())
            std::cerr << "program output:\n" << ReadBytes(folder_->OutputFile()) << "log.txt:\n" << folder_->Log();
    }

    // Settings of a running program that talks to the test service over HTTPS.
    std::string RunningSettings(bool paused = false) const {
        const std::string port = std::to_string(service_->Port("https"));
        return "FSET_User=" + std::string(kUser) + "\r\nFSET_Pass=" + EncryptPassword(kPassword) +
               "\r\nFSET_Hostname=" + kHost + "\r\nFSET_LAST_IP=" + kOldAddress +
               "\r\nFSET_Interval=5\r\nFSET_StartWithWindows=FALSE\r\nFSET_FirstRun=FALSE\r\n"
               "FSET_StateIsPaused=" +
               std::string(paused ? "TRUE" : "FALSE") +
               "\r\n"
               "FSET_UPD_Protocol=0\r\nFSET_UPD_Port=" +
               port +
               "\r\nFSET_UPD_Server=127.0.0.1\r\nFSET_UPD_BaseURI=/v3/update\r\nFSET_UPD_Method=0\r\n"
               "FSET_UPD_Auth=0\r\n"
               "FSET_CIP_Protocol=0\r\nFSET_CIP_Port=" +
               port + "\r\nFSET_CIP_Server=127.0.0.1\r\nFSET_CIP_BaseURI=/checkip\r\nFSET_CIP_Method=0\r\n" +
               "FSET_CIP_Auth=0\r\n";
    }

    void AnswerUpdateWith(const std::string &updateAnswer, const std::string &password = kPassword) const {
        e2e::Answer check;
        check.body = kNewAddress;
        e2e::Answer update;
        update.body = updateAnswer;
        update.auth = "basic";
        update.users = {{kUser, password}};
        service_->Configure({{"/checkip", check}, {"/v3/update", update}});
    }

    RunningProgram &Start(const ProgramFolder &folder, std::vector<std::string> args = {},
                          std::vector<std::string> env = {}, const fs::path &input = {}) {
        env.push_back("CURL_CA_BUNDLE=" + service_->CertFile());
        env.push_back("PATH=" + temp_.File("bin") + ":/usr/bin:/bin");
        program_ = std::make_unique<RunningProgram>(folder, folder_->RuntimeDir(), env, std::move(args), input);
        return *program_;
    }

    // Runs a command-line mode to its end; its exit status, or -1.
    int RunToEnd(std::vector<std::string> args, std::vector<std::string> env = {}, const fs::path &input = {}) {
        auto &program = Start(*folder_, std::move(args), std::move(env), input);
        const auto status = program.WaitExit();
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    std::vector<e2e::ReceivedRequest> Requests() const {
        try {
            return service_->Requests();
        } catch (const std::exception &) {
            return {}; // a line still being written
        }
    }

    bool UpdateReceived() const {
        for (const auto &request : Requests())
            if (request.path == "/v3/update" && request.passwordOk)
                return true;
        return false;
    }

    int FinishedCurlRuns() const {
        int ended = 0;
        for (const std::string &line : test::Lines(ReadBytes(temp_.Root() / "curl-starts")))
            ended += line == "end";
        return ended;
    }

    bool RuntimeDirHoldsTheGuard() const { return !fs::is_empty(folder_->RuntimeDir()); }

    static std::unique_ptr<e2e::TestService> service_;
    test::TempFolder temp_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<RunningProgram> program_;
};

std::unique_ptr<e2e::TestService> ProgramTest::service_;

TEST_F(ProgramTest, RunningStartChecksAtOnceUpdatesAndSavesAtTermination) {
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    AnswerUpdateWith(std::string("good ") + kNewAddress);
    auto &program = Start(*folder_);

    // A successful update is not logged: the cycle is over when its second curl has ended.
    ASSERT_TRUE(WaitFor([&] { return FinishedCurlRuns() == 2; }));
    const auto requests = service_->Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.front().path, "/checkip");
    const auto &update = requests.back();
    EXPECT_EQ(update.path, "/v3/update");
    EXPECT_EQ(update.scheme, "https");
    EXPECT_TRUE(update.passwordOk);
    EXPECT_EQ(update.Param("hostname"), kHost);
    EXPECT_EQ(update.Param("myip"), kNewAddress);

    // Whatever is on disk now, termination writes both files again from memory.
    fs::remove(folder_->SettingsFile());
    fs::remove(folder_->LogFile());
    program.Signal(SIGTERM);
    EXPECT_TRUE(ExitedWith(program.WaitExit(), 0));
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_LAST_IP"), kNewAddress);
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_User"), kUser);
    EXPECT_TRUE(HasLineWith(folder_->Log(), "Check:", kNewAddress));
    EXPECT_EQ(service_->Requests().size(), requests.size()) << "no request at termination";
}

// A message bus of the test's own (dbus-daemon in the background) on which nobody is logind.
class BusWithoutLogind {
public:
    explicit BusWithoutLogind(const fs::path &folder) {
        const fs::path config = folder / "bus.conf";
        WriteBytes(config,
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><listen>unix:path=" +
                       (folder / "bus").string() +
                       "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                       "<allow own=\"*\"/><allow send_destination=\"*\"/><allow "
                       "receive_sender=\"*\"/></policy></busconfig>\n");
        // Not --fork: a forked daemon would keep the test runner's descriptors. Without the
        // receive rule the bus never answers its clients' Hello.
        const fs::path out = folder / "bus-address";
        const std::string configOption = "--config-file=" + config.string();
        const char *argv[] = {"dbus-daemon", "--nofork", "--print-address=1", configOption.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int error = posix_spawnp(&pid_, argv[0], &actions, nullptr, const_cast<char *const *>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            return;
        WaitFor([&] { return ReadBytes(out).find('\n') != std::string::npos; }, 10s);
        const std::string printed = ReadBytes(out);
        address_ = printed.substr(0, printed.find('\n'));
    }
    ~BusWithoutLogind() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string &Address() const { return address_; }

private:
    std::string address_;
    pid_t pid_ = 0;
};

// Without a system bus, or with one that has no logind, the program runs as ever and says
// nothing about it.
TEST_F(ProgramTest, NoSystemBusOrNoLogindIsNoError) {
    const BusWithoutLogind bus(temp_.Root());
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    e2e::Answer check;
    check.body = kOldAddress;
    service_->Configure({{"/checkip", check}});
    for (const std::string &address : {bus.Address(), "unix:path=" + temp_.File("no-bus-here")}) {
        SCOPED_TRACE(address);
        fs::remove(folder_->OutputFile());
        const int runsBefore = FinishedCurlRuns();
        WriteBytes(folder_->SettingsFile(), RunningSettings());
        auto &program = Start(*folder_, {}, {"DBUS_SYSTEM_BUS_ADDRESS=" + address});
        ASSERT_TRUE(WaitFor([&] { return FinishedCurlRuns() == runsBefore + 1; }));
        program.Signal(SIGTERM);
        EXPECT_TRUE(ExitedWith(program.WaitExit(), 0));
        std::string output = ReadBytes(folder_->OutputFile());
        std::transform(output.begin(), output.end(), output.begin(), [](unsigned char c) { return std::tolower(c); });
        for (const char *word : {"bus", "login1", "error"})
            EXPECT_EQ(output.find(word), std::string::npos) << word << " in:\n" << output;
    }
}

TEST_F(ProgramTest, SigtermEndsTheProgramWhileAWarningBoxIsOpen) {
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    AnswerUpdateWith(std::string("nochg ") + kNewAddress);
    auto &program = Start(*folder_);

    // The warning is logged, then shown in a modal box that nobody answers.
    ASSERT_TRUE(WaitFor([&] { return HasLineWith(folder_->Log(), "Update:", "nochg"); }));
    // The box opens right after the line is written and leaves no trace outside the
    // process; a short pause makes the signal land while it is open.
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(program.Running());
    program.Signal(SIGTERM);
    EXPECT_TRUE(ExitedWith(program.WaitExit(), 0));
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_LAST_IP"), kNewAddress);
    EXPECT_TRUE(HasLineWith(folder_->Log(), "Update:", "nochg"));
}

TEST_F(ProgramTest, SigtermDuringAHangingRequestEndsTheProgramWithoutWaitingForIt) {
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    e2e::Answer hanging;
    hanging.body = kNewAddress;
    hanging.delaySeconds = 20;
    e2e::Answer update;
    update.body = std::string("good ") + kNewAddress;
    service_->Configure({{"/checkip", hanging}, {"/v3/update", update}});
    auto &program = Start(*folder_);

    ASSERT_TRUE(WaitFor([&] { return !Requests().empty(); })) << "the check never reached the service";
    fs::remove(folder_->SettingsFile());
    program.Signal(SIGTERM);
    // Far less than the service's delay: the check was cut short, not waited for.
    EXPECT_TRUE(ExitedWith(program.WaitExit(10s), 0));
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_LAST_IP"), kOldAddress);
    EXPECT_FALSE(HasLineWith(folder_->Log(), "Check:", "")) << "the cut request is not logged";
    EXPECT_EQ(Requests().size(), 1u) << "no request after termination";
}

TEST_F(ProgramTest, OnceWithoutADisplayStoresThePasswordThenUpdatesAChange) {
    std::string settings = RunningSettings(true); // paused: --once is asked for explicitly
    settings.replace(settings.find("FSET_Pass="),
                     settings.find("\r\n", settings.find("FSET_Pass=")) - settings.find("FSET_Pass="), "FSET_Pass=");
    WriteBytes(folder_->SettingsFile(), settings);
    WriteBytes(temp_.Root() / "password", std::string(kPassword) + "\n");
    AnswerUpdateWith(std::string("good ") + kNewAddress);
    const std::vector<std::string> noDisplay{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};

    ASSERT_EQ(RunToEnd({"--store-password"}, noDisplay, temp_.Root() / "password"), 0);
    const std::string stored = folder_->Settings();
    EXPECT_EQ(IniValue(stored, "FSET_Pass"), EncryptPassword(kPassword));
    EXPECT_EQ(stored.size(), settings.size() + EncryptPassword(kPassword).size()) << "no other line changed";

    ASSERT_EQ(RunToEnd({"--once"}, noDisplay), 0);
    EXPECT_TRUE(UpdateReceived());
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_LAST_IP"), kNewAddress);
    EXPECT_TRUE(HasLineWith(ReadBytes(folder_->OutputFile()), "Check:", kNewAddress)) << "the log line is printed";
    EXPECT_TRUE(HasLineWith(folder_->Log(), "Check:", kNewAddress));
}

TEST_F(ProgramTest, OnceExitStatusSaysWhatWentWrong) {
    struct Row {
        const char *name;
        bool settings;
        const char *updateAnswer;
        std::vector<std::string> args;
        int status;
        const char *addedLine = "";
    };
    const Row rows[] = {
        {"refused update", true, "badauth", {"--once"}, 1},
        {"no settings", false, "good", {"--once"}, 2},
        {"unknown option", true, "good", {"--once", "--frobnicate"}, 2},
        {"unknown service", true, "good", {"--once"}, 2, "FSET_UPD_Service=dynn\r\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(folder_->SettingsFile());
        if (row.settings)
            WriteBytes(folder_->SettingsFile(), RunningSettings() + row.addedLine);
        AnswerUpdateWith(row.updateAnswer);
        EXPECT_EQ(RunToEnd(row.args), row.status);
    }
    EXPECT_EQ(FinishedCurlRuns(), 2) << "only the refused update made requests";
}

TEST_F(ProgramTest, OnceHonoursARefusalAndTheServiceWaitUntilTheUserActs) {
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    const std::string refused = "the service refused the user name or password";
    // The last line the run printed.
    auto lastLine = [this] {
        const std::vector<std::string> lines = test::Lines(ReadBytes(folder_->OutputFile()));
        return lines.empty() ? std::string() : lines.back();
    };

    AnswerUpdateWith("badauth");
    ASSERT_EQ(RunToEnd({"--once"}), 1);
    EXPECT_TRUE(HasLineWith(ReadBytes(folder_->OutputFile()), "Update:", "badauth (" + refused + ")"));
    ASSERT_EQ(FinishedCurlRuns(), 2);

    // Asked again with the same settings: nothing goes out.
    ASSERT_EQ(RunToEnd({"--once"}), 1);
    EXPECT_EQ(lastLine().rfind("not sent: " + refused + " (badauth, ", 0), 0u) << lastLine();
    EXPECT_TRUE(lastLine().ends_with("); change the settings or use --force")) << lastLine();
    EXPECT_EQ(FinishedCurlRuns(), 2);

    // The user stores the right password: the fix goes out although the address is the one sent.
    AnswerUpdateWith(std::string("good ") + kNewAddress, "the right one");
    WriteBytes(temp_.Root() / "password", "the right one\n");
    ASSERT_EQ(RunToEnd({"--store-password"}, {}, temp_.Root() / "password"), 0);
    ASSERT_EQ(RunToEnd({"--once"}), 0);
    EXPECT_EQ(FinishedCurlRuns(), 4);
    EXPECT_TRUE(UpdateReceived());
    EXPECT_TRUE(HasLineWith(ReadBytes(folder_->OutputFile()),
                            "Update:", std::string("good ") + kNewAddress + " (the service took the address)"));

    // The service's trouble: a wait that the next run honours, and --force overrides.
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    AnswerUpdateWith("911");
    ASSERT_EQ(RunToEnd({"--once"}), 1);
    ASSERT_EQ(FinishedCurlRuns(), 6);
    ASSERT_EQ(RunToEnd({"--once"}), 1);
    EXPECT_EQ(lastLine().rfind("not sent: the service has a problem; next try after ", 0), 0u) << lastLine();
    EXPECT_EQ(FinishedCurlRuns(), 6);
    AnswerUpdateWith(std::string("good ") + kNewAddress);
    ASSERT_EQ(RunToEnd({"--once", "--force"}), 0);
    EXPECT_EQ(FinishedCurlRuns(), 8);
}

TEST_F(ProgramTest, OnceRefusesAnUnsetHostName) {
    for (const std::string hostLine : {"", "FSET_Hostname=\r\n", "FSET_Hostname=   \r\n"}) {
        SCOPED_TRACE(hostLine);
        std::string settings = RunningSettings();
        const std::size_t at = settings.find("FSET_Hostname=");
        settings.replace(at, settings.find("\r\n", at) + 2 - at, hostLine);
        WriteBytes(folder_->SettingsFile(), settings);
        AnswerUpdateWith(std::string("good ") + kNewAddress);
        EXPECT_EQ(RunToEnd({"--once", "--force"}), 2);
        EXPECT_NE(ReadBytes(folder_->OutputFile()).find("FSET_Hostname must be set"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(temp_.Root() / "curl-starts")) << "nothing was sent";
}

TEST_F(ProgramTest, ServicesListsEachKnownServiceWithTheUrlsItsRequestsGoTo) {
    std::string expected;
    for (const test::PublishedService &service : test::kPublishedServices)
        expected +=
            std::string(service.id) + "\t" + service.name + "\t" + service.updateUrl + "\t" + service.checkUrl + "\n";
    ASSERT_EQ(RunToEnd({"--services"}, {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}), 0);
    EXPECT_EQ(ReadBytes(folder_->OutputFile()), expected);
    EXPECT_FALSE(fs::exists(temp_.Root() / "curl-starts")) << "nothing is sent";
    EXPECT_FALSE(fs::exists(folder_->SettingsFile()));
}

TEST_F(ProgramTest, ArgumentsAreCheckedBeforeAnythingElse) {
    // A copy runs: what ends before the single-instance check shows by its status and text.
    WriteBytes(folder_->SettingsFile(), RunningSettings(true));
    auto &running = Start(*folder_);
    ASSERT_TRUE(WaitFor([&] { return RuntimeDirHoldsTheGuard(); }));
    const std::vector<std::string> noDisplay{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    const std::vector<std::string> goneDisplay{"QT_QPA_PLATFORM", "DISPLAY=:97", "WAYLAND_DISPLAY"};
    const std::string noDisplayText = "zevlo: no display; use --once to run without a desktop\n";
    struct Row {
        const char *name;
        std::vector<std::string> args;
        std::vector<std::string> env;
        int status;
        std::string says; // the start of what it writes
    };
    const Row rows[] = {
        {"unknown option", {"--bogus"}, noDisplay, 2, "zevlo: unknown option --bogus\nUsage: zevlo "},
        {"short help", {"-h"}, noDisplay, 0, "Usage: zevlo "},
        {"misspelt mode", {"--onc"}, {}, 2, "zevlo: unknown option --onc\n"},
        {"stray word", {"now"}, {}, 2, "zevlo: unexpected argument now\n"},
        {"a folder for the list", {"--services", "--dir", "x"}, {}, 2, "zevlo: --dir goes with --once or "},
        {"Qt's option in a mode of ours",
         {"--once", "-platform", "offscreen"},
         {},
         2,
         "zevlo: option -platform goes with the window only\n"},
        {"no display", {}, noDisplay, 2, noDisplayText},
        {"a display that is gone", {}, goneDisplay, 2, noDisplayText},
        {"a form Qt does not take",
         {"-style", "fusion", "--reverse", "-session=x"},
         {},
         2,
         "zevlo: unknown option -session=x"},
        {"Qt's options and its platform",
         {"-platform", "offscreen", "--style=fusion", "-session", "x"},
         noDisplay,
         0,
         ""},
    };
    ProgramFolder other(ZEVLO_PROGRAM, temp_.Root() / "second");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(other.OutputFile());
        RunningProgram second(other, folder_->RuntimeDir(), row.env, row.args);
        const auto status = second.WaitExit(10s);
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(ExitedWith(status, row.status)) << *status;
        const std::string output = ReadBytes(other.OutputFile());
        EXPECT_EQ(output.substr(0, row.says.size()), row.says) << output;
    }
    EXPECT_TRUE(running.Running());
}

TEST_F(ProgramTest, OnceLeavesAFolderInUseAlone) {
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    AnswerUpdateWith(std::string("good ") + kNewAddress);
    const std::string before = folder_->Settings();
    const int folder = open(folder_->AppDir().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(flock(folder, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(RunToEnd({"--once"}), 3);
    close(folder);
    EXPECT_FALSE(fs::exists(temp_.Root() / "curl-starts")) << "nothing was sent";
    EXPECT_EQ(folder_->Settings(), before);
}

TEST_F(ProgramTest, SigkillAfterACycleKeepsTheNewAddress) {
    WriteBytes(folder_->SettingsFile(), RunningSettings());
    AnswerUpdateWith(std::string("good ") + kNewAddress);
    auto &program = Start(*folder_);

    ASSERT_TRUE(WaitFor([&] { return UpdateReceived(); }));
    // Once the answer is in, the address reaches the disk without waiting for the end.
    EXPECT_TRUE(WaitFor([&] { return IniValue(folder_->Settings(), "FSET_LAST_IP") == kNewAddress; }));
    program.Signal(SIGKILL);
    const auto status = program.WaitExit();
    ASSERT_TRUE(status && WIFSIGNALED(*status));
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_LAST_IP"), kNewAddress);
}

TEST_F(ProgramTest, FirstRunMakesNoRequestAndRemembersItWasTheFirst) {
    auto &program = Start(*folder_);
    ASSERT_TRUE(WaitFor([&] { return RuntimeDirHoldsTheGuard(); }));
    // A start-up check would come at once; give it time to show that none comes.
    EXPECT_FALSE(WaitFor([&] { return fs::exists(temp_.Root() / "curl-starts"); }, 1500ms));
    ASSERT_TRUE(program.Running());
    EXPECT_FALSE(fs::exists(folder_->SettingsFile())) << "nothing is written before the end";

    program.Signal(SIGTERM);
    EXPECT_TRUE(ExitedWith(program.WaitExit(), 0));
    EXPECT_EQ(IniValue(folder_->Settings(), "FSET_FirstRun"), "TRUE");
    EXPECT_FALSE(fs::exists(temp_.Root() / "curl-starts"));
    EXPECT_TRUE(service_->Requests().empty());
}

TEST_F(ProgramTest, SecondCopyExitsAtOnceWithoutTouchingItsFolder) {
    WriteBytes(folder_->SettingsFile(), RunningSettings(true));
    auto &first = Start(*folder_);
    ASSERT_TRUE(WaitFor([&] { return RuntimeDirHoldsTheGuard(); }));

    // Another copy with settings that would check at once, under the same user session.
    ProgramFolder other(ZEVLO_PROGRAM, temp_.Root() / "second");
    WriteBytes(other.SettingsFile(), RunningSettings());
    AnswerUpdateWith(std::string("good ") + kNewAddress);
    RunningProgram second(other, folder_->RuntimeDir(), {"CURL_CA_BUNDLE=" + service_->CertFile()});
    EXPECT_TRUE(ExitedWith(second.WaitExit(10s), 0));
    EXPECT_FALSE(fs::exists(other.LogFile()));
    EXPECT_EQ(IniValue(other.Settings(), "FSET_LAST_IP"), kOldAddress);
    EXPECT_TRUE(service_->Requests().empty());
    EXPECT_TRUE(first.Running());

    first.Signal(SIGTERM);
    EXPECT_TRUE(ExitedWith(first.WaitExit(), 0));
}

} // namespace
} // namespace zevlo::program
