#pragma once

#include <QWidget>

namespace kvt::views {

// The bar meter's drawn control: the latest reading as a horizontal yellow
// bar against a scale from m_low (at 3u) to m_high (at 23u), u being a
// 26th of the width. The bar's range runs a tenth of the span beyond
// either end.
class CStaticBarMeter : public QWidget {
    Q_OBJECT

public:
    explicit CStaticBarMeter(QWidget* parent = nullptr);

    // The reading shown; repaints.
    void SetValue(double value);
    // Scale ends; each is kept on its side of the other.
    void SetHigh(double value);
    void SetLow(double value);

    double Value() const { return m_value; }
    double Low() const { return m_low; }
    double High() const { return m_high; }
    double Center() const { return m_center; }
    double PlotLow() const { return m_plotLow; }
    double PlotHigh() const { return m_plotHigh; }
    // Right end of the bar in pixels; negative when no bar is drawn.
    double BarEnd() const;
    // Label of the low end, the centre or the high end (0, 1, 2).
    const QString& LabelText(int index) const { return m_labels[index]; }

    QSize sizeHint() const override { return {620, 110}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Recompute();

    double m_value = 0;
    double m_low = -100;
    double m_high = 100;
    double m_center = 0;
    double m_plotLow = -120;
    double m_plotHigh = 120;
    // The scale labels of m_low, m_center and m_high.
    QString m_labels[3];
    // Layout: client width and height and the unit u = width / 26.
    float m_width = 0;
    float m_height = 0;
    float m_unit = 0;
};

}  // namespace kvt::views
