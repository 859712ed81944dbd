#pragma once

#include <QWidget>

#include "functions/KVTHistogramData.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kvt::functions {
class IFrontPanelServices;
}

namespace kvt::views {

class CStaticHistogramChart;

// The "Histongrom" analysis view: the instrument's histogram of the
// readings as bars, optionally with the cumulative curve and the two outer
// bins. Its controls send the instrument's binning settings.
class CDlgHistogram : public QWidget {
    Q_OBJECT

public:
    explicit CDlgHistogram(functions::IFrontPanelServices* panel, QWidget* parent = nullptr);
    // A view that is gone is no longer shown: its flag is cleared.
    ~CDlgHistogram() override;

    // Draws a copy of the histogram record (see CopyHistogramData).
    void UpdateHistogram(const functions::KVTHistogramData& record);
    void SetUnitText(const QString& unit);

    // The view's own showing and hiding (the main window's view list)
    // decides whether it counts as shown. The hide and show events that
    // minimising and restoring the main window send leave it shown.
    void setVisible(bool visible) override;
    bool IsViewVisible() const { return m_bVisible; }
    CStaticHistogramChart* Chart() const { return m_chart; }

private:
    void EnableManualControls(bool enable);
    // Chooses the meter's number of bins in the Num.Bins list (none when
    // the list lacks it). In manual binning a record holds as many bins as
    // the meter is set to.
    void ShowMeterBins(int bins);
    void OnAuto();
    void OnManual();
    void OnBinsSet();
    void OnUpperSet();
    void OnLowerSet();
    void OnClearReadings();
    void SetVisibleFlag(bool visible);

    functions::IFrontPanelServices* m_pPanel;
    bool m_bVisible = false;
    CStaticHistogramChart* m_chart = nullptr;
    // The meter's number of bins as last read back; -1 before any.
    int m_meterBins = -1;

    QRadioButton* m_autoRadio = nullptr;
    QRadioButton* m_manualRadio = nullptr;
    QComboBox* m_binsList = nullptr;
    QPushButton* m_binsSet = nullptr;
    QLineEdit* m_highEdit = nullptr;
    QComboBox* m_highPrefix = nullptr;
    QLabel* m_highUnit = nullptr;
    QPushButton* m_highSet = nullptr;
    QLineEdit* m_lowEdit = nullptr;
    QComboBox* m_lowPrefix = nullptr;
    QLabel* m_lowUnit = nullptr;
    QPushButton* m_lowSet = nullptr;
    QCheckBox* m_cumulativeCheck = nullptr;
    QCheckBox* m_outerCheck = nullptr;
    QPushButton* m_clearButton = nullptr;
    // Receive the bin count, the number of readings and the peak; never shown.
    QLabel* m_binsLabel = nullptr;
    QLabel* m_pointsLabel = nullptr;
    QLabel* m_peakLabel = nullptr;
};

}  // namespace kvt::views
