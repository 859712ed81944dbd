// Recording through the Logging menu against the simulated meter in
// process: the file dialog, the status bar and title, the rows across a
// function change, failures told once; and a meter that falls silent
// brought back with the recording going on in the same file.
#include "tests/app/RecordingTest.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "app/ReconnectController.h"
#include "app/RecordingStatus.h"
#include "functions/CKVTFunction.h"
#include "link/CDlgProtocol.h"
#include "link/IConnection.h"
#include "tests/app/LocaleGuard.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/Screenshots.h"

using kvt::app::CKVTDlg;
using kvt::app::ReconnectController;

namespace {

// The rows of a recording after its header, each cut into its six fields
// (no field here holds a comma).
QList<QStringList> Rows(const QString& path) {
    QFile file(path);
    QList<QStringList> rows;
    if (!file.open(QIODevice::ReadOnly)) {
        return rows;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i].isEmpty()) {
            rows.append(QString::fromUtf8(lines[i]).split(QLatin1Char(',')));
        }
    }
    return rows;
}

bool EndsWithWholeLine(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().endsWith('\n');
}

// Every row has six fields, and neither the time nor the seconds go back.
void ExpectOrderedRows(const QList<QStringList>& rows) {
    double seconds = -1;
    QString time;
    for (const QStringList& row : rows) {
        QCOMPARE(row.size(), qsizetype(6));
        QVERIFY2(row[0] >= time, qPrintable(row.join(',')));
        QVERIFY2(row[1].toDouble() >= seconds, qPrintable(row.join(',')));
        time = row[0];
        seconds = row[1].toDouble();
    }
}

}  // namespace

void RecordingTest::init() {
    QSettings().clear();
    m_meter = std::make_unique<kvt::test::MeterSession>();
    m_window = std::make_unique<CKVTDlg>();
    QString error;
    QVERIFY2(m_window->OnInitDialog(QStringLiteral(KVT_SKIN_PATH), &error), qPrintable(error));
    m_window->show();
    m_folder = QDir::temp().filePath(QStringLiteral("korvata-record-%1").arg(getpid()));
    QDir(m_folder).removeRecursively();
    QVERIFY(QDir().mkpath(m_folder));
}

void RecordingTest::cleanup() {
    m_window.reset();
    m_meter.reset();
    QDir(m_folder).removeRecursively();
    QSettings().clear();
}

void RecordingTest::ConnectToMeter() {
    kvt::test::ModalDriver driver;
    driver.OnNextModal(
        [](QWidget* modal) {
            auto* dialog = qobject_cast<kvt::link::CDlgProtocol*>(modal);
            QVERIFY(dialog != nullptr);
            dialog->OkButton()->click();
        },
        m_window.get());
    m_window->ConnectAction()->trigger();
    QVERIFY(driver.Acted());
    QVERIFY(kvt::link::GetConnection()->IsOpen());
    // Readings flow once the panel has started the meter.
    kvt::functions::CKVTFunction* current = m_window->FrontPanel().GetCurrentFunction();
    QTRY_VERIFY_WITH_TIMEOUT(
        current->GetReadingText() != kvt::functions::CKVTFunction::kPlaceholder, 10000);
}

void RecordingTest::RecordThroughDialog(const QString& path) {
    kvt::test::ModalDriver driver;
    driver.OnNextModal(
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->objectName(), QString("recordDialog"));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->defaultSuffix(), QString("csv"));
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        },
        m_window.get());
    m_window->RecordAction()->trigger();
    QVERIFY(driver.Acted());
}

bool RecordingTest::WaitForRecorded(uint64_t count, int timeoutMs) {
    const uint64_t target = m_window->Recorder().GetStatus().readings + count;
    QElapsedTimer clock;
    clock.start();
    while (m_window->Recorder().GetStatus().readings < target) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void RecordingTest::recordsEveryReadingAcrossAFunctionChange() {
    ConnectToMeter();
    const QString path = m_folder + "/psu";  // the dialog adds ".csv"
    RecordThroughDialog(path);
    QVERIFY(m_window->Recorder().IsRecording());
    QVERIFY(!m_window->RecordAction()->isEnabled());
    QVERIFY(m_window->StopRecordingAction()->isEnabled());
    QVERIFY(WaitForRecorded(5));

    // The status bar and title say so, and keep counting.
    m_window->UpdateStatus();
    QVERIFY(m_window->statusBar()->isVisible());
    QVERIFY2(m_window->RecordingLabel()->text().startsWith("Recording psu.csv: "),
             qPrintable(m_window->RecordingLabel()->text()));
    QCOMPARE(m_window->RecordingLabel()->toolTip(), path + ".csv");
    QVERIFY2(m_window->windowTitle().startsWith("Korvata - Recording psu.csv ("),
             qPrintable(m_window->windowTitle()));
    kvt::test::SaveScreenshot(m_window.get(), "recording");

    // A function key: the next rows name the new function.
    QVERIFY(m_window->FrontPanel().Control("btnACV") != nullptr);
    m_window->FrontPanel().OnClick("btnACV");
    QTRY_VERIFY_WITH_TIMEOUT(m_window->FrontPanel().GetCurrentFunction()->GetName() == "AC Voltage",
                             10000);
    QVERIFY(WaitForRecorded(5));

    m_window->StopRecordingAction()->trigger();
    QVERIFY(!m_window->Recorder().IsRecording());
    QVERIFY(m_window->statusBar()->isHidden());
    QCOMPARE(m_window->windowTitle(), QString("Korvata"));
    QVERIFY(m_window->RecordAction()->isEnabled());

    const QList<QStringList> rows = Rows(path + ".csv");
    QCOMPARE(static_cast<uint64_t>(rows.size()), m_window->Recorder().GetStatus().readings);
    QVERIFY(EndsWithWholeLine(path + ".csv"));
    ExpectOrderedRows(rows);
    QCOMPARE(rows.front()[2], QString("DC Voltage"));
    QCOMPARE(rows.front()[4], QString("V"));
    QCOMPARE(rows.back()[2], QString("AC Voltage"));
    // One change: the function column switches once and never back.
    int changes = 0;
    for (qsizetype i = 1; i < rows.size(); ++i) {
        changes += rows[i][2] != rows[i - 1][2] ? 1 : 0;
    }
    QCOMPARE(changes, 1);
}

void RecordingTest::statusTextsReadTheSameInEveryLocale() {
    using kvt::app::DurationText;
    using kvt::app::SizeText;
    kvt::test::LocaleGuard german("de_DE.UTF-8");
    QCOMPARE(DurationText(std::chrono::seconds(5)), QString("0:00:05"));
    QCOMPARE(DurationText(std::chrono::seconds(26 * 3600 + 3 * 60 + 11)), QString("26:03:11"));
    QCOMPARE(DurationText(std::chrono::seconds(-3)), QString("0:00:00"));
    QCOMPARE(SizeText(999), QString("999 B"));
    QCOMPARE(SizeText(1000), QString("1.0 kB"));
    QCOMPARE(SizeText(85'349), QString("85.3 kB"));
    QCOMPARE(SizeText(12'600'000), QString("12.6 MB"));
    QCOMPARE(SizeText(3'100'000'000), QString("3.1 GB"));

    kvt::functions::BackgroundRecorder::Status status;
    const auto now = std::chrono::steady_clock::now();
    QCOMPARE(kvt::app::RecordingStatusText(status, now), QString());
    QCOMPARE(kvt::app::RecordingWindowTitle(status, now), QString("Korvata"));
    status.recording = true;
    status.path = "/data/bench 4/psu,1.csv";
    status.readings = 1;
    status.bytes = 2500;
    status.started = now - std::chrono::seconds(3725);
    QCOMPARE(kvt::app::RecordingStatusText(status, now),
             QString("Recording psu,1.csv: 1 reading, 1:02:05, 2.5 kB"));
    status.readings = 1234;
    status.dropped = 7;
    QCOMPARE(kvt::app::RecordingStatusText(status, now),
             QString("Recording psu,1.csv: 1234 readings, 1:02:05, 2.5 kB "
                     "(7 not written: the disk is too slow)"));
    QCOMPARE(kvt::app::RecordingWindowTitle(status, now),
             QString("Korvata - Recording psu,1.csv (1234 readings, 1:02:05)"));
}

void RecordingTest::aPlaceThatCannotHoldTheFileSaysWhy() {
    const QString path = m_folder + "/missing/log.csv";
    kvt::test::ModalDriver driver;
    QString reason;
    driver.OnNextModalNamed(QStringLiteral("recordFailureBox"), [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), "Recording to " + path + " could not start.");
        reason = box->informativeText();
        box->accept();
    });
    QVERIFY(!m_window->StartRecordingTo(path));
    QVERIFY(driver.Acted());
    QVERIFY2(reason.contains(QString::fromLocal8Bit(std::strerror(ENOENT))), qPrintable(reason));
    QVERIFY(m_window->RecordAction()->isEnabled());
    QVERIFY(!m_window->StopRecordingAction()->isEnabled());
}

void RecordingTest::aRecordingThatFailsSaysSoOnceAndReadingsGoOn() {
    ConnectToMeter();
    const QString path = m_folder + "/gone.csv";
    QVERIFY(m_window->StartRecordingTo(path));
    QVERIFY(WaitForRecorded(3));
    QVERIFY(QFile::remove(path));

    kvt::test::ModalDriver driver;
    QString reason;
    driver.OnNextModalNamed(
        QStringLiteral("recordFailureBox"),
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->text(), QString("Recording stopped."));
            reason = box->informativeText();
            box->accept();
        },
        nullptr, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(driver.Acted(), 15000);
    QVERIFY2(reason.contains("deleted, or its folder removed"), qPrintable(reason));
    QVERIFY(!m_window->Recorder().IsRecording());
    QVERIFY(m_window->RecordAction()->isEnabled());
    // The readings go on, and the reason is not told again.
    kvt::functions::CKVTFunction* current = m_window->FrontPanel().GetCurrentFunction();
    QSet<std::string> seen{current->GetReadingText()};
    QTRY_VERIFY_WITH_TIMEOUT((seen.insert(current->GetReadingText()), seen.size() > 3), 10000);
    m_window->UpdateStatus();
    QVERIFY(m_window->statusBar()->isHidden());
    QVERIFY(m_window->FrontPanel().GetCurrentFunction()->IsWorkerRunning());
}

void RecordingTest::aSilentMeterIsBroughtBackAndTheRecordingGoesOn() {
    ConnectToMeter();
    const QString path = m_folder + "/drop.csv";
    QVERIFY(m_window->StartRecordingTo(path));
    QVERIFY(WaitForRecorded(5));
    ReconnectController& reconnection = m_window->Reconnection();
    QCOMPARE(reconnection.GetState(), ReconnectController::State::Connected);
    reconnection.SetPauses(std::chrono::milliseconds(20), std::chrono::milliseconds(80));

    m_meter->Device().SetSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(reconnection.GetState() == ReconnectController::State::Reconnecting,
                             10000);
    QVERIFY(!kvt::link::GetConnection()->IsOpen());
    m_window->UpdateStatus();
    QVERIFY(m_window->statusBar()->isVisible());
    QVERIFY2(m_window->ConnectionLabel()->text().startsWith("Meter not answering."),
             qPrintable(m_window->ConnectionLabel()->text()));
    kvt::test::SaveScreenshot(m_window.get(), "reconnecting");
    // Still silent: the reopened meter does not answer the start, and the
    // attempts go on.
    QTRY_VERIFY_WITH_TIMEOUT(
        reconnection.Attempts() >= 3 &&
            reconnection.GetState() == ReconnectController::State::Reconnecting,
        10000);
    const uint64_t duringSilence = m_window->Recorder().GetStatus().readings;

    m_meter->Device().SetSilent(false);
    QVERIFY(WaitForRecorded(5));
    QCOMPARE(reconnection.GetState(), ReconnectController::State::Connected);
    QVERIFY(m_window->Recorder().GetStatus().readings > duringSilence);
    QVERIFY(m_window->Recorder().IsRecording());
    // The status bar keeps saying that the meter dropped off.
    m_window->UpdateStatus();
    QCOMPARE(reconnection.Returns(), 1);
    QCOMPARE(m_window->ConnectionLabel()->text(), QString("Meter dropped off once; brought back."));
    QVERIFY(reconnection.QuietFailures());

    m_window->StopRecordingAction()->trigger();
    const QList<QStringList> rows = Rows(path);
    QCOMPARE(static_cast<uint64_t>(rows.size()), m_window->Recorder().GetStatus().readings);
    ExpectOrderedRows(rows);
}

void RecordingTest::disconnectStopsTheAttempts() {
    ConnectToMeter();
    m_meter->Device().SetSilent(true);
    ReconnectController& reconnection = m_window->Reconnection();
    QTRY_VERIFY_WITH_TIMEOUT(reconnection.GetState() == ReconnectController::State::Reconnecting,
                             10000);
    m_window->DisconnectAction()->trigger();
    QCOMPARE(reconnection.GetState(), ReconnectController::State::Idle);
    QVERIFY(m_window->ConnectAction()->isEnabled());
    QVERIFY(reconnection.StatusText().isEmpty());
    m_meter->Sent();
    // The meter answers again, but no attempt may open it: one under way
    // when the user disconnected ends with it closed, and none follows.
    m_meter->Device().SetSilent(false);
    reconnection.WaitForAttempt();
    QCoreApplication::processEvents();
    QVERIFY(!kvt::link::GetConnection()->IsOpen());
    QCOMPARE(reconnection.GetState(), ReconnectController::State::Idle);
    QVERIFY(m_meter->Sent().empty());
}

void RecordingTest::reconnectingIsRememberedAndCanBeTurnedOff() {
    QVERIFY(m_window->ReconnectAutomaticallyAction()->isChecked());
    QVERIFY(m_window->Reconnection().IsEnabled());
    m_window->ReconnectAutomaticallyAction()->trigger();
    QVERIFY(!m_window->Reconnection().IsEnabled());
    QCOMPARE(QSettings().value(CKVTDlg::kReconnectSetting).toBool(), false);

    // A window made later starts with it off.
    m_window.reset();
    m_window = std::make_unique<CKVTDlg>();
    QString error;
    QVERIFY2(m_window->OnInitDialog(QStringLiteral(KVT_SKIN_PATH), &error), qPrintable(error));
    QVERIFY(!m_window->ReconnectAutomaticallyAction()->isChecked());
    QVERIFY(!m_window->Reconnection().IsEnabled());

    // Off: a silent meter stays closed, as before there was reconnecting.
    m_window->show();
    ConnectToMeter();
    m_meter->Device().SetSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->FrontPanel().GetCurrentFunction()->IsWorkerRunning(),
                             10000);
    QCoreApplication::processEvents();
    QCOMPARE(m_window->Reconnection().GetState(), ReconnectController::State::Connected);
    QVERIFY(kvt::link::GetConnection()->IsOpen());
}
