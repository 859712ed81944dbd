// The connection dialog and the two acquisition dialogs against the
// simulated meter: initial states, enabling rules, what OK records or
// sends (also under a comma-decimal locale) and that Cancel sends nothing;
// the About box.
#include "tests/app/DialogsTest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/CAboutDlg.h"
#include "app/CDlgDelay.h"
#include "app/CDlgSamplesTrigger.h"
#include "link/CDlgProtocol.h"
#include "link/CIpAddressEdit.h"
#include "link/IConnection.h"
#include "tests/app/LocaleGuard.h"
#include "tests/app/MeterSession.h"
#include "tests/app/ModalDriver.h"

using kvt::link::CDlgProtocol;
using kvt::link::ConnectionProtocol;
using Strings = std::vector<std::string>;

namespace {

// Types text into whichever field has the focus, key by key, as a user
// would; the address entry moves the focus itself.
void TypeIntoFocus(const QString& text) {
    for (QChar c : text) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr);
        QTest::keyClick(focus, c.toLatin1());
    }
}

}  // namespace

void DialogsTest::init() {
    m_meter = std::make_unique<kvt::test::MeterSession>();
    QVERIFY(kvt::link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    m_meter->Sent();
}

void DialogsTest::cleanup() {
    m_meter.reset();
}

void DialogsTest::protocolDialogOpensOnUsbtmc() {
    CDlgProtocol dialog;
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));
    QCOMPARE(dialog.UsbtmcButton()->text(), QString("USBTMC"));
    QCOMPARE(dialog.Vxi11Button()->text(), QString("VXI11"));
    QVERIFY(dialog.UsbtmcButton()->isChecked());
    QVERIFY(!dialog.Vxi11Button()->isChecked());
    QVERIFY(dialog.AddressEntry()->isEnabled());
    QCOMPARE(dialog.AddressEntry()->Text(), QString("..."));
    QCOMPARE(dialog.OkButton()->text(), QString("OK"));
    QVERIFY(dialog.OkButton()->isDefault());
    QCOMPARE(dialog.CancelButton()->text(), QString("Cancel"));
    // The address entry sits on the VXI11 line, right of the choice.
    dialog.show();
    const QRect vxi = dialog.Vxi11Button()->geometry();
    const QRect entry = dialog.AddressEntry()->geometry();
    QVERIFY(entry.left() > vxi.right());
    QVERIFY(entry.top() < vxi.center().y() && entry.bottom() > vxi.center().y());
}

void DialogsTest::protocolDialogOkAtOnceIsUsbtmcWhateverWasTyped() {
    CDlgProtocol dialog;
    dialog.AddressEntry()->SetText("10.0.0.5");
    dialog.OkButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.Protocol() == ConnectionProtocol::Usbtmc);
    QCOMPARE(dialog.Address(), std::string());
    QCOMPARE(dialog.Resource(), std::string("USB?*INSTR"));
}

void DialogsTest::protocolDialogVxi11GivesDottedAddress() {
    CDlgProtocol dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(dialog.Vxi11Button(), Qt::LeftButton);
    QVERIFY(dialog.AddressEntry()->isEnabled());
    dialog.AddressEntry()->Field(0)->setFocus();
    // A point or a third digit moves on; leading zeros are dropped; a
    // field never holds more than 255.
    TypeIntoFocus("192.168.001.2999");
    QCOMPARE(dialog.AddressEntry()->Text(), QString("192.168.1.29"));
    dialog.OkButton()->click();
    QVERIFY(dialog.Protocol() == ConnectionProtocol::Vxi11);
    QCOMPARE(dialog.Address(), std::string("192.168.1.29"));
    QCOMPARE(dialog.Resource(), std::string("TCPIP0::192.168.1.29::inst0::INSTR"));
}

void DialogsTest::protocolDialogBackToUsbtmcLeavesAddressEmpty() {
    CDlgProtocol dialog;
    dialog.show();
    QTest::mouseClick(dialog.Vxi11Button(), Qt::LeftButton);
    dialog.AddressEntry()->SetText("192.0.2.7");
    QTest::mouseClick(dialog.UsbtmcButton(), Qt::LeftButton);
    QVERIFY(!dialog.AddressEntry()->isEnabled());
    dialog.OkButton()->click();
    QVERIFY(dialog.Protocol() == ConnectionProtocol::Usbtmc);
    QCOMPARE(dialog.Address(), std::string());
}

void DialogsTest::protocolDialogCancelAndCloseRecordNothing() {
    for (bool byClosing : {false, true}) {
        CDlgProtocol dialog;
        kvt::test::ModalDriver driver;
        driver.OnNextModal([byClosing](QWidget* modal) {
            auto* shown = qobject_cast<CDlgProtocol*>(modal);
            QVERIFY(shown != nullptr);
            shown->Vxi11Button()->click();
            shown->AddressEntry()->SetText("192.0.2.9");
            if (byClosing) {
                shown->close();
            } else {
                shown->CancelButton()->click();
            }
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(driver.Acted());
        QVERIFY(dialog.Protocol() == ConnectionProtocol::Usbtmc);
        QCOMPARE(dialog.Address(), std::string());
    }
    QCOMPARE(m_meter->Sent(), Strings{});
}

void DialogsTest::delayDialogStartsOnAuto() {
    kvt::app::CDlgDelay dialog;
    QCOMPARE(dialog.windowTitle(), QString("Delay"));
    QVERIFY(dialog.AutoButton()->isChecked());
    QVERIFY(!dialog.ManualButton()->isChecked());
    QVERIFY(!dialog.ValueEdit()->isEnabled());
    QVERIFY(dialog.ValueEdit()->text().isEmpty());
    QVERIFY(!dialog.UnitList()->isEnabled());
    QStringList units;
    for (int i = 0; i < dialog.UnitList()->count(); ++i) {
        units.append(dialog.UnitList()->itemText(i));
    }
    QCOMPARE(units, (QStringList{"kS", "S", "mS", "uS"}));
    QCOMPARE(dialog.UnitList()->currentText(), QString("S"));
    dialog.show();
    QTest::mouseClick(dialog.ManualButton(), Qt::LeftButton);
    QVERIFY(dialog.ValueEdit()->isEnabled() && dialog.UnitList()->isEnabled());
    QTest::mouseClick(dialog.AutoButton(), Qt::LeftButton);
    QVERIFY(!dialog.ValueEdit()->isEnabled() && !dialog.UnitList()->isEnabled());
    QCOMPARE(m_meter->Sent(), Strings{});
}

void DialogsTest::delayDialogSends_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("sent");
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        auto row = [locale](const char* name) { return &QTest::addRow("%s %s", locale, name); };
        *row("auto") << locale << false << ""
                     << "S"
                     << "TRIG:DEL:AUTO ON";
        *row("250 mS") << locale << true << "250"
                       << "mS"
                       << "TRIG:DEL 0.250";
        *row("1.5 kS") << locale << true << "1.5"
                       << "kS"
                       << "TRIG:DEL 1500.000";
        *row("2 S") << locale << true << "2"
                    << "S"
                    << "TRIG:DEL 2.000";
        *row("100 uS") << locale << true << "100"
                       << "uS"
                       << "TRIG:DEL 0.000";
        *row("empty") << locale << true << ""
                      << "S"
                      << "TRIG:DEL 0.000";
        *row("leading number") << locale << true << "12.5ms"
                               << "S"
                               << "TRIG:DEL 12.500";
        // A comma is the decimal separator under de_DE and ends the number
        // under C; what is sent has a point either way.
        *row("comma") << locale << true << "2,5"
                      << "S" << (QString(locale) == "C" ? "TRIG:DEL 2.000" : "TRIG:DEL 2.500");
        *row("large") << locale << true << "1e9"
                      << "kS"
                      << "TRIG:DEL 1000000000000.000";
    }
}

void DialogsTest::delayDialogSends() {
    QFETCH(QString, locale);
    QFETCH(bool, manual);
    QFETCH(QString, value);
    QFETCH(QString, unit);
    QFETCH(QString, sent);
    kvt::test::LocaleGuard guard(locale.toLatin1().constData());
    QVERIFY(guard.Active());
    if (locale != "C") {
        QCOMPARE(kvt::test::LocaleGuard::DecimalPoint(), std::string(","));
    }
    kvt::app::CDlgDelay dialog;
    dialog.show();
    if (manual) {
        QTest::mouseClick(dialog.ManualButton(), Qt::LeftButton);
        dialog.UnitList()->setCurrentText(unit);
        QTest::keyClicks(dialog.ValueEdit(), value);
    }
    dialog.OkButton()->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(m_meter->Sent(), Strings{sent.toStdString()});
}

void DialogsTest::delayDialogCancelSendsNothing() {
    kvt::app::CDlgDelay dialog;
    dialog.show();
    QTest::mouseClick(dialog.ManualButton(), Qt::LeftButton);
    QTest::keyClicks(dialog.ValueEdit(), "5");
    dialog.CancelButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(m_meter->Sent(), Strings{});
}

void DialogsTest::samplesDialogSendsTextAsTyped() {
    kvt::test::LocaleGuard guard("de_DE.UTF-8");
    QVERIFY(guard.Active());
    const std::pair<QString, std::string> cases[] = {
        {"10", "SAMP:COUN 10"},
        {"", "SAMP:COUN "},
        {"2,5 x", "SAMP:COUN 2,5 x"},
    };
    for (const auto& [typed, expected] : cases) {
        kvt::app::CDlgSamplesTrigger dialog;
        QCOMPARE(dialog.windowTitle(), QString("Samples/Trigger"));
        QVERIFY(dialog.CountEdit()->text().isEmpty());
        QVERIFY(dialog.OkButton()->isDefault());
        QTest::keyClicks(dialog.CountEdit(), typed);
        dialog.OkButton()->click();
        QCOMPARE(m_meter->Sent(), Strings{expected});
    }
    kvt::app::CDlgSamplesTrigger cancelled;
    QTest::keyClicks(cancelled.CountEdit(), "10");
    cancelled.CancelButton()->click();
    QCOMPARE(m_meter->Sent(), Strings{});
}

void DialogsTest::aboutBoxShowsIconAndVersion() {
    kvt::app::CAboutDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString("About Korvata"));
    QCOMPARE(dialog.VersionLabel()->text(), QString("Korvata, Version V100R001B01D01P02"));
    QCOMPARE(dialog.OkButton()->text(), QString("OK"));
    QVERIFY(!dialog.IconLabel()->pixmap().isNull());
    kvt::test::ModalDriver driver;
    driver.OnNextModal([](QWidget* modal) {
        auto* about = qobject_cast<kvt::app::CAboutDlg*>(modal);
        QVERIFY(about != nullptr);
        about->OkButton()->click();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
}
