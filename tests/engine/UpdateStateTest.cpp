// What the service's answers ask of the later updates: a refusal stops them until the user
// acts, the service's trouble makes them wait, the user's fix and a refresh are sent once.
#include "tests/engine/EngineFixture.h"

#include "engine/UpdateState.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace zevlo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using zevlo::fakes::ShownMessage;
using namespace std::chrono_literals;

const std::string kRefusedLogin = "the service refused the user name or password";

using UpdateStateTest = EngineTest;

TEST_F(UpdateStateTest, ARefusalStopsUpdatesUntilTheUserActsThenTheFixIsSentOnce) {
    dm.FSET_LAST_IP = "198.51.100.1";
    runner.outputs = {"203.0.113.7", "badauth"};
    engine.CheckAndUpdate();
    // Told before its box, so that the window is paused when the box opens.
    EXPECT_THAT(notifier.refusals, ElementsAre(RecordingNotifier::Refusal{kRefusedLogin, 0}));
    EXPECT_THAT(notifier.shown,
                ElementsAre(ShownMessage{MessageKind::Error, "Update: badauth (" + kRefusedLogin + ")"}));
    EXPECT_TRUE(engine.LastOutcome().refused);
    const std::string stamp = Tdm::LogTimestamp(now);
    ASSERT_TRUE(engine.Hold());
    EXPECT_EQ(engine.Hold()->kind, UpdateHold::Kind::Refused);
    EXPECT_EQ(engine.Hold()->text, kRefusedLogin + " (badauth, " + stamp + ")");
    EXPECT_EQ(engine.RefusalReason(), kRefusedLogin);
    // Kept in the file for the next run, with no password in it.
    const std::string stored = Reread()->FSET_UPD_Refusal;
    EXPECT_EQ(
        stored.rfind(std::to_string(std::chrono::floor<std::chrono::seconds>(now).time_since_epoch().count()) + " ", 0),
        0u)
        << stored;
    EXPECT_EQ(stored.substr(stored.size() - 8), " badauth");
    EXPECT_EQ(stored.find("secret"), std::string::npos);

    // Nothing goes out while it stands, not even for a new address.
    runner.calls.clear();
    runner.outputs = {"192.0.2.1"};
    now += 1h;
    engine.CheckAndUpdate();
    EXPECT_THAT(runner.calls, IsEmpty());
    EXPECT_TRUE(engine.LastOutcome().refused);

    // The user acted: the current address goes out though it did not change, once.
    engine.LiftRefusal();
    EXPECT_FALSE(engine.Hold());
    dm.LogLines.clear();
    runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_THAT(Events(), ElementsAre("Check:  No changed detected. Sending the update again for the changed settings.",
                                      "Update: good 203.0.113.7 (the service took the address)"));
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.Updates(), 1);
    EXPECT_EQ(Events().back(), "Check:  No changed detected.");
    EXPECT_TRUE(Reread()->FSET_UPD_Refusal.empty());
}

TEST_F(UpdateStateTest, ARefusalGivenForOtherSettingsNoLongerStands) {
    struct Row {
        const char *name;
        std::function<void(UpdateStateTest &)> change;
    };
    const Row rows[] = {
        {"password", [](UpdateStateTest &t) { t.dm.FSET_Pass = EncryptPassword("fixed"); }},
        {"user", [](UpdateStateTest &t) { t.dm.FSET_User = "bob"; }},
        {"host name", [](UpdateStateTest &t) { t.dm.FSET_Hostname = "home.example.net"; }},
        {"protocol", [](UpdateStateTest &t) { t.endpoints.update.protocol = "HTTP"; }},
        {"port", [](UpdateStateTest &t) { t.endpoints.update.port = "8443"; }},
        {"server", [](UpdateStateTest &t) { t.endpoints.update.server = "members.example.net"; }},
        {"base URI", [](UpdateStateTest &t) { t.endpoints.update.baseUri = "/nic/update"; }},
        {"method", [](UpdateStateTest &t) { t.endpoints.update.method = "POST"; }},
        {"authentication", [](UpdateStateTest &t) { t.endpoints.update.authText = "Digest"; }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        NextRow();
        dm.FSET_UPD_AnsweredFor.clear();
        runner.outputs = {"203.0.113.7", "nohost"};
        engine.ForceUpdate();
        ASSERT_TRUE(engine.Hold());
        row.change(*this);
        EXPECT_FALSE(engine.Hold());
        runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
        engine.CheckAndUpdate();
        EXPECT_EQ(runner.Updates(), 2) << "the fix is sent although the address is the same";
        EXPECT_TRUE(dm.FSET_UPD_Refusal.empty());
    }
}

TEST_F(UpdateStateTest, ChangedHostNameOrEndpointSinceTheLastAnsweredUpdateIsSentOnce) {
    struct Row {
        const char *name;
        std::function<void(UpdateStateTest &)> change;
        bool sent;
    };
    const Row rows[] = {
        {"host name", [](UpdateStateTest &t) { t.dm.FSET_Hostname = "home.example.net"; }, true},
        {"server", [](UpdateStateTest &t) { t.endpoints.update.server = "members.example.net"; }, true},
        {"base URI", [](UpdateStateTest &t) { t.endpoints.update.baseUri = "/nic/update"; }, true},
        {"password alone", [](UpdateStateTest &t) { t.dm.FSET_Pass = EncryptPassword("new"); }, false},
        {"user alone", [](UpdateStateTest &t) { t.dm.FSET_User = "bob"; }, false},
        // A file from before: no fingerprint stored, nothing extra is sent.
        {"no fingerprint stored",
         [](UpdateStateTest &t) {
             t.dm.FSET_UPD_AnsweredFor.clear();
             t.dm.FSET_Hostname = "home.example.net";
         },
         false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        NextRow();
        runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
        engine.ForceUpdate();
        row.change(*this);
        runner.calls.clear();
        notifier.shown.clear();
        // The service had it already: asked on purpose, that is no news.
        runner.outputs = {"203.0.113.7", "nochg 203.0.113.7", "203.0.113.7"};
        engine.CheckAndUpdate();
        engine.CheckAndUpdate();
        EXPECT_EQ(runner.Updates(), row.sent ? 1 : 0);
        EXPECT_THAT(notifier.shown, IsEmpty());
    }
}

TEST_F(UpdateStateTest, OrdinaryNochgStillShowsItsWarning) {
    dm.FSET_LAST_IP = "198.51.100.1";
    runner.outputs = {"203.0.113.7", "nochg 203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_THAT(notifier.shown,
                ElementsAre(ShownMessage{MessageKind::Warning,
                                         "Update: nochg 203.0.113.7 (the service already had this address)"}));
    // Force Update asked on purpose: no box.
    notifier.shown.clear();
    runner.outputs = {"203.0.113.7", "nochg 203.0.113.7"};
    engine.ForceUpdate();
    EXPECT_THAT(notifier.shown, IsEmpty());
}

TEST_F(UpdateStateTest, ServiceTroubleHoldsUpdatesBackForThirtyMinutes) {
    const test::ScriptedRun answers[] = {"911", "dnserr", test::ScriptedRun::Http(503, "<p>busy</p>")};
    for (const test::ScriptedRun &answer : answers) {
        SCOPED_TRACE(answer.result.output);
        NextRow();
        dm.FSET_LAST_IP = "198.51.100.1";
        dm.FSET_UPD_WaitUntil = {};
        runner.outputs = {"203.0.113.7", answer};
        engine.CheckAndUpdate();
        ASSERT_EQ(notifier.shown.size(), 1u);
        EXPECT_NE(notifier.shown[0].text.find("(the service has a problem; next try in 30 minutes)"),
                  std::string::npos);
        EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1") << "kept as unsent";
        EXPECT_EQ(StoredAddress(), "198.51.100.1");
        const auto until = std::chrono::floor<std::chrono::seconds>(now) + 30min;
        EXPECT_EQ(engine.LastOutcome().waitUntil, std::optional<std::chrono::system_clock::time_point>(until));
        EXPECT_EQ(Reread()->FSET_UPD_WaitUntil, until);
        ASSERT_TRUE(engine.Hold());
        EXPECT_EQ(engine.Hold()->kind, UpdateHold::Kind::Waiting);
        EXPECT_EQ(engine.Hold()->text, "the service has a problem; next try after " + Tdm::LogTimestamp(until));

        // The checks go on; a change they find is logged, not sent.
        now += 29min;
        dm.LogLines.clear();
        runner.outputs = {"203.0.113.7"};
        engine.CheckAndUpdate();
        EXPECT_EQ(runner.Updates(), 1);
        EXPECT_THAT(Events(), ElementsAre("Check:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100.1",
                                          "Update: Not sent: " + engine.Hold()->text));
        EXPECT_EQ(dm.FSET_LAST_IP, "198.51.100.1");

        // After the wait the address goes out.
        now += 1min;
        runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
        engine.CheckAndUpdate();
        EXPECT_EQ(runner.Updates(), 2);
        EXPECT_FALSE(engine.Hold());
        EXPECT_EQ(StoredAddress(), "203.0.113.7");
    }
}

TEST_F(UpdateStateTest, AHostNameIsRefreshedAfter25DaysWithoutAnAnsweredUpdate) {
    // Counted from the first answered update: a file without one never refreshes.
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.Updates(), 0);

    runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
    engine.ForceUpdate();
    EXPECT_EQ(Reread()->FSET_UPD_LastAnswered, std::chrono::floor<std::chrono::seconds>(now));
    now += 25 * 24h - 1s;
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.Updates(), 1);

    now += 1s;
    dm.LogLines.clear();
    notifier.shown.clear();
    runner.outputs = {"203.0.113.7", "nochg 203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.Updates(), 2);
    EXPECT_THAT(Events(), ElementsAre("Check:  No changed detected. Refresh after 25 days without an update.",
                                      "Update: nochg 203.0.113.7 (the service already had this address)"));
    EXPECT_THAT(notifier.shown, IsEmpty());
    // Never more often.
    runner.outputs = {"203.0.113.7"};
    engine.CheckAndUpdate();
    EXPECT_EQ(runner.Updates(), 2);
}

TEST_F(UpdateStateTest, ForceUpdateLiftsARefusal) {
    runner.outputs = {"203.0.113.7", "badauth"};
    engine.ForceUpdate();
    ASSERT_TRUE(engine.Hold());
    runner.outputs = {"203.0.113.7", "good 203.0.113.7"};
    engine.ForceUpdate();
    EXPECT_EQ(runner.Updates(), 2);
    EXPECT_FALSE(engine.Hold());
    EXPECT_FALSE(engine.LastOutcome().refused);
}

TEST(RefusalRecord, ReadsBackWhatItWrites) {
    const RefusalRecord record{std::chrono::sys_seconds(1715508000s), "0a1b", "HTTP 401 Unauthorized"};
    const std::optional<RefusalRecord> read = ParseRefusal(FormatRefusal(record));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->at, record.at);
    EXPECT_EQ(read->fingerprint, "0a1b");
    EXPECT_EQ(read->answer, "HTTP 401 Unauthorized");
    for (const std::string broken : {"", "x 0a1b badauth", "1715508000 0a1b", "1715508000", " 0a1b badauth"})
        EXPECT_FALSE(ParseRefusal(broken)) << broken;
}

} // namespace
} // namespace zevlo
