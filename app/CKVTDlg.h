#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>

#include "functions/BackgroundRecorder.h"
#include "link/InstrumentSearch.h"
#include "panel/CFrontPanel.h"

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;

namespace kvt::app {

class ReconnectController;

// The main window: the front panel on top, below it one of the four
// analysis views (640 pixels wide, between two etched lines) and, at the
// right, the list that chooses the view; the main menu with connecting,
// the acquisition settings, the VMC output polarity and saving the
// readings, and the About box under Help. The window is 800 pixels wide.
// It ends only by being closed (or by the quit shortcut): Enter and
// Escape typed anywhere in it do not end the program. Closing sends
// nothing to the instrument; the front panel's workers are stopped and
// joined.
//
// Beside those, it records every reading to a CSV file with its time
// and, while "Reconnect Automatically" is on, brings back a meter that
// stopped answering (the Logging menu, between SaveData and Help). A status bar, shown while
// either is under way, and the window title say so.
class CKVTDlg : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kWindowWidth = 800;
    static constexpr int kViewWidth = 640;
    static constexpr int kViewListX = 650;
    static constexpr int kViewListWidth = 135;

    // Builds the menu and the view selector; no views, no panel yet.
    explicit CKVTDlg(QWidget* parent = nullptr);
    ~CKVTDlg() override;

    // Creates the four views and the front panel from the skin beside the
    // program (or the given skin). Nothing is sent to the instrument. On
    // failure returns false and *error says which file and what is wrong.
    bool OnInitDialog(QString* error);
    bool OnInitDialog(const QString& skinPath, QString* error);

    // The selector's selection changed: shows the view of that name.
    void OnViewSelected();
    // The menu commands.
    void OnConnect();
    void OnDisconnect();
    void OnAcquireDelay();
    void OnSamplesTrigger();
    void OnVmcOutPos();
    void OnVmcOutNeg();
    void OnSaveData();
    void OnAbout();
    void OnRecord();
    void OnStopRecording();
    void OnReconnectAutomatically(bool enabled);
    // Starts recording every reading to path; a failure is shown in a
    // message box with its reason. True when the recording runs.
    bool StartRecordingTo(const QString& path);
    // Saves the current function's readings to path; a failure is shown
    // in a message box with its reason. True when the file was written.
    bool SaveDataTo(const QString& path);

    panel::CFrontPanel& FrontPanel() { return m_frontPanel; }
    QListWidget* ViewList() const { return m_viewList; }
    QWidget* CurrentView() const { return m_currentView; }
    // The view entered under a selector text, or null.
    QWidget* View(const QString& key) const;
    QRect ViewArea() const;

    QMenu* ControlMenu() const { return m_controlMenu; }
    QMenu* AcquireMenu() const { return m_acquireMenu; }
    QMenu* LoggingMenu() const { return m_loggingMenu; }
    QAction* ConnectAction() const { return m_connect; }
    QAction* DisconnectAction() const { return m_disconnect; }
    QAction* DelayAction() const { return m_delay; }
    QAction* SamplesTriggerAction() const { return m_samplesTrigger; }
    QAction* VmcPosAction() const { return m_vmcPos; }
    QAction* VmcNegAction() const { return m_vmcNeg; }
    QAction* SaveDataAction() const { return m_saveData; }
    QAction* AboutAction() const { return m_about; }
    QAction* QuitAction() const { return m_quit; }
    QAction* RecordAction() const { return m_record; }
    QAction* StopRecordingAction() const { return m_stopRecording; }
    QAction* ReconnectAutomaticallyAction() const { return m_reconnectAutomatically; }
    functions::BackgroundRecorder& Recorder() { return m_recorder; }
    ReconnectController& Reconnection() { return *m_reconnection; }
    QLabel* RecordingLabel() const { return m_recordingLabel; }
    QLabel* ConnectionLabel() const { return m_connectionLabel; }
    // Brings the status bar, the title and the recording commands up to
    // date; shows why a recording stopped on its own.
    void UpdateStatus();

    // The settings key of "Reconnect Automatically".
    static constexpr const char* kReconnectSetting = "connection/reconnectAutomatically";

    // Replaces how the connection dialog finds instruments (tests).
    void SetInstrumentSearch(std::unique_ptr<link::InstrumentSearch> search) {
        m_instrumentSearch = std::move(search);
    }

signals:
    // The window is closing and the program ends: emitted before the
    // workers are stopped, so that nothing more is shown to the user.
    void Closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Stops and joins every function's worker; sends nothing.
    void StopWorkers();
    void BuildMenu();
    // Asks for the file to save to; empty when the user cancelled.
    QString AskSavePath(const QString& objectName, const QString& title);
    void BuildStatusBar();
    // The box that explains a failure: the text, then the reason.
    void ShowFailure(const QString& objectName, const QString& text, const QString& reason);
    void CreateViews();
    QFrame* EtchedLine(int x, int y, int width);

    QListWidget* m_viewList = nullptr;
    panel::CFrontPanel m_frontPanel;
    QWidget* m_currentView = nullptr;
    std::map<QString, QWidget*> m_views;

    QWidget* m_client = nullptr;
    QMenu* m_controlMenu = nullptr;
    QMenu* m_acquireMenu = nullptr;
    QMenu* m_loggingMenu = nullptr;
    QAction* m_connect = nullptr;
    QAction* m_disconnect = nullptr;
    QAction* m_delay = nullptr;
    QAction* m_samplesTrigger = nullptr;
    QAction* m_vmcPos = nullptr;
    QAction* m_vmcNeg = nullptr;
    QAction* m_saveData = nullptr;
    QAction* m_about = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_record = nullptr;
    QAction* m_stopRecording = nullptr;
    QAction* m_reconnectAutomatically = nullptr;

    functions::BackgroundRecorder m_recorder;
    // Finds the instruments the connection dialog lists; it lives as long
    // as the window, so that a search under way when the dialog closes
    // ends on its own.
    std::unique_ptr<link::InstrumentSearch> m_instrumentSearch;
    ReconnectController* m_reconnection = nullptr;
    QLabel* m_recordingLabel = nullptr;
    QLabel* m_connectionLabel = nullptr;
    // Refreshes the status bar once a second while it is shown.
    QTimer m_statusTimer;
};

}  // namespace kvt::app
