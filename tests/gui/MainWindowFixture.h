#pragma once

#include "app/TfrmMain.h"
#include "crypto/Password.h"
#include "tests/gui/GuiTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zevlo::test {

// A main window over a temporary program folder and data folder, a scripted curl and a
// recorded login entry.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        programDir_ = temp_.path().toStdString() + "/program/";
        dataDir_ = temp_.path().toStdString() + "/data/";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(programDir_)));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dataDir_)));
    }

    void TearDown() override { window_.reset(); }

    std::string SettingsPath() const { return dataDir_ + "Settings.ini"; }
    std::string LogPath() const { return dataDir_ + "log.txt"; }
    std::string ExePath() const { return programDir_ + "zevlo"; }

    void WriteSettings(const std::vector<std::string> &lines) { WriteFile(SettingsPath(), IniText(lines)); }

    // A stored running state: the program starts hidden and checks at once.
    std::vector<std::string> RunningSettings() const {
        return {"FSET_StateIsPaused=FALSE",
                "FSET_StartWithWindows=FALSE",
                "FSET_User=alice",
                "FSET_Pass=" + EncryptPassword("secret"),
                "FSET_Hostname=home.example.org",
                "FSET_LAST_IP=198.51.100.7",
                "FSET_CIP_Auth=0"};
    }

    std::vector<std::string> PausedSettings() const {
        std::vector<std::string> lines = RunningSettings();
        lines[0] = "FSET_StateIsPaused=TRUE";
        return lines;
    }

    TfrmMain &Open() {
        MainServices services;
        services.programDir = programDir_;
        services.dataDir = dataDir_;
        services.executablePath = ExePath();
        services.runner = &runner_;
        services.autostart = &autostart_;
        services.versionText = [] { return std::string("3.0.0.0"); };
        services.trayAvailable = [this] { return trayAvailable_; };
        window_ = std::make_unique<TfrmMain>(std::move(services));
        return *window_;
    }

    // The URL of the last update request.
    std::string UpdateUrl() const {
        std::string url;
        for (const ScriptedRunner::Call &call : runner_.calls)
            for (const std::string &arg : call.args)
                url = arg.find("myip=") != std::string::npos ? arg : url;
        return url;
    }

    // Destroys the window as the program's end does: the store writes its files.
    void Close() { window_.reset(); }

    template <typename T> T *Find(const char *name) {
        T *widget = window_->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTemporaryDir temp_;
    std::string programDir_;
    std::string dataDir_;
    ScriptedRunner runner_;
    RecordingAutostart autostart_;
    bool trayAvailable_ = true;
    std::unique_ptr<TfrmMain> window_;
};

} // namespace zevlo::test
