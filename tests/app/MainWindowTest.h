#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "app/CKVTDlg.h"
#include "tests/app/MeterSession.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startStateSendsNothing();
    void selectorSwitchesViewsAndFlags();
    void selectionAloneChoosesTheView();
    void minimisedWindowKeepsTheViewsFed();
    void enterAndEscapeDoNotEndTheProgram();
    void connectThenDisconnect();
    void cancelledConnectChangesNothing();
    void theDialogOpensOnTheLastConnection();
    void failedConnectTellsWhy();
    void vmcOutMarksAndCommands();
    void acquireMenuOpensTheDialogs_data();
    void acquireMenuOpensTheDialogs();
    void aboutBoxFromHelpMenu();
    void closingWhileConnectedSendsNothing();

private:
    // Connects through the menu and the dialog (USBTMC), then waits until
    // the meter is read.
    void ConnectToMeter();
    // Waits until the recording device received this command.
    bool WaitForCommand(const std::string& command, int timeoutMs = 10000);

    std::unique_ptr<kvt::test::MeterSession> m_meter;
    std::unique_ptr<kvt::app::CKVTDlg> m_window;
};
