#include "app/CKVTDlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmapCache>
#include <QSettings>
#include <QStatusBar>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/AppIcon.h"
#include "app/CAboutDlg.h"
#include "app/CDlgDelay.h"
#include "app/CDlgSamplesTrigger.h"
#include "app/ReconnectController.h"
#include "app/RecordingStatus.h"
#include "app/RememberedConnection.h"
#include "functions/CKVTFunction.h"
#include "link/CConectWithNI.h"
#include "link/CDlgProtocol.h"
#include "link/CoreCommands.h"
#include "link/ExchangeSequence.h"
#include "link/IConnection.h"
#include "link/OpenFailure.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"
#include "views/CWaitCursor.h"

namespace kvt::app {
namespace {

// The view area's height and the selector's, and the gaps around the
// etched lines (the template's dialog units at the usual dialog font).
constexpr int kViewHeight = 272;
constexpr int kViewListHeight = 210;
constexpr int kPanelGap = 4;
constexpr int kViewAreaGap = 8;
constexpr int kViewLeft = 6;
constexpr int kBottomMargin = 6;

// Message boxes that explain a failure get room for their reason, so that
// it reads in a few lines rather than a narrow column.
constexpr const char* kReasonBoxStyle = "QLabel#qt_msgbox_informativelabel { min-width: 340px; }";

constexpr const char* kMath = "Math";
constexpr const char* kBarMeter = "BarMeter";
constexpr const char* kTrendChart = "TrendChart";
constexpr const char* kHistogram = "Histongrom";

}  // namespace

CKVTDlg::CKVTDlg(QWidget* parent)
    : QMainWindow(parent), m_instrumentSearch(std::make_unique<link::InstrumentSearch>()) {
    setWindowTitle(QStringLiteral("Korvata"));
    setWindowIcon(AppIcon());
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_viewList = new QListWidget(m_client);
    m_viewList->setObjectName(QStringLiteral("viewList"));
    m_reconnection = new ReconnectController(m_frontPanel, this);
    BuildMenu();
    BuildStatusBar();
    connect(m_reconnection, &ReconnectController::StateChanged, this, &CKVTDlg::UpdateStatus);
    m_statusTimer.setInterval(1000);
    connect(&m_statusTimer, &QTimer::timeout, this, &CKVTDlg::UpdateStatus);
    // The window keeps the size of its content: 800 pixels wide.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_client->setFixedSize(kWindowWidth, kViewHeight);
}

CKVTDlg::~CKVTDlg() {
    // The views point at the panel and the panel at the views: stop the
    // workers, detach the panel (a member, not a child to delete) and take
    // the views down before the members go.
    StopWorkers();
    m_frontPanel.SetRecorder(nullptr);
    m_frontPanel.SetStatisticsView(nullptr);
    m_frontPanel.SetBarMeterView(nullptr);
    m_frontPanel.SetTrendView(nullptr);
    m_frontPanel.SetHistogramView(nullptr);
    m_frontPanel.hide();
    m_frontPanel.setParent(nullptr);
    for (auto& [key, view] : m_views) {
        delete view;
    }
    m_views.clear();
    m_currentView = nullptr;
}

void CKVTDlg::BuildMenu() {
    m_controlMenu = menuBar()->addMenu(QStringLiteral("Control"));
    m_connect = m_controlMenu->addAction(QStringLiteral("Connect"), this, &CKVTDlg::OnConnect);
    m_disconnect =
        m_controlMenu->addAction(QStringLiteral("Disconnect"), this, &CKVTDlg::OnDisconnect);
    m_disconnect->setEnabled(false);
    m_acquireMenu = menuBar()->addMenu(QStringLiteral("Acquire"));
    m_delay = m_acquireMenu->addAction(QStringLiteral("Delay"), this, &CKVTDlg::OnAcquireDelay);
    m_samplesTrigger = m_acquireMenu->addAction(QStringLiteral("Samples/Trigger"), this,
                                                &CKVTDlg::OnSamplesTrigger);
    QMenu* vmcOut = m_acquireMenu->addMenu(QStringLiteral("VMC Out"));
    m_vmcPos = vmcOut->addAction(QStringLiteral("Pos"), this, &CKVTDlg::OnVmcOutPos);
    m_vmcNeg = vmcOut->addAction(QStringLiteral("Neg"), this, &CKVTDlg::OnVmcOutNeg);
    // The marks are the only record of the polarity; both start clear.
    m_vmcPos->setCheckable(true);
    m_vmcNeg->setCheckable(true);

    m_saveData = menuBar()->addAction(QStringLiteral("SaveData"), this, &CKVTDlg::OnSaveData);

    // Unattended logging: every reading to a file, and the meter brought
    // back when it drops off.
    m_loggingMenu = menuBar()->addMenu(QStringLiteral("Logging"));
    m_record = m_loggingMenu->addAction(QStringLiteral("Record..."), this, &CKVTDlg::OnRecord);
    m_record->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_stopRecording =
        m_loggingMenu->addAction(QStringLiteral("Stop Recording"), this, &CKVTDlg::OnStopRecording);
    m_stopRecording->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    m_stopRecording->setEnabled(false);
    m_loggingMenu->addSeparator();
    m_reconnectAutomatically = m_loggingMenu->addAction(QStringLiteral("Reconnect Automatically"));
    m_reconnectAutomatically->setCheckable(true);
    const bool reconnect = QSettings().value(QString::fromLatin1(kReconnectSetting), true).toBool();
    m_reconnectAutomatically->setChecked(reconnect);
    m_reconnection->SetEnabled(reconnect);
    connect(m_reconnectAutomatically, &QAction::toggled, this, &CKVTDlg::OnReconnectAutomatically);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    m_about = help->addAction(QStringLiteral("&About Korvata..."), this, &CKVTDlg::OnAbout);

    // The usual quit shortcut closes the window as the close button does.
    m_quit = new QAction(QStringLiteral("Quit"), this);
    // (Ctrl+Q where the platform names no quit key of its own.)
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty()) {
        quitKeys.append(QKeySequence(Qt::CTRL | Qt::Key_Q));
    }
    m_quit->setShortcuts(quitKeys);
    connect(m_quit, &QAction::triggered, this, &QWidget::close);
    addAction(m_quit);
}

void CKVTDlg::BuildStatusBar() {
    m_recordingLabel = new QLabel(this);
    m_recordingLabel->setObjectName(QStringLiteral("recordingStatus"));
    m_connectionLabel = new QLabel(this);
    m_connectionLabel->setObjectName(QStringLiteral("connectionStatus"));
    statusBar()->addWidget(m_recordingLabel);
    statusBar()->addPermanentWidget(m_connectionLabel);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->hide();
}

QFrame* CKVTDlg::EtchedLine(int x, int y, int width) {
    auto* line = new QFrame(m_client);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(x, y, width, 2);
    return line;
}

bool CKVTDlg::OnInitDialog(QString* error) {
    return OnInitDialog(QString(), error);
}

bool CKVTDlg::OnInitDialog(const QString& skinPath, QString* error) {
    if (!m_views.empty()) {
        if (error != nullptr) {
            *error = QStringLiteral("The main window has already been built.");
        }
        return false;
    }
    // The panel's skin decides its size, and with it where the views go.
    m_frontPanel.setParent(m_client);
    m_frontPanel.setWindowTitle(QStringLiteral("KVT418"));
    m_frontPanel.setGeometry(0, 0, 1000, 100);

    CreateViews();
    const bool created = skinPath.isEmpty() ? m_frontPanel.CreatePanel(error)
                                            : m_frontPanel.CreatePanel(skinPath, error);
    if (!created) {
        return false;
    }
    m_frontPanel.SetRecorder(&m_recorder);
    m_frontPanel.move(0, 0);
    m_frontPanel.show();

    const int panelBottom = m_frontPanel.height();
    EtchedLine(0, panelBottom + kPanelGap, kWindowWidth);
    const int upper = panelBottom + kViewAreaGap;
    EtchedLine(kViewLeft, upper, kViewWidth);
    int viewHeight = kViewHeight;
    for (const auto& [key, view] : m_views) {
        viewHeight = std::max(viewHeight, view->minimumSizeHint().height());
    }
    for (const auto& [key, view] : m_views) {
        view->setGeometry(kViewLeft, upper + 3, kViewWidth, viewHeight);
    }
    const int lower = upper + 3 + viewHeight + 1;
    EtchedLine(kViewLeft, lower, kViewWidth);
    m_viewList->setGeometry(kViewListX, upper + 3, kViewListWidth, kViewListHeight);
    m_client->setFixedSize(std::max(kWindowWidth, m_frontPanel.width()), lower + 2 + kBottomMargin);
    return true;
}

void CKVTDlg::CreateViews() {
    auto* math = new views::CDlgKVTMath(&m_frontPanel, m_client);
    auto* barMeter = new views::CDlgBarMeter(m_client);
    auto* trend = new views::CDlgTrendChart(&m_frontPanel, m_client);
    auto* histogram = new views::CDlgHistogram(&m_frontPanel, m_client);
    const std::pair<const char*, QWidget*> views[] = {
        {kMath, math}, {kBarMeter, barMeter}, {kTrendChart, trend}, {kHistogram, histogram}};
    for (const auto& [key, view] : views) {
        view->hide();
        view->setGeometry(kViewLeft, 0, kViewWidth, kViewHeight);
        m_views.emplace(QString::fromLatin1(key), view);
        m_viewList->addItem(QString::fromLatin1(key));
    }
    m_frontPanel.SetStatisticsView(math);
    m_frontPanel.SetBarMeterView(barMeter);
    m_frontPanel.SetTrendView(trend);
    m_frontPanel.SetHistogramView(histogram);
    barMeter->SetUnitText(QStringLiteral("V"));

    m_currentView = math;
    math->show();
    m_viewList->setCurrentRow(0);
    connect(m_viewList, &QListWidget::itemSelectionChanged, this, &CKVTDlg::OnViewSelected);
}

QWidget* CKVTDlg::View(const QString& key) const {
    auto it = m_views.find(key);
    return it == m_views.end() ? nullptr : it->second;
}

QRect CKVTDlg::ViewArea() const {
    return m_currentView != nullptr ? m_currentView->geometry() : QRect();
}

void CKVTDlg::OnViewSelected() {
    // The selected entry decides, not the current one: a selection can be
    // made without moving the current item (through the accessibility
    // interface, for one), and the view shown must be the one highlighted.
    const QList<QListWidgetItem*> selected = m_viewList->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    QWidget* view = View(selected.constFirst()->text());
    if (view == nullptr || view == m_currentView) {
        return;
    }
    if (m_currentView != nullptr) {
        m_currentView->hide();
    }
    m_currentView = view;
    m_currentView->show();
}

void CKVTDlg::OnConnect() {
    link::CDlgProtocol dialog(this, m_instrumentSearch.get());
    RememberedConnection remembered;
    if (RememberedConnection::Load(remembered)) {
        dialog.Preselect(remembered.protocol, remembered.address, remembered.usbResource);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string resource = dialog.Resource();
    bool opened = false;
    std::string reason;
    {
        views::CWaitCursor wait;
        // The search asks no further instrument, and lets go of any USB
        // meter it holds open, so that the connection can claim it.
        if (m_instrumentSearch) {
            m_instrumentSearch->Cancel();
            m_instrumentSearch->WaitUntilUsbIsFree();
        }
        // An attempt to bring the meter back that was under way when the
        // user disconnected ends first, so that it cannot meet this one.
        m_reconnection->WaitForAttempt();
        opened = link::GetConnection()->Open(resource.c_str());
        if (!opened) {
            reason = link::DescribeOpenFailure(resource);
        } else {
            // A reply that an earlier session left unread (a program that
            // ended between a query and its answer) would otherwise answer
            // the panel's first query.
            static_cast<link::CConectWithNI*>(link::GetConnection())->ClearDevice();
        }
    }
    if (!opened) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                        QStringLiteral("Failed to connect"), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("connectFailureBox"));
        box.setStyleSheet(QString::fromLatin1(kReasonBoxStyle));
        box.setInformativeText(QString::fromStdString(reason));
        box.exec();
        return;
    }
    remembered.protocol = dialog.Protocol();
    remembered.address = dialog.Address();
    remembered.usbResource = dialog.UsbResource();
    remembered.Save();
    m_connect->setEnabled(false);
    m_disconnect->setEnabled(true);
    m_reconnection->Connected();
    // The panel starts the instrument on its own turn of the event loop.
    QCoreApplication::postEvent(&m_frontPanel, new QEvent(panel::CFrontPanel::kConnectedEvent));
}

void CKVTDlg::OnDisconnect() {
    m_reconnection->Disconnecting();
    {
        views::CWaitCursor wait;
        // Handled before sendEvent returns: the worker is paused and the
        // instrument is handed back to its own panel.
        QEvent disconnecting(panel::CFrontPanel::kDisconnectingEvent);
        QCoreApplication::sendEvent(&m_frontPanel, &disconnecting);
        link::GetConnection()->Close();
    }
    m_connect->setEnabled(true);
    m_disconnect->setEnabled(false);
}

void CKVTDlg::OnAcquireDelay() {
    CDlgDelay dialog(this);
    dialog.exec();
}

void CKVTDlg::OnSamplesTrigger() {
    CDlgSamplesTrigger dialog(this);
    dialog.exec();
}

void CKVTDlg::OnVmcOutPos() {
    m_vmcNeg->setChecked(false);
    m_vmcPos->setChecked(true);
    views::CWaitCursor wait;
    link::ExchangeSequence sequence;
    link::SetTriggerOutputSlope("POS");
}

void CKVTDlg::OnVmcOutNeg() {
    m_vmcNeg->setChecked(true);
    m_vmcPos->setChecked(false);
    views::CWaitCursor wait;
    link::ExchangeSequence sequence;
    link::SetTriggerOutputSlope("NEG");
}

void CKVTDlg::OnSaveData() {
    const QString path = AskSavePath(QStringLiteral("saveDataDialog"), QString());
    // Each save dialog draws its file icons anew, and Qt keeps every
    // scaled icon in its process-wide pixmap cache under a new key, so a
    // long session of saves would fill that cache with icons no one shows
    // again. Drop them once the dialog is gone; what the style caches is
    // drawn again on the next paint.
    QPixmapCache::clear();
    if (!path.isEmpty()) {
        SaveDataTo(path);
    }
}

QString CKVTDlg::AskSavePath(const QString& objectName, const QString& title) {
    // The save variant of the dialog: it asks before replacing a file.
    QFileDialog dialog(this);
    dialog.setObjectName(objectName);
    if (!title.isEmpty()) {
        dialog.setWindowTitle(title);
    }
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(QStringLiteral("Comma seperated file(*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("*.csv"));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        const QString path = dialog.selectedFiles().constFirst();
        const QFileInfo chosen(path);
        if (!chosen.fileName().contains(QLatin1Char('*')) &&
            !chosen.fileName().contains(QLatin1Char('?'))) {
            return path;
        }
        // Save with the initial "*.csv" (or another pattern) names no file:
        // ask again in the same folder rather than write a file of that name.
        dialog.setDirectory(chosen.absolutePath());
        dialog.selectFile(chosen.fileName());
    }
}

bool CKVTDlg::SaveDataTo(const QString& path) {
    std::string error;
    bool saved = false;
    {
        views::CWaitCursor wait;
        saved = m_frontPanel.SaveReadings(path.toStdString(), &error);
    }
    if (!saved) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                        QStringLiteral("The readings could not be saved to %1.").arg(path),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("saveFailureBox"));
        box.setStyleSheet(QString::fromLatin1(kReasonBoxStyle));
        box.setInformativeText(QString::fromStdString(error) +
                               QStringLiteral(".\n\nAny older file of that name is unchanged, and "
                                              "the readings are kept for another try."));
        box.exec();
    }
    return saved;
}

void CKVTDlg::OnAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CKVTDlg::closeEvent(QCloseEvent* event) {
    // Nothing is sent and the connection is not closed: the workers are
    // stopped and joined, and the program ends. A worker waiting for a
    // meter that has stopped answering is released at once instead of
    // after its timeout; the failure this raises is not shown any more.
    // A recording gets every reading taken until then.
    emit Closing();
    m_reconnection->Disconnecting();
    link::GetConnection()->AbortIo();
    StopWorkers();
    m_statusTimer.stop();
    std::string error;
    if (!m_recorder.Stop(&error) && !error.empty()) {
        std::fprintf(stderr, "korvata: %s\n", error.c_str());
    }
    event->accept();
}

void CKVTDlg::OnRecord() {
    const QString path =
        AskSavePath(QStringLiteral("recordDialog"), QStringLiteral("Record Readings To"));
    QPixmapCache::clear();
    if (!path.isEmpty()) {
        StartRecordingTo(path);
    }
}

bool CKVTDlg::StartRecordingTo(const QString& path) {
    std::string error;
    const bool started = m_recorder.Start(path.toStdString(), &error);
    UpdateStatus();
    if (!started) {
        ShowFailure(QStringLiteral("recordFailureBox"),
                    QStringLiteral("Recording to %1 could not start.").arg(path),
                    QString::fromStdString(error));
    }
    return started;
}

void CKVTDlg::OnStopRecording() {
    std::string error;
    const bool stopped = m_recorder.Stop(&error);
    UpdateStatus();
    if (!stopped && !error.empty()) {
        ShowFailure(QStringLiteral("recordFailureBox"),
                    QStringLiteral("The recording did not end cleanly."),
                    QString::fromStdString(error));
    }
}

void CKVTDlg::OnReconnectAutomatically(bool enabled) {
    QSettings().setValue(QString::fromLatin1(kReconnectSetting), enabled);
    m_reconnection->SetEnabled(enabled);
}

void CKVTDlg::UpdateStatus() {
    const auto now = std::chrono::steady_clock::now();
    const functions::BackgroundRecorder::Status status = m_recorder.GetStatus();
    const QString connection = m_reconnection->StatusText();
    m_record->setEnabled(!status.recording);
    m_stopRecording->setEnabled(status.recording);
    m_recordingLabel->setText(RecordingStatusText(status, now));
    m_recordingLabel->setToolTip(status.recording ? QString::fromStdString(status.path)
                                                  : QString());
    m_recordingLabel->setVisible(status.recording);
    m_connectionLabel->setText(connection);
    m_connectionLabel->setToolTip(m_reconnection->ResourceText());
    m_connectionLabel->setVisible(!connection.isEmpty());
    setWindowTitle(RecordingWindowTitle(status, now));
    const bool busy = status.recording || !connection.isEmpty();
    statusBar()->setVisible(busy);
    if (busy && !m_statusTimer.isActive()) {
        m_statusTimer.start();
    } else if (!busy) {
        m_statusTimer.stop();
    }
    const std::string failure = m_recorder.TakeFailure();
    if (!failure.empty()) {
        ShowFailure(QStringLiteral("recordFailureBox"), QStringLiteral("Recording stopped."),
                    QString::fromStdString(failure) +
                        QStringLiteral("\n\nThe file keeps every reading written before; the "
                                       "readings go on without being recorded."));
    }
}

void CKVTDlg::ShowFailure(const QString& objectName, const QString& text, const QString& reason) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, this);
    box.setObjectName(objectName);
    box.setStyleSheet(QString::fromLatin1(kReasonBoxStyle));
    box.setInformativeText(reason);
    box.exec();
}

void CKVTDlg::StopWorkers() {
    // The running worker retakes its function lock at once after each
    // cycle; suspending it first (which waits its turn for the lock and
    // sends nothing) leaves it waiting outside the lock, so that stopping
    // it takes no longer than the cycle under way.
    if (functions::CKVTFunction* current = m_frontPanel.GetCurrentFunction()) {
        current->Pause();
    }
    m_frontPanel.Shutdown();
}

}  // namespace kvt::app
