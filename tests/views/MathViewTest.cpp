// The statistics, dB/dBm and limits view: initial state, the statistics
// fields, the enabling rules after each Show call and each click, the
// refusal messages, and the commands that reach the simulated meter with
// their pauses, never inside a reading cycle of the current function.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <functional>
#include <memory>

#include "functions/ProgramRecords.h"
#include "link/CoreCommands.h"
#include "tests/views/ViewsMeter.h"
#include "tests/views/ViewsTests.h"
#include "views/CDlgKVTMath.h"
#include "views/CStatisticsEvent.h"

using kvt::functions::KVTScaleSettings;
using kvt::functions::KVTStatistics;
using kvt::views::CDlgKVTMath;
using Strings = std::vector<std::string>;
using Pauses = std::vector<long long>;

namespace {

// Runs action and answers the message box it raises with OK; returns the
// box's text, or an empty text when no box came up.
QString AnswerMessageBox(const std::function<void()>& action) {
    QString text;
    // Polled from the message box's own event loop.
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&text, &poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            poll.stop();
            box->done(QMessageBox::Ok);
        }
    });
    poll.start();
    action();
    return text;
}

}  // namespace

class MathViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::ViewsMeter> m_meter;
    std::unique_ptr<CDlgKVTMath> m_dialog;

    template <class Widget>
    Widget* Find(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    QWidget* Control(const char* name) { return Find<QWidget>(name); }

    // The enabled state of the dB/dBm controls, in a fixed order.
    QList<bool> ScaleEnabling() {
        QList<bool> enabled;
        for (const char* name : {"scaleCheck", "dbRadio", "dbmRadio", "refList", "refSet",
                                 "dbRefEdit", "dbRefSet", "measureRef"}) {
            enabled << Control(name)->isEnabled();
        }
        return enabled;
    }

    QList<bool> LimitEnabling() {
        QList<bool> enabled;
        for (const char* name :
             {"lowerEdit", "lowerPrefix", "lowerSet", "upperEdit", "upperPrefix", "upperSet"}) {
            enabled << Control(name)->isEnabled();
        }
        return enabled;
    }

    static KVTScaleSettings Scale(bool valid, int state, const char* function, int dbm = 600) {
        KVTScaleSettings scale;
        scale.valid = valid;
        scale.state = state;
        scale.function = function;
        scale.dbReference = -3;
        scale.dbmReference = dbm;
        scale.referenceAuto = 1;
        return scale;
    }

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::ViewsMeter>();
        QVERIFY(m_meter->IsOpen());
        m_dialog = std::make_unique<CDlgKVTMath>(&m_meter->Panel());
        m_dialog->resize(640, 270);
        m_dialog->show();
    }

    void cleanup() {
        m_dialog.reset();
        m_meter.reset();
    }

    void startsAsWritten() {
        for (const char* name :
             {"minEdit", "averageEdit", "maxEdit", "spanEdit", "stdDevEdit", "samplesEdit"}) {
            QVERIFY(Find<QLineEdit>(name)->text().isEmpty());
            QVERIFY(Find<QLineEdit>(name)->isReadOnly());
        }
        QCOMPARE(Find<QPushButton>("clearButton")->text(), QString("Clear Readings"));
        QCOMPARE(Find<QGroupBox>("scaleGroup")->title(), QString("     dB/dBm"));
        QVERIFY(Find<QCheckBox>("scaleCheck")->text().isEmpty());
        QVERIFY(!Find<QCheckBox>("scaleCheck")->isChecked());
        QCOMPARE(ScaleEnabling(),
                 (QList<bool>{true, false, false, false, false, false, false, false}));
        QVERIFY(Find<QRadioButton>("dbRadio")->isChecked());
        QCOMPARE(Find<QCheckBox>("measureRef")->text(), QString("Measure Ref Value"));
        auto* refs = Find<QComboBox>("refList");
        QStringList ohms;
        for (int i = 0; i < refs->count(); ++i) {
            ohms << refs->itemText(i);
        }
        QCOMPARE(ohms, (QStringList{"50", "75", "93", "110", "124", "125", "135", "150", "250",
                                    "300", "500", "600", "800", "900", "1000", "1200", "8000"}));
        QCOMPARE(refs->currentIndex(), -1);
        // The limits group exists, hidden, with its controls disabled.
        QVERIFY(Find<QGroupBox>("limitsGroup")->isHidden());
        QCOMPARE(LimitEnabling(), QList<bool>(6, false));
        for (const char* name : {"lowerPrefix", "upperPrefix"}) {
            auto* prefixes = Find<QComboBox>(name);
            QStringList letters;
            for (int i = 0; i < prefixes->count(); ++i) {
                letters << prefixes->itemText(i);
            }
            QCOMPARE(letters, (QStringList{"p", "n", "u", "m", " ", "k", "M"}));
            QCOMPARE(prefixes->currentIndex(), -1);
        }
        // The scaling check box sits over the caption's blanks, inside the group.
        QRect box = Find<QCheckBox>("scaleCheck")->geometry();
        QVERIFY(box.left() >= 0 && box.top() >= 0 && box.width() < 40);
        QVERIFY(m_meter->Sent().empty());
    }

    void statisticsFieldsAreFormatted() {
        KVTStatistics statistics{"-0.00012", "Overload", "1.23456789", "2.5", "0.000123456", 42};
        m_dialog->ShowStatistics(statistics);
        QCOMPARE(Find<QLineEdit>("minEdit")->text(), QString("-0.000"));
        QCOMPARE(Find<QLineEdit>("averageEdit")->text(), QString("Overload"));
        QCOMPARE(Find<QLineEdit>("maxEdit")->text(), QString("1.235"));
        QCOMPARE(Find<QLineEdit>("spanEdit")->text(), QString("2.500"));
        QCOMPARE(Find<QLineEdit>("stdDevEdit")->text(), QString("0.0001"));
        QCOMPARE(Find<QLineEdit>("samplesEdit")->text(), QString("42"));

        // Message 0x7ED does the same; a huge value is written in full.
        KVTStatistics huge{"+9.9E+37", "1.23456789", "x", "0", "0", -1};
        kvt::views::CStatisticsEvent event(huge);
        QVERIFY(QCoreApplication::sendEvent(m_dialog.get(), &event));
        QCOMPARE(Find<QLineEdit>("minEdit")->text(),
                 QString("98999999999999993426744560981400092672.000"));
        QCOMPARE(Find<QLineEdit>("averageEdit")->text(), QString("1.2346"));
        QCOMPARE(Find<QLineEdit>("maxEdit")->text(), QString("0.000"));
        QCOMPARE(Find<QLineEdit>("samplesEdit")->text(), QString("-1"));

        // Hidden: nothing is shown.
        m_dialog->hide();
        m_dialog->ShowStatistics(statistics);
        QCOMPARE(Find<QLineEdit>("averageEdit")->text(), QString("1.2346"));
    }

    void visibilitySetsTheStatisticsFlag() {
        QVERIFY(m_dialog->IsViewVisible());
        QVERIFY(kvt::functions::g_statisticsViewActive);
        m_dialog->hide();
        QVERIFY(!m_dialog->IsViewVisible());
        QVERIFY(!kvt::functions::g_statisticsViewActive);
        m_dialog->show();
        QVERIFY(kvt::functions::g_statisticsViewActive);
        m_dialog->hide();
        CDlgKVTMath alone(nullptr);
        alone.show();
        QVERIFY(alone.IsViewVisible());
        QVERIFY(!kvt::functions::g_statisticsViewActive);
    }

    void scaleSettingsDecideTheEnabling() {
        m_dialog->ShowScaleSettings(Scale(true, 1, "dBm"));
        QVERIFY(Find<QCheckBox>("scaleCheck")->isChecked());
        QVERIFY(Find<QRadioButton>("dbmRadio")->isChecked());
        QCOMPARE(Find<QComboBox>("refList")->currentText(), QString("600"));
        QCOMPARE(Find<QLineEdit>("dbRefEdit")->text(), QString("-3"));
        QVERIFY(Find<QCheckBox>("measureRef")->isChecked());
        QCOMPARE(ScaleEnabling(), (QList<bool>{true, true, true, true, true, false, false, false}));

        m_dialog->ShowScaleSettings(Scale(true, 1, "dB", 601));
        QVERIFY(Find<QRadioButton>("dbRadio")->isChecked());
        QCOMPARE(Find<QComboBox>("refList")->currentIndex(), -1);
        QCOMPARE(ScaleEnabling(), QList<bool>(8, true));

        m_dialog->ShowScaleSettings(Scale(true, 0, "dB"));
        QVERIFY(!Find<QCheckBox>("scaleCheck")->isChecked());
        QCOMPARE(ScaleEnabling(),
                 (QList<bool>{true, false, false, false, false, false, false, false}));

        // The all-zero record of functions without scaling disables everything.
        m_dialog->ShowScaleSettings(KVTScaleSettings{});
        QCOMPARE(ScaleEnabling(), QList<bool>(8, false));
        QVERIFY(Find<QRadioButton>("dbmRadio")->isChecked());
        QCOMPARE(Find<QLineEdit>("dbRefEdit")->text(), QString("0"));
        QCOMPARE(m_dialog->ScaleSettings(), KVTScaleSettings{});
        QVERIFY(m_meter->Sent().empty());
    }

    void scaleClicksGoThroughTheCurrentFunction() {
        m_dialog->ShowScaleSettings(Scale(true, 0, "dB"));
        Find<QCheckBox>("scaleCheck")->click();
        QCOMPARE(ScaleEnabling(), QList<bool>(8, true));
        Find<QRadioButton>("dbmRadio")->click();
        QCOMPARE(ScaleEnabling(), (QList<bool>{true, true, true, true, true, false, false, false}));
        QCOMPARE(m_dialog->ScaleSettings().function, std::string("dBm"));
        Find<QComboBox>("refList")->setCurrentIndex(16);
        Find<QPushButton>("refSet")->click();
        Find<QRadioButton>("dbRadio")->click();
        QVERIFY(Find<QPushButton>("dbRefSet")->isEnabled());
        Find<QLineEdit>("dbRefEdit")->setText("-12");
        Find<QPushButton>("dbRefSet")->click();
        Find<QCheckBox>("measureRef")->click();  // it was cleared: now 1
        Find<QCheckBox>("scaleCheck")->click();
        QCOMPARE(ScaleEnabling(),
                 (QList<bool>{true, false, false, false, false, false, false, false}));

        QCOMPARE(m_meter->Sent(),
                 (Strings{"CALCulate:SCALe:STATe 1", "CALCulate:SCALe:DBM:REFerence 8000",
                          "CALCulate:SCALe:DB:REFerence -12", "CALCulate:SCALe:REFerence:AUTO 0",
                          "CALCulate:SCALe:STATe 0"}));
        QCOMPARE(m_meter->PausesMs(), Pauses(5, 100));
        // The function choice and the redraws go through the front panel.
        QCOMPARE(m_meter->Panel().Calls(),
                 (Strings{"RefreshMainDisplay()", "ApplyScaleFunction(DBM)",
                          "ApplyScaleFunction(DB)", "RefreshMainDisplay()"}));
    }

    void refResistanceSetSendsOnlyAChosenEntry() {
        // The meter's reference is not in the list: nothing is chosen and
        // "Set" sends nothing (rather than a reference of 0).
        m_dialog->ShowScaleSettings(Scale(true, 1, "dBm", 601));
        QCOMPARE(Find<QComboBox>("refList")->currentIndex(), -1);
        QVERIFY(Find<QPushButton>("refSet")->isEnabled());
        Find<QPushButton>("refSet")->click();
        QVERIFY(m_meter->Sent().empty());
        QVERIFY(m_meter->PausesMs().empty());
        // The meter's reference read back is chosen, and sent as it is.
        m_dialog->ShowScaleSettings(Scale(true, 1, "dBm", 75));
        QCOMPARE(Find<QComboBox>("refList")->currentText(), QString("75"));
        Find<QPushButton>("refSet")->click();
        QCOMPARE(m_meter->Sent(), Strings{"CALCulate:SCALe:DBM:REFerence 75"});
    }

    void limitsAreShownWithTheirPrefixes() {
        m_dialog->ShowLimits(1, 2.7, 0.0025);
        QVERIFY(Find<QCheckBox>("limitCheck")->isChecked());
        QCOMPARE(LimitEnabling(), QList<bool>(6, true));
        QCOMPARE(Find<QLineEdit>("lowerEdit")->text(), QString("2.500"));
        QCOMPARE(Find<QComboBox>("lowerPrefix")->currentText(), QString("m"));
        QCOMPARE(Find<QLineEdit>("upperEdit")->text(), QString("3"));
        QCOMPARE(Find<QComboBox>("upperPrefix")->currentIndex(), 4);

        // Beyond the list's last prefix: written in "M".
        m_dialog->ShowLimits(1, 5e9, -2e-9);
        QCOMPARE(Find<QLineEdit>("upperEdit")->text(), QString("5000.000"));
        QCOMPARE(Find<QComboBox>("upperPrefix")->currentText(), QString("M"));
        QCOMPARE(Find<QLineEdit>("lowerEdit")->text(), QString("-2.000"));
        QCOMPARE(Find<QComboBox>("lowerPrefix")->currentText(), QString("n"));

        m_dialog->ShowLimits(0, 7, 8);
        QVERIFY(!Find<QCheckBox>("limitCheck")->isChecked());
        QCOMPARE(LimitEnabling(), QList<bool>(6, false));
        QCOMPARE(Find<QLineEdit>("upperEdit")->text(), QString("5000.000"));
        QVERIFY(m_meter->Sent().empty());
    }

    void limitCommandsAndRefusals() {
        m_dialog->ShowLimits(1, 1, 1);
        Find<QLineEdit>("lowerEdit")->setText("0.5");
        Find<QComboBox>("lowerPrefix")->setCurrentIndex(3);  // m
        QCOMPARE(AnswerMessageBox([this] { Find<QPushButton>("lowerSet")->click(); }), QString());
        Find<QLineEdit>("upperEdit")->setText(" 1 2");
        Find<QComboBox>("upperPrefix")->setCurrentIndex(5);  // k, blanks removed
        Find<QPushButton>("upperSet")->click();
        QCOMPARE(m_meter->Sent(), (Strings{"CALCulate:LIMit:LOWer 0.000500000000",
                                           "CALCulate:LIMit:UPPer 12000.000000000000"}));
        QCOMPARE(m_meter->PausesMs(), Pauses(2, 100));

        // Zero, text that is no number and values beyond 1e8 are refused.
        Find<QLineEdit>("lowerEdit")->setText("0");
        QCOMPARE(AnswerMessageBox([this] { Find<QPushButton>("lowerSet")->click(); }),
                 QString("The value is to0 big or too,please modify it"));
        Find<QLineEdit>("lowerEdit")->setText("abc");
        QCOMPARE(AnswerMessageBox([this] { Find<QPushButton>("lowerSet")->click(); }),
                 QString("The value is to0 big or too,please modify it"));
        Find<QLineEdit>("upperEdit")->setText("200");
        Find<QComboBox>("upperPrefix")->setCurrentIndex(6);  // M
        QCOMPARE(AnswerMessageBox([this] { Find<QPushButton>("upperSet")->click(); }),
                 QString("The value is too big or too small,please modify it"));
        Find<QLineEdit>("upperEdit")->setText("0.5");
        Find<QComboBox>("upperPrefix")->setCurrentIndex(0);  // 0.5 p
        QCOMPARE(AnswerMessageBox([this] { Find<QPushButton>("upperSet")->click(); }),
                 QString("The value is too big or too small,please modify it"));
        QVERIFY(m_meter->Sent().empty());
        QCOMPARE(Find<QLineEdit>("upperEdit")->text(), QString("0.5"));

        Find<QCheckBox>("limitCheck")->click();
        QCOMPARE(LimitEnabling(), QList<bool>(6, false));
        Find<QCheckBox>("limitCheck")->click();
        QCOMPARE(LimitEnabling(), QList<bool>(6, true));
        Find<QPushButton>("clearButton")->click();
        QCOMPARE(m_meter->Sent(), (Strings{"CALCulate:LIMit:STATe 0", "CALCulate:LIMit:STATe 1",
                                           "CALCulate:AVERage:CLEar"}));
        QCOMPARE(m_meter->PausesMs(), Pauses(3, 100));
        QCOMPARE(m_meter->Failures(), 0);
    }

    void limitBounds_data() {
        // The limits' magnitude lies from 1e-12 to 1e8, both included.
        QTest::addColumn<bool>("lower");
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("prefix");
        QTest::addColumn<QString>("sent");
        QTest::newRow("upper exactly 1e8")
            << false << "100" << 6 << "CALCulate:LIMit:UPPer 100000000.000000000000";
        QTest::newRow("lower exactly -1e8")
            << true << "-1e8" << 4 << "CALCulate:LIMit:LOWer -100000000.000000000000";
        QTest::newRow("upper just above 1e8") << false << "100.000001" << 6 << "";
        QTest::newRow("lower exactly 1e-12")
            << true << "0.000000000001" << 4 << "CALCulate:LIMit:LOWer 0.000000000001";
        QTest::newRow("upper exactly -1e-12")
            << false << "-1e-12" << 4 << "CALCulate:LIMit:UPPer -0.000000000001";
        QTest::newRow("lower just below 1e-12") << true << "0.99e-12" << 4 << "";
    }

    void limitBounds() {
        QFETCH(bool, lower);
        QFETCH(QString, number);
        QFETCH(int, prefix);
        QFETCH(QString, sent);
        m_dialog->ShowLimits(1, 1, 1);
        const char* row = lower ? "lower" : "upper";
        Find<QLineEdit>((QByteArray(row) + "Edit").constData())->setText(number);
        Find<QComboBox>((QByteArray(row) + "Prefix").constData())->setCurrentIndex(prefix);
        QString refusal = AnswerMessageBox(
            [this, row] { Find<QPushButton>((QByteArray(row) + "Set").constData())->click(); });
        if (sent.isEmpty()) {
            QVERIFY(!refusal.isEmpty());
            QVERIFY(m_meter->Sent().empty());
        } else {
            QCOMPARE(refusal, QString());
            QCOMPARE(m_meter->Sent(), Strings{sent.toStdString()});
        }
    }

    void scaleCheckBoxBeforeAnyScaleSettings() {
        // Nothing read back yet: the panel's copy names no function, so the
        // enabling is that of "dBm" although "dB" is checked.
        QVERIFY(Find<QRadioButton>("dbRadio")->isChecked());
        Find<QCheckBox>("scaleCheck")->click();
        QCOMPARE(ScaleEnabling(), (QList<bool>{true, true, true, true, true, false, false, false}));
        QVERIFY(Find<QRadioButton>("dbRadio")->isChecked());
        QCOMPARE(m_meter->Sent(), Strings{"CALCulate:SCALe:STATe 1"});
        QCOMPARE(m_meter->Panel().Calls(), Strings{"RefreshMainDisplay()"});
        Find<QCheckBox>("scaleCheck")->click();
        QCOMPARE(ScaleEnabling(),
                 (QList<bool>{true, false, false, false, false, false, false, false}));
        QCOMPARE(m_meter->Sent(), Strings{"CALCulate:SCALe:STATe 0"});
    }

    void withoutPanelNothingIsSent() {
        CDlgKVTMath alone(nullptr);
        alone.show();
        alone.ShowScaleSettings(Scale(true, 1, "dB"));
        alone.findChild<QCheckBox*>("scaleCheck")->click();
        alone.findChild<QRadioButton*>("dbmRadio")->click();
        alone.findChild<QPushButton*>("refSet")->click();
        alone.findChild<QPushButton*>("clearButton")->click();
        alone.ShowLimits(1, 5, 1);
        alone.findChild<QPushButton*>("lowerSet")->click();
        alone.findChild<QCheckBox*>("limitCheck")->click();
        QVERIFY(m_meter->Sent().empty());
        QVERIFY(m_meter->PausesMs().empty());
        QVERIFY(m_meter->Panel().Calls().empty());
    }

    void commandsNeverLandInsideAReadingCycle() {
        kvt::link::SetTriggerCountInfinite();
        kvt::link::Initiate();
        m_meter->Sent();
        auto& panel = m_meter->Panel();
        m_meter->Dcv().Start();
        const int kClicks = 6;
        for (int i = 0; i < kClicks; ++i) {
            QVERIFY(panel.WaitForNewReadings(panel.NewReadings() + 1, std::chrono::seconds(20)));
            Find<QPushButton>("clearButton")->click();
        }
        m_meter->Dcv().Pause();

        // The cycle is what the worker sends from one reading query to the next.
        Strings messages = m_meter->Sent();
        Strings cycle;
        for (size_t i = 0; i < messages.size(); ++i) {
            if (messages[i] == "DATA:LAST?" && !cycle.empty()) {
                break;
            }
            if (messages[i] != "CALCulate:AVERage:CLEar") {
                cycle.push_back(messages[i]);
            }
        }
        QVERIFY(cycle.size() >= 4);
        QCOMPARE(cycle.front(), std::string("DATA:LAST?"));
        QVERIFY(std::find(cycle.begin(), cycle.end(), "CALCulate:AVERage:ALL?") != cycle.end());
        int clears = 0;
        int cycles = 0;
        for (size_t i = 0; i < messages.size();) {
            if (messages[i] == "CALCulate:AVERage:CLEar") {
                ++clears;
                ++i;
                continue;
            }
            QVERIFY2(i + cycle.size() <= messages.size(), "cycle cut short");
            Strings seen(messages.begin() + static_cast<long>(i),
                         messages.begin() + static_cast<long>(i + cycle.size()));
            QVERIFY2(seen == cycle, qPrintable(QString("cycle broken at %1").arg(i)));
            i += cycle.size();
            ++cycles;
        }
        QCOMPARE(clears, kClicks);
        QVERIFY(cycles >= kClicks);
    }
};

int RunMathViewTests(int argc, char** argv) {
    MathViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MathViewTest.moc"
