#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need a QApplication; with no display they run on the offscreen platform
// (also when ctest lists the tests, which sets no environment of its own). Qt keeps its
// own settings (the file dialog's folders) in the user's configuration and wants a runtime
// folder: both go to temporary folders so tests never touch the real home.
int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const zevlo::test::TempFolder config;
    const zevlo::test::TempFolder runtime; // owner-only, as a runtime folder must be
    const zevlo::test::ScopedEnv configHome("XDG_CONFIG_HOME", config.Root().string());
    const zevlo::test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.Root().string());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
