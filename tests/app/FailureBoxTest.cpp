// The failure message of the instrument link, raised by reads that fail
// on worker threads: one application-modal box on the user-interface
// thread, however many failures arrive while it is pending or open.
#include "tests/app/FailureBoxTest.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

#include <cstdint>
#include <thread>
#include <vector>

#include "app/CFailureMessageHandler.h"
#include "link/IConnection.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/Screenshots.h"

using kvt::app::CFailureMessageHandler;

namespace {

// Reads from the closed connection on several threads at once: every read
// fails and raises the failure message on its own thread.
void FailingReadsOnWorkers(int threads, int readsEach) {
    kvt::link::GetConnection()->Close();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([readsEach] {
            for (int i = 0; i < readsEach; ++i) {
                char buffer[16];
                uint32_t count = 0;
                kvt::link::GetConnection()->Read(buffer, sizeof buffer, &count);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

int VisibleMessageBoxes() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) {
            ++count;
        }
    }
    return count;
}

}  // namespace

void FailureBoxTest::burstFromWorkerThreadsShowsOneBox() {
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    CFailureMessageHandler handler(&owner);

    FailingReadsOnWorkers(4, 25);
    QCOMPARE(handler.BoxesShown(), 0);  // nothing is shown on a worker

    kvt::test::ModalDriver driver;
    int boxesWhileOpen = -1;
    driver.OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        kvt::test::SaveScreenshot(box, "failure-box");
        QCOMPARE(box->objectName(), QString(CFailureMessageHandler::kBoxName));
        QCOMPARE(box->text(), QString("通信失败,请检查设备是否连接正常"));
        QCOMPARE(box->windowTitle(), QString("Error"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->parentWidget(), &owner);
        QCOMPARE(box->thread(), QCoreApplication::instance()->thread());
        // More failures while the box is open do not stack boxes.
        FailingReadsOnWorkers(3, 10);
        QCoreApplication::processEvents();
        boxesWhileOpen = VisibleMessageBoxes();
        box->button(QMessageBox::Ok)->click();
    });
    QTRY_VERIFY_WITH_TIMEOUT(driver.Acted(), 10000);
    QCOMPARE(boxesWhileOpen, 1);
    QCoreApplication::processEvents();
    QCOMPARE(handler.BoxesShown(), 1);
    QCOMPARE(VisibleMessageBoxes(), 0);

    // Once closed, the next failure shows the box again.
    driver.OnNextModal([](QWidget* modal) { modal->close(); });
    FailingReadsOnWorkers(1, 1);
    QTRY_VERIFY_WITH_TIMEOUT(driver.Acted(), 10000);
    QCOMPARE(handler.BoxesShown(), 2);
}

void FailureBoxTest::quietHandlerShowsNothingUntilItSpeaksAgain() {
    QWidget owner;
    CFailureMessageHandler handler(&owner);
    handler.SetQuiet(true);
    FailingReadsOnWorkers(2, 5);
    QCoreApplication::processEvents();
    QCOMPARE(handler.BoxesShown(), 0);
    QCOMPARE(VisibleMessageBoxes(), 0);

    handler.SetQuiet(false);
    kvt::test::ModalDriver driver;
    driver.OnNextModal([](QWidget* modal) { modal->close(); });
    FailingReadsOnWorkers(1, 1);
    QTRY_VERIFY_WITH_TIMEOUT(driver.Acted(), 10000);
    QCOMPARE(handler.BoxesShown(), 1);
}

void FailureBoxTest::removedHandlerShowsNothing() {
    int shown = 0;
    {
        CFailureMessageHandler handler;
        shown = handler.BoxesShown();
    }
    FailingReadsOnWorkers(2, 5);
    QCoreApplication::processEvents();
    QCOMPARE(shown, 0);
    QCOMPARE(VisibleMessageBoxes(), 0);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}
