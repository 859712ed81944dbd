// Runs every test class of the main window and its dialogs in one
// application object (Qt allows one per process). A first argument that
// names a class runs that class alone, with the remaining arguments.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "tests/app/DialogsTest.h"
#include "tests/app/FailureBoxTest.h"
#include "tests/app/MainWindowTest.h"
#include "tests/app/RecordingTest.h"
#include "tests/app/SaveDataTest.h"
#include "tests/app/StartupTest.h"

namespace {

struct TestClass {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};

template <typename T>
TestClass Entry(const char* name) {
    return {name, [] { return std::make_unique<T>(); }};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Settings the window remembers go to a folder of their own, never to
    // the user's.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
    const std::vector<TestClass> classes{
        Entry<DialogsTest>("DialogsTest"),       Entry<FailureBoxTest>("FailureBoxTest"),
        Entry<MainWindowTest>("MainWindowTest"), Entry<SaveDataTest>("SaveDataTest"),
        Entry<RecordingTest>("RecordingTest"),   Entry<StartupTest>("StartupTest")};
    const char* only = nullptr;
    std::vector<char*> arguments(argv, argv + argc);
    for (const TestClass& test : classes) {
        if (argc > 1 && std::strcmp(argv[1], test.name) == 0) {
            only = test.name;
            arguments.erase(arguments.begin() + 1);
        }
    }
    int failures = 0;
    for (const TestClass& test : classes) {
        if (only == nullptr || std::strcmp(only, test.name) == 0) {
            std::unique_ptr<QObject> object = test.make();
            failures +=
                QTest::qExec(object.get(), static_cast<int>(arguments.size()), arguments.data());
        }
    }
    return failures == 0 ? 0 : 1;
}
