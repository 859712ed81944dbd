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

    bool IsViewVisible() const { return m_bVisible; }
    CStaticBarMeter* Chart() const { return m_chart; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

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
