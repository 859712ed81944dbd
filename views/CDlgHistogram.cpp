#include "views/CDlgHistogram.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "functions/IFrontPanelServices.h"
#include "functions/PrefixTable.h"
#include "functions/ProgramRecords.h"
#include "link/AnalysisCommands.h"
#include "link/Numbers.h"
#include "views/CStaticHistogramChart.h"
#include "views/FunctionCommand.h"
#include "views/ScaleRow.h"
#include "views/ViewText.h"

namespace kvt::views {

namespace {

// The chart is never narrower than this.
constexpr int kMinimumChartWidth = 469;

const char* const kBinChoices[] = {"10", "20", "40", "100", "200", "400"};

// The range prefix lists hold the table's letters from "u" to "P".
constexpr int kFirstRangePrefix = 2;

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace

CDlgHistogram::CDlgHistogram(functions::IFrontPanelServices* panel, QWidget* parent)
    : QWidget(parent), m_pPanel(panel) {
    setObjectName("CDlgHistogram");
    m_chart = new CStaticHistogramChart(this);
    m_chart->setMinimumWidth(std::max(m_chart->minimumWidth(), kMinimumChartWidth));

    auto* binning = Named(new QGroupBox("Binning", this), "binningGroup");
    m_autoRadio = Named(new QRadioButton("Auto", binning), "autoRadio");
    m_manualRadio = Named(new QRadioButton("Manual", binning), "manualRadio");
    auto* radios = new QButtonGroup(this);
    radios->addButton(m_autoRadio);
    radios->addButton(m_manualRadio);
    m_binsList = Named(new QComboBox(binning), "binsList");
    for (const char* bins : kBinChoices) {
        m_binsList->addItem(bins);
    }
    m_binsList->setCurrentIndex(-1);
    m_binsSet = Named(new QPushButton("Num.Bins", binning), "binsSet");
    auto* binningLayout = new QGridLayout(binning);
    binningLayout->setContentsMargins(8, 4, 8, 4);
    binningLayout->addWidget(m_autoRadio, 0, 0);
    binningLayout->addWidget(m_manualRadio, 0, 1);
    binningLayout->addWidget(new QLabel("Num.Bins", binning), 1, 0);
    binningLayout->addWidget(m_binsList, 1, 1);
    binningLayout->addWidget(m_binsSet, 1, 2);

    auto* range = new QGridLayout;
    AddScaleRow(range, 0, this, "High", "high", kFirstRangePrefix, -1,
                {m_highEdit, m_highPrefix, m_highUnit, m_highSet});
    AddScaleRow(range, 1, this, "Low", "low", kFirstRangePrefix, -1,
                {m_lowEdit, m_lowPrefix, m_lowUnit, m_lowSet});

    m_cumulativeCheck = Named(new QCheckBox("Cumulative", this), "cumulativeCheck");
    m_outerCheck = Named(new QCheckBox("Outer Bins", this), "outerCheck");
    m_clearButton = Named(new QPushButton("Clear Readings", this), "clearButton");
    auto* options = new QVBoxLayout;
    options->addWidget(m_cumulativeCheck);
    options->addWidget(m_outerCheck);
    options->addWidget(m_clearButton);

    m_binsLabel = Named(new QLabel(this), "binsLabel");
    m_pointsLabel = Named(new QLabel(this), "pointsLabel");
    m_peakLabel = Named(new QLabel(this), "peakLabel");
    for (QLabel* hidden : {m_binsLabel, m_pointsLabel, m_peakLabel}) {
        hidden->hide();
    }

    auto* controls = new QHBoxLayout;
    controls->addWidget(binning);
    controls->addSpacing(6);
    controls->addLayout(range);
    controls->addSpacing(6);
    controls->addLayout(options);
    controls->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(m_chart, 1);
    layout->addLayout(controls);

    connect(m_autoRadio, &QRadioButton::clicked, this, [this] { OnAuto(); });
    connect(m_manualRadio, &QRadioButton::clicked, this, [this] { OnManual(); });
    connect(m_binsSet, &QPushButton::clicked, this, [this] { OnBinsSet(); });
    connect(m_highSet, &QPushButton::clicked, this, [this] { OnUpperSet(); });
    connect(m_lowSet, &QPushButton::clicked, this, [this] { OnLowerSet(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { OnClearReadings(); });
    connect(m_cumulativeCheck, &QCheckBox::clicked, this,
            [this](bool checked) { m_chart->SetCumulative(checked); });
    connect(m_outerCheck, &QCheckBox::clicked, this,
            [this](bool checked) { m_chart->SetOuterShown(checked); });

    m_autoRadio->setChecked(true);
    EnableManualControls(false);
    m_chart->SetCumulative(false);
}

void CDlgHistogram::UpdateHistogram(const functions::KVTHistogramData& record) {
    if (!m_bVisible || record.binCount <= 0) {
        return;
    }
    // A record never holds more bins than its storage.
    const int bins = std::min(record.binCount, functions::kHistogramCapacity);
    m_chart->SetRange(record.lower, record.upper, record.points);
    const double* first = record.bins.data();
    double peak = *std::max_element(first, first + bins);
    bool outer = m_outerCheck->isChecked();
    if (outer) {
        peak = std::max(
            {peak, static_cast<double>(record.firstCount), static_cast<double>(record.lastCount)});
    }
    m_chart->SetOuter(outer, record.firstCount, record.lastCount);
    m_chart->SetTop(peak);
    m_chart->SetBinCount(bins);
    m_chart->SetData(bins, first);

    if (record.autoRange != 0) {
        m_autoRadio->setChecked(true);
    } else {
        m_manualRadio->setChecked(true);
    }
    EnableManualControls(m_manualRadio->isChecked());
    if (record.autoRange == 0) {
        ShowMeterBins(bins);
    }

    m_binsLabel->setText(QString::number(bins));
    if (record.points > 1000) {
        m_pointsLabel->setText(FromUtf8(link::FormatFixed(record.points / 1000.0, 3)) + "k");
    } else {
        m_pointsLabel->setText(FromUtf8(link::FormatFixed(record.points, 0)));
    }
    m_peakLabel->setText(FromUtf8(link::FormatFixed(peak, 0)));
}

void CDlgHistogram::EnableManualControls(bool enable) {
    // The prefix lists stay enabled.
    for (QWidget* control : {static_cast<QWidget*>(m_binsList), static_cast<QWidget*>(m_binsSet),
                             static_cast<QWidget*>(m_highEdit), static_cast<QWidget*>(m_highSet),
                             static_cast<QWidget*>(m_lowEdit), static_cast<QWidget*>(m_lowSet)}) {
        control->setEnabled(enable);
    }
}

void CDlgHistogram::OnAuto() {
    EnableManualControls(false);
    SendUnderFunctionLock(m_pPanel, [] { link::SetHistogramAutoRange(true); });
}

void CDlgHistogram::OnManual() {
    EnableManualControls(true);
    SendUnderFunctionLock(m_pPanel, [] { link::SetHistogramAutoRange(false); });
}

void CDlgHistogram::ShowMeterBins(int bins) {
    // Only a change is shown, so that a choice the user has made and not
    // sent yet stays while the meter keeps its number.
    if (bins == m_meterBins) {
        return;
    }
    m_meterBins = bins;
    m_binsList->setCurrentIndex(m_binsList->findText(QString::number(bins)));
}

void CDlgHistogram::OnBinsSet() {
    // Nothing chosen yet: there is no number of bins to send.
    if (m_binsList->currentIndex() < 0) {
        return;
    }
    int bins = link::ParseInteger(m_binsList->currentText().toStdString());
    SendUnderFunctionLock(m_pPanel, [bins] { link::SetHistogramPoints(bins); });
}

void CDlgHistogram::OnUpperSet() {
    double value = functions::ParseWithPrefix(
        TypedNumberText(m_highEdit->text() + m_highPrefix->currentText()));
    SendUnderFunctionLock(m_pPanel, [value] { link::SetHistogramUpper(value); });
}

void CDlgHistogram::OnLowerSet() {
    double value =
        functions::ParseWithPrefix(TypedNumberText(m_lowEdit->text() + m_lowPrefix->currentText()));
    SendUnderFunctionLock(m_pPanel, [value] { link::SetHistogramLower(value); });
}

void CDlgHistogram::OnClearReadings() {
    SendUnderFunctionLock(m_pPanel, [] { link::ClearHistogram(); });
}

void CDlgHistogram::SetUnitText(const QString& unit) {
    m_highUnit->setText(unit);
    m_lowUnit->setText(unit);
}

void CDlgHistogram::SetVisibleFlag(bool visible) {
    m_bVisible = visible;
    if (m_pPanel != nullptr) {
        functions::g_histogramViewActive = visible;
    }
}

CDlgHistogram::~CDlgHistogram() {
    if (m_bVisible) {
        SetVisibleFlag(false);
    }
}

void CDlgHistogram::setVisible(bool visible) {
    QWidget::setVisible(visible);
    SetVisibleFlag(visible);
}

}  // namespace kvt::views
