// A reading worker running against the meter while the operator clicks:
// every query is answered before anything else is written, nothing fails,
// readings keep arriving, and shutting down stops every worker.
#include <QLabel>
#include <QtTest>

#include "functions/CKVTFunction.h"
#include "panel/CFrontPanel.h"
#include "tests/panel/PanelMeter.h"

using kvt::panel::CFrontPanel;

class PanelWorkerTest : public QObject {
    Q_OBJECT

private:
    static bool Connect(kvt::test::PanelMeter& meter, CFrontPanel& panel) {
        if (!meter.Open()) {
            return false;
        }
        QCoreApplication::postEvent(&panel, new QEvent(CFrontPanel::kConnectedEvent));
        auto* value = qobject_cast<QLabel*>(panel.Control("LabelValue"));
        const QString placeholder =
            QString::fromStdString(std::string(kvt::functions::CKVTFunction::kPlaceholder));
        return kvt::test::WaitFor([&] { return value->text() != placeholder; });
    }

private slots:
    void clicksWhileTheWorkerReadsNeverInterleave() {
        kvt::test::PanelMeter meter;
        CFrontPanel panel;
        QVERIFY(panel.CreatePanel(kvt::test::SkinPath(), nullptr));
        QVERIFY(Connect(meter, panel));

        const char* const clicks[] = {"btnRun",  "btnF2",     "btnF3",   "btnACV",   "btnF1",
                                      "btnF1",   "btnSingle", "btnCont", "btnRight", "btnFront",
                                      "btnBack", "btnF1",     "btnTemp", "btnF4",    "btn2nd",
                                      "btn-11-", "btnF1",     "btnDCV",  "btnF3",    "btnRange"};
        auto* value = qobject_cast<QLabel*>(panel.Control("LabelValue"));
        int changes = 0;
        for (int round = 0; round < 5; ++round) {
            for (const char* name : clicks) {
                QVERIFY(kvt::test::Click(panel, name));
                const QString before = value->text();
                // Let the new function's worker deliver a reading or two.
                kvt::test::WaitFor([&] { return value->text() != before; },
                                   std::chrono::milliseconds(200));
                changes += value->text() != before ? 1 : 0;
            }
        }
        panel.Shutdown();
        QVERIFY(changes > 0);
        QCOMPARE(meter.Failures(), 0);
        const std::string interleaving = meter.exchanges->FirstInterleaving();
        QVERIFY2(interleaving.empty(), interleaving.c_str());
        for (const char* key : {"VOLT", "VOLT:AC", "CONT", "TEMP", "FREQ"}) {
            QVERIFY2(!panel.Function(key)->IsWorkerRunning(), key);
        }
        // Shut down: nothing more goes out, whatever is clicked or received.
        meter.Sent();
        QVERIFY(kvt::test::Click(panel, "btnACV"));
        QCoreApplication::postEvent(&panel, new QEvent(CFrontPanel::kConnectedEvent));
        QCoreApplication::processEvents();
        QVERIFY(!panel.GetCurrentFunction()->IsWorkerRunning());
        QCOMPARE(meter.Sent(), std::vector<std::string>{});
    }

    void destroyingThePanelStopsItsRunningWorker() {
        kvt::test::PanelMeter meter;
        auto panel = std::make_unique<CFrontPanel>();
        QVERIFY(panel->CreatePanel(kvt::test::SkinPath(), nullptr));
        QVERIFY(Connect(meter, *panel));
        QVERIFY(panel->GetCurrentFunction()->IsWorkerRunning());
        // Readings still queued for the panel die with it.
        panel->PostNewReading();
        panel.reset();
        QCoreApplication::processEvents();
        const std::string interleaving = meter.exchanges->FirstInterleaving();
        QVERIFY2(interleaving.empty(), interleaving.c_str());
    }
};

int RunPanelWorkerTest(int argc, char** argv) {
    PanelWorkerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelWorkerTest.moc"
