#include "engine/Engine.h"

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "tests/engine/EngineFakes.h"
#include "tests/support/Files.h"
#include "tests/support/ScriptedRunner.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace zevlo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using zevlo::fakes::FakeEndpoints;
using zevlo::fakes::RecordingNotifier;
using zevlo::fakes::ShownMessage;
using zevlo::test::ScriptedRunner;
using zevlo::test::TempFolder;
using zevlo::test::WriteBytes;

constexpr const char *kAgent = "-AZevlo - Windows DDNS Client by Tarvenic [alice] - v3.0";
constexpr const char *kProgramDir = "/opt/zevlo/";

class EngineTest : public ::testing::Test {
public:
    EngineTest() {
        dm.SettingsFile = temp.File("Settings.ini");
        dm.LogFile = temp.File("log.txt");
        dm.AppDir = temp.Path();
        dm.FSET_User = "alice";
        dm.FSET_Pass = EncryptPassword("secret");
        dm.FSET_Hostname = "HOSTNAME";
        dm.FSET_LAST_IP = "203.0.113.7";
    }

    // The log lines without their time stamps.
    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        for (const std::string &line : dm.LogLines)
            events.push_back(line.substr(line.find('\t') + 1));
        return events;
    }

    std::string StoredAddress() const {
        Tdm reread;
        reread.SettingsFile = dm.SettingsFile;
        reread.LoadSettings();
        return reread.FSET_LAST_IP;
    }

    TempFolder temp;
    Tdm dm;
    FakeEndpoints endpoints;
    ScriptedRunner runner;
    RecordingNotifier notifier;
    Engine engine{dm, endpoints, runner, notifier, kProgramDir};
};

struct BuilderRow {
    const char *name;
    RequestKind kind;
    EndpointValues endpoint;
    std::string user;
    std::string password;
    std::string hostname;
    std::vector<std::string> args;
    std::optional<std::string> input;
    std::string error;
};

TEST_F(EngineTest, BuildsArgumentListsAndConfigInput) {
    const std::string checkUrl = "https://SERVER:443/checkip?format=text";
    const std::string updateUrl = "https://SERVER:443/v3/update?hostname=HOSTNAME&myip=203.0.113.7";
    const std::string aliceInput = "user = \"alice:secret\"\n";
    const auto check = RequestKind::CheckIP;
    const auto update = RequestKind::Update;
    // clang-format off
    const BuilderRow rows[] = {
        {"check without authentication", check, {"HTTPS", "443", "SERVER", "/checkip", "GET", "None", 0},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XGET", checkUrl, kAgent}, std::nullopt, ""},
        {"check with Basic", check, {"HTTPS", "443", "SERVER", "/checkip", "GET", "Basic", 1},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XGET", "--basic", "-K", "-", checkUrl, kAgent},
         aliceInput, ""},
        {"check with Digest over HTTP and POST", check, {"HTTP", "8080", "127.0.0.1", "/ip", "POST", "Digest", 2},
         "alice", "secret", "HOSTNAME",
         {"curl", "-s", "-g", "-XPOST", "--digest", "-K", "-", "http://127.0.0.1:8080/ip?format=text", kAgent},
         aliceInput, ""},
        {"check with a typed text that matches no entry", check,
         {"HTTPS", "443", "SERVER", "/checkip", "GET", "Digest", -1},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XGET", checkUrl, kAgent}, std::nullopt, ""},
        {"update with Basic", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XGET", "--basic", "-K", "-", updateUrl, kAgent},
         aliceInput, ""},
        {"update with typed NTLM", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "NTLM", -1},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XGET", "--ntlm", "-K", "-", updateUrl, kAgent},
         aliceInput, ""},
        {"update with typed Negotiate", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Negotiate", -1},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XGET", "--negotiate", "-K", "-", updateUrl, kAgent},
         aliceInput, ""},
        {"update with typed AnyAuth and POST", update, {"HTTPS", "443", "SERVER", "/v3/update", "POST", "AnyAuth", -1},
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XPOST", "--anyauth", "-K", "-", updateUrl, kAgent},
         aliceInput, ""},
        {"update with a refused typed text", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Kerberos", -1},
         "alice", "secret", "HOSTNAME", {}, std::nullopt, "ERROR - Unsupported authentication type [Kerberos]"},
        {"update with empty credentials", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Digest", 1},
         "", "", "HOSTNAME",
         {"curl", "-s", "-g", "-XGET", "--digest", "-K", "-", updateUrl,
          "-AZevlo - Windows DDNS Client by Tarvenic [] - v3.0"},
         "user = \":\"\n", ""},
        {"update with a base URI without slash", update, {"HTTPS", "443", "SERVER", "v3/update", "GET", "Basic", 0},
         "alice", "secret", "HOSTNAME",
         {"curl", "-s", "-g", "-XGET", "--basic", "-K", "-",
          "https://SERVER:443v3/update?hostname=HOSTNAME&myip=203.0.113.7", kAgent},
         aliceInput, ""},
        {"update with reserved bytes in the host name", update,
         {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0},
         "alice", "secret", "my host&myip=1.1.1.1#x",
         {"curl", "-s", "-g", "-XGET", "--basic", "-K", "-",
          "https://SERVER:443/v3/update?hostname=my%20host%26myip%3D1.1.1.1%23x&myip=203.0.113.7", kAgent},
         aliceInput, ""},
        {"config line escapes", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0},
         "al\"ice", "p\\w\td\nx\ry\vz", "HOSTNAME",
         {"curl", "-s", "-g", "-XGET", "--basic", "-K", "-", updateUrl,
          "-AZevlo - Windows DDNS Client by Tarvenic [al\"ice] - v3.0"},
         "user = \"al\\\"ice:p\\\\w\\td\\nx\\ry\\vz\"\n", ""},
        {"line breaks in the user name stay out of the user agent", check,
         {"HTTPS", "443", "SERVER", "/checkip", "GET", "None", 0},
         "alice\r\nX-Injected: 1", "secret", "HOSTNAME",
         {"curl", "-s", "-g", "-XGET", checkUrl,
          "-AZevlo - Windows DDNS Client by Tarvenic [aliceX-Injected: 1] - v3.0"},
         std::nullopt, ""},
        {"a NUL byte in the password sends nothing", update,
         {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0},
         "alice", std::string("se\0cret", 7), "HOSTNAME", {}, std::nullopt,
         "ERROR - The user name or password holds a NUL byte and cannot be sent"},
        {"an unknown protocol sends nothing", check, {"-o/tmp/x", "443", "SERVER", "/checkip", "GET", "None", 0},
         "alice", "secret", "HOSTNAME", {}, std::nullopt, "ERROR - Unsupported protocol [-o/tmp/x]"},
    };
    // clang-format on
    for (const BuilderRow &row : rows) {
        SCOPED_TRACE(row.name);
        (row.kind == RequestKind::CheckIP ? endpoints.check : endpoints.update) = row.endpoint;
        dm.FSET_User = row.user;
        dm.FSET_Pass = EncryptPassword(row.password);
        dm.FSET_Hostname = row.hostname;
        const CurlCommand command = engine.BuildCurlCommand(row.kind);
        EXPECT_EQ(command.args, row.args);
        EXPECT_EQ(command.input, row.input);
        EXPECT_EQ(command.error, row.error);
    }
}

TEST_F(EngineTest, RendersTheCommandLineWithoutCredentials) {
    EXPECT_EQ(engine.BuildCurlCommand(RequestKind::CheckIP).CommandLine(),
              "curl -s -g -XGET \"https://SERVER:443/checkip?format=text\" "
              "-A\"Zevlo - Windows DDNS Client by Tarvenic [alice] - v3.0\"");
    const std::string update = engine.BuildCurlCommand(RequestKind::Update).CommandLine();
    EXPECT_EQ(update,
              "curl -s -g -XGET --basic -K - \"https://SERVER:443/v3/update?hostname=HOSTNAME&myip=203.0.113.7\" "
              "-A\"Zevlo - Windows DDNS Client by Tarvenic [alice] - v3.0\"");
    EXPECT_EQ(update.find("secret"), std::string::npos);
}

TEST_F(EngineTest, RunsCurlInTheProgramFolderWithTheConfigOnInput) {
    endpoints.check.authText = "Basic";
    endpoints.check.authIndex = 1;
    runner.outputs = {"203.0.113.7"};
    engine.CheckPublicIP();
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_FALSE(runner.calls[0].throughInterpreter);
    EXPECT_EQ(runner.calls[0].directory, kProgramDir);
    EXPECT_EQ(runner.calls[0].input, std::optional<std::string>("user = \"alice:secret\"\n"));
}

struct CheckRow {
    const char *name;
    std::string stored;
    test::ScriptedRun answer;
    bool changed;
    std::string storedAfter;
    std::string event;
};

TEST_F(EngineTest, CheckRules) {
    const CheckRow rows[] = {
        {"first run", "", "203.0.113.7", true, "203.0.113.7",
         "Check:  Detected the IP address change! Now: 203.0.113.7 Was: "},
        {"change", "198.51.100.1", "203.0.113.7", true, "203.0.113.7",
         "Check:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100.1"},
        {"same address", "203.0.113.7", "203.0.113.7", false, "203.0.113.7", "Check:  No changed detected."},
        {"surrounding white space", "203.0.113.7", " 203.0.113.7\r\n", false, "203.0.113.7",
         "Check:  No changed detected."},
        {"IPv6", "203.0.113.7", "2001:db8::7\n", true, "2001:db8::7",
         "Check:  Detected the IP address change! Now: 2001:db8::7 Was: 203.0.113.7"},
        {"empty answer keeps the address", "198.51.100.1", " \r\n", false, "198.51.100.1",
         "Check:  ERROR - Empty string returned"},
        {"no connection keeps the address and says why", "198.51.100.1",
         platform::RunResult{"", platform::ChildEnd::Exited, 7}, false, "198.51.100.1",
         "Check:  ERROR - Empty string returned [could not connect to the server (curl error 7)]"},
        {"too many requests", "198.51.100.1", "<h1>429 TOO Many Requests</h1>", false, "198.51.100.1",
         "Check:  Too many requests"},
        {"HTML page", "198.51.100.1", "<html>\n<body>502 Bad Gateway</body>\n</html>", false, "198.51.100.1",
         "Check:  ERROR - Not an IP address [<html>]"},
        {"two addresses", "198.51.100.1", "203.0.113.7 198.51.100.2", false, "198.51.100.1",
         "Check:  ERROR - Not an IP address [203.0.113.7 198.51.100.2]"},
        {"long text", "198.51.100.1", std::string(100, 'x'), false, "198.51.100.1",
         "Check:  ERROR - Not an IP address [" + std::string(64, 'x') + "]"},
    };
    for (const CheckRow &row : rows) {
        SCOPED_TRACE(row.name);
        dm.LogLines.clear();
        dm.FSET_LAST_IP = row.stored;
        runner.outputs = {row.answer};
        EXPECT_EQ(engine.CheckPublicIP(), row.changed);
        EXPECT_EQ(dm.FSET_LAST_IP, row.storedAfter);
        EXPECT_THAT(Events(), ElementsAre(row.event));
    }
    EXPECT_THAT(notifier.shown, IsEmpty());
}

TEST_F(EngineTest, NewAddressReachesTheSettingsFileOnceItsUpdateWasAnswered) {
    dm.FSET_LAST_IP = "198.51.100.1";
    ASSERT_TRUE(dm.SaveSettings());
    // A kill while a request runs must leave the old address on disk, so the next start sends it.
    std::vector<std::string> storedWhileRunning;
    runner.duringRun = [&] { storedWhileRunning.push_back(StoredAddress()); };
    std::string storedWhileBoxOpen;
    notifier.whileOpen = [&] { storedWhileBoxOpen = StoredAddress(); };

    runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
    EXPECT_TRUE(engine.CheckAndUpdate());
    EXPECT_THAT(storedWhileRunning, ElementsAre("198.51.100.1", "198.51.100.1"));
    EXPECT_EQ(StoredAddress(), "203.0.113.7");
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_TRUE(runner.calls[1].IsUpdate());
    EXPECT_NE(runner.calls[1].args[runner.calls[1].args.size() - 2].find("&myip=203.0.113.7"), std::string::npos);
    EXPECT_THAT(notifier.shown, IsEmpty());

    // An answer with a box is saved before the box opens, not when the user closes it.
    runner.outputs = {"192.0.2.4", "nochg 192.0.2.4"};
    EXPECT_TRUE(engine.CheckAndUpdate());
    EXPECT_EQ(storedWhileRunning.back(), "203.0.113.7");
    EXPECT_EQ(storedWhileBoxOpen, "192.0.2.4");
}

struct AnswerRow {
    std::string answer;
    std::optional<MessageKind> box; // none: a silent success
    std::string shown;
};

TEST_F(EngineTest, UpdateAnswerClasses) {
    const std::string page =
        "<html>\r\n<head><title>401</title></head>\r\n<body>" + std::string(300, 'z') + "</body>\r\n</html>\r\n";
    const AnswerRow rows[] = {
        {"good 203.0.113.7", std::nullopt, ""},
        {"GOOD 203.0.113.7", std::nullopt, ""},
        {"success: host updated", std::nullopt, ""},
        {" good 203.0.113.7", MessageKind::Error, "good 203.0.113.7"},
        {"success", MessageKind::Error, "success"},
        {"nochg 203.0.113.7\n", MessageKind::Warning, "nochg 203.0.113.7"},
        {"warning: slow down", MessageKind::Warning, "warning: slow down"},
        {"warning slow down", MessageKind::Error, "warning slow down"},
        {"nochg 203.0.113.7 (Too Many Requests)", MessageKind::Error, "Too many requests"},
        {"badauth", MessageKind::Error, "badauth"},
        {"good\nnochg", std::nullopt, ""},
        {"nochg 1.2.3.4\nbadauth", MessageKind::Warning, "nochg 1.2.3.4 badauth"},
        {page, MessageKind::Error,
         ("<html> <head><title>401</title></head> <body>" + std::string(300, 'z')).substr(0, 197) + "..."},
    };
    for (const AnswerRow &row : rows) {
        SCOPED_TRACE(row.answer);
        dm.LogLines.clear();
        notifier.shown.clear();
        runner.outputs = {row.answer};
        engine.UpdateIP();
        if (!row.box) {
            EXPECT_THAT(Events(), IsEmpty());
            EXPECT_THAT(notifier.shown, IsEmpty());
            continue;
        }
        EXPECT_THAT(Events(), ElementsAre("Update: " + row.shown));
        EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{*row.box, "Update: " + row.shown}));
        EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.7");
    }
}

TEST_F(EngineTest, EmptyUpdateAnswerSaysWhyPutsThePreviousAddressBackAndTheNextCheckRetries) {
    dm.FSET_LAST_IP = "198.51.100.1";
    runner.outputs = {"203.0.113.7", platform::RunResult{"", platform::ChildEnd::Exited, 60}};
    engine.CheckAndUpdate();
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    EXPECT_EQ(StoredAddress(), "198.51.100.1");
    const std::string text =
        "Update: ERROR - Empty string returned [the server's certificate is not trusted (curl error 60)]";
    EXPECT_EQ(Events().back(), text);
    EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{MessageKind::Error, text}));

    runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
    engine.CheckAndUpdate();
    ASSERT_EQ(runner.calls.size(), 4u);
    EXPECT_TRUE(runner.calls[3].IsUpdate());
    EXPECT_EQ(StoredAddress(), "203.0.113.7");
}

// Only silence from the other end counts as no answer (curl's exit statuses as its manual
// lists them: 6 could not resolve, 7 could not connect, 28 timed out); an answer we did not
// like, or a refused certificate, is no reason to ask again soon.
TEST_F(EngineTest, CycleSaysWhenItGotNoAnswer) {
    using platform::ChildEnd;
    using platform::RunResult;
    struct Row {
        const char *name;
        std::vector<test::ScriptedRun> runs;
        bool noAnswer;
    };
    const Row rows[] = {
        {"check could not resolve", {RunResult{"", ChildEnd::Exited, 6}}, true},
        {"check could not connect", {RunResult{"", ChildEnd::Exited, 7}}, true},
        {"check timed out in curl", {RunResult{"", ChildEnd::Exited, 28}}, true},
        {"check ran into the bound", {RunResult{"", ChildEnd::TimedOut, 60000}}, true},
        {"check certificate refused", {RunResult{"", ChildEnd::Exited, 60}}, false},
        {"check empty with success", {RunResult{"", ChildEnd::Exited, 0}}, false},
        {"check not an address", {"<html>"}, false},
        {"check unchanged", {"198.51.100.1"}, false},
        {"update could not connect", {"203.0.113.7", RunResult{"", ChildEnd::Exited, 7}}, true},
        {"update ran into the bound", {"203.0.113.7", RunResult{"", ChildEnd::TimedOut, 60000}}, true},
        {"update refused", {"203.0.113.7", "badauth"}, false},
        {"update answered", {"203.0.113.7", "good 203.0.113.7"}, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        dm.FSET_LAST_IP = "198.51.100.1";
        runner.outputs.assign(row.runs.begin(), row.runs.end());
        engine.CheckAndUpdate();
        EXPECT_EQ(engine.LastOutcome().noAnswer, row.noAnswer);
    }
}

TEST_F(EngineTest, ForceUpdateSendsTheStoredAddressWhateverTheCheckFound) {
    struct Row {
        const char *name;
        std::string checkAnswer;
        std::string expectedCheckEvent;
    };
    const Row rows[] = {
        {"unchanged", "203.0.113.7", "Check:  No changed detected."},
        {"not an address", "<html>", "Check:  ERROR - Not an IP address [<html>]"},
        {"no answer", "", "Check:  ERROR - Empty string returned"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        runner.calls.clear();
        dm.LogLines.clear();
        notifier.shown.clear();
        runner.outputs = {row.checkAnswer, ""};
        EXPECT_TRUE(engine.ForceUpdate());
        ASSERT_EQ(runner.calls.size(), 2u);
        EXPECT_NE(runner.calls[1].args[runner.calls[1].args.size() - 2].find("&myip=203.0.113.7"), std::string::npos);
        EXPECT_THAT(Events(), ElementsAre(row.expectedCheckEvent, "Update: ERROR - Empty string returned"));
        EXPECT_THAT(notifier.shown,
                    ElementsAre(ShownMessage{MessageKind::Error, "Update: ERROR - Empty string returned"}));
        EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.7");
    }
}

TEST_F(EngineTest, RefusedUpdateIsNotRepeated) {
    dm.FSET_LAST_IP = "198.51.100.1";
    runner.outputs = {"203.0.113.7", "badauth", "203.0.113.7"};
    engine.CheckAndUpdate();
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.calls.size(), 3u);
    EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.7");
    EXPECT_EQ(Events().back(), "Check:  No changed detected.");
}

TEST_F(EngineTest, FailuresAreLoggedAndShown) {
    struct Row {
        const char *name;
        std::function<void(EngineTest &)> arrange;
        std::string message;
    };
    const Row rows[] = {
        {"missing script",
         [](EngineTest &t) {
             t.endpoints.customScript = true;
             t.endpoints.scriptPath = t.temp.File("missing.sh");
         },
         "Script file not found []"},
        {"blank user with Basic",
         [](EngineTest &t) {
             t.endpoints.check.authIndex = 1;
             t.endpoints.check.authText = "Basic";
             t.endpoints.userText = " \t";
         },
         "Username and password are required when using HTTP authentication []"},
        {"empty password with Digest",
         [](EngineTest &t) {
             t.endpoints.check.authIndex = 2;
             t.endpoints.check.authText = "Digest";
             t.endpoints.passwordText = "";
         },
         "Username and password are required when using HTTP authentication []"},
        {"NUL byte in the stored password",
         [](EngineTest &t) {
             t.endpoints.check.authIndex = 1;
             t.endpoints.check.authText = "Basic";
             t.dm.FSET_Pass = EncryptPassword(std::string("a\0b", 3));
         },
         "ERROR - The user name or password holds a NUL byte and cannot be sent []"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FakeEndpoints fresh;
        endpoints = fresh;
        dm.FSET_Pass = EncryptPassword("secret");
        dm.LogLines.clear();
        notifier.shown.clear();
        row.arrange(*this);
        EXPECT_FALSE(engine.CheckPublicIP());
        EXPECT_THAT(runner.calls, IsEmpty());
        EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.7");
        EXPECT_THAT(Events(), ElementsAre("Check:  " + row.message));
        EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{MessageKind::Error, row.message}));
    }
}

TEST_F(EngineTest, RunnerFailureIsAnUnknownErrorAndNothingEscapes) {
    struct Row {
        const char *name;
        bool force;
        bool checkThrows;
        bool updateThrows;
        std::vector<std::string> events;
        std::vector<ShownMessage> shown;
        bool updateFailed;
    };
    const std::string detected = "Check:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100.1";
    const std::string updateError = "Update: UNKNOWN ERROR [scripted failure]";
    const Row rows[] = {
        {"the check",
         false,
         true,
         false,
         {"Check:  UNKNOWN ERROR []"},
         {{MessageKind::Error, "UNKNOWN ERROR []"}},
         false},
        {"every request of Force Update",
         true,
         true,
         true,
         {"Check:  UNKNOWN ERROR []", updateError},
         {{MessageKind::Error, "UNKNOWN ERROR []"}, {MessageKind::Error, updateError}},
         true},
        {"the update of a new address",
         false,
         false,
         true,
         {detected, updateError},
         {{MessageKind::Error, updateError}},
         true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        dm.FSET_LAST_IP = "198.51.100.1";
        dm.LogLines.clear();
        notifier.shown.clear();
        runner.outputs = {"203.0.113.7"};
        runner.duringRun = [&] {
            if (runner.calls.back().IsUpdate() ? row.updateThrows : row.checkThrows)
                throw std::runtime_error("scripted failure");
        };
        EXPECT_NO_THROW(EXPECT_TRUE(row.force ? engine.ForceUpdate() : engine.CheckAndUpdate()));
        EXPECT_EQ(Events(), row.events);
        EXPECT_EQ(notifier.shown, row.shown);
        EXPECT_EQ(engine.LastOutcome().updateFailed, row.updateFailed);
        // The service never answered: the next check finds the change again.
        EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    }
}

TEST_F(EngineTest, UnsupportedUpdateAuthenticationIsAnError) {
    endpoints.update.authText = "Kerberos";
    endpoints.update.authIndex = -1;
    engine.UpdateIP();
    EXPECT_THAT(runner.calls, IsEmpty());
    EXPECT_THAT(Events(), ElementsAre("Update: ERROR - Unsupported authentication type [Kerberos]"));
    EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{
                                    MessageKind::Error, "Update: ERROR - Unsupported authentication type [Kerberos]"}));
}

TEST_F(EngineTest, UpdateThatCannotBeBuiltIsRetriedOnceTheSettingIsFixed) {
    dm.FSET_LAST_IP = "198.51.100.1";
    endpoints.update.authText = "Kerberos";
    endpoints.update.authIndex = -1;
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    ASSERT_EQ(runner.calls.size(), 1u); // the check only: no update went out
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    EXPECT_EQ(StoredAddress(), "198.51.100.1");
    EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{
                                    MessageKind::Error, "Update: ERROR - Unsupported authentication type [Kerberos]"}));

    endpoints.update.authText = "Basic";
    endpoints.update.authIndex = 0;
    runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
    engine.CheckAndUpdate();
    ASSERT_EQ(runner.calls.size(), 3u);
    EXPECT_TRUE(runner.calls[2].IsUpdate());
    EXPECT_EQ(StoredAddress(), "203.0.113.7");
}

TEST_F(EngineTest, UpdateAbandonedBeforeItWentOutIsSentByTheNextRun) {
    dm.FSET_LAST_IP = "198.51.100.1";
    ASSERT_TRUE(dm.SaveSettings());
    dm.LogFile = (temp.Root() / "missing" / "log.txt").string(); // the log's save fails: a box opens
    runner.outputs = {"203.0.113.7"};
    notifier.whileOpen = [&] { engine.Abandon(); }; // terminated while the box is open
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    EXPECT_EQ(StoredAddress(), "198.51.100.1");
}

TEST_F(EngineTest, RequestEndedForTerminationEndsTheCycleQuietly) {
    const platform::RunResult terminated{"", platform::ChildEnd::Terminated, 0};
    dm.FSET_LAST_IP = "198.51.100.1";
    ASSERT_TRUE(dm.SaveSettings());

    // During the update: nothing logged or shown for it, and the address it was sending is
    // put back so the next run sends it again.
    runner.outputs = {"203.0.113.7", terminated};
    engine.CheckAndUpdate();
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_THAT(Events(), ElementsAre("Check:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100.1"));
    EXPECT_THAT(notifier.shown, IsEmpty());
    EXPECT_EQ(StoredAddress(), "198.51.100.1");
    EXPECT_TRUE(engine.Abandoned());

    // Abandoned from outside while the update runs (the end of a Windows session saves at
    // once): the address is put back before anything can save it.
    Engine ending{dm, endpoints, runner, notifier, kProgramDir};
    std::string heldWhileEnding;
    runner.duringRun = [&] {
        if (runner.calls.back().IsUpdate()) {
            ending.Abandon();
            heldWhileEnding = dm.FSET_LAST_IP;
        }
    };
    runner.outputs = {"192.0.2.8", terminated};
    ending.CheckAndUpdate();
    EXPECT_EQ(heldWhileEnding, "198.51.100.1");
    runner.duringRun = nullptr;

    // During the check: no update follows.
    Engine fresh{dm, endpoints, runner, notifier, kProgramDir};
    runner.calls.clear();
    dm.LogLines.clear();
    runner.outputs = {terminated, "good"};
    EXPECT_TRUE(fresh.ForceUpdate());
    EXPECT_EQ(runner.calls.size(), 1u);
    EXPECT_THAT(Events(), IsEmpty());
    EXPECT_THAT(notifier.shown, IsEmpty());
}

TEST_F(EngineTest, CustomScriptRunsThroughTheInterpreterInItsFolderWithoutCredentialCheck) {
    const std::filesystem::path folder = temp.Root() / "my scripts";
    std::filesystem::create_directory(folder);
    const std::string script = (folder / "ip.cmd").string();
    WriteBytes(script, "echo 203.0.113.9\n");
    endpoints.customScript = true;
    endpoints.scriptPath = script;
    endpoints.check.authIndex = 1;
    endpoints.userText = "";
    runner.outputs = {"203.0.113.9\n"};

    EXPECT_TRUE(engine.CheckPublicIP());
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_TRUE(runner.calls[0].throughInterpreter);
    EXPECT_NE(runner.calls[0].command, script); // quoted, so the space cannot split it
    EXPECT_NE(runner.calls[0].command.find(script), std::string::npos);
    EXPECT_EQ(runner.calls[0].directory, (folder / "").string());
    EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.9");
}

TEST_F(EngineTest, NoSecondCycleWhileABoxIsOpen) {
    dm.FSET_LAST_IP = "198.51.100.1";
    runner.outputs = {"203.0.113.7", "nochg 203.0.113.7"};
    bool nestedStarted = true;
    notifier.whileOpen = [&] {
        EXPECT_TRUE(engine.Busy());
        nestedStarted = engine.CheckAndUpdate() || engine.ForceUpdate();
    };
    EXPECT_TRUE(engine.CheckAndUpdate());
    EXPECT_FALSE(nestedStarted);
    EXPECT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(notifier.shown.size(), 1u);
    EXPECT_FALSE(engine.Busy());
}

TEST_F(EngineTest, AbandonStopsTheRestOfTheCycle) {
    endpoints.check.authIndex = 1;
    endpoints.userText = "";
    notifier.whileOpen = [&] { engine.Abandon(); };
    EXPECT_TRUE(engine.ForceUpdate()); // the check fails with a box; the update must not follow
    EXPECT_THAT(runner.calls, IsEmpty());
    EXPECT_EQ(notifier.shown.size(), 1u);
    EXPECT_FALSE(engine.CheckAndUpdate());
    EXPECT_THAT(runner.calls, IsEmpty());
}

// The window keeps an address it cannot save in memory and goes on (one file error, no
// second update of it); the command line's hook stops the update before it goes out, and the
// address is put back so that a later run sends it.
TEST_F(EngineTest, AnAddressThatCannotBeSavedIsSentOnceOrNotAtAll) {
    const struct {
        const char *name;
        std::string refusal; // the hook's answer; empty: no hook
        int updates;
        std::string addressAfter;
    } rows[] = {
        {"window", "", 1, "198.51.100.1"},
        {"command line", "ERROR - Not sent [full disk]", 0, "203.0.113.7"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        Tdm store;
        store.SettingsFile = folder.File("Settings.ini");
        store.FSET_User = "alice";
        store.FSET_Pass = EncryptPassword("secret");
        store.FSET_Hostname = "HOSTNAME";
        store.FSET_LAST_IP = "203.0.113.7";
        ASSERT_TRUE(store.SaveSettings());
        std::filesystem::permissions(store.SettingsFile, std::filesystem::perms::owner_read,
                                     std::filesystem::perm_options::replace);
        ScriptedRunner scripted;
        RecordingNotifier shown;
        Engine cycle(store, endpoints, scripted, shown, kProgramDir);
        if (!row.refusal.empty())
            cycle.BeforeUpdate = [&row] { return row.refusal; };
        scripted.outputs = {"198.51.100.1", "good 198.51.100.1"};
        cycle.CheckAndUpdate();
        if (row.refusal.empty()) {
            scripted.outputs = {"198.51.100.1"};
            cycle.CheckAndUpdate();
        }
        EXPECT_EQ(scripted.Updates(), row.updates);
        EXPECT_EQ(store.FSET_LAST_IP, row.addressAfter);
        if (!row.refusal.empty()) {
            ASSERT_FALSE(store.LogLines.empty());
            EXPECT_EQ(store.LogLines.back().substr(store.LogLines.back().find('\t') + 1), "Update: " + row.refusal);
        }
        int fileErrors = 0;
        for (const ShownMessage &message : shown.shown)
            fileErrors += message.kind == MessageKind::FileError;
        EXPECT_EQ(fileErrors, 1) << "the file error is told once";
        EXPECT_EQ(cycle.LastOutcome().updateFailed, !row.refusal.empty());
        std::filesystem::permissions(store.SettingsFile, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
    }
}

TEST_F(EngineTest, FileErrorShownOnceUntilAWriteWorksAgain) {
    const std::filesystem::path logFolder = temp.Root() / "logs";
    dm.LogFile = (logFolder / "log.txt").string(); // the folder is missing: every save fails
    auto fileErrors = [&] {
        int count = 0;
        for (const ShownMessage &message : notifier.shown) {
            if (message.kind == MessageKind::FileError) {
                EXPECT_NE(message.text.find("log.txt"), std::string::npos) << message.text;
                ++count;
            }
        }
        return count;
    };

    runner.outputs = {"203.0.113.7", "203.0.113.7"};
    EXPECT_NO_THROW(engine.CheckAndUpdate());
    EXPECT_NO_THROW(engine.CheckAndUpdate());
    EXPECT_EQ(fileErrors(), 1);
    EXPECT_EQ(dm.LogLines.size(), 2u); // the lines stay in memory

    std::filesystem::create_directory(logFolder);
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(fileErrors(), 1);

    std::filesystem::remove_all(logFolder);
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(fileErrors(), 2);
}

} // namespace
} // namespace zevlo
