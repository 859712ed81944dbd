#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "app/CKVTDlg.h"
#include "tests/app/MeterSession.h"

class RecordingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordsEveryReadingAcrossAFunctionChange();
    void statusTextsReadTheSameInEveryLocale();
    void aPlaceThatCannotHoldTheFileSaysWhy();
    void aRecordingThatFailsSaysSoOnceAndReadingsGoOn();
    void aSilentMeterIsBroughtBackAndTheRecordingGoesOn();
    void disconnectStopsTheAttempts();
    void reconnectingIsRememberedAndCanBeTurnedOff();

private:
    // Connects through the menu and the dialog (USBTMC), then waits until
    // the meter is read.
    void ConnectToMeter();
    // Chooses Record... and answers the file dialog with path.
    void RecordThroughDialog(const QString& path);
    // Waits until the recording holds at least count more readings.
    bool WaitForRecorded(uint64_t count, int timeoutMs = 10000);

    std::unique_ptr<kvt::test::MeterSession> m_meter;
    std::unique_ptr<kvt::app::CKVTDlg> m_window;
    QString m_folder;
};
