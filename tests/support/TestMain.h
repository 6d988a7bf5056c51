#pragma once

#include <QString>
#include <QtTest>

// Gives every test program a home of its own: HOME and the XDG folders point into a temporary
// folder made before Qt starts, so nothing a test does can reach the real user's files.
namespace TestEnvironment {
// Makes the folders and sets the variables. Call before the application object exists.
void isolate();
// The temporary home of this run.
QString home();
} // namespace TestEnvironment

// Like QTEST_MAIN, with the isolated home first. `AppClass` is QCoreApplication, QGuiApplication or
// QApplication.
#define PAGEWARDEN_TEST_MAIN(TestObject, AppClass)                                                 \
    int main(int argc, char** argv) {                                                              \
        TestEnvironment::isolate();                                                                \
        AppClass app(argc, argv);                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
