#pragma once

#include <QWidget>

#include <string>

#include "functions/KVTScaleSettings.h"
#include "functions/KVTStatistics.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kvt::functions {
class IFrontPanelServices;
}

namespace kvt::views {

// The "Math" analysis view: the instrument's running statistics, its
// dB/dBm scaling of the current function and (in a group that is created
// hidden) its limit test. It keeps no readings; the front panel hands it
// statistics, limits and scale settings, and its controls send settings
// through the current function.
class CDlgKVTMath : public QWidget {
    Q_OBJECT

public:
    explicit CDlgKVTMath(functions::IFrontPanelServices* panel, QWidget* parent = nullptr);
    // A view that is gone is no longer shown: its flag is cleared.
    ~CDlgKVTMath() override;

    void ShowStatistics(const functions::KVTStatistics& statistics);
    void ShowLimits(int state, double upper, double lower);
    void ShowScaleSettings(const functions::KVTScaleSettings& settings);

    // The view's own showing and hiding (the main window's view list)
    // decides whether it counts as shown. The hide and show events that
    // minimising and restoring the main window send leave it shown.
    void setVisible(bool visible) override;
    bool IsViewVisible() const { return m_bVisible; }
    const functions::KVTScaleSettings& ScaleSettings() const { return m_scale; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildStatisticsGroup();
    void BuildScaleGroup();
    void BuildLimitsGroup();
    void SetVisibleFlag(bool visible);

    // Enabling of the dB/dBm controls for a scaling state (the check box
    // itself stays enabled) and for the scaling function.
    void ApplyScaleEnabling(int state, const std::string& function);
    void ApplyFunctionRule(const std::string& function);
    void EnableLimitControls(bool enable);
    void ShowLimit(double value, QLineEdit* edit, QComboBox* prefixes);
    // The edit's number with the prefix list's letter; false (after the
    // message) when the value lies outside the instrument's limit range.
    bool ReadLimit(QLineEdit* edit, QComboBox* prefixes, const QString& refusal, double* value);

    void OnScaleClicked();
    void OnFunctionClicked(const std::string& shown, const std::string& command);
    void OnRefResistanceSet();
    void OnDbReferenceSet();
    void OnMeasureRefClicked();
    void OnLimitClicked();
    void OnLowerSet();
    void OnUpperSet();
    void OnClearReadings();

    functions::IFrontPanelServices* m_pPanel;
    bool m_bVisible = false;
    functions::KVTScaleSettings m_scale;

    QLineEdit* m_minEdit = nullptr;
    QLineEdit* m_averageEdit = nullptr;
    QLineEdit* m_maxEdit = nullptr;
    QLineEdit* m_spanEdit = nullptr;
    QLineEdit* m_stdDevEdit = nullptr;
    QLineEdit* m_samplesEdit = nullptr;
    QPushButton* m_clearButton = nullptr;

    QGroupBox* m_scaleGroup = nullptr;
    QCheckBox* m_scaleCheck = nullptr;
    QButtonGroup* m_functionGroup = nullptr;
    QRadioButton* m_dbRadio = nullptr;
    QRadioButton* m_dbmRadio = nullptr;
    QComboBox* m_refList = nullptr;
    QPushButton* m_refSet = nullptr;
    QLineEdit* m_dbRefEdit = nullptr;
    QPushButton* m_dbRefSet = nullptr;
    QCheckBox* m_measureRef = nullptr;

    QGroupBox* m_limitsGroup = nullptr;
    QCheckBox* m_limitCheck = nullptr;
    QLineEdit* m_lowerEdit = nullptr;
    QComboBox* m_lowerPrefix = nullptr;
    QPushButton* m_lowerSet = nullptr;
    QLineEdit* m_upperEdit = nullptr;
    QComboBox* m_upperPrefix = nullptr;
    QPushButton* m_upperSet = nullptr;
};

}  // namespace kvt::views
