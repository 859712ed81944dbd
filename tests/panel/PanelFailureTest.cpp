// A meter that stops answering in the middle of a sequence run for the
// user: a function key, a soft key, the connect sequence and a view's
// command each end at the exchange that failed (nothing more is sent,
// nothing more is waited for), and the failure box appears once.
#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

#include <functional>

#include "app/CFailureMessageHandler.h"
#include "functions/CKVTFunction.h"
#include "link/AnalysisCommands.h"
#include "link/TemperatureCommands.h"
#include "panel/CFrontPanel.h"
#include "tests/app/ModalDriver.h"
#include "tests/panel/PanelMeter.h"
#include "views/FunctionCommand.h"

using kvt::panel::CFrontPanel;
using Strings = std::vector<std::string>;
Q_DECLARE_METATYPE(std::function<void(CFrontPanel&)>)

namespace {

using PanelAction = std::function<void(CFrontPanel&)>;

void Click(CFrontPanel& panel, const char* name) {
    QVERIFY2(kvt::test::Click(panel, name), name);
}

}  // namespace

class PanelFailureTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::PanelMeter> m_meter;
    std::unique_ptr<CFrontPanel> m_panel;
    std::unique_ptr<kvt::app::CFailureMessageHandler> m_boxes;

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::PanelMeter>();
        m_panel = std::make_unique<CFrontPanel>();
        QVERIFY(m_panel->CreatePanel(kvt::test::SkinPath(), nullptr));
        // The program's own failure box, in place of the meter's count.
        m_boxes = std::make_unique<kvt::app::CFailureMessageHandler>(m_panel.get());
    }

    void cleanup() {
        m_boxes.reset();
        m_panel.reset();
        m_meter.reset();
    }

    void sequenceEndsAtTheFailedExchange_data() {
        QTest::addColumn<PanelAction>("prepare");
        QTest::addColumn<PanelAction>("action");
        QTest::addColumn<QString>("silentAt");
        QTest::addColumn<bool>("silentIsFirst");
        // The pause taken before the first query, if any.
        QTest::addColumn<int>("settleMs");
        // AC voltage's settings are read back after the function command;
        // the meter stops answering at one of them.
        QTest::newRow("function key")
            << PanelAction([](CFrontPanel&) {})
            << PanelAction([](CFrontPanel& panel) { Click(panel, "btnACV"); })
            << "VOLT:AC:RANGE:AUTO?" << false << 1000;
        // Temperature's "Load" key opens the sensor dialog, which asks for
        // four transducer lists and the first sensor's points.
        QTest::newRow("soft key") << PanelAction([](CFrontPanel& panel) {
            Click(panel, "btnTemp");
        }) << PanelAction([](CFrontPanel& panel) { Click(panel, "btnF1"); })
                                  << kvt::link::kBuiltInThermocoupleList << true << 0;
        // The connect sequence begins by asking for the function.
        QTest::newRow("connect sequence")
            << PanelAction([](CFrontPanel&) {}) << PanelAction([](CFrontPanel& panel) {
                   QEvent connected(CFrontPanel::kConnectedEvent);
                   QCoreApplication::sendEvent(&panel, &connected);
               })
            << "FUNCTION?" << true << 0;
        // A view's command that reads a setting back before it sets it.
        QTest::newRow("view command")
            << PanelAction([](CFrontPanel&) {}) << PanelAction([](CFrontPanel& panel) {
                   kvt::views::SendUnderFunctionLock(&panel, [] {
                       kvt::link::GetLimitState();
                       kvt::link::SetLimitState(1);
                   });
               })
            << "CALCulate:LIMit:STATe?" << true << 0;
    }

    void sequenceEndsAtTheFailedExchange() {
        QFETCH(PanelAction, prepare);
        QFETCH(PanelAction, action);
        QFETCH(QString, silentAt);
        QFETCH(bool, silentIsFirst);
        QFETCH(int, settleMs);
        // Disconnected, so that it sends nothing.
        prepare(*m_panel);
        QVERIFY(m_meter->Open());
        m_meter->Sent();
        m_meter->pacer.TakeUiPauses();
        m_meter->device->SilenceAt(silentAt.toStdString());

        kvt::test::ModalDriver boxDriver;
        boxDriver.OnNextModalNamed(
            kvt::app::CFailureMessageHandler::kBoxName,
            [](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box != nullptr);
                box->button(QMessageBox::Ok)->click();
            },
            nullptr);
        action(*m_panel);
        // Nothing went out after the exchange that failed.
        const Strings sent = m_meter->Sent();
        QVERIFY(!sent.empty());
        QCOMPARE(sent.back(), silentAt.toStdString());
        QCOMPARE(std::count(sent.begin(), sent.end(), sent.back()), 1);
        if (silentIsFirst) {
            QCOMPARE(sent.size(), size_t(1));
        }
        // Nor was anything waited for after it: the pauses are the
        // settling before the queries and each query's own.
        std::vector<long long> expected;
        if (settleMs != 0) {
            expected.push_back(settleMs);
        }
        for (const std::string& message : sent) {
            if (message.back() == '?') {
                expected.push_back(100);
            }
        }
        QCOMPARE(m_meter->pacer.TakeUiPauseMs(), expected);
        // One box, once the user-interface thread is back in its loop.
        QTRY_VERIFY(boxDriver.Acted());
        QCoreApplication::processEvents();
        QCOMPARE(m_boxes->BoxesShown(), 1);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
};

int RunPanelFailureTest(int argc, char** argv) {
    PanelFailureTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelFailureTest.moc"
