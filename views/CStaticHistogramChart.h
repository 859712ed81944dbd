#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>

#include <vector>

#include "functions/KVTHistogramData.h"

namespace kvt::views {

// The histogram's drawn control: one red bar per bin on a black plot
// scaled from m_bottom to m_top counts, optionally the cumulative curve
// and the two outer bins, with the peak, total and bin-count texts at the
// left and the binning range under the plot. Its arrays have room for the
// bins of the largest record, reserved once: an update copies into them
// without allocating, and only the part it uses is ever touched.
class CStaticHistogramChart : public QWidget {
    Q_OBJECT

public:
    // Bins stored per update: as many as a record holds.
    static constexpr int kStorage = functions::kHistogramCapacity;

    struct Bar {
        float x;
        float y;
        float width;
        float height;
    };

    explicit CStaticHistogramChart(QWidget* parent = nullptr);

    // Count at the top line; a value of a magnitude above 1e18 or below
    // 1e-15 (but not 0) is ignored. Rebuilds the bars and repaints.
    void SetTop(double top);
    // Number of bins across the plot; rebuilds the bars and repaints.
    void SetBinCount(int bins);
    // The binning range and the number of readings, shown with the next data.
    void SetRange(double lower, double upper, double points);
    // Counts of the two outer bins and whether they are drawn and counted.
    void SetOuter(bool shown, double first, double last);
    void SetData(int count, const double* counts);
    void SetCumulative(bool shown);
    void SetOuterShown(bool shown);

    double Top() const { return m_top; }
    double Bottom() const { return m_bottom; }
    double BinCount() const { return m_binCount; }
    double PixelsPerBin() const { return m_pixelsPerBin; }
    int Count() const { return m_count; }
    int BarCount() const { return m_barCount; }
    const Bar* Bars() const { return m_bars.data(); }
    int CumulativeCount() const { return m_cumulativeCount; }
    const QPointF* Cumulative() const { return m_cumulative.data(); }
    bool IsCumulative() const { return m_bCumulative; }
    bool IsOuterShown() const { return m_bOuter; }
    const QString& TopText() const { return m_topText; }
    const QString& TotalText() const { return m_totalText; }
    const QString& BinText() const { return m_binText; }
    const QString& LowerText() const { return m_lowerText; }
    const QString& MiddleText() const { return m_middleText; }
    const QString& UpperText() const { return m_upperText; }

    // Layout, from the client rectangle.
    QRect PlotRect() const { return m_plot; }
    int InnerLeft() const { return m_innerLeft; }
    int InnerTop() const { return m_innerTop; }
    int InnerWidth() const { return m_innerWidth; }
    int BaseLine() const { return m_baseLine; }
    int CenterY() const { return m_centerY; }
    // The outer-bin strips: 2 pixels wide, standing on the base line.
    QRectF OuterLeft() const { return m_outerLeft; }
    QRectF OuterRight() const { return m_outerRight; }

    QSize sizeHint() const override { return {620, 190}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Layout();
    void RebuildBars();
    void RebuildCumulative();
    void RebuildTexts();
    // Height in pixels of a count on the current scale, 0 to the full
    // inner height; 0 when the scale has no span.
    double BarHeight(double count) const;
    void PaintGrid(QPainter& painter);
    void PaintTexts(QPainter& painter);

    double m_top = 5;
    double m_bottom = 0;
    double m_binCount = 500;
    double m_pixelsPerBin = 0;
    double m_lower = 0;
    double m_upper = 0;
    double m_middle = 0;
    double m_points = 0;

    std::vector<double> m_xs;
    std::vector<double> m_values;
    int m_count = 0;
    struct RawPoint {
        float x;
        float y;
    };
    std::vector<RawPoint> m_rawPoints;
    std::vector<Bar> m_bars;
    int m_barCount = 0;
    std::vector<QPointF> m_cumulative;
    int m_cumulativeCount = 0;

    bool m_bCumulative = false;
    bool m_bOuter = false;
    double m_firstOuter = 0;
    double m_lastOuter = 0;
    QRectF m_outerLeft;
    QRectF m_outerRight;

    QString m_topText;
    QString m_totalText;
    QString m_binText;
    // The three texts above, each split at its line break, for drawing.
    QString m_textLines[3][2];
    QString m_lowerText;
    QString m_middleText;
    QString m_upperText;

    QRect m_plot;
    int m_innerLeft = 0;
    int m_innerTop = 0;
    int m_innerWidth = 0;
    int m_baseLine = 0;
    int m_centerY = 0;
};

}  // namespace kvt::views
