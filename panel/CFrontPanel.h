#pragma once

#include <QEvent>
#include <QString>
#include <QWidget>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "functions/FunctionSet.h"
#include "functions/IFrontPanelServices.h"
#include "functions/KVTHistogramData.h"
#include "functions/KVTTrendData.h"
#include "panel/CFrontPanelSkin.h"
#include "panel/IKVTMenuListener.h"
#include "panel/KVTSoftKeyPanel.h"

class QLabel;

namespace kvt::functions {
class BackgroundRecorder;
class CDlgTempSensor;
class CKVTFunction;
class CSensorChosenEvent;
}  // namespace kvt::functions

namespace kvt::views {
class CDlgBarMeter;
class CDlgHistogram;
class CDlgKVTMath;
class CDlgTrendChart;
}  // namespace kvt::views

namespace kvt::panel {

// The live copy of the instrument's front panel at the top of the main
// window, and the hub of the program: it owns the eleven measurement
// functions and keeps one of them current, turns clicks on the skin's
// keys into function changes, key codes and soft-key presses, redraws the
// main display and the soft keys, and feeds the analysis views after each
// reading. Everything runs on the user-interface thread, except
// PostNewReading, which the reading workers call.
class CFrontPanel : public QWidget, public functions::IFrontPanelServices, public IKVTMenuListener {
    Q_OBJECT

public:
    static constexpr QEvent::Type kNewReadingEvent =
        static_cast<QEvent::Type>(functions::WM_NEW_READING);
    static constexpr QEvent::Type kConnectedEvent =
        static_cast<QEvent::Type>(functions::WM_INSTRUMENT_CONNECTED);
    static constexpr QEvent::Type kDisconnectingEvent =
        static_cast<QEvent::Type>(functions::WM_INSTRUMENT_DISCONNECTED);

    // The skin's file name, looked up in the program's own folder.
    static constexpr const char* kSkinFile = "FrontPanel.xml";
    // Diameter of the rounded corners of the window's outline.
    static constexpr int kCornerEllipse = 15;

    // Sets the fields only: no skin, no functions yet.
    explicit CFrontPanel(QWidget* parent = nullptr);
    ~CFrontPanel() override;

    // The views fed after each reading; not owned, may stay null.
    void SetStatisticsView(views::CDlgKVTMath* view) { m_statisticsView = view; }
    void SetBarMeterView(views::CDlgBarMeter* view) { m_barMeterView = view; }
    void SetTrendView(views::CDlgTrendChart* view) { m_trendView = view; }
    void SetHistogramView(views::CDlgHistogram* view) { m_histogramView = view; }

    // Builds the window from the skin beside the program: the skin becomes
    // the content, the window takes its size, the eleven functions are
    // created and DC voltage is shown. Nothing is sent. On failure returns
    // false with *error naming the file and what is wrong.
    bool CreatePanel(QString* error);
    bool CreatePanel(const QString& skinPath, QString* error);

    // Front-panel services.
    void SetViewsUnit(const std::string& unit) override;
    void ShowSensorDialog() override;
    void ApplyScaleFunction(const std::string& function) override;
    void RefreshMainDisplay() override;
    void SetTrendMode(const std::string& mode) override;
    bool SaveReadings(const std::string& path, std::string* error) override;
    void PostNewReading() override;
    void OnReadingsStopped(functions::CKVTFunction* function) override;
    functions::CKVTFunction* GetCurrentFunction() override { return m_current; }

    // Every function hands its accepted readings to recorder (not owned;
    // null for none).
    void SetRecorder(functions::BackgroundRecorder* recorder);

    void OnMenuChanged(intptr_t) override {}

    // Makes the named function current and, while connected, switches the
    // instrument to it, waits for it to settle, reads the function's
    // settings back and starts its worker.
    void SelectFunction(const std::string& name);
    void RefreshSoftKeys();
    void RefreshTinyMenu();
    // A click on the skin's control of that name.
    void OnClick(const QString& controlName);

    // Stops and joins every function's worker; sends nothing. Idempotent;
    // the panel starts no worker afterwards.
    void Shutdown();

    // State for the main window and for tests.
    bool IsShift() const { return m_shift; }
    bool IsCreated() const { return m_current != nullptr; }
    // The function entered under an instrument function name, or null.
    functions::CKVTFunction* Function(const std::string& name) const;
    // A control of the skin by name, or null.
    QWidget* Control(const QString& name) const;
    functions::CDlgTempSensor* SensorDialog() const { return m_sensorDialog; }

signals:
    // While connected, the readings have stopped on their own: the current
    // function's worker ended on a failed exchange, or the connect
    // sequence failed before it could start one.
    void MeasuringStopped();
    // The connect sequence went through: the meter measures and the
    // current function's worker reads it.
    void MeasuringStarted();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    // Tells of the readings that stopped, as the workers left them.
    void DeliverReadingsStopped();

private:
    // Cuts the window to its rounded outline at that size.
    void UpdateOutline(const QSize& size);
    // Function key: a function name, or null to redraw the current one.
    void OnFunctionKey(const char* name);
    void OnSoftKeyButton(int position);
    void OnCursorKey(int code);
    void SendKey(std::string_view keyCode);
    void ToggleSecondFunction(const QString& labelName);

    void OnNewReading();
    void FeedViews();
    void OnConnected();
    void OnDisconnecting();
    void OnSensorChosen(const functions::CSensorChosenEvent& choice);
    void ShowLimitsAndScale();
    void SetBarMeterValue(const std::string& text);

    QLabel* Label(const char* name) const { return m_skin.Label(QString::fromLatin1(name)); }
    // Sets a control's rectangle given in the skin's coordinates.
    void PlaceInSkin(QWidget* control, int left, int top, int right, int bottom);

    bool m_shift = false;
    std::array<KVTSoftKeyPanel, kSoftKeyCount> m_softKeyPanels;
    functions::CKVTFunction* m_current = nullptr;
    functions::CDlgTempSensor* m_sensorDialog = nullptr;
    views::CDlgBarMeter* m_barMeterView = nullptr;
    views::CDlgTrendChart* m_trendView = nullptr;
    views::CDlgHistogram* m_histogramView = nullptr;
    views::CDlgKVTMath* m_statisticsView = nullptr;

    CFrontPanelSkin m_skin;
    // The eleven functions, created with the panel.
    std::unique_ptr<functions::FunctionSet> m_functions;
    // Set while a new-reading event waits in the queue.
    std::atomic<bool> m_readingPending{false};
    // Functions whose readings stopped on their own, left by their worker
    // threads under the lock (the workers are joined before the panel
    // goes) and taken on this window's thread.
    std::mutex m_stoppedMutex;
    std::vector<functions::CKVTFunction*> m_stopped;
    bool m_shutDown = false;
    // Copies of the program-wide records handed to the views, kept so that
    // a reading does not allocate them anew.
    std::unique_ptr<functions::KVTTrendData> m_trendCopy;
    std::unique_ptr<functions::KVTHistogramData> m_histogramCopy;
};

}  // namespace kvt::panel
