#pragma once

#include "crypto/Password.h"
#include "form/TfrmMain.h"
#include "shell/qt/LogWindow.h"
#include "shell/qt/MainWindow.h"
#include "tests/form/FormFakes.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

namespace zevlo::test {

using form::Control;

struct SeenQtBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    Qt::TextFormat format;
};

// Answers every modal window that opens while it lives: message boxes with the next answer
// (OK when none is left), other dialogs by closing them. `onModal` may act instead; it
// returns true when it took care of the window.
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(std::deque<QMessageBox::StandardButton> answers = {});

    std::vector<SeenQtBox> boxes;
    QStringList dialogs;
    std::function<bool(QWidget *)> onModal;

private:
    void Poll();

    std::deque<QMessageBox::StandardButton> answers_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

// Lets queued calls and posted events run.
void Settle();

// Runs the application's main loop as the program does, starting with `first`; a watchdog
// ends it with status 99 if nothing else does.
int RunMainLoop(const std::function<void()> &first);

// The Linux program's windows over the form logic, in temporary folders, as the program
// assembles them.
class QtWindowTest : public ::testing::Test {
protected:
    QtWindowTest() { std::filesystem::create_directory(DataDir()); }
    ~QtWindowTest() override { Close(); }

    std::string DataDir() const { return (folder_.Root() / "data" / "").string(); }
    void WriteRunningSettings() {
        WriteBytes(DataDir() + "Settings.ini",
                   "FSET_StateIsPaused=FALSE\r\nFSET_User=alice\r\nFSET_Pass=" + EncryptPassword("secret") +
                       "\r\nFSET_Hostname=home.example.org\r\n"
                       "FSET_LAST_IP=198.51.100.7\r\nFSET_CIP_Auth=0\r\n");
    }

    form::TfrmMain &Open() {
        form::MainServices services;
        services.programDir = (folder_.Root() / "").string();
        services.dataDir = DataDir();
        services.executablePath = services.programDir + "zevlo";
        services.runner = &runner_;
        services.autostart = &autostart_;
        services.versionText = [] { return std::string("3.0.0.0"); };
        services.clock = [this] { return now_; };
        logWindow_ = std::make_unique<qt::LogWindow>();
        window_ = std::make_unique<qt::MainWindow>(*logWindow_, [] { return true; });
        form_ = std::make_unique<form::TfrmMain>(*window_, *logWindow_, std::move(services));
        window_->Bind(*form_);
        logWindow_->Bind(form_->frmLog());
        QTimer::singleShot(0, window_.get(), [this] { form_->StartUp(); });
        return *form_;
    }
    void Close() {
        form_.reset();
        window_.reset();
        logWindow_.reset();
    }
    template <typename T> T *Find(const char *name) {
        T *widget = window_->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    TempFolder folder_;
    ScriptedRunner runner_ = ServiceLikeRunner();
    RecordingAutostart autostart_;
    std::unique_ptr<qt::LogWindow> logWindow_;
    std::unique_ptr<qt::MainWindow> window_;
    std::unique_ptr<form::TfrmMain> form_;
    // The form's clock, which only the test moves.
    std::chrono::system_clock::time_point now_ = std::chrono::system_clock::now();
};

} // namespace zevlo::test
