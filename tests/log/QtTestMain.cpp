#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need a QApplication; with no display they run on the offscreen platform
// (also when ctest lists the tests, which sets no environment of its own).
int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
