// Runs every test class of the main window and its dialogs in one
// application object (Qt allows one per process).
#include <QApplication>
#include <QtTest>

#include "tests/app/DialogsTest.h"
#include "tests/app/FailureBoxTest.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failures = 0;
    {
        DialogsTest test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        FailureBoxTest test;
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
