#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Widget tests need a QApplication; with no display they run on the offscreen platform
// (also when ctest lists the tests, which sets no environment of its own). Qt's file
// dialog remembers its folders in the user's configuration: keep that in a temporary one.
int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    if (config.isValid())
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
