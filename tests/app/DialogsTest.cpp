// The connection dialog and the two acquisition dialogs against the
// simulated meter: initial states, enabling rules, what OK records or
// sends (also under a comma-decimal locale) and that Cancel, the window's
// close and Escape send nothing; the About box.
#include "tests/app/DialogsTest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include "app/CAboutDlg.h"
#include "app/CDlgDelay.h"
#include "app/CDlgSamplesTrigger.h"
#include "link/CDlgProtocol.h"
#include "link/CInstrumentList.h"
#include "link/CIpAddressEdit.h"
#include "link/IConnection.h"
#include "link/InstrumentSearch.h"
#include "tests/app/LocaleGuard.h"
#include "tests/app/MeterSession.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/Screenshots.h"

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

// A search over fixed names: what a bench with two network meters (one
// silent to *IDN?) and one USB meter lists. The VISA search itself is
// tested on a network of its own; here the dialog's handling of it is.
std::unique_ptr<kvt::link::InstrumentSearch> BenchSearch(std::vector<std::string> network,
                                                         int* lists = nullptr) {
    return std::make_unique<kvt::link::InstrumentSearch>(
        [network, lists](const char* expression) -> std::vector<std::string> {
            if (std::string(expression) == "USB?*INSTR") {
                if (lists != nullptr) {
                    ++*lists;
                }
                return network.empty() ? std::vector<std::string>{}
                                       : std::vector<std::string>{"USB0::0x1::0x2::U7::INSTR"};
            }
            return network;
        },
        [](const std::string& resource) -> std::string {
            if (resource.find("10.0.0.3") != std::string::npos) {
                return "";
            }
            return resource.rfind("USB", 0) == 0 ? "ACME,U-METER,U7,1" : "ACME,N-METER,N2,1";
        });
}

QPoint RowCentre(QTreeWidget* rows, int row) {
    return rows->visualItemRect(rows->topLevelItem(row)).center();
}

}  // namespace

void DialogsTest::protocolDialogListsAndPicksTheInstrumentsFound() {
    auto search = BenchSearch({"TCPIP0::10.0.0.2::inst0::INSTR", "TCPIP0::10.0.0.3::inst0::INSTR"});
    CDlgProtocol dialog(nullptr, search.get());
    kvt::link::CInstrumentList* list = dialog.Instruments();
    QCOMPARE(list->Status()->text(), QString("Searching…"));
    QVERIFY(!list->SearchAgainButton()->isEnabled());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(!list->Searching());
    QCOMPARE(list->Status()->text(), QString("3 instruments found"));
    QTreeWidget* rows = list->Rows();
    QCOMPARE(rows->topLevelItemCount(), 3);
    const QStringList first{rows->topLevelItem(0)->text(0), rows->topLevelItem(0)->text(1),
                            rows->topLevelItem(0)->text(2), rows->topLevelItem(0)->text(3)};
    QCOMPARE(first, (QStringList{"ACME", "U-METER", "U7", "USB0::0x1::0x2::U7::INSTR"}));
    QCOMPARE(rows->topLevelItem(1)->text(3), QString("10.0.0.2"));
    QCOMPARE(rows->topLevelItem(2)->text(0), QString("(no answer)"));
    // Rows arriving choose nothing: the dialog is still on its first state.
    QVERIFY(dialog.UsbtmcButton()->isChecked());
    QCOMPARE(dialog.AddressEntry()->Text(), QString("..."));
    kvt::test::SaveScreenshot(&dialog, "connection-dialog-list");

    // A network row checks VXI11 and fills the address.
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, RowCentre(rows, 1));
    QVERIFY(dialog.Vxi11Button()->isChecked());
    QVERIFY(dialog.AddressEntry()->isEnabled());
    QCOMPARE(dialog.AddressEntry()->Text(), QString("10.0.0.2"));
    // A USB row picks that very meter.
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, RowCentre(rows, 0));
    QVERIFY(dialog.UsbtmcButton()->isChecked());
    QVERIFY(!dialog.AddressEntry()->isEnabled());
    dialog.OkButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Resource(), std::string("USB0::0x1::0x2::U7::INSTR"));
    QCOMPARE(dialog.UsbResource(), std::string("USB0::0x1::0x2::U7::INSTR"));
}

void DialogsTest::protocolDialogDoubleClickConnectsAndSearchesAgain() {
    int lists = 0;
    auto search = BenchSearch({"TCPIP0::10.0.0.2::inst0::INSTR"}, &lists);
    CDlgProtocol dialog(nullptr, search.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    kvt::link::CInstrumentList* list = dialog.Instruments();
    QTRY_VERIFY(!list->Searching());
    QCOMPARE(lists, 1);
    list->SearchAgainButton()->click();
    QCOMPARE(list->Status()->text(), QString("Searching…"));
    QCOMPARE(list->Rows()->topLevelItemCount(), 0);
    QTRY_VERIFY(!list->Searching());
    QCOMPARE(lists, 2);
    QTreeWidget* rows = list->Rows();
    QCOMPARE(rows->topLevelItemCount(), 2);
    // A double-click as the window system delivers it: a click, then the
    // second press as a double-click.
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, RowCentre(rows, 1));
    QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, RowCentre(rows, 1));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.Protocol() == ConnectionProtocol::Vxi11);
    QCOMPARE(dialog.Resource(), std::string("TCPIP0::10.0.0.2::inst0::INSTR"));

    // Nothing found says so; clicking the USBTMC choice forgets a picked
    // USB meter, and typing an address works as without the list.
    auto empty = BenchSearch({});
    CDlgProtocol nothing(nullptr, empty.get());
    QTRY_VERIFY(!nothing.Instruments()->Searching());
    QCOMPARE(nothing.Instruments()->Status()->text(), QString("No instruments found"));
    nothing.Preselect(ConnectionProtocol::Usbtmc, "", "USB0::0x1::0x2::OLD::INSTR");
    nothing.UsbtmcButton()->click();
    nothing.OkButton()->click();
    QCOMPARE(nothing.Resource(), std::string("USB?*INSTR"));
}

void DialogsTest::protocolDialogOpensOnAGivenConnection() {
    CDlgProtocol vxi11;
    vxi11.Preselect(ConnectionProtocol::Vxi11, "192.0.2.44", "");
    QVERIFY(vxi11.Vxi11Button()->isChecked());
    QVERIFY(vxi11.AddressEntry()->isEnabled());
    QCOMPARE(vxi11.AddressEntry()->Text(), QString("192.0.2.44"));
    vxi11.OkButton()->click();
    QCOMPARE(vxi11.Resource(), std::string("TCPIP0::192.0.2.44::inst0::INSTR"));

    CDlgProtocol usb;
    usb.Preselect(ConnectionProtocol::Usbtmc, "", "USB0::0x1::0x2::U7::INSTR");
    QVERIFY(usb.UsbtmcButton()->isChecked());
    QVERIFY(!usb.AddressEntry()->isEnabled());
    usb.OkButton()->click();
    QCOMPARE(usb.Resource(), std::string("USB0::0x1::0x2::U7::INSTR"));
}

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
    // VXI11 again takes the address entry back, with what was typed.
    QTest::mouseClick(dialog.Vxi11Button(), Qt::LeftButton);
    QVERIFY(dialog.AddressEntry()->isEnabled());
    QCOMPARE(dialog.AddressEntry()->Text(), QString("192.0.2.7"));
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
        // The locale's decimal separator and a point read alike; where the
        // separator is a point, a comma ends the number.
        const bool comma = std::string(locale) != "C";
        *row("2,5 S") << locale << true << "2,5"
                      << "S" << (comma ? "TRIG:DEL 2.500" : "TRIG:DEL 2.000");
        *row("2.5 S") << locale << true << "2.5"
                      << "S"
                      << "TRIG:DEL 2.500";
        *row("2,5 kS") << locale << true << "2,5"
                       << "kS" << (comma ? "TRIG:DEL 2500.000" : "TRIG:DEL 2000.000");
        *row("2.5 kS") << locale << true << "2.5"
                       << "kS"
                       << "TRIG:DEL 2500.000";
        *row("2,75 mS") << locale << true << "2,75"
                        << "mS" << (comma ? "TRIG:DEL 0.003" : "TRIG:DEL 0.002");
        *row("2.75 mS") << locale << true << "2.75"
                        << "mS"
                        << "TRIG:DEL 0.003";
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

void DialogsTest::acquireDialogsCloseWithoutSending_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("how");
    for (const char* dialog : {"Delay auto", "Delay manual", "Samples/Trigger"}) {
        for (const char* how : {"Cancel", "window close", "Escape"}) {
            QTest::addRow("%s, %s", dialog, how) << dialog << how;
        }
    }
}

void DialogsTest::acquireDialogsCloseWithoutSending() {
    QFETCH(QString, dialog);
    QFETCH(QString, how);
    std::unique_ptr<QDialog> shown;
    QPushButton* cancel = nullptr;
    if (dialog == "Samples/Trigger") {
        auto samples = std::make_unique<kvt::app::CDlgSamplesTrigger>();
        QTest::keyClicks(samples->CountEdit(), "10");
        cancel = samples->CancelButton();
        shown = std::move(samples);
    } else {
        auto delay = std::make_unique<kvt::app::CDlgDelay>();
        if (dialog == "Delay manual") {
            delay->show();
            QTest::mouseClick(delay->ManualButton(), Qt::LeftButton);
            delay->UnitList()->setCurrentText("mS");
            QTest::keyClicks(delay->ValueEdit(), "5");
            delay->hide();
        }
        cancel = delay->CancelButton();
        shown = std::move(delay);
    }
    kvt::test::ModalDriver driver;
    driver.OnNextModal([&how, cancel](QWidget* modal) {
        if (how == "Cancel") {
            cancel->click();
        } else if (how == "window close") {
            modal->close();
        } else {
            // Typed where the focus is, as a user would.
            QWidget* focus = modal->focusWidget();
            QTest::keyClick(focus != nullptr ? focus : modal, Qt::Key_Escape);
        }
    });
    QCOMPARE(shown->exec(), int(QDialog::Rejected));
    QVERIFY(driver.Acted());
    QVERIFY(!shown->isVisible());
    QCoreApplication::processEvents();
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
