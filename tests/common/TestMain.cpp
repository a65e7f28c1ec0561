// Every test program runs inside a QApplication so that widgets, timers and queued calls
// work; without a display the offscreen platform is used (CTest's discovery runs the
// binary without the test environment, so the default is set here).
#include "platform/system/LeakSuppressions.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The program speaks Russian, its own language, whatever the language of the machine the
    // tests run on; the programs the tests start inherit it. Tests of other languages set
    // their own.
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        qunsetenv(variable);
    qputenv("LANG", "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
