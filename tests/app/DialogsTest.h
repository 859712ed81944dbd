#pragma once

#include <QObject>

#include <memory>

#include "tests/app/MeterSession.h"

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void protocolDialogOpensOnUsbtmc();
    void protocolDialogOkAtOnceIsUsbtmcWhateverWasTyped();
    void protocolDialogVxi11GivesDottedAddress();
    void protocolDialogBackToUsbtmcLeavesAddressEmpty();
    void protocolDialogCancelAndCloseRecordNothing();
    void protocolDialogListsAndPicksTheInstrumentsFound();
    void protocolDialogDoubleClickConnectsAndSearchesAgain();
    void protocolDialogOpensOnAGivenConnection();
    void delayDialogStartsOnAuto();
    void delayDialogSends_data();
    void delayDialogSends();
    void acquireDialogsCloseWithoutSending_data();
    void acquireDialogsCloseWithoutSending();
    void samplesDialogSendsTextAsTyped();
    void aboutBoxShowsIconAndVersion();

private:
    std::unique_ptr<kvt::test::MeterSession> m_meter;
};
