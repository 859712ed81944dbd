#pragma once

#include <QWidget>

#include <string>

#include "functions/KVTTrendData.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kvt::functions {
class IFrontPanelServices;
}

namespace kvt::views {

class CStaticTrendChart;

// The "TrendChart" analysis view: the instrument's trend record as a curve,
// in the instrument's "REC" (recent) or "ALL" mode, with a default,
// automatic or manual vertical scale.
class CDlgTrendChart : public QWidget {
    Q_OBJECT

public:
    explicit CDlgTrendChart(functions::IFrontPanelServices* panel, QWidget* parent = nullptr);
    // A view that is gone is no longer shown: its flag is cleared.
    ~CDlgTrendChart() override;

    // Draws a copy of the trend record (see CopyTrendData).
    void UpdateTrend(const functions::KVTTrendData& record);
    void SetUnitText(const QString& unit);

    // The view's own showing and hiding (the main window's view list)
    // decides whether it counts as shown. The hide and show events that
    // minimising and restoring the main window send leave it shown.
    void setVisible(bool visible) override;
    bool IsViewVisible() const { return m_bVisible; }
    const std::string& Mode() const { return m_mode; }
    CStaticTrendChart* Chart() const { return m_chart; }

private:
    void ApplyMode(const std::string& mode);
    void EnableManualScale(bool enable);
    void RequestMode(const std::string& mode);
    static double ReadScaleEnd(const QLineEdit* edit, const QComboBox* prefixes);
    void SetVisibleFlag(bool visible);

    functions::IFrontPanelServices* m_pPanel;
    bool m_bVisible = false;
    std::string m_mode;
    CStaticTrendChart* m_chart = nullptr;

    QRadioButton* m_recentRadio = nullptr;
    QRadioButton* m_allRadio = nullptr;
    QRadioButton* m_defaultRadio = nullptr;
    QRadioButton* m_autoRadio = nullptr;
    QRadioButton* m_manualRadio = nullptr;
    QLineEdit* m_highEdit = nullptr;
    QComboBox* m_highPrefix = nullptr;
    QLabel* m_highUnit = nullptr;
    QPushButton* m_highSet = nullptr;
    QLineEdit* m_lowEdit = nullptr;
    QComboBox* m_lowPrefix = nullptr;
    QLabel* m_lowUnit = nullptr;
    QPushButton* m_lowSet = nullptr;
    QPushButton* m_clearButton = nullptr;
    QLineEdit* m_countEdit = nullptr;
};

}  // namespace kvt::views
