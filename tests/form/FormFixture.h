#pragma once

#include "crypto/Password.h"
#include "tests/form/FormFakes.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zevlo::test {

// The form logic over a temporary program folder and data folder, fake views, a scripted
// curl and a recorded login entry.
class FormTest : public ::testing::Test {
protected:
    FormTest() {
        std::filesystem::create_directory(folder_.Root() / "program");
        std::filesystem::create_directory(folder_.Root() / "data");
    }
    ~FormTest() override { form_.reset(); }

    // A table's row starts as a test does: no form and no files, fresh views, runner and clock.
    void NextRow() {
        form_.reset();
        std::filesystem::remove_all(DataDir());
        std::filesystem::create_directory(DataDir());
        view_ = FakeMainView();
        logView_ = FakeLogView();
        runner_ = ServiceLikeRunner(&view_);
        autostart_ = RecordingAutostart();
        lockDataFolder_ = nullptr;
        now_ = kStart;
    }

    std::string ProgramDir() const { return (folder_.Root() / "program" / "").string(); }
    std::string DataDir() const { return (folder_.Root() / "data" / "").string(); }
    std::string SettingsPath() const { return DataDir() + "Settings.ini"; }
    std::string LogPath() const { return DataDir() + "log.txt"; }
    std::string ExePath() const { return ProgramDir() + "zevlo"; }

    void WriteSettings(const std::vector<std::string> &lines) {
        std::string text;
        for (const std::string &line : lines)
            text += line + "\r\n";
        WriteBytes(SettingsPath(), text);
    }
    // True when the file holds the line exactly.
    static bool FileHasLine(const std::string &path, const std::string &line) {
        const std::string text = ReadBytes(path);
        return text.rfind(line + "\r\n", 0) == 0 || text.find("\n" + line + "\r\n") != std::string::npos;
    }

    // A stored running state: the program starts hidden and checks at once.
    static std::vector<std::string> RunningSettings() {
        return {"FSET_StateIsPaused=FALSE",
                "FSET_StartWithWindows=FALSE",
                "FSET_User=alice",
                "FSET_Pass=" + EncryptPassword("secret"),
                "FSET_Hostname=home.example.org",
                "FSET_LAST_IP=198.51.100.7",
                "FSET_CIP_Auth=0"};
    }
    static std::vector<std::string> PausedSettings() { return With(RunningSettings(), {"FSET_StateIsPaused=TRUE"}); }
    // The lines with each change in place of the line of its key, or after them.
    static std::vector<std::string> With(std::vector<std::string> lines, const std::vector<std::string> &changes) {
        for (const std::string &change : changes) {
            const std::string key = change.substr(0, change.find('=') + 1);
            const auto same = std::find_if(lines.begin(), lines.end(),
                                           [&](const std::string &line) { return line.rfind(key, 0) == 0; });
            if (same == lines.end())
                lines.push_back(change);
            else
                *same = change;
        }
        return lines;
    }

    // Creates the form as a shell does, then (unless told not to) lets the event loop's
    // first turn run.
    form::TfrmMain &Open(bool startUp = true) {
        form::MainServices services;
        services.programDir = ProgramDir();
        services.dataDir = DataDir();
        services.executablePath = ExePath();
        services.runner = &runner_;
        services.autostart = &autostart_;
        services.versionText = [] { return std::string("3.0.0.0"); };
        services.lockDataFolder = lockDataFolder_;
        services.clock = [this] { return now_; };
        services.shortTime = [](std::chrono::system_clock::time_point when) { return UtcHoursAndMinutes(when); };
        form_ = std::make_unique<form::TfrmMain>(view_, logView_, std::move(services));
        view_.form = form_.get();
        logView_.form = &form_->frmLog();
        if (startUp)
            form_->StartUp();
        return *form_;
    }
    // Destroys the form as the program's end does: the store writes its files.
    void Close() { form_.reset(); }

    // Timer1's next tick: one period after the clock's time.
    void Tick() {
        now_ += std::chrono::milliseconds(view_.timerMs);
        form_->Timer1Timer();
    }
    // The single-shot check timer runs out, if armed; false when it was not.
    bool FireCheckTimer() {
        if (!view_.checkTimerMs)
            return false;
        now_ += std::chrono::milliseconds(*std::exchange(view_.checkTimerMs, std::nullopt));
        form_->CheckTimerTimer();
        return true;
    }
    // The form's short time: hours and minutes in UTC, so that the tests hold in any zone.
    static std::string UtcHoursAndMinutes(std::chrono::system_clock::time_point when) {
        const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
        const std::tm utc = *std::gmtime(&seconds);
        char text[8];
        std::snprintf(text, sizeof text, "%02d:%02d", utc.tm_hour % 100, utc.tm_min % 100);
        return text;
    }
    // 2026-03-02 14:00:00 UTC (a Monday): days since 1970-01-01 are 20514.
    static constexpr std::chrono::system_clock::time_point kStart{std::chrono::sys_days{std::chrono::days{20514}} +
                                                                  std::chrono::hours{14}};

    TempFolder folder_;
    FakeMainView view_;
    FakeLogView logView_;
    ScriptedRunner runner_ = ServiceLikeRunner(&view_);
    RecordingAutostart autostart_;
    // The data folder's lock as the program takes it; unset: the folder is the form's.
    std::function<bool(std::string &why)> lockDataFolder_;
    std::unique_ptr<form::TfrmMain> form_;
    std::chrono::system_clock::time_point now_ = kStart;
};

} // namespace zevlo::test
