// Renders the main window's three tabs and the log viewer into PNG files for the README:
//   zevlo_screenshots <output folder>
// The window is built through its seams in a temporary folder with sample settings and a
// sample log; no request is made (the sample is paused and the runner answers nothing).
#include "crypto/Password.h"
#include "data/Tdm.h"
#include "form/TfrmMain.h"
#include "shell/qt/LogWindow.h"
#include "shell/qt/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

// Every request ends at once with nothing printed.
class SilentRunner : public zevlo::platform::IProcessRunner {
public:
    zevlo::platform::RunResult RunCommand(const std::string &, const std::string &) override { return Silence(); }
    zevlo::platform::RunResult RunProgram(const std::vector<std::string> &, const std::string &,
                                          const std::optional<std::string> &) override {
        return Silence();
    }

private:
    static zevlo::platform::RunResult Silence() { return {"", zevlo::platform::ChildEnd::Exited, 0}; }
};

class NoAutostart : public zevlo::platform::IAutostart {
public:
    bool IsPresent() override { return true; }
    bool Write(const std::string &) override { return true; }
    bool Remove() override { return true; }
};

void WriteFile(const QString &path, const std::string &bytes) {
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string SampleSettings() {
    return "FSET_User=alice\r\n"
           "FSET_Pass=" +
           zevlo::EncryptPassword("correct horse") +
           "\r\n"
           "FSET_Hostname=home.example.net\r\n"
           "FSET_LAST_IP=203.0.113.7\r\n"
           "FSET_Interval=15\r\n"
           "FSET_StartWithWindows=TRUE\r\n"
           "FSET_StateIsPaused=TRUE\r\n"
           "FSET_CIP_Auth=0\r\n"
           "FMaxLog=500\r\n";
}

// A few days of a typical log, in the user's date and time format.
std::string SampleLog() {
    using namespace std::chrono;
    const auto start = system_clock::now() - hours(50);
    const char *events[][2] = {
        {"Check: ", "Detected the IP address change! Now: 203.0.113.5 Was: 198.51.100.20"},
        {"Check: ", "No changed detected."},
        {"Check: ", "No changed detected."},
        {"Check: ", "ERROR - Empty string returned [could not connect to the server (curl error 7)]"},
        {"Check: ", "No changed detected."},
        {"Check: ", "Detected the IP address change! Now: 203.0.113.7 Was: 203.0.113.5"},
        {"Update:", "nochg 203.0.113.7"},
        {"Check: ", "ERROR - Not an IP address [<html><head><title>502 Bad Gateway</title>]"},
        {"Check: ", "No changed detected."},
    };
    std::string log;
    auto when = start;
    for (const auto &event : events) {
        log += zevlo::Tdm::LogTimestamp(when) + "\t" + event[0] + " " + event[1] + "\r\n";
        when += minutes(15) * 23;
    }
    return log;
}

bool Save(QWidget &widget, const QString &path) {
    QElapsedTimer settle; // lets layouts and styles settle
    settle.start();
    while (settle.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const bool saved = widget.grab().save(path, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(QDir::toNativeSeparators(path)));
    return saved;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zevlo_screenshots <output folder>\n");
        return 2;
    }
    const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(outDir);

    QTemporaryDir temp;
    if (!temp.isValid())
        return 1;
    const std::string folder = QFile::encodeName(temp.path()).toStdString() + "/";
    WriteFile(temp.filePath("Settings.ini"), SampleSettings());
    WriteFile(temp.filePath("log.txt"), SampleLog());

    SilentRunner runner;
    NoAutostart autostart;
    zevlo::form::MainServices services;
    services.programDir = folder;
    services.dataDir = folder;
    services.executablePath = folder + "zevlo";
    services.runner = &runner;
    services.autostart = &autostart;
    services.versionText = [] { return std::string(ZEVLO_VERSION_TEXT); };

    zevlo::qt::LogWindow viewer;
    zevlo::qt::MainWindow main(viewer, [] { return true; });
    zevlo::form::TfrmMain form(main, viewer, services);
    main.Bind(form);
    viewer.Bind(form.frmLog());
    auto *tabs = main.findChild<QTabWidget *>();
    if (!tabs)
        return 1;
    const char *names[] = {"screenshot-general.png", "screenshot-update-request.png", "screenshot-check-ip.png"};
    bool ok = true;
    for (int i = 0; i < tabs->count() && i < 3; ++i) {
        tabs->setCurrentIndex(i);
        ok = Save(main, outDir + "/" + names[i]) && ok;
    }
    tabs->setCurrentIndex(0);

    viewer.show();
    ok = Save(viewer, outDir + "/screenshot-log.png") && ok;
    viewer.hide();
    form.Terminate();
    return ok ? 0 : 1;
}
