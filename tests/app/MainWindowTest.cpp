// The whole main window on the simulated meter: the start state, the view
// selector and the flags the workers read, the menu's states and commands
// through connect, failed connect and disconnect, the keys that must not
// end the program, and closing while connected.
#include "tests/app/MainWindowTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "app/CAboutDlg.h"
#include "app/CDlgDelay.h"
#include "app/CDlgSamplesTrigger.h"
#include "app/CKVTDlg.h"
#include "app/ReconnectController.h"
#include "functions/CKVTFunction.h"
#include "functions/ProgramRecords.h"
#include "link/CDlgProtocol.h"
#include "link/CInstrumentList.h"
#include "link/CIpAddressEdit.h"
#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/Screenshots.h"
#include "views/CDlgBarMeter.h"
#include "views/CStaticBarMeter.h"

using kvt::app::CKVTDlg;
using Strings = std::vector<std::string>;

namespace {

QStringList ActionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        texts.append(action->isSeparator() ? QString("-") : action->text());
    }
    return texts;
}

// The menu items that stay enabled whatever the connection ("Delay",
// "Samples/Trigger", "VMC Out" with "Pos" and "Neg", "SaveData") that are
// greyed now.
QStringList GreyedOfTheAlwaysEnabled(CKVTDlg& window) {
    QStringList greyed;
    for (QAction* always : {window.DelayAction(), window.SamplesTriggerAction(),
                            window.AcquireMenu()->actions().at(2), window.VmcPosAction(),
                            window.VmcNegAction(), window.SaveDataAction()}) {
        if (!always->isEnabled()) {
            greyed.append(always->text());
        }
    }
    return greyed;
}

// The message boxes on screen now.
int VisibleBoxes() {
    int boxes = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        boxes += qobject_cast<const QMessageBox*>(widget) != nullptr && widget->isVisible() ? 1 : 0;
    }
    return boxes;
}

bool Contains(const Strings& messages, const std::string& command) {
    return std::find(messages.begin(), messages.end(), command) != messages.end();
}

// Answers the connection dialog: VXI11 at the address, or USBTMC when the
// address is null.
kvt::test::ModalDriver::Action AnswerProtocol(const QString& address) {
    return [address](QWidget* modal) {
        auto* dialog = qobject_cast<kvt::link::CDlgProtocol*>(modal);
        QVERIFY(dialog != nullptr);
        if (!address.isNull()) {
            dialog->Vxi11Button()->click();
            dialog->AddressEntry()->SetText(address);
        } else {
            // Whatever the dialog opened on (the last connection).
            dialog->UsbtmcButton()->click();
        }
        kvt::test::SaveScreenshot(dialog, "connection-dialog");
        dialog->OkButton()->click();
    };
}

// Counts the hide events a widget receives.
class HideCounter : public QObject {
public:
    int Count() const { return m_count; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        m_count += event->type() == QEvent::Hide ? 1 : 0;
        return false;
    }

private:
    int m_count = 0;
};

// A portmapper that never answers: the kernel accepts connections on a
// loopback port, nobody reads them. Counts the connections made to it.
class SilentListener {
public:
    SilentListener() {
        m_socket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_socket >= 0 && bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(m_socket, 8) == 0 &&
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~SilentListener() {
        for (int connection : m_accepted) {
            close(connection);
        }
        if (m_socket >= 0) {
            close(m_socket);
        }
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int Port() const { return m_port; }
    // Connections made so far (taken from the queue without a word).
    int Connections() {
        for (int connection;
             (connection = accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            m_accepted.push_back(connection);
        }
        return static_cast<int>(m_accepted.size());
    }

private:
    int m_socket = -1;
    int m_port = 0;
    std::vector<int> m_accepted;
};

// The VISA layer's default timeout, which bounds opening a session.
constexpr qint64 kOpenTimeoutMs = 2000;

}  // namespace

void MainWindowTest::init() {
    m_meter = std::make_unique<kvt::test::MeterSession>();
    m_window = std::make_unique<CKVTDlg>();
    QString error;
    QVERIFY2(m_window->OnInitDialog(QStringLiteral(KVT_SKIN_PATH), &error), qPrintable(error));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void MainWindowTest::cleanup() {
    m_window.reset();
    m_meter.reset();
}

bool MainWindowTest::WaitForCommand(const std::string& command, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (Contains(m_meter->Peek(), command)) {
            return true;
        }
    }
    return false;
}

void MainWindowTest::ConnectToMeter() {
    kvt::test::ModalDriver driver;
    driver.OnNextModal(AnswerProtocol(QString()), m_window.get());
    m_window->ConnectAction()->trigger();
    QVERIFY(driver.Acted());
    QVERIFY(kvt::link::GetConnection()->IsOpen());
    QVERIFY(WaitForCommand("DATA:LAST?"));
}

void MainWindowTest::startStateSendsNothing() {
    CKVTDlg& window = *m_window;
    QCOMPARE(window.windowTitle(), QString("Korvata"));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.width(), CKVTDlg::kWindowWidth);

    // Menu bar, in order, with the VMC sub-menu third in "Acquire".
    QCOMPARE(ActionTexts(window.menuBar()->actions()),
             (QStringList{"Control", "Acquire", "SaveData", "Logging", "Help"}));
    QCOMPARE(ActionTexts(window.ControlMenu()->actions()), (QStringList{"Connect", "Disconnect"}));
    QCOMPARE(ActionTexts(window.AcquireMenu()->actions()),
             (QStringList{"Delay", "Samples/Trigger", "VMC Out"}));
    QMenu* vmc = window.AcquireMenu()->actions().at(2)->menu();
    QVERIFY(vmc != nullptr);
    QCOMPARE(ActionTexts(vmc->actions()), (QStringList{"Pos", "Neg"}));
    QCOMPARE(ActionTexts(window.LoggingMenu()->actions()),
             (QStringList{"Record...", "Stop Recording", "-", "Reconnect Automatically"}));
    QVERIFY(window.RecordAction()->isEnabled());
    QVERIFY(!window.StopRecordingAction()->isEnabled());
    QVERIFY(window.ReconnectAutomaticallyAction()->isChecked());
    QVERIFY(window.statusBar()->isHidden());
    QCOMPARE(window.AboutAction()->text(), QString("&About Korvata..."));
    QVERIFY(window.ConnectAction()->isEnabled());
    QVERIFY(!window.DisconnectAction()->isEnabled());
    QCOMPARE(GreyedOfTheAlwaysEnabled(window), QStringList{});
    QVERIFY(!window.VmcPosAction()->isChecked());
    QVERIFY(!window.VmcNegAction()->isChecked());

    // The selector at the right, "Math" selected and shown.
    QListWidget* list = window.ViewList();
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries.append(list->item(i)->text());
    }
    QCOMPARE(entries, (QStringList{"Math", "BarMeter", "TrendChart", "Histongrom"}));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(list->geometry().x(), CKVTDlg::kViewListX);
    QCOMPARE(list->geometry().width(), CKVTDlg::kViewListWidth);
    QCOMPARE(window.CurrentView(), window.View("Math"));
    for (const char* key : {"Math", "BarMeter", "TrendChart", "Histongrom"}) {
        QWidget* view = window.View(key);
        QVERIFY(view != nullptr);
        QCOMPARE(view->isVisible(), QString(key) == "Math");
        QCOMPARE(view->width(), CKVTDlg::kViewWidth);
        // Below the front panel, left of the selector.
        QVERIFY(view->y() >= window.FrontPanel().geometry().bottom());
        QVERIFY(view->geometry().right() < list->x());
    }
    // The bar meter's two unit labels show volts.
    int voltLabels = 0;
    for (const QLabel* label : window.View("BarMeter")->findChildren<QLabel*>()) {
        voltLabels += label->text() == "V" ? 1 : 0;
    }
    QCOMPARE(voltLabels, 2);
    QVERIFY(kvt::functions::g_statisticsViewActive.load());
    QVERIFY(!kvt::functions::g_trendViewActive.load());
    QVERIFY(!kvt::functions::g_histogramViewActive.load());

    // The front panel shows DC voltage with its placeholder reading.
    QVERIFY(window.FrontPanel().IsCreated());
    QVERIFY(window.FrontPanel().GetCurrentFunction() == window.FrontPanel().Function("VOLT"));
    QCOMPARE(window.FrontPanel().GetCurrentFunction()->GetReadingText(),
             std::string(kvt::functions::CKVTFunction::kPlaceholder));
    QCoreApplication::processEvents();
    QCOMPARE(m_meter->Peek(), Strings{});
    kvt::test::SaveScreenshot(&window, "main-start");
}

void MainWindowTest::selectorSwitchesViewsAndFlags() {
    CKVTDlg& window = *m_window;
    struct Case {
        int row;
        const char* key;
        bool statistics, trend, histogram;
    };
    const Case cases[] = {{1, "BarMeter", false, false, false},
                          {2, "TrendChart", false, true, false},
                          {3, "Histongrom", false, false, true},
                          {0, "Math", true, false, false}};
    for (const Case& c : cases) {
        window.ViewList()->setCurrentRow(c.row);
        QCOMPARE(window.CurrentView(), window.View(c.key));
        int visible = 0;
        for (const char* key : {"Math", "BarMeter", "TrendChart", "Histongrom"}) {
            visible += window.View(key)->isVisible() ? 1 : 0;
        }
        QCOMPARE(visible, 1);
        QVERIFY(window.View(c.key)->isVisible());
        QCOMPARE(kvt::functions::g_statisticsViewActive.load(), c.statistics);
        QCOMPARE(kvt::functions::g_trendViewActive.load(), c.trend);
        QCOMPARE(kvt::functions::g_histogramViewActive.load(), c.histogram);
    }
}

void MainWindowTest::selectionAloneChoosesTheView() {
    // A selection made without moving the current item (as the
    // accessibility interface or a selection model may) chooses the view
    // it highlights.
    CKVTDlg& window = *m_window;
    QListWidget* list = window.ViewList();
    struct Case {
        int row;
        const char* key;
        bool statistics, trend, histogram;
    };
    const Case cases[] = {{2, "TrendChart", false, true, false},
                          {3, "Histongrom", false, false, true},
                          {1, "BarMeter", false, false, false},
                          {0, "Math", true, false, false}};
    for (const Case& c : cases) {
        const QModelIndex current = list->currentIndex();
        list->selectionModel()->select(list->model()->index(c.row, 0),
                                       QItemSelectionModel::ClearAndSelect);
        QCOMPARE(list->currentIndex(), current);
        QCOMPARE(window.CurrentView(), window.View(c.key));
        for (const char* key : {"Math", "BarMeter", "TrendChart", "Histongrom"}) {
            QCOMPARE(window.View(key)->isVisible(), QString(key) == c.key);
        }
        QCOMPARE(kvt::functions::g_statisticsViewActive.load(), c.statistics);
        QCOMPARE(kvt::functions::g_trendViewActive.load(), c.trend);
        QCOMPARE(kvt::functions::g_histogramViewActive.load(), c.histogram);
    }
    // Nothing selected: the view shown stays.
    list->selectionModel()->clearSelection();
    QCOMPARE(window.CurrentView(), window.View("Math"));
    QVERIFY(window.View("Math")->isVisible());
}

void MainWindowTest::minimisedWindowKeepsTheViewsFed() {
    // Minimising and restoring (or hiding and showing) the whole window
    // sends the views hide and show events; the views chosen in the list go
    // on being fetched and fed all the same.
    ConnectToMeter();
    CKVTDlg& window = *m_window;
    auto* samples = window.View("Math")->findChild<QLineEdit*>("samplesEdit");
    QVERIFY(samples != nullptr);
    auto* barMeter = qobject_cast<kvt::views::CDlgBarMeter*>(window.View("BarMeter"));
    QVERIFY(barMeter != nullptr);
    struct Case {
        int row;
        const char* key;
        const char* fetch;
        bool statistics, trend, histogram;
    };
    const Case cases[] = {
        {0, "Math", "CALCulate:AVERage:ALL?", true, false, false},
        {2, "TrendChart", "CALCulate:TRENd:CHARt:DATA?", false, true, false},
        {3, "Histongrom", "CALCulate:TRANsform:HISTogram:ALL?", false, false, true},
        {1, "BarMeter", "DATA:LAST?", false, false, false}};
    const struct {
        const char* name;
        std::function<void()> away;
        std::function<void()> back;
    } ways[] = {
        {"minimised", [&window] { window.showMinimized(); }, [&window] { window.showNormal(); }},
        {"hidden", [&window] { window.hide(); }, [&window] { window.show(); }}};
    for (const Case& c : cases) {
        for (const auto& way : ways) {
            const QString what = QString("%1 %2").arg(c.key, way.name);
            window.ViewList()->setCurrentRow(c.row);
            const QString samplesBefore = samples->text();
            const double valueBefore = barMeter->Chart()->Value();
            HideCounter hides;
            window.View(c.key)->installEventFilter(&hides);
            way.away();
            window.View(c.key)->removeEventFilter(&hides);
            QVERIFY2(hides.Count() > 0, qPrintable(what));
            QCOMPARE(kvt::functions::g_statisticsViewActive.load(), c.statistics);
            QCOMPARE(kvt::functions::g_trendViewActive.load(), c.trend);
            QCOMPARE(kvt::functions::g_histogramViewActive.load(), c.histogram);
            m_meter->Sent();
            QVERIFY2(WaitForCommand(c.fetch, 5000), qPrintable(what));
            if (c.statistics) {
                QTRY_VERIFY2(samples->text() != samplesBefore, qPrintable(what));
            }
            // The bar meter takes every reading, shown or not.
            QTRY_VERIFY2(barMeter->Chart()->Value() != valueBefore, qPrintable(what));
            way.back();
            QVERIFY2(window.View(c.key)->isVisible(), qPrintable(what));
            QCOMPARE(kvt::functions::g_statisticsViewActive.load(), c.statistics);
            QCOMPARE(kvt::functions::g_trendViewActive.load(), c.trend);
            QCOMPARE(kvt::functions::g_histogramViewActive.load(), c.histogram);
        }
    }
}

void MainWindowTest::enterAndEscapeDoNotEndTheProgram() {
    CKVTDlg& window = *m_window;
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QList<QWidget*> targets{&window};
    for (const char* key : {"Math", "TrendChart"}) {
        window.ViewList()->setCurrentRow(window.ViewList()->row(
            window.ViewList()->findItems(key, Qt::MatchExactly).constFirst()));
        const auto edits = window.View(key)->findChildren<QLineEdit*>();
        QVERIFY(!edits.isEmpty());
        targets.append(edits.constFirst());
    }
    for (QWidget* target : targets) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(target, key);
            QCoreApplication::processEvents();
            QVERIFY2(window.isVisible(), qPrintable(target->objectName()));
        }
    }
    // The quit shortcut ends it, as closing the window does.
    QVERIFY(window.QuitAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!window.isVisible());
}

void MainWindowTest::connectThenDisconnect() {
    CKVTDlg& window = *m_window;
    ConnectToMeter();
    QVERIFY(!window.ConnectAction()->isEnabled());
    QVERIFY(window.DisconnectAction()->isEnabled());
    QCOMPARE(GreyedOfTheAlwaysEnabled(window), QStringList{});
    const Strings started = m_meter->Peek();
    QVERIFY(Contains(started, "FUNCTION?"));
    QVERIFY(Contains(started, "TRIG:COUN INF"));
    QVERIFY(Contains(started, "INIT"));

    for (int row : {0, 1, 2, 3}) {
        window.ViewList()->setCurrentRow(row);
        // Let a few readings reach the view before its picture is taken.
        m_meter->Sent();
        QVERIFY(WaitForCommand("DATA:LAST?"));
        QVERIFY(WaitForCommand("DATA:LAST?"));
        QCoreApplication::processEvents();
        kvt::test::SaveScreenshot(&window,
                                  "main-connected-" + window.ViewList()->item(row)->text());
    }

    window.DisconnectAction()->trigger();
    QVERIFY(!kvt::link::GetConnection()->IsOpen());
    const Strings sent = m_meter->Peek();
    QVERIFY(!sent.empty());
    QCOMPARE(sent.back(), std::string("$$SY_FP 13"));
    QVERIFY(window.ConnectAction()->isEnabled());
    QVERIFY(!window.DisconnectAction()->isEnabled());
    QCOMPARE(GreyedOfTheAlwaysEnabled(window), QStringList{});
    // Connect works again after a disconnect.
    m_meter->Sent();
    ConnectToMeter();
    QVERIFY(!window.ConnectAction()->isEnabled());
    QCOMPARE(GreyedOfTheAlwaysEnabled(window), QStringList{});
}

void MainWindowTest::cancelledConnectChangesNothing() {
    kvt::test::ModalDriver driver;
    driver.OnNextModal(
        [](QWidget* modal) {
            auto* dialog = qobject_cast<kvt::link::CDlgProtocol*>(modal);
            QVERIFY(dialog != nullptr);
            // The dialog's search asks the meter who it is, and nothing else.
            QTRY_VERIFY(!dialog->Instruments()->Searching());
            dialog->CancelButton()->click();
        },
        m_window.get());
    m_window->ConnectAction()->trigger();
    QVERIFY(driver.Acted());
    QVERIFY(!kvt::link::GetConnection()->IsOpen());
    QVERIFY(m_window->ConnectAction()->isEnabled());
    QVERIFY(!m_window->DisconnectAction()->isEnabled());
    QCoreApplication::processEvents();
    QCOMPARE(m_meter->Peek(), Strings{"*IDN?\n"});
}

void MainWindowTest::theDialogOpensOnTheLastConnection() {
    QSettings().remove(QStringLiteral("connection"));
    auto expectDialog = [this](bool vxi11, const QString& address, const QString& answer) {
        kvt::test::ModalDriver driver;
        driver.OnNextModal(
            [&](QWidget* modal) {
                auto* dialog = qobject_cast<kvt::link::CDlgProtocol*>(modal);
                QVERIFY(dialog != nullptr);
                QCOMPARE(dialog->Vxi11Button()->isChecked(), vxi11);
                QCOMPARE(dialog->UsbtmcButton()->isChecked(), !vxi11);
                QCOMPARE(dialog->AddressEntry()->Text(), address);
                if (answer == "cancel") {
                    dialog->Vxi11Button()->click();
                    dialog->AddressEntry()->SetText("198.51.100.1");
                    dialog->CancelButton()->click();
                } else {
                    AnswerProtocol(answer)(modal);
                }
            },
            m_window.get());
        m_window->ConnectAction()->trigger();
        QVERIFY(driver.Acted());
    };
    // No settings: the first-run state, USBTMC and an empty address.
    expectDialog(false, "...", "192.0.2.7");
    QVERIFY(kvt::link::GetConnection()->IsOpen());
    m_window->DisconnectAction()->trigger();
    // A cancelled dialog changes nothing that is remembered.
    expectDialog(true, "192.0.2.7", "cancel");
    expectDialog(true, "192.0.2.7", QString());
    QVERIFY(kvt::link::GetConnection()->IsOpen());
    m_window->DisconnectAction()->trigger();
    expectDialog(false, "...", "cancel");
}

void MainWindowTest::failedConnectTellsWhy() {
    kvt::test::NoSimulation realVisa;
    SilentListener silent;
    QVERIFY(silent.Port() != 0);
    struct Case {
        QString address;
        QString reasonPart;
        // The portmapper's port: nothing listens on port 1 of the loopback
        // address, so it refuses at once.
        int portmapper;
    };
    const Case cases[] = {{"127.0.0.1", "connection was refused", 1},
                          {"127.0.0.1", "within the timeout", silent.Port()},
                          {"", "is not a complete IPv4 address", 1},
                          {QString(), "No USB instrument was found", 1}};
    for (const Case& c : cases) {
        setenv("KORVATA_VISA_PORTMAPPER_PORT", std::to_string(c.portmapper).c_str(), 1);
        kvt::test::ModalDriver dialogDriver;
        kvt::test::ModalDriver boxDriver;
        QElapsedTimer sinceOk;
        qint64 untilBox = -1;
        dialogDriver.OnNextModal(
            [&](QWidget* modal) {
                sinceOk.start();
                AnswerProtocol(c.address)(modal);
                // Then the failure box, once the dialog has gone.
                boxDriver.OnNextModal(
                    [&](QWidget* shown) {
                        untilBox = sinceOk.elapsed();
                        auto* box = qobject_cast<QMessageBox*>(shown);
                        QVERIFY(box != nullptr);
                        kvt::test::SaveScreenshot(
                            box, c.address.isNull()  ? QString("connect-failed-usb")
                                 : c.portmapper != 1 ? "connect-failed-vxi11-silent"
                                                     : "connect-failed-vxi11-" + c.address);
                        // The wait cursor is gone before the box appears.
                        QVERIFY(QApplication::overrideCursor() == nullptr);
                        QCOMPARE(box->text(), QString("Failed to connect"));
                        QCOMPARE(box->windowTitle(), QString("Error"));
                        QCOMPARE(box->icon(), QMessageBox::Critical);
                        QVERIFY2(box->informativeText().contains(c.reasonPart),
                                 qPrintable(box->informativeText()));
                        box->button(QMessageBox::Ok)->click();
                    },
                    modal);
            },
            m_window.get());
        m_window->ConnectAction()->trigger();
        QVERIFY(dialogDriver.Acted());
        QVERIFY(boxDriver.Acted());
        QVERIFY(!kvt::link::GetConnection()->IsOpen());
        QVERIFY(m_window->ConnectAction()->isEnabled());
        QVERIFY(!m_window->DisconnectAction()->isEnabled());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        if (c.portmapper == silent.Port()) {
            // The address was tried once: the reason is the failed open's
            // own, and the window waited one open timeout, not two.
            QCOMPARE(silent.Connections(), 1);
            QVERIFY2(untilBox < 2 * kOpenTimeoutMs, qPrintable(QString::number(untilBox)));
        }
    }
    unsetenv("KORVATA_VISA_PORTMAPPER_PORT");
    QCOMPARE(m_meter->Peek(), Strings{});
}

void MainWindowTest::vmcOutMarksAndCommands() {
    CKVTDlg& window = *m_window;
    // Disconnected: the marks change, the write goes nowhere.
    window.VmcNegAction()->trigger();
    QVERIFY(window.VmcNegAction()->isChecked());
    QVERIFY(!window.VmcPosAction()->isChecked());
    QCOMPARE(m_meter->Peek(), Strings{});

    QVERIFY(kvt::link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    window.VmcPosAction()->trigger();
    QVERIFY(window.VmcPosAction()->isChecked());
    QVERIFY(!window.VmcNegAction()->isChecked());
    QCOMPARE(m_meter->Sent(), Strings{"OUTP:TRIG:SLOP POS"});
    // Choosing the checked one again keeps it checked.
    window.VmcPosAction()->trigger();
    QVERIFY(window.VmcPosAction()->isChecked());
    QCOMPARE(m_meter->Sent(), Strings{"OUTP:TRIG:SLOP POS"});
    window.VmcNegAction()->trigger();
    QVERIFY(window.VmcNegAction()->isChecked());
    QVERIFY(!window.VmcPosAction()->isChecked());
    QCOMPARE(m_meter->Sent(), Strings{"OUTP:TRIG:SLOP NEG"});
}

void MainWindowTest::acquireMenuOpensTheDialogs_data() {
    QTest::addColumn<bool>("connected");
    QTest::newRow("connected") << true;
    // Usable while disconnected: the commands go nowhere, and nothing says so.
    QTest::newRow("disconnected") << false;
}

void MainWindowTest::acquireMenuOpensTheDialogs() {
    QFETCH(bool, connected);
    if (connected) {
        QVERIFY(kvt::link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    }
    const uint64_t failures = kvt::link::CommunicationFailureCount();
    // A box raised by OK itself would run inside the dialog's OK: this
    // looks at the first turn of the event loop after OK, and closes one.
    bool looked = false;
    QString boxText;
    auto lookForBox = [&looked, &boxText] {
        QTimer::singleShot(0, [&looked, &boxText] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxText = box->text();
                box->close();
            }
            looked = true;
        });
    };

    kvt::test::ModalDriver driver;
    driver.OnNextModal(
        [&lookForBox](QWidget* modal) {
            auto* dialog = qobject_cast<kvt::app::CDlgDelay*>(modal);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->parentWidget() != nullptr, true);
            dialog->ManualButton()->click();
            dialog->UnitList()->setCurrentText("mS");
            dialog->ValueEdit()->setText("250");
            kvt::test::SaveScreenshot(dialog, "delay-dialog");
            lookForBox();
            dialog->OkButton()->click();
        },
        m_window.get());
    m_window->DelayAction()->trigger();
    QVERIFY(driver.Acted());
    QTRY_VERIFY(looked);
    QCOMPARE(boxText, QString());
    QCOMPARE(m_meter->Sent(), connected ? Strings{"TRIG:DEL 0.250"} : Strings{});

    looked = false;
    driver.OnNextModal(
        [&lookForBox](QWidget* modal) {
            auto* dialog = qobject_cast<kvt::app::CDlgSamplesTrigger*>(modal);
            QVERIFY(dialog != nullptr);
            dialog->CountEdit()->setText("10");
            kvt::test::SaveScreenshot(dialog, "samples-trigger-dialog");
            lookForBox();
            dialog->OkButton()->click();
        },
        m_window.get());
    m_window->SamplesTriggerAction()->trigger();
    QVERIFY(driver.Acted());
    QTRY_VERIFY(looked);
    QCOMPARE(boxText, QString());
    QCOMPARE(m_meter->Sent(), connected ? Strings{"SAMP:COUN 10"} : Strings{});

    // No failure was reported to be shown later, and no box is up.
    QCOMPARE(kvt::link::CommunicationFailureCount(), failures);
    QCoreApplication::processEvents();
    QCOMPARE(VisibleBoxes(), 0);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainWindowTest::aboutBoxFromHelpMenu() {
    kvt::test::ModalDriver driver;
    driver.OnNextModal(
        [](QWidget* modal) {
            auto* about = qobject_cast<kvt::app::CAboutDlg*>(modal);
            QVERIFY(about != nullptr);
            kvt::test::SaveScreenshot(about, "about-box");
            about->OkButton()->click();
        },
        m_window.get());
    m_window->AboutAction()->trigger();
    QVERIFY(driver.Acted());
    QCOMPARE(m_meter->Peek(), Strings{});
}

void MainWindowTest::closingWhileConnectedSendsNothing() {
    ConnectToMeter();
    kvt::functions::CKVTFunction* current = m_window->FrontPanel().GetCurrentFunction();
    QVERIFY(current->IsWorkerRunning());
    // The meter stops answering at the worker's next reading: the worker
    // waits for that reply when the window closes, and until then nothing
    // more reaches the meter.
    // Not brought back here: the meter is to stay as the close found it.
    m_window->Reconnection().SetEnabled(false);
    // Waited for until the silenced reading has arrived: one sent just
    // before the silence began is still answered, and the worker goes on.
    m_meter->Device().SilenceAt("DATA:LAST?");
    QTRY_VERIFY_WITH_TIMEOUT(m_meter->Device().Silent(), 10000);
    const Strings before = m_meter->Peek();
    QVERIFY(Contains(before, "INIT"));

    m_window->close();
    QVERIFY(!m_window->isVisible());
    // Every worker has been stopped and joined by the time close returns.
    for (const char* name : {"VOLT", "CURR", "VOLT:AC", "CURR:AC", "RES", "FRES", "CAP", "FREQ",
                             "CONT", "DIOD", "TEMP"}) {
        kvt::functions::CKVTFunction* function = m_window->FrontPanel().Function(name);
        QVERIFY2(function != nullptr, name);
        QVERIFY2(!function->IsWorkerRunning(), name);
    }
    QCoreApplication::processEvents();
    // The meter's whole log is as it was before the close: nothing at all
    // was sent, the disconnect key code included.
    QCOMPARE(m_meter->Peek(), before);
    // The connection stays as it was: closing the window does not close it.
    QVERIFY(kvt::link::GetConnection()->IsOpen());
}
