#include "views/CStaticBarMeter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "views/ViewText.h"

namespace kvt::views {

namespace {

const QColor kBackground(0xFF, 0xFF, 0xFF);
const QColor kInk(0x00, 0x00, 0x00);
const QColor kBar(0xFF, 0xFF, 0x00);
const QColor kOutline(0x80, 0x80, 0x80);

}  // namespace

CStaticBarMeter::CStaticBarMeter(QWidget* parent) : QWidget(parent) {
    setObjectName("barMeterChart");
    setMinimumSize(260, 80);
    Recompute();
}

void CStaticBarMeter::SetValue(double value) {
    m_value = value;
    update();
}

void CStaticBarMeter::SetHigh(double value) {
    m_high = std::max(value, m_low);
    Recompute();
}

void CStaticBarMeter::SetLow(double value) {
    m_low = std::min(value, m_high);
    Recompute();
}

void CStaticBarMeter::Recompute() {
    double span = m_high - m_low;
    m_center = span / 2 + m_low;
    m_plotLow = m_low - span / 10;
    m_plotHigh = m_high + span / 10;
    m_labels[0] = ScaleText(m_low);
    m_labels[1] = ScaleText(m_center);
    m_labels[2] = ScaleText(m_high);
    update();
}

double CStaticBarMeter::BarEnd() const {
    double span = m_plotHigh - m_plotLow;
    // With no span (low equal to high) the bar has no defined length: none
    // is drawn. A reading that is no number draws none either.
    if (!(span > 0) || std::isnan(m_value)) {
        return -1;
    }
    double fraction = std::clamp((m_value - m_plotLow) / span, 0.0, 1.0);
    return m_unit * (1 + 24 * fraction);
}

void CStaticBarMeter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_width = static_cast<float>(width());
    m_height = static_cast<float>(height());
    m_unit = m_width / 26;
}

void CStaticBarMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const float u = m_unit;
    const float h = m_height;
    painter.fillRect(rect(), kBackground);

    painter.setPen(QPen(kInk, 1));
    for (int i = 0; i <= 24; ++i) {
        qreal x = std::floor(static_cast<float>(i) * u);
        painter.drawLine(QLineF(x, h / 2, x, 3 * h / 4));
    }
    painter.setPen(QPen(kInk, 3));
    for (float at : {8 * u, 18 * u}) {
        painter.drawLine(QLineF(at, 3 * h / 8, at, 3 * h / 4));
    }
    painter.setPen(QPen(kInk, 5));
    for (float at : {3 * u, 13 * u, 23 * u}) {
        painter.drawLine(QLineF(at, h / 4, at, 3 * h / 4));
    }
    painter.setPen(QPen(kInk, 2));
    qreal base = std::floor(3 * h / 4);
    painter.drawLine(QLineF(std::floor(u), base, m_width - std::floor(u), base));

    // Scale labels centred on the major ticks, their bottoms at H/4.
    painter.setPen(kInk);
    const QFontMetricsF metrics(font());
    const float ticks[] = {3 * u, 13 * u, 23 * u};
    for (int i = 0; i < 3; ++i) {
        qreal textWidth = metrics.horizontalAdvance(m_labels[i]);
        painter.drawText(QPointF(ticks[i] - textWidth / 2, h / 4 - metrics.descent()), m_labels[i]);
    }

    // Start cap, then the bar from x = 5 to its end.
    QRectF cap(0, 5 * h / 8 - 4, 5, h / 8 + 6);
    painter.fillRect(cap, kBar);
    painter.setPen(QPen(kOutline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cap);
    double end = BarEnd();
    if (end > 5) {
        QRectF bar(5, 5 * h / 8, end - 5, h / 8 - 2);
        painter.fillRect(bar, kBar);
        painter.drawRect(bar);
    }
}

}  // namespace kvt::views
