#pragma once

#include <QMainWindow>
#include <QString>

#include <map>

#include "panel/CFrontPanel.h"

class QAction;
class QFrame;
class QListWidget;
class QMenu;

namespace kvt::app {

// The main window: the front panel on top, below it one of the four
// analysis views (640 pixels wide, between two etched lines) and, at the
// right, the list that chooses the view; the main menu with connecting,
// the acquisition settings, the VMC output polarity and saving the
// readings, and the About box under Help. The window is 800 pixels wide.
// It ends only by being closed (or by the quit shortcut): Enter and
// Escape typed anywhere in it do not end the program. Closing sends
// nothing to the instrument; the front panel's workers are stopped and
// joined.
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
    QAction* ConnectAction() const { return m_connect; }
    QAction* DisconnectAction() const { return m_disconnect; }
    QAction* DelayAction() const { return m_delay; }
    QAction* SamplesTriggerAction() const { return m_samplesTrigger; }
    QAction* VmcPosAction() const { return m_vmcPos; }
    QAction* VmcNegAction() const { return m_vmcNeg; }
    QAction* SaveDataAction() const { return m_saveData; }
    QAction* AboutAction() const { return m_about; }
    QAction* QuitAction() const { return m_quit; }

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
    QString AskSavePath();
    void CreateViews();
    QFrame* EtchedLine(int x, int y, int width);

    QListWidget* m_viewList = nullptr;
    panel::CFrontPanel m_frontPanel;
    QWidget* m_currentView = nullptr;
    std::map<QString, QWidget*> m_views;

    QWidget* m_client = nullptr;
    QMenu* m_controlMenu = nullptr;
    QMenu* m_acquireMenu = nullptr;
    QAction* m_connect = nullptr;
    QAction* m_disconnect = nullptr;
    QAction* m_delay = nullptr;
    QAction* m_samplesTrigger = nullptr;
    QAction* m_vmcPos = nullptr;
    QAction* m_vmcNeg = nullptr;
    QAction* m_saveData = nullptr;
    QAction* m_about = nullptr;
    QAction* m_quit = nullptr;
};

}  // namespace kvt::app
