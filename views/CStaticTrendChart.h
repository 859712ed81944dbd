#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>

#include <vector>

namespace kvt::views {

// The trend chart's drawn control: a curve of stored values over steps
// across a black plot with a scale from m_low to m_high and time labels
// under it. Its arrays hold the points it draws (m_positions + 1); they
// are sized when the number of steps is set, and an update copies into
// them without allocating.
class CStaticTrendChart : public QWidget {
    Q_OBJECT

public:
    // Values taken from one update (Count); only the first m_positions + 1
    // of them are drawn, and only those are kept.
    static constexpr int kLargestCount = 524288;

    struct Label {
        double position;  // in steps, 0 to m_positions
        QString text;
    };

    explicit CStaticTrendChart(QWidget* parent = nullptr);

    // Scale ends. Values of a magnitude above 1e18 or below 1e-15 (but not
    // 0) are ignored; each end is kept on its side of the other.
    void SetHigh(double value);
    void SetLow(double value);
    void SetData(const double* values, int count);
    void AddLabel(double position, const QString& text);
    void ClearLabels();
    // The caller re-projects (Project) and repaints.
    void SetReversed(bool reversed) { m_bReversed = reversed; }
    // Sets the number of steps across the plot and sizes the arrays to the
    // points drawn; values kept before are kept as far as they fit.
    void SetPositions(double positions);
    // Projects the raw points onto the plot and repaints.
    void Project();

    double Low() const { return m_low; }
    double High() const { return m_high; }
    double Center() const { return m_center; }
    double Positions() const { return m_positions; }
    bool IsReversed() const { return m_bReversed; }
    int Count() const { return m_count; }
    // Points the arrays hold room for: the most that are drawn.
    int Capacity() const { return static_cast<int>(m_values.size()); }
    int PointCount() const { return m_pointCount; }
    const QPointF* ScreenPoints() const { return m_screenPoints.data(); }
    const std::vector<Label>& Labels() const { return m_labels; }
    // Value label of the high line, the centre line or the low line (0, 1, 2).
    const QString& ValueLabel(int index) const { return m_valueLabels[index]; }

    // Layout, from the client rectangle.
    QRect PlotRect() const { return m_plot; }
    int InnerLeft() const { return m_innerLeft; }
    int InnerRight() const { return m_innerRight; }
    int InnerTop() const { return m_innerTop; }
    int InnerWidth() const { return m_innerWidth; }
    int InnerHeight() const { return m_innerHeight; }
    int CenterColumn() const { return m_centerColumn; }
    int HighLineY() const { return m_highLine; }
    int CenterLineY() const { return m_centerLine; }
    int LowLineY() const { return m_lowLine; }
    float RowHeight() const { return m_rowHeight; }
    float ColumnWidth() const { return m_columnWidth; }

    QSize sizeHint() const override { return {620, 180}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static bool Acceptable(double value);
    void Recompute();
    void Allocate();
    void RebuildRawPoints();
    void Layout();
    void PaintGrid(QPainter& painter);
    void PaintLabels(QPainter& painter);

    double m_low = -0.5;
    double m_high = 0.5;
    double m_center = 0;
    double m_plotLow = -0.6;
    double m_plotHigh = 0.6;
    double m_positions = 590;
    double m_pixelsPerStep = 0;
    bool m_bReversed = false;

    // The first values of the last update, as many as are drawn.
    std::vector<double> m_xs;
    std::vector<double> m_values;
    int m_count = 0;
    struct RawPoint {
        float x;
        float y;
    };
    std::vector<RawPoint> m_rawPoints;
    std::vector<QPointF> m_screenPoints;
    // Values kept and raw points built: the first of the m_count values,
    // as many as are drawn.
    int m_rawCount = 0;
    int m_pointCount = 0;
    std::vector<Label> m_labels;
    // The value labels of m_high, m_center and m_low.
    QString m_valueLabels[3];

    QRect m_plot;
    int m_innerLeft = 0;
    int m_innerRight = 0;
    int m_innerTop = 0;
    int m_innerWidth = 0;
    int m_innerHeight = 0;
    int m_centerColumn = 0;
    float m_rowHeight = 0;
    float m_columnWidth = 0;
    int m_highLine = 0;
    int m_centerLine = 0;
    int m_lowLine = 0;
};

}  // namespace kvt::views
