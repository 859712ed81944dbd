// A reading worker running against the meter while the operator clicks:
// every query is answered before anything else is written, nothing fails,
// readings keep arriving, switching between frequency and period leaves
// the worker reading, and shutting down stops every worker.
#include <QLabel>
#include <QtTest>

#include <algorithm>
#include <thread>

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

    // Readings the meter was asked for since its messages were last taken.
    static long Readings(kvt::test::PanelMeter& meter) {
        const std::vector<std::string> sent = meter.device->Messages();
        return static_cast<long>(std::count(sent.begin(), sent.end(), "DATA:LAST?"));
    }

    // Whether the worker asks for another reading before the timeout,
    // without the user-interface thread's event loop running meanwhile.
    static bool ReadsOn(kvt::test::PanelMeter& meter) {
        const long before = Readings(meter);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Readings(meter) == before) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::yield();
        }
        return true;
    }

private slots:
    void frequencyAndPeriodKeepTheirWorkerReading_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("settles");
        // The one object is entered under both names: choosing either
        // again, or switching with its "Freq"/"Period" key, pauses nothing.
        QTest::newRow("frequency key again")
            << QStringList{"btnShift", "btn-11-"} << QString() << "FUNC \"FREQ\"" << true;
        QTest::newRow("period by name") << QStringList{} << "PER"
                                        << "FUNC \"PER\"" << true;
        QTest::newRow("Freq/Period soft key")
            << QStringList{"btnF1"} << QString() << "FUNC \"PER\"" << false;
    }

    void frequencyAndPeriodKeepTheirWorkerReading() {
        QFETCH(QStringList, keys);
        QFETCH(QString, select);
        QFETCH(QString, command);
        QFETCH(bool, settles);
        kvt::test::PanelMeter meter;
        CFrontPanel panel;
        QVERIFY(panel.CreatePanel(kvt::test::SkinPath(), nullptr));
        QVERIFY(Connect(meter, panel));
        QVERIFY(kvt::test::Click(panel, "btn2nd"));
        QVERIFY(kvt::test::Click(panel, "btn-11-"));
        kvt::functions::CKVTFunction* frequency = panel.Function("FREQ");
        QCOMPARE(panel.GetCurrentFunction(), frequency);
        QVERIFY(ReadsOn(meter));
        const unsigned generation = frequency->WorkerGeneration();

        // While the user-interface thread waits for the instrument to
        // settle in the function, the worker goes on reading.
        int settlePauses = 0;
        bool readDuringSettle = false;
        meter.pacer.SetUiPauseHook([&](long long ms) {
            if (ms == 1000) {
                ++settlePauses;
                readDuringSettle = ReadsOn(meter);
            }
        });
        meter.Sent();
        for (const QString& key : keys) {
            QVERIFY(kvt::test::Click(panel, key.toLatin1().constData()));
        }
        if (!select.isEmpty()) {
            panel.SelectFunction(select.toStdString());
        }
        meter.pacer.SetUiPauseHook({});
        QCOMPARE(settlePauses, settles ? 1 : 0);
        QCOMPARE(readDuringSettle, settles);
        // And it reads on afterwards: the same worker, never paused.
        QVERIFY(ReadsOn(meter));
        QCOMPARE(panel.GetCurrentFunction(), frequency);
        QCOMPARE(frequency->WorkerGeneration(), generation);
        panel.Shutdown();
        const std::vector<std::string> sent = meter.Sent();
        QCOMPARE(std::count(sent.begin(), sent.end(), command.toStdString()), 1);
        QCOMPARE(meter.Failures(), 0);
        const std::string interleaving = meter.exchanges->FirstInterleaving();
        QVERIFY2(interleaving.empty(), interleaving.c_str());
    }

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
