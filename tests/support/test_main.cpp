#include <gtest/gtest.h>

#include <QStandardPaths>

#include "app/host_application_qt.h"

// One application object for every test program, the program's own, so widget tests and core
// tests share a main.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    cv::HostApplication app(argc, argv);
    // Windows keep choices in the user's configuration folder; tests keep theirs apart.
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
