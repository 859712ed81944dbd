// The front panel's drawing: the main display, the reading feed to the
// views, the six soft keys and the small edit field.
#include <QFontMetrics>
#include <QLabel>

#include "functions/CKVTFunction.h"
#include "functions/CKVTFunctionTemperature.h"
#include "functions/ProgramRecords.h"
#include "link/Numbers.h"
#include "panel/CFrontPanel.h"
#include "panel/TinyMenuCells.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"

namespace kvt::panel {
namespace {

// Where the main display's parts go: the container's rectangle in the
// skin, and the reading, range and unit inside the container.
struct MainLayout {
    QRect container;
    QPoint value;
    QPoint range;
    QPoint unit;
};
const MainLayout kNormalLayout{QRect(72, 86, 436 - 72, 226 - 86), {46, 26}, {113, 101}, {284, 101}};
const MainLayout kEditFieldLayout{
    QRect(72, 86, 436 - 72, 205 - 86), {46, 26}, {113, 101}, {284, 101}};
const MainLayout kTemperatureAllLayout{
    QRect(72, 86, 436 - 72, 191 - 86), {46, 11}, {113, 66}, {284, 66}};

constexpr int kTitleLeft = 72;
constexpr int kTitleTop = 57;
constexpr int kTitleBottom = 87;
constexpr int kTitleMargin = 92;

constexpr uint32_t kCheckedKey = 0xFF1737D5;
constexpr uint32_t kClearKey = 0xFF808080;
constexpr uint32_t kCursorCell = 0xFFC0C0C0;
constexpr uint32_t kNoColor = 0;

constexpr char kTemperatureTitle[] = "Temperature";
constexpr char kMeasuredUnit[] = "VDC";

void SetText(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
}

// Colours from the program go into the control's own style sheet, which
// takes precedence over the skin's; each control gets one colour from here
// and the sheet is set only when it changes.
// The rule names the control, since a control's sheet also applies to its
// children (a key's container holds its four labels).
void SetOwnStyle(QWidget* widget, const QString& declarations) {
    const QString style = declarations.isEmpty()
                              ? QString()
                              : QString("#%1 { %2 }").arg(widget->objectName(), declarations);
    if (widget->styleSheet() != style) {
        widget->setStyleSheet(style);
    }
}

// Text colours are plain RGB: the top byte is ignored and 0 is black.
void SetTextColor(QWidget* widget, uint32_t rgb) {
    SetOwnStyle(widget, QString("color: #%1;").arg(rgb & 0xFFFFFFu, 6, 16, QChar('0')));
}

// Backgrounds carry alpha in the top byte; 0 means no background at all.
void SetBackground(QWidget* widget, uint32_t argb) {
    if (argb == kNoColor) {
        SetOwnStyle(widget, QString());
        return;
    }
    const QColor color = QColor::fromRgba(static_cast<QRgb>(argb));
    SetOwnStyle(widget, QString("background-color: rgba(%1, %2, %3, %4);")
                            .arg(color.red())
                            .arg(color.green())
                            .arg(color.blue())
                            .arg(color.alpha()));
}

}  // namespace

void CFrontPanel::RefreshMainDisplay() {
    if (m_current == nullptr) {
        return;
    }
    QLabel* title = Label("LabelTitle");
    QWidget* container = m_skin.Widget("ContainerMain");
    QLabel* value = Label("LabelValue");
    QLabel* range = Label("LabelRange");
    QLabel* unit = Label("LabelUnit");
    QWidget* tinyMenu = m_skin.Widget("TinyMenu");
    QWidget* measuredLine = m_skin.Widget("ContainerTempMeasVal");

    // The title's tab: as wide as the title less its last character, in
    // the label's own font, plus the margin.
    const std::string name = m_current->GetName();
    QString measured = QString::fromStdString(name);
    measured.chop(1);
    const int width = QFontMetrics(title->font()).horizontalAdvance(measured);
    PlaceInSkin(title, kTitleLeft, kTitleTop, width + kTitleMargin, kTitleBottom);
    title->setText(QString::fromStdString(name));

    const bool hasTinyMenu = m_current->HasTinyMenu();
    tinyMenu->setVisible(hasTinyMenu);
    measuredLine->setVisible(false);
    Label("LabelShift")->setVisible(m_shift);

    const MainLayout* layout = &kNormalLayout;
    auto* temperature = name == kTemperatureTitle
                            ? dynamic_cast<functions::CKVTFunctionTemperature*>(m_current)
                            : nullptr;
    if (temperature != nullptr) {
        range->setText(QString());
        const std::string mode = temperature->GetDisplayMode();
        if (mode == "Temp Val") {
            SetText(value, temperature->GetDisplayText());
            SetText(unit, temperature->GetUnitLabel());
        } else if (mode == "Meas Val") {
            SetText(value, temperature->GetMeasuredText());
            unit->setText(kMeasuredUnit);
        } else {
            measuredLine->setVisible(true);
            SetText(value, temperature->GetDisplayText());
            SetText(unit, temperature->GetUnitLabel());
            SetText(Label("LabelTempMeasVal"), temperature->GetMeasuredText());
            Label("LabelTempMeasValUnit")->setText(kMeasuredUnit);
            layout = &kTemperatureAllLayout;
        }
    } else {
        SetText(value, m_current->GetDisplayText());
        SetText(range, m_current->GetRangeMode() + " " + m_current->GetRange());
        SetText(unit, m_current->GetUnitLabel());
        if (hasTinyMenu) {
            layout = &kEditFieldLayout;
            RefreshTinyMenu();
            int left = 0;
            int top = 0;
            int right = 0;
            int bottom = 0;
            m_current->GetTinyMenuRect(left, top, right, bottom);
            PlaceInSkin(tinyMenu, left, top, right, bottom);
        }
    }
    const QRect& box = layout->container;
    PlaceInSkin(container, box.left(), box.top(), box.left() + box.width(),
                box.top() + box.height());
    value->move(layout->value);
    range->move(layout->range);
    unit->move(layout->unit);
}

void CFrontPanel::OnNewReading() {
    FeedViews();
    QLabel* value = Label("LabelValue");
    const std::string title = m_current->GetName();
    auto* temperature = title == kTemperatureTitle
                            ? dynamic_cast<functions::CKVTFunctionTemperature*>(m_current)
                            : nullptr;
    if (temperature != nullptr) {
        const std::string mode = temperature->GetDisplayMode();
        if (mode == "Temp Val") {
            SetText(value, temperature->GetDisplayText());
            SetBarMeterValue(temperature->GetReadingText());
            SetText(Label("LabelUnit"), temperature->GetUnitLabel());
        } else if (mode == "Meas Val") {
            const std::string measured = temperature->GetMeasuredText();
            SetText(value, measured);
            SetBarMeterValue(measured);
        } else {
            SetText(value, temperature->GetDisplayText());
            SetText(Label("LabelTempMeasVal"), temperature->GetMeasuredText());
            SetBarMeterValue(temperature->GetReadingText());
            SetText(Label("LabelUnit"), temperature->GetUnitLabel());
        }
        return;
    }
    SetText(value, m_current->GetDisplayText());
    SetBarMeterValue(m_current->GetReadingText());
    const std::string rangeMode = m_current->GetRangeMode();
    const bool automatic = rangeMode == "Auto";
    if (automatic) {
        SetText(Label("LabelRange"), rangeMode + " " + m_current->GetRange());
    }
    if (automatic || title == "Frequency" || title == "Period") {
        SetText(Label("LabelUnit"), m_current->GetUnitLabel());
    }
}

void CFrontPanel::FeedViews() {
    if (m_trendView != nullptr && functions::g_trendViewActive.load()) {
        functions::CopyTrendData(*m_trendCopy);
        m_trendView->UpdateTrend(*m_trendCopy);
    }
    if (m_histogramView != nullptr && functions::g_histogramViewActive.load()) {
        functions::CopyHistogramData(*m_histogramCopy);
        m_histogramView->UpdateHistogram(*m_histogramCopy);
    }
    if (m_statisticsView != nullptr && functions::g_statisticsViewActive.load()) {
        m_statisticsView->ShowStatistics(m_current->GetStatistics());
    }
}

void CFrontPanel::SetBarMeterValue(const std::string& text) {
    // "Overload", "open" and the placeholder read as 0.
    if (m_barMeterView != nullptr) {
        m_barMeterView->SetValue(link::ParseNumber(text));
    }
}

void CFrontPanel::RefreshSoftKeys() {
    if (m_current == nullptr) {
        return;
    }
    for (int i = 0; i < kSoftKeyCount; ++i) {
        const KVTSoftKeyPanel& names = m_softKeyPanels[i];
        QLabel* container = m_skin.Label(QString::fromStdString(names.container));
        QLabel* title = m_skin.Label(QString::fromStdString(names.nameLabel));
        QLabel* subtitle = m_skin.Label(QString::fromStdString(names.valueLabel));
        QLabel* optionA = m_skin.Label(QString::fromStdString(names.value1Label));
        QLabel* optionB = m_skin.Label(QString::fromStdString(names.value2Label));

        SetText(container, m_current->GetSoftKeyText(i));
        const functions::CMenuItem* item = m_current->GetSoftKeyItem(i);
        SetBackground(container, item != nullptr && item->m_checked ? kCheckedKey : kClearKey);
        SetTextColor(title, item != nullptr ? item->m_titleColor : kNoColor);
        SetText(title, m_current->GetSoftKeyTitle(i));
        SetTextColor(subtitle, item != nullptr ? item->m_subtitleColor : kNoColor);
        SetText(subtitle, m_current->GetSoftKeySubtitle(i));
        SetTextColor(optionA, item != nullptr ? item->m_optionAColor : kNoColor);
        SetText(optionA, m_current->GetSoftKeyOptionA(i));
        SetTextColor(optionB, item != nullptr ? item->m_optionBColor : kNoColor);
        SetText(optionB, m_current->GetSoftKeyOptionB(i));
    }
}

void CFrontPanel::RefreshTinyMenu() {
    if (m_current == nullptr) {
        return;
    }
    const TinyMenuLayout layout =
        LayoutTinyMenu(m_current->GetTinyMenuText(), m_current->GetTinyMenuCursor());
    for (int i = 0; i < kTinyMenuCells; ++i) {
        QLabel* cell = m_skin.Label(QString("labelPop%1").arg(i));
        SetText(cell, layout.cells[i]);
        SetBackground(cell, i == layout.highlighted ? kCursorCell : kNoColor);
    }
}

}  // namespace kvt::panel
