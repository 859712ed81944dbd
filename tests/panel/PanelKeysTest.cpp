// The click table: function keys with and without the second function,
// the "2nd"/"Shift" indicators, key codes, soft keys and cursor keys, with
// the commands, pauses and wait cursor each one causes at the meter, and
// the keys that have nothing to do.
#include <QLabel>
#include <QtTest>

#include "functions/CKVTFunction.h"
#include "functions/CKVTFunctionCont.h"
#include "panel/CFrontPanel.h"
#include "tests/panel/PanelMeter.h"

using kvt::panel::CFrontPanel;
using Strings = std::vector<std::string>;

class PanelKeysTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::PanelMeter> m_meter;
    std::unique_ptr<CFrontPanel> m_panel;

    CFrontPanel& Panel() { return *m_panel; }
    bool Hidden(const char* name) { return m_panel->Control(name)->isHidden(); }
    QLabel* Label(const char* name) { return qobject_cast<QLabel*>(m_panel->Control(name)); }
    void Press(const char* name) { QVERIFY2(kvt::test::Click(*m_panel, name), name); }
    void Press(const QStringList& names) {
        for (const QString& name : names) {
            Press(name.toLatin1().constData());
        }
    }

    // The six soft keys as drawn: texts and own colours of each key's
    // container and four labels.
    QStringList Keys() {
        QStringList keys;
        for (int key = 1; key <= 6; ++key) {
            for (const char* part : {"ContainerF%1", "LabelF%1Name", "LabelF%1Value",
                                     "LabelF%1Value1", "LabelF%1Value2"}) {
                const auto* label = qobject_cast<QLabel*>(m_panel->Control(QString(part).arg(key)));
                keys << label->text() + " | " + label->styleSheet();
            }
        }
        return keys;
    }

    // Everything a key could change: every named control that would be on
    // screen with its text, own colours and place, the second-function
    // state, and the current function with its page and settings.
    QStringList Screen() {
        QStringList screen;
        for (const QWidget* control : m_panel->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() || !control->isVisibleTo(m_panel.get())) {
                continue;
            }
            const auto* label = qobject_cast<const QLabel*>(control);
            const QRect place = control->geometry();
            screen << QString("%1 '%2' %3 (%4,%5 %6x%7)")
                          .arg(control->objectName(), label != nullptr ? label->text() : QString(),
                               control->styleSheet())
                          .arg(place.x())
                          .arg(place.y())
                          .arg(place.width())
                          .arg(place.height());
        }
        screen << QString("shift %1").arg(m_panel->IsShift());
        kvt::functions::CKVTFunction* function = m_panel->GetCurrentFunction();
        screen << QString::fromStdString(
            function->GetName() + " " + function->GetRangeMode() + " " + function->GetRange() +
            " " + function->GetUnitLabel() + " " + function->GetTinyMenuText() + " " +
            std::to_string(function->GetTinyMenuCursor()));
        for (int i = 0; i < 6; ++i) {
            const kvt::functions::CMenuItem* item = function->GetSoftKeyItem(i);
            screen << QString::fromStdString(
                function->GetSoftKeyText(i) + "|" + function->GetSoftKeyTitle(i) + "|" +
                function->GetSoftKeySubtitle(i) + "|" + function->GetSoftKeyOptionA(i) + "|" +
                function->GetSoftKeyOptionB(i) + "|" +
                (item != nullptr ? std::to_string(item->m_titleColor) + " " +
                                       std::to_string(item->m_optionAColor) + " " +
                                       std::to_string(item->m_checked)
                                 : std::string("none")));
        }
        return screen;
    }

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::PanelMeter>();
        m_panel = std::make_unique<CFrontPanel>();
        QVERIFY(m_panel->CreatePanel(kvt::test::SkinPath(), nullptr));
    }

    void cleanup() {
        m_panel.reset();
        m_meter.reset();
    }

    void functionKeysFollowTheClickTable_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("normal");
        QTest::addColumn<QString>("second");
        QTest::newRow("DCV") << "btnDCV"
                             << "VOLT"
                             << "CURR";
        QTest::newRow("ACV") << "btnACV"
                             << "VOLT:AC"
                             << "CURR:AC";
        QTest::newRow("2W") << "btn2W"
                            << "RES"
                            << "FRES";
        QTest::newRow("-11-") << "btn-11-"
                              << "CAP"
                              << "FREQ";
        QTest::newRow("Cont") << "btnCont"
                              << "CONT"
                              << "DIOD";
    }

    void functionKeysFollowTheClickTable() {
        QFETCH(QString, button);
        QFETCH(QString, normal);
        QFETCH(QString, second);
        const QByteArray name = button.toLatin1();
        Press("btnTemp");
        Press(name.constData());
        QCOMPARE(Panel().GetCurrentFunction(), Panel().Function(normal.toStdString()));
        QVERIFY(!Panel().IsShift());

        Press("btnTemp");
        Press("btnShift");
        QVERIFY(Panel().IsShift());
        QVERIFY(!Hidden("LabelShift"));
        Press(name.constData());
        QCOMPARE(Panel().GetCurrentFunction(), Panel().Function(second.toStdString()));
        QVERIFY(!Panel().IsShift());
        // The indicator follows at the redraw the function key made.
        QVERIFY(Hidden("LabelShift"));
        QCOMPARE(qobject_cast<QLabel*>(Panel().Control("LabelTitle"))->text(),
                 QString::fromStdString(Panel().GetCurrentFunction()->GetName()));
        // Disconnected: nothing is sent and nobody waits.
        QCOMPARE(m_meter->Sent(), Strings{});
        QCOMPARE(m_meter->pacer.TakeUiPauseMs(), std::vector<long long>{});
    }

    void secondFunctionStateAndItsTwoIndicators() {
        Press("btn2nd");
        QVERIFY(Panel().IsShift());
        QVERIFY(!Hidden("Label2nd"));
        Press("btnDCV");
        QCOMPARE(Panel().GetCurrentFunction(), Panel().Function("CURR"));
        QVERIFY(!Panel().IsShift());
        QVERIFY(!Hidden("Label2nd"));  // stays until "2nd" is pressed again
        Press("btn2nd");
        QVERIFY(Hidden("Label2nd"));
        QVERIFY(!Panel().IsShift());
        Press("btn2nd");
        QVERIFY(Panel().IsShift());

        // Both keys share the one state; it follows the label toggled last.
        Press("btnShift");
        QVERIFY(!Hidden("LabelShift"));
        QVERIFY(Panel().IsShift());
        Press("btn2nd");
        QVERIFY(Hidden("Label2nd"));
        QVERIFY(!Panel().IsShift());

        // "Temp" with the second function keeps the function and clears the state.
        Press("btnShift");
        Press("btnShift");
        QVERIFY(Panel().IsShift());
        kvt::functions::CKVTFunction* before = Panel().GetCurrentFunction();
        Press("btnTemp");
        QCOMPARE(Panel().GetCurrentFunction(), before);
        QVERIFY(!Panel().IsShift());
        QVERIFY(Hidden("LabelShift"));

        // Keys without a job change nothing.
        Press("btnAcquire");
        Press("btnMath");
        Panel().OnClick("btnUnknown");
        QCOMPARE(Panel().GetCurrentFunction(), before);
        QCOMPARE(m_meter->Sent(), Strings{});
    }

    void secondFunctionTempRedrawsTheCurrentFunction_data() {
        QTest::addColumn<QStringList>("function");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("second");
        // The function, a key that leaves its main page, and the key that
        // sets the second function before "Temp".
        QTest::newRow("DC current, range page") << QStringList{"btnShift", "btnDCV"} << "btnF1"
                                                << "btnShift";
        QTest::newRow("frequency, range page") << QStringList{"btnShift", "btn-11-"} << "btnF2"
                                               << "btnShift";
        QTest::newRow("resistance, speed page") << QStringList{"btn2W"} << "btnF2"
                                                << "btn2nd";
        QTest::newRow("temperature, display page") << QStringList{"btnTemp"} << "btnF2"
                                                   << "btn2nd";
    }

    void secondFunctionTempRedrawsTheCurrentFunction() {
        QFETCH(QStringList, function);
        QFETCH(QString, page);
        QFETCH(QString, second);
        Press(function);
        kvt::functions::CKVTFunction* current = Panel().GetCurrentFunction();
        const QStringList mainPage = Keys();
        Press(page.toLatin1().constData());
        QVERIFY(Keys() != mainPage);
        Label("LabelTitle")->setText("stale");
        Press(second.toLatin1().constData());
        QVERIFY(Panel().IsShift());

        // "Temp" with the second function: the function stays, its menu
        // is shown afresh and the keys and the display are redrawn.
        Press("btnTemp");
        QCOMPARE(Panel().GetCurrentFunction(), current);
        QVERIFY(!Panel().IsShift());
        QCOMPARE(Keys(), mainPage);
        QCOMPARE(Label("LabelTitle")->text(), QString::fromStdString(current->GetName()));
        QVERIFY(Hidden("LabelShift"));
        QCOMPARE(Hidden("Label2nd"), second != "btn2nd");
        QCOMPARE(m_meter->Sent(), Strings{});
    }

    void keysWithNothingToDoChangeNothingWhileConnected_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<bool>("redraws");
        // Cursor keys: only continuity has an edit field; a cursor press
        // redraws nothing but the (hidden) edit cells.
        const QStringList cursor{"btnLeft", "btnRight", "btnFront", "btnBack"};
        const std::vector<std::pair<const char*, QStringList>> functions{
            {"DC voltage", {"btnDCV"}},
            {"DC current", {"btn2nd", "btnDCV"}},
            {"AC voltage", {"btnACV"}},
            {"AC current", {"btn2nd", "btnACV"}},
            {"2-wire resistance", {"btn2W"}},
            {"4-wire resistance", {"btn2nd", "btn2W"}},
            {"capacitance", {"btn-11-"}},
            {"frequency", {"btn2nd", "btn-11-"}},
            {"diode", {"btn2nd", "btnCont"}},
            {"temperature", {"btnTemp"}},
            {"DC voltage after continuity", {"btnCont", "btnDCV"}},
            {"DC voltage, range page", {"btnDCV", "btnF1"}},
        };
        for (const auto& [name, setup] : functions) {
            QTest::newRow(QByteArray("cursor keys, ").append(name).constData())
                << setup << cursor << false;
        }
        // "Acquire" and "Math" have no job, with or without the second function.
        const QStringList acquireMath{"btnAcquire", "btnMath"};
        QTest::newRow("Acquire, Math, DC voltage") << QStringList{"btnDCV"} << acquireMath << false;
        QTest::newRow("Acquire, Math, continuity with 2nd")
            << QStringList{"btnCont", "btn2nd"} << acquireMath << false;
        QTest::newRow("Acquire, Math, range page with Shift")
            << QStringList{"btnACV", "btnF1", "btnShift"} << acquireMath << false;
        // Soft keys at positions without an item: the press finds nothing;
        // the keys and the display are redrawn as after any soft key.
        QTest::newRow("empty F6, DC voltage")
            << QStringList{"btnDCV"} << QStringList{"btnF6"} << true;
        QTest::newRow("empty F3 to F6, continuity")
            << QStringList{"btnCont"} << QStringList{"btnF3", "btnF4", "btnF5", "btnF6"} << true;
        QTest::newRow("empty F1 and F3, diode")
            << QStringList{"btn2nd", "btnCont"} << QStringList{"btnF1", "btnF3", "btnF6"} << true;
        QTest::newRow("empty F3, F4, F6, frequency")
            << QStringList{"btn2nd", "btn-11-"} << QStringList{"btnF3", "btnF4", "btnF6"} << true;
        QTest::newRow("empty F3, F6, temperature")
            << QStringList{"btnTemp"} << QStringList{"btnF3", "btnF6"} << true;
    }

    void keysWithNothingToDoChangeNothingWhileConnected() {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, keys);
        QFETCH(bool, redraws);
        Press(setup);
        QVERIFY(m_meter->Open());
        m_meter->Sent();
        m_meter->pacer.TakeUiPauses();
        if (!redraws) {
            // Texts that a redraw of the display or of the keys would replace.
            for (const char* name : {"LabelTitle", "LabelValue", "LabelRange", "LabelUnit",
                                     "ContainerF1", "LabelF1Name", "LabelF2Value"}) {
                Label(name)->setText("stale");
            }
        }
        kvt::functions::CKVTFunction* current = Panel().GetCurrentFunction();
        const QStringList before = Screen();
        Press(keys);
        QCOMPARE(Panel().GetCurrentFunction(), current);
        QCOMPARE(Screen(), before);
        QCOMPARE(m_meter->Sent(), Strings{});
        QCOMPARE(m_meter->pacer.TakeUiPauseMs(), std::vector<long long>{});
        QCOMPARE(m_meter->Failures(), 0);
    }

    void keyCodesGoOutWithTheirPauseConnectedOrNot() {
        const std::vector<std::pair<const char*, std::string>> keys{
            {"btnRun", "$$SY_FP 21"},   {"btnSingle", "$$SY_FP 6"},
            {"btnOK", "$$SY_FP 24"},    {"btnIncrease", "$$SY_FP 14"},
            {"btnRange", "$$SY_FP 15"}, {"btnDecrease", "$$SY_FP 16"}};
        // Disconnected: nothing reaches the meter and no failure is
        // reported (the refused write is silent); each pause is still taken.
        for (const auto& key : keys) {
            Press(key.first);
        }
        QCOMPARE(m_meter->Sent(), Strings{});
        QCOMPARE(m_meter->Failures(), 0);
        const auto pauses = m_meter->pacer.TakeUiPauses();
        QCOMPARE(pauses.size(), keys.size());
        for (const auto& pause : pauses) {
            QCOMPARE(pause.ms, 100LL);
            QVERIFY(pause.waitCursor);
        }

        QVERIFY(m_meter->Open());
        Strings expected;
        for (const auto& [button, code] : keys) {
            Press(button);
            expected.push_back(code);
        }
        QCOMPARE(m_meter->Sent(), expected);
        QCOMPARE(m_meter->pacer.TakeUiPauseMs(), std::vector<long long>(keys.size(), 100));
        QCOMPARE(m_meter->Failures(), 0);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void functionChangeWhileConnected() {
        QVERIFY(m_meter->Open());
        Press("btnACV");
        kvt::functions::CKVTFunction* acv = Panel().Function("VOLT:AC");
        QCOMPARE(Panel().GetCurrentFunction(), acv);
        // Once the new worker has read, stop it between two cycles to read a settled log.
        QVERIFY(kvt::test::WaitFor([this] {
            const Strings sent = m_meter->device->Messages();
            return std::find(sent.begin(), sent.end(), "DATA:LAST?") != sent.end();
        }));
        acv->Pause();
        const Strings sent = m_meter->Sent();
        QVERIFY(sent.size() > 2);
        QCOMPARE(sent[0], std::string("FUNC \"VOLT:AC\""));
        // The settings are read back before the worker's first reading.
        auto firstReading = std::find(sent.begin(), sent.end(), "DATA:LAST?");
        QVERIFY(firstReading != sent.begin() + 1);
        QVERIFY(std::find(sent.begin(), firstReading, "VOLT:AC:RANGE:AUTO?") != firstReading);
        QVERIFY(firstReading != sent.end());
        const auto pauses = m_meter->pacer.TakeUiPauses();
        QVERIFY(!pauses.empty());
        QCOMPARE(pauses[0].ms, 1000LL);
        for (const auto& pause : pauses) {
            QVERIFY(pause.waitCursor);
        }
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        // "FREQ" and "PER" are one object: switching between them pauses
        // nothing but selects the instrument function again.
        Press("btnShift");
        Press("btn-11-");
        kvt::functions::CKVTFunction* frequency = Panel().Function("FREQ");
        QCOMPARE(Panel().GetCurrentFunction(), frequency);
        const unsigned generation = frequency->WorkerGeneration();
        Panel().SelectFunction("PER");
        QCOMPARE(Panel().GetCurrentFunction(), frequency);
        QCOMPARE(frequency->WorkerGeneration(), generation);
        frequency->Pause();
        const Strings again = m_meter->Sent();
        QCOMPARE(std::count(again.begin(), again.end(), "FUNC \"PER\""), 1);

        // A name outside the table keeps the function, still selects and restarts it.
        Panel().SelectFunction("");
        QCOMPARE(Panel().GetCurrentFunction(), frequency);
        frequency->Pause();
        QCOMPARE(m_meter->Sent().front(), std::string(""));
        QCOMPARE(m_meter->Failures(), 0);
    }

    void softKeysPressTheCurrentPageAndRedraw() {
        QVERIFY(m_meter->Open());
        // DC voltage's "Filter" toggle on key 3 sends its setting with its pause.
        Press("btnF3");
        QCOMPARE(m_meter->Sent(), Strings{"VOLT:DC:FILTER ON"});
        const auto pauses = m_meter->pacer.TakeUiPauses();
        QCOMPARE(pauses.size(), size_t(1));
        QCOMPARE(pauses[0].ms, 100LL);
        QVERIFY(pauses[0].waitCursor);
        // "Range" opens the range page, whose keys show their range texts.
        Press("btnF1");
        QCOMPARE(qobject_cast<QLabel*>(Panel().Control("ContainerF2"))->text(), QString("200mV"));
        Press("btnF3");
        const Strings range = m_meter->Sent();
        QCOMPARE(range.size(), size_t(1));
        QVERIFY2(range[0].rfind("VOLT:DC:RANGE ", 0) == 0, range[0].c_str());
        QCOMPARE(m_meter->pacer.TakeUiPauseMs(), std::vector<long long>{300});
        QCOMPARE(qobject_cast<QLabel*>(Panel().Control("LabelRange"))->text(),
                 QString("Manual 2V"));
        QCOMPARE(qobject_cast<QLabel*>(Panel().Control("LabelF1Value"))->text(), QString("2V"));
    }

    void cursorKeysEditTheContinuityThreshold() {
        Press("btnLeft");
        Press("btnFront");
        QCOMPARE(m_meter->Sent(), Strings{});

        Press("btnCont");
        auto cell = [this](int i) {
            return qobject_cast<QLabel*>(Panel().Control(QString("labelPop%1").arg(i)));
        };
        QVERIFY(!Hidden("TinyMenu"));
        // The cell under the cursor is drawn grey (looked at above its glyph).
        auto grey = [&cell](int i) { return cell(i)->grab().toImage().pixel(3, 1) == 0xFFC0C0C0; };
        QVERIFY(grey(5));
        QVERIFY(m_meter->Open());
        kvt::functions::CKVTFunction* continuity = Panel().GetCurrentFunction();
        Press("btnRight");
        Press("btnRight");
        QVERIFY(!grey(5));
        QVERIFY(grey(7));
        // "Left" passes code 6: the cursor moves one digit left, nothing is sent.
        Press("btnLeft");
        QCOMPARE(continuity->GetTinyMenuCursor(), 2);
        QVERIFY(grey(6));
        QVERIFY(!grey(7));
        QCOMPARE(m_meter->Sent(), Strings{});
        Press("btnRight");
        Press("btnFront");  // the tens digit: 0050 -> 0060
        QCOMPARE(cell(7)->text(), QString("6"));
        Press("btnBack");
        Press("btnBack");
        QCOMPARE(cell(7)->text(), QString("4"));
        const Strings sent = m_meter->Sent();
        QCOMPARE(sent.size(), size_t(3));
        QVERIFY2(sent.back().find("40") != std::string::npos, sent.back().c_str());
        QCOMPARE(cell(10)->text(), QString("Ω"));
        // "Left" stops at the first digit.
        for (int i = 0; i < 3; ++i) {
            Press("btnLeft");
        }
        QCOMPARE(continuity->GetTinyMenuCursor(), 1);
        QVERIFY(grey(5));
        QVERIFY(!grey(6));
        QCOMPARE(m_meter->Sent(), Strings{});
    }
};

int RunPanelKeysTest(int argc, char** argv) {
    PanelKeysTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelKeysTest.moc"
