#pragma once

// The engine over a real settings store in a temporary folder, the panel's values, a scripted
// curl, a recording notifier and a clock the test moves.

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/Engine.h"
#include "tests/engine/EngineFakes.h"
#include "tests/support/ScriptedRunner.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zevlo {

using zevlo::fakes::FakeEndpoints;
using zevlo::fakes::RecordingNotifier;
using zevlo::test::ScriptedRunner;
using zevlo::test::TempFolder;

inline constexpr const char *kProgramDir = "/opt/zevlo/";

class EngineTest : public ::testing::Test {
public:
    EngineTest() {
        dm.SettingsFile = temp.File("Settings.ini");
        dm.LogFile = temp.File("log.txt");
        dm.AppDir = temp.Path();
        GiveAccount(dm);
    }

    static void GiveAccount(Tdm &store) {
        store.FSET_User = "alice";
        store.FSET_Pass = EncryptPassword("secret");
        store.FSET_Hostname = "HOSTNAME";
        store.FSET_LAST_IP = "203.0.113.7";
    }

    // A table's row starts as the fixture does, with nothing logged, shown or run yet.
    void NextRow() {
        GiveAccount(dm);
        endpoints = FakeEndpoints();
        dm.LogLines.clear();
        notifier.shown.clear();
        runner.calls.clear();
    }

    // The log lines without their time stamps.
    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        for (const std::string &line : dm.LogLines)
            events.push_back(line.substr(line.find('\t') + 1));
        return events;
    }

    // The settings file as another run reads it.
    std::unique_ptr<Tdm> Reread() const {
        auto reread = std::make_unique<Tdm>();
        reread->SettingsFile = dm.SettingsFile;
        reread->LoadSettings();
        return reread;
    }
    std::string StoredAddress() const { return Reread()->FSET_LAST_IP; }

    TempFolder temp;
    // The clock of the store and the engine: a test moves it on.
    std::chrono::system_clock::time_point now =
        std::chrono::sys_days{std::chrono::year{2024} / 5 / 12} + std::chrono::hours{10};
    Tdm dm{[this] { return now; }};
    FakeEndpoints endpoints;
    ScriptedRunner runner;
    RecordingNotifier notifier;
    Engine engine{dm, endpoints, runner, notifier, kProgramDir};
};

} // namespace zevlo
