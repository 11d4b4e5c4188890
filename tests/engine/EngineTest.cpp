#include "engine/Engine.h"

#include "crypto/Password.h"
#include "engine/CurlOptions.h"
#include "platform/Paths.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/Files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace zevlo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using zevlo::fakes::FakeEndpoints;
using zevlo::fakes::RecordingNotifier;
using zevlo::fakes::ShownMessage;
using zevlo::test::WriteBytes;

const std::string kAgent = "-A" + fakes::AgentFor("alice");
// What every request carries between its own options and its URL: curl's answer on its
// standard output alone, the HTTP status in a trailer after it ("MARK" stands for the
// request's random mark).
std::vector<std::string> AnswerOptions(const std::string &scheme, const std::string &mark) {
    const std::string null = platform::NullDevice();
    std::vector<std::string> options = {"--no-location",
                                        "--no-location-trusted",
                                        "--no-include",
                                        "--no-fail",
                                        "-o",
                                        "-",
                                        "-D",
                                        null,
                                        "--trace-ascii",
                                        null,
                                        "--proto",
                                        "=" + scheme,
                                        "-m",
                                        "61",
                                        "-w",
                                        "MARK%{http_code} %{size_download}>"};
    for (std::string &option : options)
        if (option.rfind("MARK", 0) == 0)
            option = mark + option.substr(4);
    return options;
}

// The arguments a request is expected with: its own, the answer options, its URL and agent.
std::vector<std::string> Expected(std::vector<std::string> args, const std::string &mark) {
    if (args.size() >= 2) {
        const std::string &url = args[args.size() - 2];
        const std::vector<std::string> options = AnswerOptions(url.substr(0, url.find("://")), mark);
        args.insert(args.end() - 2, options.begin(), options.end());
    }
    return args;
}

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
         {"curl", "-s", "-g", "-XPOST", "--digest", "-K", "-", "-H", "Content-Length: 0",
          "http://127.0.0.1:8080/ip?format=text", kAgent},
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
         "alice", "secret", "HOSTNAME", {"curl", "-s", "-g", "-XPOST", "--anyauth", "-K", "-", "-H", "Content-Length: 0", updateUrl, kAgent},
         aliceInput, ""},
        {"update with a refused typed text", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Kerberos", -1},
         "alice", "secret", "HOSTNAME", {}, std::nullopt, "ERROR - Unsupported authentication type [Kerberos]"},
        {"update with empty credentials", update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Digest", 1},
         "", "", "HOSTNAME",
         {"curl", "-s", "-g", "-XGET", "--digest", "-K", "-", updateUrl,
          "-AZevlo - Windows DDNS Client by Tarvenic [] - v3.0"},
         "user = \":\"\n", ""},
        {"update to an IPv6 literal", update, {"HTTPS", "8443", "[2001:db8::5]", "/v3/update", "GET", "Basic", 0},
         "alice", "secret", "HOSTNAME",
         {"curl", "-s", "-g", "-XGET", "--basic", "-K", "-",
          "https://[2001:db8::5]:8443/v3/update?hostname=HOSTNAME&myip=203.0.113.7", kAgent},
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
        EXPECT_EQ(command.args, Expected(row.args, command.statusMark));
        EXPECT_EQ(command.input, row.input);
        EXPECT_EQ(command.error, row.error);
    }
}

// "7.10.6" as numbers, for comparing.
std::vector<int> VersionParts(const std::string &version) {
    std::vector<int> parts;
    std::size_t start = 0;
    while (start <= version.size()) {
        std::size_t end = version.find('.', start);
        if (end == std::string::npos)
            end = version.size();
        parts.push_back(std::stoi(version.substr(start, end - start)));
        start = end + 1;
    }
    parts.resize(3, 0);
    return parts;
}

TEST_F(EngineTest, EveryCurlOptionIsInTheTableAndKnownToTheOldestCurl) {
    // curl's documentation (docs/cmdline-opts, "Added:"); every --no- form came with 7.19.0.
    const std::map<std::string, std::string> documented = {
        {"--silent", "4.0"},
        {"--globoff", "7.6"},
        {"--request", "6.0"},
        {"--basic", "7.10.6"},
        {"--digest", "7.10.6"},
        {"--ntlm", "7.10.6"},
        {"--negotiate", "7.10.6"},
        {"--anyauth", "7.10.6"},
        {"--config", "4.10"},
        {"--header", "5.0"},
        {"--user-agent", "4.5.1"},
        {"--location", "4.9"},
        {"--location-trusted", "7.10.4"},
        {"--include", "4.8"},
        {"--fail", "4.0"},
        {"--output", "4.0"},
        {"--dump-header", "5.7"},
        {"--trace-ascii", "7.9.7"},
        {"--proto", "7.20.2"},
        {"--max-time", "4.0"},
        {"--write-out", "6.5"},
    };
    const std::string noForms = "7.19.0";
    for (const CurlOption &option : CurlOptionTable()) {
        SCOPED_TRACE(option.spelling);
        ASSERT_EQ(documented.count(option.longName), 1u);
        std::string oldest = documented.at(option.longName);
        if (std::string(option.spelling).rfind("--no-", 0) == 0 && VersionParts(oldest) < VersionParts(noForms))
            oldest = noForms;
        EXPECT_EQ(option.addedIn, oldest);
        EXPECT_LE(VersionParts(option.addedIn), VersionParts(kOldestCurl));
    }

    // Whatever a request is made of comes from the table.
    const EndpointValues check = endpoints.check;
    std::vector<CurlCommand> commands;
    for (const std::string method : {"GET", "POST"}) {
        for (const std::string protocol : {"HTTPS", "HTTP"}) {
            endpoints.check = {protocol, "443", "SERVER", "/checkip", method, "Basic", 1};
            commands.push_back(engine.BuildCurlCommand(RequestKind::CheckIP));
            endpoints.check = {protocol, "443", "SERVER", "/checkip", method, "None", 0};
            commands.push_back(engine.BuildCurlCommand(RequestKind::CheckIP));
            for (const std::string auth : {"Basic", "Digest", "NTLM", "Negotiate", "AnyAuth"}) {
                endpoints.update = {protocol, "443", "SERVER", "/v3/update", method, auth, -1};
                commands.push_back(engine.BuildCurlCommand(RequestKind::Update));
            }
        }
    }
    endpoints.check = check;
    for (const CurlCommand &command : commands) {
        ASSERT_TRUE(command.error.empty()) << command.error;
        const std::size_t url = command.args.size() - 2;
        for (std::size_t i = 1; i < command.args.size(); ++i) {
            if (i == url)
                continue;
            const CurlOption *option = OptionOf(command.args[i]);
            ASSERT_NE(option, nullptr) << command.args[i];
            if (option->takesValue)
                ++i;
        }
    }
}

TEST_F(EngineTest, RefusesFieldsThatWouldChangeWhereTheRequestGoes) {
    struct Row {
        RequestKind kind;
        EndpointValues endpoint;
        std::string hostname;
        std::string error; // empty: sent
    };
    const auto check = RequestKind::CheckIP;
    const auto update = RequestKind::Update;
    const std::string name253(253, 'h');
    std::string names4096 = std::string(240, 'n'); // 17 names of 240 bytes and 16 commas
    for (int i = 1; i < 17; ++i)
        names4096 += "," + std::string(240, 'n');
    // clang-format off
    const Row rows[] = {
        // The account would go to 127.0.0.2 as user information of the server.
        {update, {"HTTPS", "1@127.0.0.2:8080", "SERVER", "/v3/update", "GET", "Basic", 0}, "h",
         "ERROR - Invalid port [1@127.0.0.2:8080]"},
        {check, {"HTTPS", "0", "SERVER", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid port [0]"},
        {check, {"HTTPS", "65536", "SERVER", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid port [65536]"},
        {check, {"HTTPS", "", "SERVER", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid port []"},
        {check, {"HTTPS", "443 ", "SERVER", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid port [443 ]"},
        {check, {"HTTPS", "65535", "SERVER", "/checkip", "GET", "None", 0}, "h", ""},
        {update, {"HTTPS", "443", "me@127.0.0.2", "/v3/update", "GET", "Basic", 0}, "h",
         "ERROR - Invalid server [me@127.0.0.2]"},
        {update, {"HTTPS", "443", "127.0.0.2/x?", "/v3/update", "GET", "Basic", 0}, "h",
         "ERROR - Invalid server [127.0.0.2/x?]"},
        {check, {"HTTPS", "443", "[::1", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid server [[::1]"},
        {check, {"HTTPS", "443", "[not:v6]", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid server [[not:v6]]"},
        {check, {"HTTPS", "443", "", "/checkip", "GET", "None", 0}, "h", "ERROR - Invalid server []"},
        {check, {"HTTPS", "443", "my_host-1.example.net", "/checkip", "GET", "None", 0}, "h", ""},
        {check, {"HTTPS", "443", "203.0.113.9", "/checkip", "GET", "None", 0}, "h", ""},
        // The query would become a fragment: "good" for an update without host name or address.
        {update, {"HTTPS", "443", "SERVER", "/v3/update#", "GET", "Basic", 0}, "h",
         "ERROR - Invalid base URI [/v3/update#]"},
        {update, {"HTTPS", "443", "SERVER", "/v3/update?hostname=other", "GET", "Basic", 0}, "h",
         "ERROR - Invalid base URI [/v3/update?hostname=other]"},
        {check, {"HTTPS", "443", "SERVER", "checkip", "GET", "None", 0}, "h", "ERROR - Invalid base URI [checkip]"},
        {check, {"HTTPS", "443", "SERVER", "/check ip", "GET", "None", 0}, "h",
         "ERROR - Invalid base URI [/check ip]"},
        {check, {"HTTPS", "443", "SERVER", "/check\r\nip", "GET", "None", 0}, "h",
         "ERROR - Invalid base URI [/check]"},
        // An entry outside the stored list: "-X" would have taken the next argument as the method.
        {update, {"HTTPS", "443", "SERVER", "/v3/update", "", "Basic", 0}, "h", "ERROR - Invalid method []"},
        {check, {"HTTPS", "443", "SERVER", "/checkip", "PUT", "None", 0}, "h", "ERROR - Invalid method [PUT]"},
        {update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0}, name253 + "," + name253, ""},
        {update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0}, names4096, ""},
        {update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0}, "a," + name253 + "h",
         "ERROR - Host name too long [a," + std::string(62, 'h') +
             "...] (at most 253 bytes a name, 4096 in all)"},
        {update, {"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0}, names4096 + "n",
         "ERROR - Host name too long [" + std::string(64, 'n') + "...] (at most 253 bytes a name, 4096 in all)"},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.endpoint.port + " " + row.endpoint.server + " " + row.endpoint.baseUri + " " +
                     row.endpoint.method + " " + row.hostname.substr(0, 20));
        (row.kind == RequestKind::CheckIP ? endpoints.check : endpoints.update) = row.endpoint;
        dm.FSET_Hostname = row.hostname;
        const CurlCommand command = engine.BuildCurlCommand(row.kind);
        EXPECT_EQ(command.error, row.error);
        EXPECT_EQ(command.args.empty(), !row.error.empty());
    }

    // A bad update field stops the update and the address stays unsent; a bad check field
    // stops the check.
    endpoints = FakeEndpoints();
    dm.FSET_Hostname = "HOSTNAME";
    dm.FSET_LAST_IP = "198.51.100.1";
    endpoints.update.baseUri = "/v3/update#";
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.Updates(), 0);
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    EXPECT_EQ(Events().back(), "Update: ERROR - Invalid base URI [/v3/update#]");
    endpoints.check.port = "1@127.0.0.2";
    runner.calls.clear();
    engine.CheckAndUpdate();
    EXPECT_THAT(runner.calls, IsEmpty());
    EXPECT_EQ(Events().back(), "Check:  ERROR - Invalid port [1@127.0.0.2] []");
}

TEST_F(EngineTest, RendersTheCommandLineWithoutCredentials) {
    const CurlCommand check = engine.BuildCurlCommand(RequestKind::CheckIP);
    const std::string agent = " -A\"" + fakes::AgentFor("alice") + "\"";
    std::string options;
    for (const std::string &option : AnswerOptions("https", check.statusMark))
        options += option.rfind('-', 0) == 0 ? " " + option : " \"" + option + "\"";
    EXPECT_EQ(check.CommandLine(),
              "curl -s -g -XGET" + options + " \"https://SERVER:443/checkip?format=text\"" + agent);
    const std::string update = engine.BuildCurlCommand(RequestKind::Update).CommandLine();
    EXPECT_EQ(update, "curl -s -g -XGET --basic -K -" + options +
                          " \"https://SERVER:443/v3/update?hostname=HOSTNAME&myip=203.0.113.7\"" + agent);
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
        {"answered with a status", "198.51.100.1", test::ScriptedRun::Http(200, "203.0.113.7\n"), true, "203.0.113.7",
         "Check:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100.1"},
        // Pages around the address: their one public address counts; a bare one keeps its rule.
        {"classic check page", "198.51.100.1",
         test::ScriptedRun::Http(200, "<html><head><title>Current IP Check</title></head><body>Current IP Address: "
                                      "203.0.113.7</body></html>\r\n"),
         true, "203.0.113.7", "Check:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100.1"},
        {"sentence", "198.51.100.1", test::ScriptedRun::Http(200, "Your IP address is : 2001:db8::7."), true,
         "2001:db8::7", "Check:  Detected the IP address change! Now: 2001:db8::7 Was: 198.51.100.1"},
        {"page with a private address only", "198.51.100.1",
         test::ScriptedRun::Http(200, "<body>Current IP Address: 192.168.1.4</body>"), false, "198.51.100.1",
         "Check:  ERROR - Not an IP address [<body>Current IP Address: 192.168.1.4</body>]"},
        {"page with two public addresses", "198.51.100.1",
         test::ScriptedRun::Http(200, "Your IP address is : 203.0.113.7 via 198.51.100.2"), false, "198.51.100.1",
         "Check:  ERROR - Not an IP address [Your IP address is : 203.0.113.7 via 198.51.100.2]"},
        {"a bare private address", "198.51.100.1", test::ScriptedRun::Http(200, "10.0.0.1\n"), true, "10.0.0.1",
         "Check:  Detected the IP address change! Now: 10.0.0.1 Was: 198.51.100.1"},
        {"an address and more lines", "198.51.100.1", test::ScriptedRun::Http(200, "10.0.0.1\n10.0.0.2\n"), false,
         "198.51.100.1", "Check:  ERROR - Not an IP address [10.0.0.1] and 1 more line"},
        {"public addresses on several lines", "198.51.100.1",
         test::ScriptedRun::Http(200, "203.0.113.7\r\n198.51.100.2\r\n\r\n192.0.2.1\r\n"), false, "198.51.100.1",
         "Check:  ERROR - Not an IP address [203.0.113.7] and 2 more lines"},
        {"no such page", "198.51.100.1", test::ScriptedRun::Http(404, "<html><h1>Not Found</h1></html>"), false,
         "198.51.100.1", "Check:  HTTP 404 Not Found (no such page at the service: check the server and base URI)"},
        {"refused with an empty body", "198.51.100.1", test::ScriptedRun::Http(401, ""), false, "198.51.100.1",
         "Check:  HTTP 401 Unauthorized (the service refused the user name or password)"},
        {"refused with a code", "198.51.100.1", test::ScriptedRun::Http(401, "badauth"), false, "198.51.100.1",
         "Check:  badauth (the service refused the user name or password)"},
        {"service trouble", "198.51.100.1", test::ScriptedRun::Http(503, "<p>later</p>"), false, "198.51.100.1",
         "Check:  HTTP 503 Service Unavailable (the service has a problem)"},
        {"an address on a redirect", "198.51.100.1", test::ScriptedRun::Http(302, "203.0.113.7"), false, "198.51.100.1",
         "Check:  HTTP 302 Found (the service sends the request elsewhere: check the protocol, server and base URI)"},
        // Standard error is curl's complaint, never the answer.
        {"curl's complaint", "198.51.100.1",
         [] {
             platform::RunResult run{"", platform::ChildEnd::Exited, 7};
             run.errors = "curl: (7) Failed to connect to 127.0.0.1 port 9: Connection refused\n";
             return run;
         }(),
         false, "198.51.100.1",
         "Check:  ERROR - Empty string returned [could not connect to the server (curl error 7)]"},
        {"a complaint of a status the table lacks", "198.51.100.1",
         [] {
             platform::RunResult run{"", platform::ChildEnd::Exited, 26};
             run.errors = "curl: option -K: error encountered when reading a file\ncurl: try 'curl --help'\n";
             return run;
         }(),
         false, "198.51.100.1",
         "Check:  ERROR - Empty string returned [curl: option -K: error encountered when reading a file (curl "
         "error 26)]"},
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
    test::ScriptedRun answer;
    std::optional<MessageKind> box; // none: no box
    std::string logged;             // after "Update: "
};

TEST_F(EngineTest, UpdateAnswerClasses) {
    const std::string page =
        "<html>\r\n<head><title>401</title></head>\r\n<body>" + std::string(300, 'z') + "</body>\r\n</html>\r\n";
    const std::string took = " (the service took the address)";
    const std::string had = " (the service already had this address)";
    const std::string login = " (the service refused the user name or password)";
    const std::string trouble = " (the service has a problem; next try in 30 minutes)";
    const AnswerRow rows[] = {
        {"good 203.0.113.7", std::nullopt, "good 203.0.113.7" + took},
        {"GOOD 203.0.113.7", std::nullopt, "GOOD 203.0.113.7" + took},
        {"success: host updated", std::nullopt, "success: host updated" + took},
        {" good 203.0.113.7", MessageKind::Error, "good 203.0.113.7"},
        {"success", MessageKind::Error, "success"},
        {"nochg 203.0.113.7\n", MessageKind::Warning, "nochg 203.0.113.7" + had},
        {"warning: slow down", MessageKind::Warning, "warning: slow down"},
        {"warning slow down", MessageKind::Error, "warning slow down"},
        {"nochg 203.0.113.7 (Too Many Requests)", MessageKind::Error, "Too many requests"},
        {"badauth", MessageKind::Error, "badauth" + login},
        {"!donator", MessageKind::Error, "!donator (the account does not allow this update)"},
        {"notfqdn", MessageKind::Error, "notfqdn (the host name is not a full domain name)"},
        {"nohost", MessageKind::Error, "nohost (the host name does not belong to this account)"},
        {"numhost", MessageKind::Error, "numhost (too many host names in one update)"},
        {"abuse", MessageKind::Error, "abuse (the service blocked the host name for too many updates)"},
        {"badagent", MessageKind::Error, "badagent (the service refused this program or the request method)"},
        {"badsys", MessageKind::Error, "badsys (the service refused the request's system parameter)"},
        {"dnserr", MessageKind::Error, "dnserr" + trouble},
        {"911", MessageKind::Error, "911" + trouble},
        // Several host names: line by line, the worst line decides.
        {"good\nnochg", MessageKind::Warning, "good nochg" + had},
        {"good 1.2.3.4\r\n\r\nnohost\r\n", MessageKind::Error,
         "good 1.2.3.4  nohost (the host name does not belong to this account)"},
        {"nochg 1.2.3.4\nbadauth", MessageKind::Error, "nochg 1.2.3.4 badauth" + login},
        {"911\nnohost", MessageKind::Error, "911 nohost (the host name does not belong to this account)"},
        {"good\n911", MessageKind::Error, "good 911" + trouble},
        {"good\n<p>done</p>", MessageKind::Error, "good <p>done</p>"},
        // The HTTP status, for answers that carry no code.
        {test::ScriptedRun::Http(200, "good 203.0.113.7"), std::nullopt, "good 203.0.113.7" + took},
        {test::ScriptedRun::Http(401, ""), MessageKind::Error, "HTTP 401 Unauthorized" + login},
        {test::ScriptedRun::Http(401, "<html><title>401 Authorization Required</title></html>"), MessageKind::Error,
         "HTTP 401 Unauthorized" + login},
        {test::ScriptedRun::Http(403, "Forbidden"), MessageKind::Error, "HTTP 403 Forbidden" + login},
        {test::ScriptedRun::Http(401, "badauth\n"), MessageKind::Error, "badauth" + login},
        {test::ScriptedRun::Http(404, "<h1>404</h1>"), MessageKind::Error,
         "HTTP 404 Not Found (no such page at the service: check the server and base URI)"},
        {test::ScriptedRun::Http(500, "<p>Internal error</p>"), MessageKind::Error,
         "HTTP 500 Internal Server Error" + trouble},
        {test::ScriptedRun::Http(502, ""), MessageKind::Error, "HTTP 502 Bad Gateway" + trouble},
        {test::ScriptedRun::Http(200, ""), MessageKind::Error, "HTTP 200 OK (the service sent no answer text)"},
        {test::ScriptedRun::Http(411, "<h1>Length Required</h1>"), MessageKind::Error,
         "HTTP 411 Length Required (the service refused the request)"},
        {test::ScriptedRun::Http(429, ""), MessageKind::Error,
         "HTTP 429 Too Many Requests (the service asks for fewer requests)"},
        {page, MessageKind::Error,
         ("<html> <head><title>401</title></head> <body>" + std::string(300, 'z')).substr(0, 197) + "..."},
    };
    for (const AnswerRow &row : rows) {
        SCOPED_TRACE(row.logged);
        NextRow();
        runner.outputs = {row.answer};
        engine.UpdateIP();
        EXPECT_THAT(Events(), ElementsAre("Update: " + row.logged));
        if (row.box)
            EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{*row.box, "Update: " + row.logged}));
        else
            EXPECT_THAT(notifier.shown, IsEmpty());
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
        std::string updateAnswer;
        std::string expectedUpdateEvent;
        bool box;
    };
    const std::string empty = "Update: ERROR - Empty string returned";
    const Row rows[] = {
        {"unchanged", "203.0.113.7", "Check:  No changed detected.", "", empty, true},
        {"not an address", "<html>", "Check:  ERROR - Not an IP address [<html>]", "", empty, true},
        {"no answer", "", "Check:  ERROR - Empty string returned", "", empty, true},
        {"answered good", "203.0.113.7", "Check:  No changed detected.", "good 203.0.113.7",
         "Update: good 203.0.113.7 (the service took the address)", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        NextRow();
        runner.outputs = {row.checkAnswer, row.updateAnswer};
        EXPECT_TRUE(engine.ForceUpdate());
        ASSERT_EQ(runner.calls.size(), 2u);
        EXPECT_NE(runner.UpdateUrl().find("&myip=203.0.113.7"), std::string::npos);
        EXPECT_THAT(Events(), ElementsAre(row.expectedCheckEvent, row.expectedUpdateEvent));
        if (row.box)
            EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{MessageKind::Error, row.expectedUpdateEvent}));
        else
            EXPECT_THAT(notifier.shown, IsEmpty());
        EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.7");
    }
}

TEST_F(EngineTest, APasswordSentOverPlainHttpIsWarnedOfOnceARun) {
    const std::string warning = " WARNING - the password is sent unencrypted to SERVER; choose HTTPS or None";
    struct Row {
        const char *name;
        std::function<void(FakeEndpoints &)> set;
        std::vector<std::string> warnings;
    };
    const Row rows[] = {
        {"HTTPS both", [](FakeEndpoints &) {}, {}},
        {"update over HTTP", [](FakeEndpoints &e) { e.update.protocol = "HTTP"; }, {"Update:" + warning}},
        {"update over HTTP with Digest",
         [](FakeEndpoints &e) {
             e.update.protocol = "HTTP";
             e.update.authText = "Digest";
         },
         {}},
        {"check over HTTP without authentication", [](FakeEndpoints &e) { e.check.protocol = "HTTP"; }, {}},
        {"check over HTTP with Basic",
         [](FakeEndpoints &e) { e.check = {"HTTP", "80", "SERVER", "/checkip", "GET", "Basic", 1}; },
         {"Check: " + warning}},
        {"check by a script",
         [](FakeEndpoints &e) {
             e.check = {"HTTP", "80", "SERVER", "/checkip", "GET", "Basic", 1};
             e.customScript = true;
         },
         {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FakeEndpoints plain;
        row.set(plain);
        Tdm store;
        GiveAccount(store);
        ScriptedRunner quiet;
        quiet.outputs = {"203.0.113.7", "203.0.113.7"};
        Engine run{store, plain, quiet, notifier, kProgramDir};
        EXPECT_EQ(run.PlainHttpWarnings(), row.warnings);
        run.CheckAndUpdate();
        run.CheckAndUpdate();
        std::vector<std::string> logged;
        for (const std::string &line : store.LogLines)
            if (line.find("WARNING") != std::string::npos)
                logged.push_back(line.substr(line.find('\t') + 1));
        EXPECT_EQ(logged, row.warnings) << "logged once in two cycles";
    }
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
        NextRow();
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
        NextRow();
        dm.FSET_LAST_IP = "198.51.100.1";
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

TEST_F(EngineTest, UpdateThatCannotBeBuiltIsRetriedOnceTheSettingIsFixed) {
    dm.FSET_LAST_IP = "198.51.100.1";
    endpoints.update.authText = "Kerberos";
    endpoints.update.authIndex = -1;
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    ASSERT_EQ(runner.calls.size(), 1u); // the check only: no update went out
    EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");
    EXPECT_EQ(StoredAddress(), "198.51.100.1");
    const std::string refused = "Update: ERROR - Unsupported authentication type [Kerberos]";
    EXPECT_EQ(Events().back(), refused);
    EXPECT_THAT(notifier.shown, ElementsAre(ShownMessage{MessageKind::Error, refused}));

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
        GiveAccount(store);
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
