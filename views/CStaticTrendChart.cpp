#include "views/CStaticTrendChart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "views/ViewText.h"

namespace kvt::views {

namespace {

const QColor kBackground(0x5C, 0xAA, 0x51);
const QColor kPlot(0x00, 0x00, 0x00);
const QColor kGrid(0xFF, 0xFF, 0xFF);
const QColor kCurve(0xFF, 0x00, 0x00);
const QColor kValueInk(0x00, 0x00, 0x00);

// The scale limits as the single-precision constants 1e18f and 1e-15f.
constexpr double kLargestEnd = 9.999999843067494e17;
constexpr double kSmallestEnd = 1.0000000036274937e-15;

// Labels end this far left of the plot rectangle.
constexpr int kLabelGap = 5;

}  // namespace

CStaticTrendChart::CStaticTrendChart(QWidget* parent) : QWidget(parent) {
    setObjectName("trendChart");
    Allocate();
    setMinimumSize(300, 120);
    setFont(ChartFont(60 - kLabelGap));
    m_labels.reserve(8);
    Layout();
    Recompute();
}

bool CStaticTrendChart::Acceptable(double value) {
    if (std::isnan(value)) {
        return false;
    }
    double magnitude = std::fabs(value);
    return value == 0 || (magnitude <= kLargestEnd && magnitude >= kSmallestEnd);
}

void CStaticTrendChart::SetHigh(double value) {
    if (!Acceptable(value)) {
        return;
    }
    m_high = std::max(value, m_low);
    Recompute();
}

void CStaticTrendChart::SetLow(double value) {
    if (!Acceptable(value)) {
        return;
    }
    m_low = std::min(value, m_high);
    Recompute();
}

void CStaticTrendChart::Recompute() {
    double span = m_high - m_low;
    m_center = span / 2 + m_low;
    m_plotLow = m_low - span / 10;
    m_plotHigh = m_high + span / 10;
    m_valueLabels[0] = ScaleText(m_high);
    m_valueLabels[1] = ScaleText(m_center);
    m_valueLabels[2] = ScaleText(m_low);
    Project();
}

void CStaticTrendChart::Allocate() {
    // Only the first m_positions + 1 values are ever drawn.
    const auto drawn = static_cast<size_t>(m_positions) + 1;
    m_xs.resize(drawn);
    m_values.resize(drawn);
    m_rawPoints.resize(drawn);
    m_screenPoints.resize(drawn);
    m_rawCount = std::min(m_rawCount, static_cast<int>(drawn));
}

void CStaticTrendChart::SetData(const double* values, int count) {
    m_count = std::clamp(count, 0, kLargestCount);
    m_rawCount = std::min(m_count, Capacity());
    for (int i = 0; i < m_rawCount; ++i) {
        m_xs[i] = i;
        m_values[i] = values[i];
    }
    RebuildRawPoints();
    Project();
}

void CStaticTrendChart::RebuildRawPoints() {
    for (int i = 0; i < m_rawCount; ++i) {
        m_rawPoints[i] = {static_cast<float>(m_xs[i]), static_cast<float>(m_values[i])};
    }
}

void CStaticTrendChart::AddLabel(double position, const QString& text) {
    m_labels.push_back({position, text});
}

void CStaticTrendChart::ClearLabels() {
    m_labels.clear();
}

void CStaticTrendChart::SetPositions(double positions) {
    // At most as many steps as points can be stored.
    m_positions = std::clamp(positions, 1.0, static_cast<double>(kLargestCount - 1));
    m_pixelsPerStep = m_innerWidth / m_positions;
    Allocate();
    RebuildRawPoints();
}

void CStaticTrendChart::Project() {
    double halfSpan = (m_plotHigh - m_plotLow) / 2;
    // A scale with no span gives no height to any value: no curve is drawn.
    if (!(halfSpan > 0) || !std::isfinite(halfSpan)) {
        m_pointCount = 0;
        update();
        return;
    }
    const double halfHeight = m_innerHeight / 2;
    const double top = m_innerTop;
    const double bottom = m_innerTop + m_innerHeight;
    for (int i = 0; i < m_rawCount; ++i) {
        double step = m_rawPoints[i].x * m_pixelsPerStep;
        double x = m_bReversed ? m_innerRight - step : m_innerLeft + step;
        double y = (m_center - m_rawPoints[i].y) / halfSpan * halfHeight + m_centerLine;
        m_screenPoints[i] = QPointF(x, std::isnan(y) ? m_centerLine : std::clamp(y, top, bottom));
    }
    m_pointCount = m_rawCount;
    update();
}

void CStaticTrendChart::Layout() {
    const int l = 0;
    const int t = 0;
    const int r = width();
    const int b = height();
    m_plot = QRect(QPoint(l + 60, t + 1), QPoint(r - 2, b - 21));
    m_innerLeft = l + 62;
    m_innerRight = r - 3;
    m_innerTop = t + 3;
    m_centerColumn = ((l + 62) + (r - 3)) / 2;
    m_innerWidth = r - l - 65;
    m_innerHeight = (b - 20) - (t + 1) - 4;
    m_rowHeight = static_cast<float>(m_innerHeight) / 24;
    m_columnWidth = static_cast<float>(m_innerWidth) / 10;
    m_highLine = static_cast<int>(static_cast<float>(m_innerTop) + 2 * m_rowHeight);
    m_centerLine = static_cast<int>(static_cast<float>(m_innerTop) + 12 * m_rowHeight);
    m_lowLine = static_cast<int>(static_cast<float>(m_innerTop) + 22 * m_rowHeight);
    m_pixelsPerStep = m_innerWidth / m_positions;
}

void CStaticTrendChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
    Project();
}

void CStaticTrendChart::PaintGrid(QPainter& painter) {
    painter.setPen(QPen(kGrid, 1));
    const int top = m_innerTop;
    const int bottom = m_innerTop + m_innerHeight;
    for (int x : {m_innerLeft, m_centerColumn, m_innerRight}) {
        painter.drawLine(x, top, x, bottom);
    }
    for (int k = 0; k <= 24; ++k) {
        int y = m_innerTop + static_cast<int>(static_cast<float>(k) * m_rowHeight);
        int length = (k == 7 || k == 17) ? 5 : 2;
        painter.drawLine(m_innerLeft, y, m_innerLeft + length, y);
        painter.drawLine(m_innerRight - length, y, m_innerRight, y);
        painter.drawLine(m_centerColumn - length, y, m_centerColumn + length, y);
    }
    for (int y : {m_highLine, m_centerLine, m_lowLine}) {
        painter.drawLine(m_innerLeft, y, m_innerRight, y);
        for (int k = 1; k <= 9; ++k) {
            qreal x = static_cast<float>(m_innerLeft) + static_cast<float>(k) * m_columnWidth;
            painter.drawLine(QLineF(x, y - 2, x, y + 2));
        }
    }
}

void CStaticTrendChart::PaintLabels(QPainter& painter) {
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();
    painter.setPen(kValueInk);
    const int lines[] = {m_highLine, m_centerLine, m_lowLine};
    const int right = m_plot.left() - kLabelGap;
    for (int i = 0; i < 3; ++i) {
        QRect box(0, lines[i] - lineHeight / 2, right, lineHeight);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, m_valueLabels[i]);
    }
    painter.setPen(kGrid);
    const int top = m_plot.bottom() + 2;  // one below the plot's last row
    for (const Label& label : m_labels) {
        double centre = m_innerLeft + label.position / m_positions * m_innerWidth;
        int textWidth = metrics.horizontalAdvance(label.text);
        // Centred on its position, but kept whole inside the control (the
        // labels at the plot's ends would otherwise be cut in half).
        double left = std::clamp(centre - textWidth / 2.0, 0.0,
                                 std::max(0.0, static_cast<double>(width() - textWidth)));
        QRectF box(left, top, textWidth, lineHeight);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, label.text);
    }
}

void CStaticTrendChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.fillRect(m_plot, kPlot);
    PaintGrid(painter);
    PaintLabels(painter);
    if (m_pointCount > 1) {
        painter.setPen(QPen(kCurve, 1));
        painter.drawPolyline(m_screenPoints.data(), m_pointCount);
    } else if (m_pointCount == 1) {
        painter.setPen(QPen(kCurve, 1));
        painter.drawPoint(m_screenPoints[0]);
    }
}

}  // namespace kvt::views
