// The engine end to end: real curl, the real process runner, the local test service with
// real TLS and real Basic and Digest authentication, a real Tdm in a temp folder.

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/Engine.h"
#include "platform/FileIO.h"
#include "tests/e2e/TestService.h"
#include "tests/engine/EngineFakes.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include <filesystem>
#include <memory>

namespace zevlo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using zevlo::e2e::Answer;
using zevlo::e2e::ReceivedRequest;
using zevlo::e2e::TestService;
using zevlo::fakes::AgentFor;
using zevlo::fakes::FakeEndpoints;
using zevlo::fakes::RecordingNotifier;
using zevlo::fakes::ShownMessage;
using zevlo::test::ScopedEnv;
using zevlo::test::TempFolder;
using zevlo::test::WriteBytes;

const std::string kPassword = "s3cret pass:1";

class EngineE2eTest : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        service = std::make_unique<TestService>();
        // The curl children inherit these: trust the test certificate, never use a proxy
        // for loopback, read no .curlrc of the real home.
        setenv("CURL_CA_BUNDLE", service->CertFile().c_str(), 1);
        setenv("NO_PROXY", "127.0.0.1,localhost", 1);
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        setenv("CURL_HOME", service->Dir().c_str(), 1);
    }
    static void TearDownTestSuite() { service.reset(); }

    EngineE2eTest() {
        dm.SettingsFile = temp.File("Settings.ini");
        dm.LogFile = temp.File("log.txt");
        dm.AppDir = temp.Path();
        dm.FSET_User = "alice";
        dm.FSET_Pass = EncryptPassword(kPassword);
        dm.FSET_Hostname = "home.example.net";
        UseEndpoints("HTTP", "GET", "None", 0, "Basic");
        NextRow();
    }

    // A table's row starts from the stored address alone: no hold, nothing logged, shown or asked.
    void NextRow() {
        dm.FSET_LAST_IP = "198.51.100.1";
        dm.FSET_UPD_Refusal.clear();
        dm.FSET_UPD_WaitUntil = {};
        dm.LogLines.clear();
        notifier.shown.clear();
        service->ClearRequests();
    }

    void UseEndpoints(const std::string &protocol, const std::string &method, const std::string &checkAuth,
                      int checkIndex, const std::string &updateAuth) {
        const std::string port = std::to_string(service->Port(protocol == "HTTPS" ? "https" : "http"));
        endpoints.check = {protocol, port, "127.0.0.1", "/checkip", method, checkAuth, checkIndex};
        endpoints.update = {protocol, port, "127.0.0.1", "/v3/update", method, updateAuth, -1};
    }

    static Answer CheckAnswer(const std::string &body, const std::string &auth = "none") {
        Answer answer;
        answer.body = body;
        answer.auth = auth;
        answer.users = {{"alice", kPassword}};
        answer.requireLength = true; // as standard servers do, a POST without a length is refused
        return answer;
    }
    static Answer UpdateAnswer(const std::string &body, const std::string &auth = "basic") {
        return CheckAnswer(body, auth);
    }

    // The log lines without their time stamps, and without the warning of a password sent over
    // plain HTTP, which many of these runs do on purpose (the engine's tests show that warning).
    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        for (const std::string &line : dm.LogLines)
            if (line.find("WARNING - the password is sent unencrypted") == std::string::npos)
                events.push_back(line.substr(line.find('\t') + 1));
        return events;
    }

    static std::unique_ptr<TestService> service;
    TempFolder temp;
    Tdm dm;
    FakeEndpoints endpoints;
    platform::ProcessRunner runner{std::chrono::seconds(20)};
    RecordingNotifier notifier;
    Engine engine{dm, endpoints, runner, notifier, temp.Path()};
};

std::unique_ptr<TestService> EngineE2eTest::service;

TEST_F(EngineE2eTest, EveryProtocolMethodAndAuthenticationReachesTheServiceAsBuilt) {
    struct AuthCase {
        std::string checkText;
        int checkIndex;
        std::string checkServiceAuth;
        std::string updateText;
        std::string updateServiceAuth;
        std::string updateScheme; // what curl answers with
    };
    const AuthCase auths[] = {
        {"None", 0, "none", "Basic", "basic", "basic"},
        {"Basic", 1, "basic", "Basic", "basic", "basic"},
        {"Digest", 2, "digest", "Digest", "digest", "digest"},
        {"None", 0, "none", "anyauth", "both", "digest"},
    };
    int round = 0;
    for (const std::string protocol : {"HTTP", "HTTPS"}) {
        for (const std::string method : {"GET", "POST"}) {
            for (const AuthCase &auth : auths) {
                SCOPED_TRACE(protocol + " " + method + " " + auth.checkText + "/" + auth.updateText);
                const std::string address = "203.0.113." + std::to_string(++round);
                NextRow();
                service->Configure({{"/checkip", CheckAnswer(address + "\n", auth.checkServiceAuth)},
                                    {"/v3/update", UpdateAnswer("good " + address, auth.updateServiceAuth)}});
                UseEndpoints(protocol, method, auth.checkText, auth.checkIndex, auth.updateText);

                EXPECT_TRUE(engine.CheckAndUpdate());
                EXPECT_THAT(notifier.shown, IsEmpty());
                EXPECT_EQ(dm.FSET_LAST_IP, address);

                const std::vector<ReceivedRequest> requests = service->AnsweredRequests();
                ASSERT_EQ(requests.size(), 2u);
                const std::string scheme = protocol == "HTTPS" ? "https" : "http";
                const std::optional<std::string> length =
                    method == "POST" ? std::optional<std::string>("0") : std::nullopt;
                const struct {
                    std::string path, query, authScheme;
                } expected[] = {{"/checkip", "format=text", auth.checkServiceAuth},
                                {"/v3/update", "hostname=home.example.net&myip=" + address, auth.updateScheme}};
                for (std::size_t i = 0; i < 2; ++i) {
                    const ReceivedRequest &request = requests[i];
                    EXPECT_EQ(request.method, method);
                    EXPECT_EQ(request.path, expected[i].path);
                    EXPECT_EQ(request.query, expected[i].query);
                    EXPECT_EQ(request.userAgent, AgentFor("alice"));
                    EXPECT_EQ(request.scheme, scheme);
                    EXPECT_EQ(request.authScheme, expected[i].authScheme);
                    EXPECT_EQ(request.contentLength, length);
                    EXPECT_EQ(request.status, 200);
                    if (expected[i].authScheme != "none") {
                        EXPECT_EQ(request.user, std::optional<std::string>("alice"));
                        EXPECT_TRUE(request.passwordOk);
                    }
                }
            }
        }
    }
}

TEST_F(EngineE2eTest, UpdateAnswersFromTheService) {
    struct Row {
        const char *name;
        Answer update;
        std::optional<MessageKind> box;
        std::string shown;
        std::string storedAfter;
    };
    Answer tooMany = UpdateAnswer("<html><body><h1>429 Too Many Requests</h1></body></html>\n");
    tooMany.status = 429;
    Answer page = UpdateAnswer("<html>\r\n<body>\r\n<p>Internal error</p>\r\n</body>\r\n</html>\r\n");
    page.status = 500;
    // Refused as nginx and Apache do, by the status alone: no body, or an HTML page.
    Answer refusedEmpty = UpdateAnswer("good");
    refusedEmpty.users = {{"alice", "another password"}};
    refusedEmpty.deniedBody = "";
    Answer refusedPage = refusedEmpty;
    refusedPage.deniedBody = "<html><head><title>401 Authorization Required</title></head></html>\n";
    const std::string refused = "Update: HTTP 401 Unauthorized (the service refused the user name or password)";
    const Row rows[] = {
        {"good", UpdateAnswer("good 203.0.113.50"), std::nullopt,
         "Update: good 203.0.113.50 (the service took the address)", "203.0.113.50"},
        {"nochg", UpdateAnswer("nochg 203.0.113.50"), MessageKind::Warning,
         "Update: nochg 203.0.113.50 (the service already had this address)", "203.0.113.50"},
        {"two host names", UpdateAnswer("good 203.0.113.50\nnohost\n"), MessageKind::Error,
         "Update: good 203.0.113.50 nohost (the host name does not belong to this account)", "203.0.113.50"},
        {"429", tooMany, MessageKind::Error, "Update: Too many requests", "203.0.113.50"},
        // Sent again after the wait.
        {"HTML page", page, MessageKind::Error,
         "Update: HTTP 500 Internal Server Error (the service has a problem; next try in 30 minutes)", "198.51.100.1"},
        {"401 without a body", refusedEmpty, MessageKind::Error, refused, "203.0.113.50"},
        {"401 with an HTML page", refusedPage, MessageKind::Error, refused, "203.0.113.50"},
        // An answer, though an empty one: not sent again.
        {"empty", UpdateAnswer(""), MessageKind::Error, "Update: HTTP 200 OK (the service sent no answer text)",
         "203.0.113.50"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        NextRow();
        service->Configure({{"/checkip", CheckAnswer("203.0.113.50")}, {"/v3/update", row.update}});
        engine.CheckAndUpdate();
        EXPECT_EQ(dm.FSET_LAST_IP, row.storedAfter);
        ASSERT_EQ(Events().size(), 2u);
        EXPECT_EQ(Events().back(), row.shown);
        if (row.box)
            EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{*row.box, row.shown}));
        else
            EXPECT_THAT(notifier.shown, IsEmpty());
    }
}

// Lines of curl's configuration file for the scope of a test.
class CurlConfigFile {
public:
    explicit CurlConfigFile(const std::string &lines) : path_(EngineE2eTest::service->Dir() / ".curlrc") {
        WriteBytes(path_.string(), lines);
    }
    ~CurlConfigFile() { std::filesystem::remove(path_); }
    CurlConfigFile(const CurlConfigFile &) = delete;
    CurlConfigFile &operator=(const CurlConfigFile &) = delete;

private:
    std::filesystem::path path_;
};

TEST_F(EngineE2eTest, CurlsComplaintsAreNeverTheAnswer) {
    const CurlConfigFile showErrors("show-error\n");
    service->Configure({{"/checkip", CheckAnswer("203.0.113.51")}, {"/v3/update", UpdateAnswer("good")}});
    endpoints.update.port = "9"; // nothing listens there
    engine.CheckAndUpdate();
    const std::string reason = "Update: ERROR - Empty string returned [could not connect to the server (curl error 7)]";
    EXPECT_EQ(Events().back(), reason);
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1") << "not sent: the next check finds the change again";

    // A password too long for curl's configuration line: its complaint is the reason.
    UseEndpoints("HTTP", "GET", "None", 0, "Basic");
    dm.FSET_Pass = EncryptPassword(std::string(1 << 20, 'p'));
    engine.CheckAndUpdate();
    EXPECT_EQ(Events().back().rfind("Update: ERROR - Empty string returned [curl: ", 0), 0u) << Events().back();
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
}

TEST_F(EngineE2eTest, CurlsConfigurationFileCannotChangeWhatIsRead) {
    const std::string http = std::to_string(service->Port("http"));
    const std::string checked = "Check:  Detected the IP address change! Now: 203.0.113.52 Was: 198.51.100.1";
    const std::string took = "Update: good 203.0.113.52 (the service took the address)";
    Answer redirect = UpdateAnswer("good 203.0.113.52");
    redirect.status = 302;
    redirect.location = "http://localhost:" + http + "/elsewhere"; // plain HTTP on another host
    const std::string redirected =
        "Update: HTTP 302 Found (the service sends the request elsewhere: check the protocol, server and base URI)";
    Answer refused = UpdateAnswer("good");
    refused.users = {{"alice", "another password"}};
    const std::string refusedLine = "Update: badauth (the service refused the user name or password)";
    const std::string elsewhere =
        "Check:  ERROR - curl wrote the answer elsewhere (an \"output\" line in its configuration file?)";
    struct Row {
        std::string line;
        Answer update;
        std::vector<std::string> events;
    };
    const Row rows[] = {
        {"location", redirect, {checked, redirected}},
        {"location-trusted", redirect, {checked, redirected}},
        {"include", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        {"write-out = \"EVIL %{http_code}\"", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        {"dump-header = -", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        {"trace-ascii = -", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        {"get", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        // --no-head would clash with the method: without the body, the check fails and nothing is sent.
        {"head",
         UpdateAnswer("good 203.0.113.52"),
         {"Check:  ERROR - Empty string returned [the service answered HTTP 200 OK with no text]"}},
        {"fail", refused, {checked, refusedLine}},
        {"remote-name-all", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        {"url = http://127.0.0.1:" + http + "/extra", UpdateAnswer("good 203.0.113.52"), {checked, took}},
        // No later option undoes an output file for the request it applies to: said, not misread.
        {"output = \"" + temp.File("answer.txt") + "\"", UpdateAnswer("good 203.0.113.52"), {elsewhere}},
    };
    UseEndpoints("HTTPS", "POST", "None", 0, "Basic");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const CurlConfigFile config(row.line + "\n");
        NextRow();
        service->Configure({{"/checkip", CheckAnswer("203.0.113.52")}, {"/v3/update", row.update}});
        engine.CheckAndUpdate();
        EXPECT_EQ(Events(), row.events);
        for (const ReceivedRequest &request : service->Requests())
            EXPECT_NE(request.path, "/elsewhere") << "a redirect was followed";
    }
    // curl runs in the program folder, where remote-name-all would have left "checkip" and "update".
    EXPECT_FALSE(std::filesystem::exists(temp.Root() / "checkip"));
    EXPECT_FALSE(std::filesystem::exists(temp.Root() / "update"));
}

TEST_F(EngineE2eTest, AStartTheSystemRefusesSaysWhy) {
    endpoints.check.baseUri = "/" + std::string(300000, 'x'); // beyond what one argument may hold
    engine.CheckAndUpdate();
    EXPECT_THAT(Events(), ElementsAre("Check:  ERROR - Empty string returned [curl could not be started: " +
                                      platform::SystemErrorText(E2BIG) + "]"));
    EXPECT_THAT(service->Requests(), IsEmpty());
}

TEST_F(EngineE2eTest, CheckPagesAroundTheAddressAndHttpErrors) {
    const std::string detected = "Check:  Detected the IP address change! Now: 203.0.113.70 Was: 198.51.100.1";
    const std::string took = "Update: good 203.0.113.70 (the service took the address)";
    Answer missing = CheckAnswer("<html><body><h1>Not Found</h1></body></html>");
    missing.status = 404;
    const struct {
        Answer page;
        std::vector<std::string> events;
        bool httpError;
    } rows[] = {
        {CheckAnswer("<html><head><title>Current IP Check</title></head><body>Current IP Address: 203.0.113.70</body>"
                     "</html>\r\n"),
         {detected, took},
         false},
        {CheckAnswer("Your IP address is : 203.0.113.70\n"), {detected, took}, false},
        {CheckAnswer("10.0.0.1\n10.0.0.2\n"), {"Check:  ERROR - Not an IP address [10.0.0.1] and 1 more line"}, false},
        {missing, {"Check:  HTTP 404 Not Found (no such page at the service: check the server and base URI)"}, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.page.body);
        NextRow();
        service->Configure({{"/checkip", row.page}, {"/v3/update", UpdateAnswer("good 203.0.113.70")}});
        engine.CheckAndUpdate();
        EXPECT_EQ(Events(), row.events);
        EXPECT_EQ(engine.LastOutcome().checkHttpError, row.httpError);
        EXPECT_EQ(dm.FSET_LAST_IP, row.events.size() == 2 ? "203.0.113.70" : "198.51.100.1");
    }
}

TEST_F(EngineE2eTest, WrongPasswordsAreRefusedWithBothSchemes) {
    for (const std::string scheme : {"Basic", "Digest"}) {
        SCOPED_TRACE(scheme);
        const std::string lowered = scheme == "Basic" ? "basic" : "digest";
        NextRow();
        Answer check = CheckAnswer("203.0.113.55", lowered);
        check.users = {{"alice", kPassword + "x"}};
        Answer update = UpdateAnswer("good", lowered);
        update.users = {{"alice", kPassword + "x"}};
        UseEndpoints("HTTPS", "GET", scheme, scheme == "Basic" ? 1 : 2, scheme);

        service->Configure({{"/checkip", check}});
        engine.CheckAndUpdate();
        EXPECT_THAT(Events(), ElementsAre("Check:  badauth (the service refused the user name or password)"));

        service->Configure({{"/checkip", CheckAnswer("203.0.113.55")}, {"/v3/update", update}});
        UseEndpoints("HTTPS", "GET", "None", 0, scheme);
        engine.CheckAndUpdate();
        EXPECT_THAT(notifier.shown,
                    ElementsAre(ShownMessage{MessageKind::Error,
                                             "Update: badauth (the service refused the user name or password)"}));
        EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.55"); // refused: not sent again

        const auto requests = service->AnsweredRequests();
        ASSERT_EQ(requests.size(), 3u);
        for (std::size_t i : {0u, 2u}) {
            EXPECT_EQ(requests[i].authScheme, lowered);
            EXPECT_EQ(requests[i].user, std::optional<std::string>("alice"));
            EXPECT_FALSE(requests[i].passwordOk);
            EXPECT_EQ(requests[i].status, 401);
        }
    }
}

TEST_F(EngineE2eTest, HangingServiceIsEndedByTheBoundAndTheUpdateRetried) {
    platform::ProcessRunner quickRunner{std::chrono::milliseconds(1500)};
    Engine quick{dm, endpoints, quickRunner, notifier, temp.Path()};

    Answer hanging = CheckAnswer("203.0.113.60");
    hanging.delaySeconds = 30;
    service->Configure({{"/checkip", hanging}});
    quick.CheckAndUpdate();
    EXPECT_THAT(Events(), ElementsAre("Check:  ERROR - Empty string returned [no answer within 1.5 seconds]"));
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");

    Answer hangingUpdate = UpdateAnswer("good");
    hangingUpdate.delaySeconds = 30;
    service->Configure({{"/checkip", CheckAnswer("203.0.113.60")}, {"/v3/update", hangingUpdate}});
    quick.CheckAndUpdate();
    EXPECT_THAT(notifier.shown,
                ElementsAre(ShownMessage{MessageKind::Error,
                                         "Update: ERROR - Empty string returned [no answer within 1.5 seconds]"}));
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");

    service->ClearRequests();
    service->Configure({{"/checkip", CheckAnswer("203.0.113.60")}, {"/v3/update", UpdateAnswer("good")}});
    quick.CheckAndUpdate();
    const auto requests = service->AnsweredRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Param("myip"), std::optional<std::string>("203.0.113.60"));
    EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.60");
}

TEST_F(EngineE2eTest, AnAnswerLongerThan64KiBIsNoAnswer) {
    const std::string tooLong = "ERROR - the answer was longer than 64 KiB";
    // Without end until the runner's bound: what came is dropped as it comes.
    platform::ProcessRunner quickRunner{std::chrono::milliseconds(3000)};
    Engine quick{dm, endpoints, quickRunner, notifier, temp.Path()};
    Answer endless = CheckAnswer("203.0.113.61");
    endless.endlessSeconds = 30;
    service->Configure({{"/checkip", endless}});
    quick.CheckAndUpdate();
    EXPECT_THAT(Events(), ElementsAre("Check:  " + tooLong));
    EXPECT_TRUE(quick.LastOutcome().noAnswer);

    // A long update answer that ends: the address stays unsent.
    dm.LogLines.clear();
    Answer longUpdate = UpdateAnswer("good 203.0.113.61");
    longUpdate.endlessSeconds = 0.5;
    service->Configure({{"/checkip", CheckAnswer("203.0.113.61")}, {"/v3/update", longUpdate}});
    engine.CheckAndUpdate();
    EXPECT_EQ(Events().back(), "Update: " + tooLong);
    EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{MessageKind::Error, "Update: " + tooLong}));
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");

    // A script's output is bounded the same way.
    const std::filesystem::path script = temp.Root() / "talkative.sh";
    WriteBytes(script, "#!/bin/sh\necho 203.0.113.62\nhead -c 10000000 /dev/zero\n");
    chmod(script.c_str(), 0755);
    endpoints.customScript = true;
    endpoints.scriptPath = script.string();
    dm.LogLines.clear();
    engine.CheckAndUpdate();
    EXPECT_THAT(Events(), ElementsAre("Check:  " + tooLong));
}

TEST_F(EngineE2eTest, CustomScriptInAFolderWithSpacesAndQuotes) {
    // Run unquoted, the folder name would make the interpreter create the marker in the script's folder.
    const std::filesystem::path folder = temp.Root() / "it's my $(touch script-marker) `touch marker2` scripts";
    const std::filesystem::path marker = folder / "script-marker";
    std::filesystem::create_directory(folder);
    const std::filesystem::path script = folder / "public address.sh";
    WriteBytes(script, "#!/bin/sh\nprintf '198.51.100.23\\n'\n");
    chmod(script.c_str(), 0755);

    endpoints.customScript = true;
    endpoints.scriptPath = script.string();
    endpoints.check.authIndex = 1; // the credentials check does not apply to a script
    endpoints.userText = "";
    service->Configure({{"/v3/update", UpdateAnswer("good 198.51.100.23")}});

    EXPECT_TRUE(engine.CheckAndUpdate());
    EXPECT_THAT(notifier.shown, IsEmpty());
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.23");
    const auto requests = service->AnsweredRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/v3/update");
    EXPECT_EQ(requests[0].Param("myip"), std::optional<std::string>("198.51.100.23"));
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_FALSE(std::filesystem::exists(folder / "marker2"));
}

TEST_F(EngineE2eTest, HostileValuesArriveVerbatimAndRunNothing) {
    const std::filesystem::path marker = temp.Root() / "marker";
    const std::string touch = "touch " + marker.string();
    const std::string hostile = "\"; & | $(" + touch + ") `" + touch + "` %PATH% back\\slash";
    const std::string user = "u" + hostile;
    const std::string password = "p" + hostile + "\t";
    const std::string hostname = "h" + hostile + " #=+?[]{}";
    dm.FSET_User = user;
    dm.FSET_Pass = EncryptPassword(password);
    dm.FSET_Hostname = hostname;
    endpoints.passwordText = password;
    UseEndpoints("HTTPS", "POST", "Basic", 1, "Digest");
    Answer check = CheckAnswer("203.0.113.70", "basic");
    check.users = {{user, password}};
    Answer update = UpdateAnswer("good", "digest");
    update.users = {{user, password}};
    service->Configure({{"/checkip", check}, {"/v3/update", update}});

    EXPECT_TRUE(engine.CheckAndUpdate());
    EXPECT_THAT(notifier.shown, IsEmpty());
    const auto requests = service->AnsweredRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const ReceivedRequest &request : requests) {
        EXPECT_EQ(request.user, std::optional<std::string>(user));
        EXPECT_TRUE(request.passwordOk);
        EXPECT_EQ(request.userAgent, AgentFor(user));
    }
    EXPECT_EQ(requests[1].Param("hostname"), std::optional<std::string>(hostname));
    EXPECT_EQ(requests[1].Param("myip"), std::optional<std::string>("203.0.113.70"));
    EXPECT_EQ(requests[1].params.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(EngineE2eTest, UntrustedCertificateSendsNoRequest) {
    {
        const ScopedEnv untrusted("CURL_CA_BUNDLE", std::nullopt);
        UseEndpoints("HTTPS", "GET", "Basic", 1, "Basic");
        service->Configure({{"/checkip", CheckAnswer("203.0.113.80", "basic")}});
        engine.CheckAndUpdate();
        engine.ForceUpdate();
    }

    EXPECT_THAT(service->Requests(), IsEmpty());
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    const std::string reason = " [the server's certificate is not trusted (curl error 60)]";
    EXPECT_EQ(Events().front(), "Check:  ERROR - Empty string returned" + reason);
    EXPECT_THAT(notifier.shown,
                ElementsAre(ShownMessage{MessageKind::Error, "Update: ERROR - Empty string returned" + reason}));
}

} // namespace
} // namespace zevlo
