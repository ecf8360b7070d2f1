// Entry point of the GUI test programs: headless unless a display is asked for.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Must be set before the QApplication exists; an explicit choice (the
    // variable or -platform) wins.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
