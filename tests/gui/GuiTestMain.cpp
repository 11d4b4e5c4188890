#include <QApplication>

#include <gtest/gtest.h>

// The windows need a QApplication; with no display they use the offscreen platform, also
// when ctest lists the tests (the listing gets no test environment).
int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
