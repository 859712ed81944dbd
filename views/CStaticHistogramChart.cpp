#include "views/CStaticHistogramChart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "link/Numbers.h"
#include "views/ViewText.h"

namespace kvt::views {

namespace {

const QColor kBackground(0x5C, 0xAA, 0x51);
const QColor kPlot(0x00, 0x00, 0x00);
const QColor kGrid(0xFF, 0xFF, 0xFF);
const QColor kBarColour(0xFF, 0x00, 0x00);
const QColor kCumulativeColour(0x00, 0x80, 0x00);
const QColor kOuterColour(0x00, 0x00, 0xFF);

// The single-precision constants 1e18f and 1e-15f.
constexpr double kLargestTop = 9.999999843067494e17;
constexpr double kSmallestTop = 1.0000000036274937e-15;

QString SignedValueText(double value) {
    QString text = ValueText(value);
    if (!text.contains(QLatin1Char('-'))) {
        text.prepend(QLatin1Char('+'));
    }
    return text;
}

}  // namespace

CStaticHistogramChart::CStaticHistogramChart(QWidget* parent) : QWidget(parent) {
    setObjectName("histogramChart");
    // Reserved, not filled: an update sizes each array to what it uses.
    m_xs.reserve(kStorage);
    m_values.reserve(kStorage);
    m_rawPoints.reserve(kStorage);
    m_bars.reserve(kStorage);
    m_cumulative.reserve(kStorage + 1);
    setMinimumSize(300, 120);
    setFont(ChartFont(61));
    Layout();
}

void CStaticHistogramChart::SetTop(double top) {
    double magnitude = std::fabs(top);
    if (std::isnan(top) || (top != 0 && (magnitude > kLargestTop || magnitude < kSmallestTop))) {
        return;
    }
    m_top = top;
    RebuildBars();
    update();
}

void CStaticHistogramChart::SetBinCount(int bins) {
    m_binCount = std::max(bins, 1);
    m_pixelsPerBin = m_innerWidth / m_binCount;
    RebuildBars();
    update();
}

void CStaticHistogramChart::SetRange(double lower, double upper, double points) {
    m_lower = lower;
    m_upper = upper;
    m_middle = (lower + upper) / 2;
    m_points = points;
}

void CStaticHistogramChart::SetOuter(bool shown, double first, double last) {
    m_bOuter = shown;
    m_firstOuter = first;
    m_lastOuter = last;
    RebuildBars();
}

void CStaticHistogramChart::SetData(int count, const double* counts) {
    count = std::clamp(count, 0, kStorage);
    m_xs.resize(static_cast<size_t>(count));
    m_values.assign(counts, counts + count);
    for (int i = 0; i < count; ++i) {
        m_xs[i] = i;
    }
    m_count = count;
    RebuildBars();
    RebuildCumulative();
    RebuildTexts();
    update();
}

void CStaticHistogramChart::SetCumulative(bool shown) {
    m_bCumulative = shown;
    update();
}

void CStaticHistogramChart::SetOuterShown(bool shown) {
    m_bOuter = shown;
    update();
}

double CStaticHistogramChart::BarHeight(double count) const {
    double span = m_top - m_bottom;
    if (!(std::fabs(span) > 0) || std::isnan(count)) {
        return 0;
    }
    double fraction = std::clamp((count - m_bottom) / span, 0.0, 1.0);
    return fraction * (m_baseLine - m_innerTop);
}

void CStaticHistogramChart::RebuildBars() {
    // One bar per stored bin, at most one beyond the bins across the plot.
    double limit = std::min(m_binCount + 1, static_cast<double>(kStorage));
    m_barCount = std::min(m_count, static_cast<int>(limit));
    // A scale with no span (all bins empty) gives no bar a height: none is drawn.
    if (m_top == m_bottom) {
        m_barCount = 0;
    }
    m_rawPoints.resize(static_cast<size_t>(m_barCount));
    m_bars.resize(static_cast<size_t>(m_barCount));
    const float barWidth =
        m_barCount > 0 ? static_cast<float>(m_innerWidth) / static_cast<float>(m_barCount) : 0;
    for (int i = 0; i < m_barCount; ++i) {
        m_rawPoints[i] = {static_cast<float>(m_xs[i]), static_cast<float>(m_values[i])};
        auto height = static_cast<float>(BarHeight(m_values[i]));
        float x = static_cast<float>(m_innerLeft + i * m_pixelsPerBin);
        m_bars[i] = {x, static_cast<float>(m_baseLine) - height, barWidth, height};
    }
    // The outer bins are drawn to the same scale as the bars they were
    // counted with.
    double first = BarHeight(m_firstOuter);
    double last = BarHeight(m_lastOuter);
    m_outerLeft = QRectF(m_innerLeft - 2, m_baseLine - first, 2, first);
    m_outerRight = QRectF(width() - 5, m_baseLine - last, 2, last);
}

void CStaticHistogramChart::RebuildCumulative() {
    double total = 0;
    for (int i = 0; i < m_count; ++i) {
        total += m_values[i];
    }
    // Without counts the curve has no height: none is drawn.
    if (!(total > 0) || m_count == 0) {
        m_cumulativeCount = 0;
        return;
    }
    const double height = m_baseLine - m_innerTop;
    double sum = 0;
    m_cumulative.resize(static_cast<size_t>(m_count) + 1);
    m_cumulative[0] = QPointF(m_innerLeft, m_baseLine);
    for (int k = 1; k <= m_count; ++k) {
        sum += m_values[k - 1];
        m_cumulative[k] = QPointF(m_innerLeft + static_cast<double>(k) * m_innerWidth / m_count,
                                  m_baseLine - height * sum / total);
    }
    m_cumulativeCount = m_count + 1;
}

void CStaticHistogramChart::RebuildTexts() {
    double total = 0;
    for (int i = 0; i < m_count; ++i) {
        total = std::trunc(total + m_values[i]);
    }
    if (m_bOuter) {
        total += m_firstOuter + m_lastOuter;
    }
    // With no readings the peak is no share of anything: 0.0%.
    double share = total != 0 ? m_top / total * 100 : 0.0;
    m_topText = FromUtf8(link::FormatFixed(share, 1)) + "%\n" + ValueText(m_top);
    m_totalText = "Total\n" + ValueText(total);
    m_binText = QString("#Bin\n%1").arg(m_count);
    const QString* texts[] = {&m_topText, &m_totalText, &m_binText};
    for (int i = 0; i < 3; ++i) {
        qsizetype lineBreak = texts[i]->indexOf(QLatin1Char('\n'));
        m_textLines[i][0] = texts[i]->left(lineBreak);
        m_textLines[i][1] = texts[i]->mid(lineBreak + 1);
    }
    m_lowerText = SignedValueText(m_lower);
    m_middleText = SignedValueText(m_middle);
    m_upperText = SignedValueText(m_upper);
}

void CStaticHistogramChart::Layout() {
    const int l = 0;
    const int t = 0;
    const int r = width();
    const int b = height();
    m_plot = QRect(QPoint(l + 60, t + 1), QPoint(r - 2, b - 21));
    m_innerLeft = l + 64;
    m_innerTop = t + 3;
    m_baseLine = b - 22;
    m_innerWidth = (r - 1) - (l + 60) - 8;
    m_centerY = (m_innerTop + m_baseLine) / 2;
    m_pixelsPerBin = m_innerWidth / m_binCount;
}

void CStaticHistogramChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
    RebuildBars();
    RebuildCumulative();
}

void CStaticHistogramChart::PaintGrid(QPainter& painter) {
    painter.setPen(QPen(kGrid, 1));
    const int right = m_innerLeft + m_innerWidth;
    painter.drawLine(m_innerLeft, m_innerTop, right, m_innerTop);
    painter.drawLine(m_innerLeft, m_centerY, right, m_centerY);
    painter.drawLine(m_innerLeft, m_baseLine, right, m_baseLine);
    for (int k = 0; k <= 10; ++k) {
        int x = m_innerLeft + k * m_innerWidth / 10;
        painter.drawLine(x, m_innerTop, x, m_innerTop + 2);
        painter.drawLine(x, m_centerY - 2, x, m_centerY + 2);
        painter.drawLine(x, m_baseLine - 2, x, m_baseLine);
    }
}

void CStaticHistogramChart::PaintTexts(QPainter& painter) {
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();
    painter.setPen(kGrid);
    const int right = m_plot.left() + 1;
    const int flags = Qt::AlignRight | Qt::AlignTop;
    // Two lines each, set close (a line of digits needs its ascent only) so
    // that the bin text standing on the base line ends inside the control.
    const int lineStep = metrics.ascent() + 1;
    const int tops[] = {m_innerTop, m_centerY, m_baseLine};
    for (int i = 0; i < 3; ++i) {
        painter.drawText(QRect(0, tops[i], right, lineHeight), flags, m_textLines[i][0]);
        painter.drawText(QRect(0, tops[i] + lineStep, right, lineHeight), flags, m_textLines[i][1]);
    }

    // Under the plot: the range, its tops two pixels below the plot.
    const int top = m_plot.bottom() + 3;
    const int left = m_plot.left() + 2;
    const int end = m_plot.right() + 1 - 2;
    painter.drawText(QRect(left, top, end - left, lineHeight), Qt::AlignLeft | Qt::AlignTop,
                     m_lowerText);
    painter.drawText(QRect(left, top, end - left, lineHeight), Qt::AlignRight | Qt::AlignTop,
                     m_upperText);
    int middle = m_plot.left() + m_plot.width() / 2;
    int middleWidth = metrics.horizontalAdvance(m_middleText);
    painter.drawText(QRect(middle - middleWidth / 2, top, middleWidth + 1, lineHeight),
                     Qt::AlignHCenter | Qt::AlignTop, m_middleText);
}

void CStaticHistogramChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.fillRect(m_plot, kPlot);
    PaintGrid(painter);
    PaintTexts(painter);
    for (int i = 0; i < m_barCount; ++i) {
        const Bar& bar = m_bars[i];
        painter.fillRect(QRectF(bar.x, bar.y, bar.width, bar.height), kBarColour);
    }
    if (m_bCumulative && m_cumulativeCount > 1) {
        painter.setPen(QPen(kCumulativeColour, 1));
        painter.drawPolyline(m_cumulative.data(), m_cumulativeCount);
    }
    if (m_bOuter) {
        painter.fillRect(m_outerLeft, kOuterColour);
        painter.fillRect(m_outerRight, kOuterColour);
    }
}

}  // namespace kvt::views
