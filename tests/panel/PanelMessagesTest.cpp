// Messages 2024 to 2027 and the services: the reading feed (automatic and
// manual range, frequency, temperature's modes, overload, views fed only
// while shown, one pending reading at a time), the connect and disconnect
// sequences at the meter, and the sensor choice reaching temperature.
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include "functions/CDlgTempSensor.h"
#include "functions/CKVTFunction.h"
#include "functions/CKVTFunctionTemperature.h"
#include "functions/CSensorChosenEvent.h"
#include "functions/ProgramRecords.h"
#include "link/IConnection.h"
#include "link/Numbers.h"
#include "panel/CFrontPanel.h"
#include "tests/panel/PanelMeter.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"
#include "views/CStaticBarMeter.h"
#include "views/CStaticTrendChart.h"

using kvt::panel::CFrontPanel;
using Strings = std::vector<std::string>;

namespace {

// Counts the new-reading events that reach an object.
class ReadingCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == CFrontPanel::kNewReadingEvent) {
            ++count;
        }
        return false;
    }
};

bool HasLabel(const QWidget& view, const QString& text) {
    for (const QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text() == text) {
            return true;
        }
    }
    return false;
}

}  // namespace

class PanelMessagesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::PanelMeter> m_meter;
    std::unique_ptr<CFrontPanel> m_panel;
    std::unique_ptr<kvt::views::CDlgBarMeter> m_bar;

    QLabel* Label(const char* name) { return qobject_cast<QLabel*>(m_panel->Control(name)); }
    QString Text(const char* name) { return Label(name)->text(); }
    void Press(const char* name) { QVERIFY2(kvt::test::Click(*m_panel, name), name); }
    void Reading(const std::string& text) { m_panel->GetCurrentFunction()->SetReadingText(text); }
    void Deliver() {
        QEvent reading(CFrontPanel::kNewReadingEvent);
        QCoreApplication::sendEvent(m_panel.get(), &reading);
    }
    double Bar() { return m_bar->Chart()->Value(); }
    QString Display() {
        return QString::fromStdString(m_panel->GetCurrentFunction()->GetDisplayText());
    }

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::PanelMeter>();
        m_panel = std::make_unique<CFrontPanel>();
        m_bar = std::make_unique<kvt::views::CDlgBarMeter>();
        m_panel->SetBarMeterView(m_bar.get());
        QVERIFY(m_panel->CreatePanel(kvt::test::SkinPath(), nullptr));
    }

    void cleanup() {
        m_panel.reset();
        m_bar.reset();
        m_meter.reset();
    }

    void readingRewritesRangeAndUnitOnlyInAutomaticRange() {
        Press("btnF1");
        Press("btnF1");  // "Auto"
        QCOMPARE(m_panel->GetCurrentFunction()->GetRangeMode(), std::string("Auto"));
        Label("LabelRange")->setText("stale");
        Label("LabelUnit")->setText("stale");
        Reading("+1.500000000000");
        Deliver();
        QCOMPARE(Text("LabelValue"), Display());
        QCOMPARE(Text("LabelRange"),
                 QString::fromStdString("Auto " + m_panel->GetCurrentFunction()->GetRange()));
        QCOMPARE(Text("LabelUnit"),
                 QString::fromStdString(m_panel->GetCurrentFunction()->GetUnitLabel()));
        QCOMPARE(Bar(), 1.5);

        // Manual range: range and unit keep the texts of the last full redraw.
        Press("btnF1");
        Press("btnF3");  // "2V"
        QCOMPARE(Text("LabelRange"), QString("Manual 2V"));
        Label("LabelRange")->setText("stale");
        Label("LabelUnit")->setText("stale");
        Reading("-0.250000000000");
        Deliver();
        QCOMPARE(Text("LabelValue"), Display());
        QCOMPARE(Text("LabelRange"), QString("stale"));
        QCOMPARE(Text("LabelUnit"), QString("stale"));
        QCOMPARE(Bar(), -0.25);

        // An overload and the placeholder read as 0 on the bar meter.
        Reading("Overload");
        Deliver();
        QCOMPARE(Text("LabelValue"), QString("Overload"));
        QCOMPARE(Bar(), 0.0);
        Reading("+2.000000000000");
        Deliver();
        Reading(std::string(kvt::functions::CKVTFunction::kPlaceholder));
        Deliver();
        QCOMPARE(Bar(), 0.0);
    }

    void frequencyRewritesItsUnitEvenInManualRange() {
        Press("btn2nd");
        Press("btn-11-");
        QCOMPARE(m_panel->GetCurrentFunction(), m_panel->Function("FREQ"));
        Press("btnF2");  // "Range"
        Press("btnF3");  // a fixed range
        QVERIFY(m_panel->GetCurrentFunction()->GetRangeMode() != "Auto");
        Label("LabelRange")->setText("stale");
        Label("LabelUnit")->setText("stale");
        Reading("+1000.000000000000");
        Deliver();
        QCOMPARE(Text("LabelUnit"),
                 QString::fromStdString(m_panel->GetCurrentFunction()->GetUnitLabel()));
        QCOMPARE(Text("LabelRange"), QString("stale"));
        QCOMPARE(Bar(), 1000.0);
    }

    void temperatureDisplayModes() {
        Press("btnTemp");
        auto* temperature =
            dynamic_cast<kvt::functions::CKVTFunctionTemperature*>(m_panel->GetCurrentFunction());
        QVERIFY(temperature != nullptr);
        // "Meas Val": the measured value with unit "VDC" after a full redraw;
        // a reading leaves the unit label alone.
        Press("btnF2");  // "Display"
        Press("btnF2");  // "Meas Val"
        QCOMPARE(temperature->GetDisplayMode(), std::string("Meas Val"));
        QCOMPARE(Text("LabelUnit"), QString("VDC"));
        QCOMPARE(Text("LabelRange"), QString());
        QCOMPARE(Text("LabelValue"), QString::fromStdString(temperature->GetMeasuredText()));
        Label("LabelUnit")->setText("stale");
        Deliver();
        QCOMPARE(Text("LabelUnit"), QString("stale"));
        QCOMPARE(Text("LabelValue"), QString::fromStdString(temperature->GetMeasuredText()));
        QCOMPARE(Bar(), kvt::link::ParseNumber(temperature->GetMeasuredText()));

        // "Temp Val": the temperature, its unit at every reading.
        Press("btnF2");
        Press("btnF1");
        QCOMPARE(temperature->GetDisplayMode(), std::string("Temp Val"));
        QVERIFY(m_panel->Control("ContainerTempMeasVal")->isHidden());
        Reading("+23.500000000000");
        Label("LabelUnit")->setText("stale");
        Deliver();
        QCOMPARE(Text("LabelValue"), Display());
        QCOMPARE(Text("LabelUnit"), QString::fromStdString(temperature->GetUnitLabel()));
        QCOMPARE(Bar(), 23.5);

        // "All": the second line and the unit follow each reading.
        Press("btnF2");
        Press("btnF3");
        QCOMPARE(temperature->GetDisplayMode(), std::string("All"));
        QVERIFY(!m_panel->Control("ContainerTempMeasVal")->isHidden());
        Label("LabelTempMeasVal")->setText("stale");
        Label("LabelUnit")->setText("stale");
        Deliver();
        QCOMPARE(Text("LabelTempMeasVal"), QString::fromStdString(temperature->GetMeasuredText()));
        QCOMPARE(Text("LabelUnit"), QString::fromStdString(temperature->GetUnitLabel()));
        QCOMPARE(Bar(), 23.5);
    }

    void viewsAreFedOnlyWhileShown() {
        kvt::views::CDlgTrendChart trend(m_panel.get());
        m_panel->SetTrendView(&trend);
        kvt::functions::TrendRecord().Update([](kvt::functions::KVTTrendData& data) {
            data.count = 10;
            data.minimum = 0;
            data.maximum = 9;
            for (int i = 0; i < 10; ++i) {
                data.values[i] = i;
            }
        });
        QVERIFY(!kvt::functions::g_trendViewActive.load());
        Deliver();
        QCOMPARE(trend.Chart()->Count(), 0);
        trend.show();
        QVERIFY(kvt::functions::g_trendViewActive.load());
        Deliver();
        QCOMPARE(trend.Chart()->Count(), 10);
        trend.hide();
        kvt::functions::TrendRecord().Update(
            [](kvt::functions::KVTTrendData& data) { data.count = 4; });
        Deliver();
        QCOMPARE(trend.Chart()->Count(), 10);
        m_panel->SetTrendView(nullptr);
    }

    void atMostOneReadingWaitsAndItShowsTheNewest() {
        ReadingCounter counter;
        m_panel->installEventFilter(&counter);
        Reading("+1.000000000000");
        std::thread worker([this] {
            for (int i = 0; i < 1000; ++i) {
                m_panel->PostNewReading();
            }
        });
        worker.join();
        Reading("+2.000000000000");
        m_panel->PostNewReading();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(counter.count, 1);
        QCOMPARE(Text("LabelValue"), Display());
        QCOMPARE(Bar(), 2.0);
        // Once handled, the next reading is posted again.
        m_panel->PostNewReading();
        QCoreApplication::processEvents();
        QCOMPARE(counter.count, 2);
        m_panel->removeEventFilter(&counter);
    }

    void connectFollowsTheInstrumentAndDisconnectReleasesIt_data() {
        QTest::addColumn<QStringList>("picked");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("command");
        // Keys pressed while disconnected, the instrument's own function and
        // the command that selects it.
        QTest::newRow("AC voltage") << QStringList{} << "VOLT:AC"
                                    << "FUNC \"VOLT:AC\"";
        QTest::newRow("temperature picked, meter in DC voltage") << QStringList{"btnTemp"} << "VOLT"
                                                                 << "FUNC \"VOLT:DC\"";
        QTest::newRow("continuity picked, meter in frequency") << QStringList{"btnCont"} << "FREQ"
                                                               << "FUNC \"FREQ\"";
        QTest::newRow("DC current picked, meter in capacitance")
            << QStringList{"btn2nd", "btnDCV"} << "CAP"
            << "FUNC \"CAP\"";
    }

    void connectFollowsTheInstrumentAndDisconnectReleasesIt() {
        QFETCH(QStringList, picked);
        QFETCH(QString, function);
        QFETCH(QString, command);
        const std::string name = function.toStdString();
        const std::string select = command.toStdString();
        kvt::views::CDlgKVTMath statistics(m_panel.get());
        m_panel->SetStatisticsView(&statistics);
        // A function picked while disconnected is shown but sent nowhere.
        for (const QString& key : picked) {
            Press(key.toLatin1().constData());
        }
        QVERIFY(picked.isEmpty() || m_panel->GetCurrentFunction() != m_panel->Function(name));
        QCOMPARE(m_meter->Sent(), Strings{});
        QVERIFY(m_meter->Open());
        QVERIFY(kvt::link::GetConnection()->Write(select.c_str()));
        m_meter->Sent();
        m_meter->pacer.TakeUiPauses();
        QCoreApplication::postEvent(m_panel.get(), new QEvent(CFrontPanel::kConnectedEvent));
        // The panel follows the instrument, whatever was picked before.
        kvt::functions::CKVTFunction* followed = m_panel->Function(name);
        QVERIFY(kvt::test::WaitFor([&] { return m_panel->GetCurrentFunction() == followed; }));
        QCOMPARE(Text("LabelTitle"), QString::fromStdString(followed->GetName()));
        QCOMPARE(Text("LabelF1Name"), QString::fromStdString(followed->GetSoftKeyTitle(0)));
        QVERIFY(statistics.ScaleSettings() == *followed->GetScaleSettings());
        // The worker runs: readings arrive and are shown.
        QVERIFY(kvt::test::WaitFor([&] { return Bar() != 0.0; }));
        QCOMPARE(m_meter->Failures(), 0);

        const Strings sent = m_meter->Sent();
        QVERIFY(sent.size() > 5);
        QCOMPARE(Strings(sent.begin(), sent.begin() + 4),
                 (Strings{"FUNCTION?", "TRIG:COUN INF", "INIT", select}));
        const auto pauses = m_meter->pacer.TakeUiPauses();
        // The function query's own pause, the trigger pause, the settle pause.
        QVERIFY(pauses.size() >= 3);
        QCOMPARE(pauses[0].ms, 100LL);
        QCOMPARE(pauses[1].ms, 50LL);
        QCOMPARE(pauses[2].ms, 1000LL);
        for (const auto& pause : pauses) {
            QVERIFY(pause.waitCursor);
        }

        // 2026 is sent: when it returns the worker is paused and the key
        // code that hands the instrument back has gone out.
        QEvent disconnecting(CFrontPanel::kDisconnectingEvent);
        QCoreApplication::sendEvent(m_panel.get(), &disconnecting);
        const Strings before = m_meter->Sent();
        QCOMPARE(before.back(), std::string("$$SY_FP 13"));
        QCOMPARE(m_meter->pacer.TakeUiPauseMs(), std::vector<long long>{100});
        QCoreApplication::processEvents();
        QCOMPARE(m_meter->Sent(), Strings{});
        QCOMPARE(m_panel->GetCurrentFunction(), followed);
        m_panel->SetStatisticsView(nullptr);
    }

    void sensorChoiceReachesTemperatureWhateverIsCurrent() {
        QVERIFY(m_meter->Open());
        auto* temperature =
            dynamic_cast<kvt::functions::CKVTFunctionTemperature*>(m_panel->Function("TEMP"));
        QVERIFY(temperature != nullptr);
        QCOMPARE(m_panel->GetCurrentFunction(), m_panel->Function("VOLT"));
        kvt::functions::CSensorChosenEvent choice(1, 0, "CUSTOM_TC1");
        QCoreApplication::sendEvent(m_panel.get(), &choice);
        QCOMPARE(temperature->GetSensor(), std::string("CUSTOM_TC1"));
        QCOMPARE(
            temperature->GetItem(kvt::functions::CKVTFunctionTemperature::kLoadKey)->m_subtitle,
            std::string("CUSTOM_TC1"));
        const Strings sent = m_meter->Sent();
        QCOMPARE(sent.size(), size_t(1));
        QVERIFY2(sent[0].find("CUSTOM_TC1") != std::string::npos, sent[0].c_str());
        QCOMPARE(m_panel->GetCurrentFunction(), m_panel->Function("VOLT"));
        // A bare event of that number carries no choice and changes nothing.
        QEvent bare(static_cast<QEvent::Type>(kvt::functions::WM_SENSOR_CHOSEN));
        QCoreApplication::sendEvent(m_panel.get(), &bare);
        QCOMPARE(m_meter->Sent(), Strings{});

        // The dialog is created once and shown again on each later use.
        m_panel->ShowSensorDialog();
        kvt::functions::CDlgTempSensor* dialog = m_panel->SensorDialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        dialog->hide();
        m_panel->ShowSensorDialog();
        QCOMPARE(m_panel->SensorDialog(), dialog);
        QVERIFY(dialog->isVisible());
        dialog->hide();
    }

    void servicesReachTheCurrentFunctionAndTheViews() {
        kvt::views::CDlgTrendChart trend(m_panel.get());
        kvt::views::CDlgHistogram histogram(m_panel.get());
        m_panel->SetTrendView(&trend);
        m_panel->SetHistogramView(&histogram);
        m_panel->SetViewsUnit("Ω");
        QVERIFY(HasLabel(*m_bar, "Ω"));
        QVERIFY(HasLabel(trend, "Ω"));
        QVERIFY(HasLabel(histogram, "Ω"));

        QVERIFY(m_meter->Open());
        m_panel->SetTrendMode("ALL");
        QCOMPARE(m_meter->Sent().size(), size_t(1));
        const auto pauses = m_meter->pacer.TakeUiPauses();
        QCOMPARE(pauses.size(), size_t(1));
        QVERIFY(pauses[0].waitCursor);

        m_panel->GetCurrentFunction()->PushHistory(1.25);
        QTemporaryDir dir;
        const std::string path = dir.filePath("readings.csv").toStdString();
        std::string error;
        QVERIFY(m_panel->SaveReadings(path, &error));
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("1.25"));
        QVERIFY(!m_panel->SaveReadings(dir.filePath("missing/readings.csv").toStdString(), &error));
        QVERIFY(!error.empty());
        m_panel->SetTrendView(nullptr);
        m_panel->SetHistogramView(nullptr);
    }
};

int RunPanelMessagesTest(int argc, char** argv) {
    PanelMessagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelMessagesTest.moc"
