#include "panel/CFrontPanel.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPainterPath>
#include <QRegion>
#include <QResizeEvent>
#include <QScreen>

#include "functions/CDlgTempSensor.h"
#include "functions/CKVTFunctionCont.h"
#include "functions/CKVTFunctionTemperature.h"
#include "functions/CSensorChosenEvent.h"
#include "functions/FunctionSet.h"
#include "functions/ProgramRecords.h"
#include "link/ConnectionSequences.h"
#include "link/CoreCommands.h"
#include "link/ExchangeSequence.h"
#include "link/IConnection.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"
#include "views/CWaitCursor.h"

namespace kvt::panel {
namespace {

// The function keys: the function without and with the second function.
// A null name keeps the current function.
struct FunctionKey {
    const char* control;
    const char* normal;
    const char* shifted;
};
constexpr FunctionKey kFunctionKeys[] = {
    {"btnDCV", "VOLT", "CURR"}, {"btnACV", "VOLT:AC", "CURR:AC"}, {"btn2W", "RES", "FRES"},
    {"btn-11-", "CAP", "FREQ"}, {"btnCont", "CONT", "DIOD"},      {"btnTemp", "TEMP", nullptr},
};

struct KeyCodeButton {
    const char* control;
    std::string_view code;
};
constexpr KeyCodeButton kKeyCodeButtons[] = {
    {"btnRun", link::kKeyRun},     {"btnSingle", link::kKeySingle},
    {"btnOK", link::kKeyOk},       {"btnIncrease", link::kKeyIncrease},
    {"btnRange", link::kKeyRange}, {"btnDecrease", link::kKeyDecrease},
};

// The cursor keys of the small edit field and the code each passes on.
struct CursorButton {
    const char* control;
    int code;
};
constexpr CursorButton kCursorButtons[] = {
    {"btnLeft", functions::CKVTFunctionCont::kCursorLeft},
    {"btnRight", functions::CKVTFunctionCont::kCursorRight},
    {"btnFront", functions::CKVTFunctionCont::kCursorUp},
    {"btnBack", functions::CKVTFunctionCont::kCursorDown},
};

}  // namespace

CFrontPanel::CFrontPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("FrontPanel");
    setWindowTitle("KVT418");
}

CFrontPanel::~CFrontPanel() {
    Shutdown();
}

bool CFrontPanel::CreatePanel(QString* error) {
    return CreatePanel(QDir(QCoreApplication::applicationDirPath()).filePath(kSkinFile), error);
}

bool CFrontPanel::CreatePanel(const QString& skinPath, QString* error) {
    if (m_current != nullptr) {
        if (error != nullptr) {
            *error = "The front panel has already been created.";
        }
        return false;
    }
    if (!m_skin.Load(skinPath, this, error)) {
        return false;
    }
    QWidget* root = m_skin.Root();
    const QSize size = root->size();
    root->setGeometry(0, 0, size.width(), size.height());
    setFixedSize(size);
    // A hidden window gets its resize event only when shown.
    UpdateOutline(size);
    root->show();
    for (QAbstractButton* button : m_skin.Buttons()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, name = button->objectName()] { OnClick(name); });
    }

    m_softKeyPanels = SoftKeyPanels();
    m_trendCopy = std::make_unique<functions::KVTTrendData>();
    m_histogramCopy = std::make_unique<functions::KVTHistogramData>();
    m_functions = std::make_unique<functions::FunctionSet>(this);
    m_current = m_functions->Find("VOLT");
    m_current->ShowMainMenu();
    RefreshMainDisplay();
    RefreshSoftKeys();
    return true;
}

functions::CKVTFunction* CFrontPanel::Function(const std::string& name) const {
    return m_functions == nullptr ? nullptr : m_functions->Find(name);
}

QWidget* CFrontPanel::Control(const QString& name) const {
    return m_skin.Widget(name);
}

void CFrontPanel::Shutdown() {
    m_shutDown = true;
    if (m_functions != nullptr) {
        m_functions->Shutdown();
    }
}

void CFrontPanel::resizeEvent(QResizeEvent* event) {
    UpdateOutline(event->size());
    QWidget::resizeEvent(event);
}

void CFrontPanel::UpdateOutline(const QSize& size) {
    // A rounded rectangle over the whole client area.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), kCornerEllipse / 2.0,
                           kCornerEllipse / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
    update();
}

// ---- Clicks -------------------------------------------------------------

void CFrontPanel::OnClick(const QString& controlName) {
    if (m_current == nullptr) {
        return;
    }
    // Whatever the key sends ends at its first failed exchange.
    link::ExchangeSequence sequence;
    for (const FunctionKey& key : kFunctionKeys) {
        if (controlName == QLatin1String(key.control)) {
            OnFunctionKey(m_shift ? key.shifted : key.normal);
            return;
        }
    }
    if (controlName == QLatin1String("btn2nd")) {
        ToggleSecondFunction("Label2nd");
        return;
    }
    if (controlName == QLatin1String("btnShift")) {
        ToggleSecondFunction("LabelShift");
        return;
    }
    for (const KeyCodeButton& button : kKeyCodeButtons) {
        if (controlName == QLatin1String(button.control)) {
            SendKey(button.code);
            return;
        }
    }
    for (const CursorButton& button : kCursorButtons) {
        if (controlName == QLatin1String(button.control)) {
            OnCursorKey(button.code);
            return;
        }
    }
    for (int position = 0; position < kSoftKeyCount; ++position) {
        if (controlName == QString("btnF%1").arg(position + 1)) {
            OnSoftKeyButton(position);
            return;
        }
    }
    // "btnAcquire", "btnMath" and any other control: nothing.
}

void CFrontPanel::ToggleSecondFunction(const QString& labelName) {
    QLabel* label = m_skin.Label(labelName);
    // Hidden-ness, not visibility: the window may not be on screen.
    const bool shown = label->isHidden();
    label->setVisible(shown);
    m_shift = shown;
}

void CFrontPanel::OnFunctionKey(const char* name) {
    if (name != nullptr) {
        SelectFunction(name);
    }
    m_current->ShowMainMenu();
    if (m_statisticsView != nullptr) {
        m_statisticsView->ShowScaleSettings(*m_current->GetScaleSettings());
    }
    m_shift = false;
    RefreshSoftKeys();
    RefreshMainDisplay();
}

void CFrontPanel::SelectFunction(const std::string& name) {
    functions::CKVTFunction* found = Function(name);
    if (found != nullptr && found != m_current) {
        m_current->Pause();
        m_current = found;
    }
    if (m_shutDown || !link::GetConnection()->IsOpen()) {
        return;
    }
    views::CWaitCursor wait;
    link::ExchangeSequence sequence;
    if (link::SelectFunction(name)) {
        m_current->SyncFromInstrument();
        // After a failed exchange the worker would only wait out the
        // timeout again; the next function key starts it.
        if (!link::ExchangeSequence::Failing()) {
            m_current->Start();
        }
    }
}

void CFrontPanel::OnSoftKeyButton(int position) {
    {
        views::CWaitCursor wait;
        m_current->OnSoftKey(position);
    }
    RefreshSoftKeys();
    RefreshMainDisplay();
}

void CFrontPanel::OnCursorKey(int code) {
    {
        views::CWaitCursor wait;
        m_current->OnSoftKey(code);
    }
    RefreshTinyMenu();
}

void CFrontPanel::SendKey(std::string_view keyCode) {
    views::CWaitCursor wait;
    link::SendPanelKey(keyCode);
}

// ---- Private messages -----------------------------------------------------

void CFrontPanel::PostNewReading() {
    // At most one waits in the queue: the handler reads the newest data,
    // so a worker that outruns the display loses nothing by this. The
    // event is made before the flag is set, so that the flag's hand-over
    // also hands the event's memory to the user-interface thread.
    auto event = std::make_unique<QEvent>(kNewReadingEvent);
    if (!m_readingPending.exchange(true, std::memory_order_acq_rel)) {
        QCoreApplication::postEvent(this, event.release());
    }
}

void CFrontPanel::OnReadingsStopped(functions::CKVTFunction* function) {
    // Handed to this window's thread through the lock, where the call is
    // queued; dropped if the window is gone first.
    {
        std::lock_guard<std::mutex> lock(m_stoppedMutex);
        m_stopped.push_back(function);
    }
    QMetaObject::invokeMethod(this, "DeliverReadingsStopped", Qt::QueuedConnection);
}

void CFrontPanel::DeliverReadingsStopped() {
    std::vector<functions::CKVTFunction*> stopped;
    {
        std::lock_guard<std::mutex> lock(m_stoppedMutex);
        stopped.swap(m_stopped);
    }
    for (functions::CKVTFunction* function : stopped) {
        if (!m_shutDown && function == m_current && link::GetConnection()->IsOpen()) {
            emit MeasuringStopped();
        }
    }
}

void CFrontPanel::SetRecorder(functions::BackgroundRecorder* recorder) {
    if (m_functions != nullptr) {
        m_functions->SetRecorder(recorder);
    }
}

bool CFrontPanel::event(QEvent* event) {
    // Pairs with the exchange in PostNewReading (made on a worker thread)
    // before anything of a posted event is read.
    const bool readingPending = m_readingPending.load(std::memory_order_acquire);
    const int type = static_cast<int>(event->type());
    if (type < functions::WM_NEW_READING || type > functions::WM_SENSOR_CHOSEN) {
        return QWidget::event(event);
    }
    if (type == functions::WM_NEW_READING && readingPending) {
        m_readingPending.store(false, std::memory_order_release);
    }
    if (m_current == nullptr) {
        return true;
    }
    switch (type) {
        case functions::WM_NEW_READING:
            OnNewReading();
            break;
        case functions::WM_INSTRUMENT_CONNECTED:
            OnConnected();
            break;
        case functions::WM_INSTRUMENT_DISCONNECTED:
            OnDisconnecting();
            break;
        case functions::WM_SENSOR_CHOSEN:
            if (auto* choice = dynamic_cast<functions::CSensorChosenEvent*>(event)) {
                OnSensorChosen(*choice);
            }
            break;
        default:
            break;
    }
    return true;
}

void CFrontPanel::OnConnected() {
    if (m_shutDown) {
        return;
    }
    bool failed = false;
    {
        views::CWaitCursor wait;
        link::ExchangeSequence sequence;
        const std::string name = link::StartMeasuring();
        SelectFunction(name);
        failed = link::ExchangeSequence::Failing();
    }
    m_current->ShowMainMenu();
    RefreshMainDisplay();
    RefreshSoftKeys();
    ShowLimitsAndScale();
    // The meter did not answer the start: no readings will come.
    if (failed && link::GetConnection()->IsOpen()) {
        emit MeasuringStopped();
    } else if (!failed) {
        emit MeasuringStarted();
    }
}

void CFrontPanel::ShowLimitsAndScale() {
    if (m_statisticsView == nullptr) {
        return;
    }
    m_statisticsView->ShowLimits(functions::g_limitState.load(), functions::g_limitUpper.load(),
                                 functions::g_limitLower.load());
    m_statisticsView->ShowScaleSettings(*m_current->GetScaleSettings());
}

void CFrontPanel::OnDisconnecting() {
    if (m_shutDown) {
        return;
    }
    views::CWaitCursor wait;
    link::ExchangeSequence sequence;
    m_current->Pause();
    link::ReleaseInstrument();
}

void CFrontPanel::OnSensorChosen(const functions::CSensorChosenEvent& choice) {
    // The choice belongs to the temperature function, whichever is current.
    if (m_shutDown) {
        return;
    }
    auto* temperature = dynamic_cast<functions::CKVTFunctionTemperature*>(Function("TEMP"));
    if (temperature == nullptr) {
        return;
    }
    {
        views::CWaitCursor wait;
        link::ExchangeSequence sequence;
        temperature->ChooseSensor(choice.Definition(), choice.SensorType(),
                                  choice.Name().toStdString());
    }
    RefreshSoftKeys();
}

// ---- Services ---------------------------------------------------------------

void CFrontPanel::SetViewsUnit(const std::string& unit) {
    const QString text = QString::fromStdString(unit);
    if (m_barMeterView != nullptr) {
        m_barMeterView->SetUnitText(text);
    }
    if (m_trendView != nullptr) {
        m_trendView->SetUnitText(text);
    }
    if (m_histogramView != nullptr) {
        m_histogramView->SetUnitText(text);
    }
}

void CFrontPanel::ShowSensorDialog() {
    if (m_sensorDialog == nullptr) {
        // Creation fetches the sensor lists from a connected instrument.
        views::CWaitCursor wait;
        link::ExchangeSequence sequence;
        m_sensorDialog = new functions::CDlgTempSensor(this, this);
    }
    m_sensorDialog->show();
    const QWidget* host = window();
    QRect area = host->frameGeometry();
    if (host == m_sensorDialog || !host->isVisible()) {
        area = screen() != nullptr ? screen()->availableGeometry() : area;
    }
    QRect frame = m_sensorDialog->frameGeometry();
    frame.moveCenter(area.center());
    m_sensorDialog->move(frame.topLeft());
    m_sensorDialog->raise();
    m_sensorDialog->activateWindow();
}

void CFrontPanel::ApplyScaleFunction(const std::string& function) {
    if (m_current == nullptr) {
        return;
    }
    {
        views::CWaitCursor wait;
        link::ExchangeSequence sequence;
        m_current->SetScaleFunction(function);
    }
    RefreshMainDisplay();
}

void CFrontPanel::SetTrendMode(const std::string& mode) {
    if (m_current == nullptr) {
        return;
    }
    views::CWaitCursor wait;
    link::ExchangeSequence sequence;
    m_current->SetTrendModeLocked(mode);
}

bool CFrontPanel::SaveReadings(const std::string& path, std::string* error) {
    if (m_current == nullptr) {
        if (error != nullptr) {
            *error = "No measurement function is shown.";
        }
        return false;
    }
    return m_current->SaveHistory(path, error);
}

void CFrontPanel::PlaceInSkin(QWidget* control, int left, int top, int right, int bottom) {
    QPoint topLeft(left, top);
    QWidget* parent = control->parentWidget();
    if (parent != nullptr && parent != m_skin.Root()) {
        topLeft = parent->mapFrom(m_skin.Root(), topLeft);
    }
    control->setGeometry(QRect(topLeft, QSize(right - left, bottom - top)));
}

}  // namespace kvt::panel
