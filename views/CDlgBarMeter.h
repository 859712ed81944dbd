#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvt::views {

class CStaticBarMeter;

// The "BarMeter" analysis view: the latest reading as a bar against a scale
// that the operator sets with the "High" and "Low" rows. It sends nothing
// to the instrument; the front panel feeds it every reading.
class CDlgBarMeter : public QWidget {
    Q_OBJECT

public:
    explicit CDlgBarMeter(QWidget* parent = nullptr);

    void SetUnitText(const QString& unit);
    // The reading shown by the bar; repaints the chart.
    void SetValue(double value);

    // The view's own showing and hiding (the main window's view list)
    // decides whether it counts as shown. The hide and show events that
    // minimising and restoring the main window send leave it shown.
    void setVisible(bool visible) override;
    bool IsViewVisible() const { return m_bVisible; }
    CStaticBarMeter* Chart() const { return m_chart; }

private:
    // The edit's number scaled by the prefix chosen beside it.
    static double ReadScaleEnd(const QLineEdit* edit, const QComboBox* prefixes);

    bool m_bVisible = false;
    CStaticBarMeter* m_chart = nullptr;
    QLineEdit* m_highEdit = nullptr;
    QComboBox* m_highPrefix = nullptr;
    QLabel* m_highUnit = nullptr;
    QPushButton* m_highSet = nullptr;
    QLineEdit* m_lowEdit = nullptr;
    QComboBox* m_lowPrefix = nullptr;
    QLabel* m_lowUnit = nullptr;
    QPushButton* m_lowSet = nullptr;
};

}  // namespace kvt::views
