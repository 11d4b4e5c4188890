// Renders the main window's three tabs and the log viewer into PNG files for the README:
//   zevlo_screenshots <output folder>
// The window is built through its seams in a temporary folder with sample settings and a
// sample log; no request is made (the sample is paused and the runner answers nothing).
#include "data/Tdm.h"
#include "form/TfrmMain.h"
#include "shell/qt/LogWindow.h"
#include "shell/qt/MainWindow.h"
#include "tests/program/ScreenshotSample.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTabWidget>

#include <chrono>
#include <cstdio>

namespace {

using zevlo::screenshot::NoAutostart;
using zevlo::screenshot::SampleLog;
using zevlo::screenshot::SampleSettings;
using zevlo::screenshot::SilentRunner;

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

    const zevlo::test::TempFolder temp;
    const std::string &folder = temp.Path();
    zevlo::test::WriteBytes(temp.File("Settings.ini"), SampleSettings());
    zevlo::test::WriteBytes(temp.File("log.txt"), SampleLog());

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
