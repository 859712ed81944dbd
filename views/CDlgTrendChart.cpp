#include "views/CDlgTrendChart.h"

#include <QButtonGroup>
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
#include "views/CStaticTrendChart.h"
#include "views/ScaleRow.h"
#include "views/ViewText.h"

namespace kvt::views {

namespace {

// Steps across the plot: the instrument's trend window.
constexpr double kPositions = 400;

QRadioButton* Radio(const char* text, const char* name, QWidget* parent) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(name);
    return radio;
}

}  // namespace

CDlgTrendChart::CDlgTrendChart(functions::IFrontPanelServices* panel, QWidget* parent)
    : QWidget(parent), m_pPanel(panel) {
    setObjectName("CDlgTrendChart");
    m_chart = new CStaticTrendChart(this);

    m_recentRadio = Radio("Recent", "recentRadio", this);
    m_allRadio = Radio("All", "allRadio", this);
    auto* modes = new QButtonGroup(this);
    modes->addButton(m_recentRadio);
    modes->addButton(m_allRadio);

    auto* scaleGroup = new QGroupBox("Vertical Scale", this);
    scaleGroup->setObjectName("scaleGroup");
    m_defaultRadio = Radio("Default", "defaultRadio", scaleGroup);
    m_autoRadio = Radio("Auto", "autoRadio", scaleGroup);
    m_manualRadio = Radio("Manual", "manualRadio", scaleGroup);
    auto* scales = new QButtonGroup(this);
    scales->addButton(m_defaultRadio);
    scales->addButton(m_autoRadio);
    scales->addButton(m_manualRadio);

    auto* grid = new QGridLayout;
    AddScaleRow(grid, 0, scaleGroup, "High", "high", 0, functions::kNoPrefix,
                {m_highEdit, m_highPrefix, m_highUnit, m_highSet});
    AddScaleRow(grid, 1, scaleGroup, "Low", "low", 0, functions::kNoPrefix,
                {m_lowEdit, m_lowPrefix, m_lowUnit, m_lowSet});
    auto* scaleRadios = new QVBoxLayout;
    scaleRadios->setSpacing(2);
    scaleRadios->addWidget(m_defaultRadio);
    scaleRadios->addWidget(m_autoRadio);
    scaleRadios->addWidget(m_manualRadio);
    auto* scaleLayout = new QHBoxLayout(scaleGroup);
    scaleLayout->setContentsMargins(8, 4, 8, 4);
    scaleLayout->addLayout(scaleRadios);
    scaleLayout->addSpacing(12);
    scaleLayout->addLayout(grid);

    m_clearButton = new QPushButton("Clear Readings", this);
    m_clearButton->setObjectName("clearButton");
    // Receives the number of values of each update; never shown.
    m_countEdit = new QLineEdit(this);
    m_countEdit->setObjectName("countEdit");
    m_countEdit->setReadOnly(true);
    m_countEdit->hide();

    auto* modeLayout = new QVBoxLayout;
    modeLayout->addStretch(1);
    modeLayout->addWidget(m_recentRadio);
    modeLayout->addWidget(m_allRadio);
    modeLayout->addStretch(1);
    auto* controls = new QHBoxLayout;
    controls->addLayout(modeLayout);
    controls->addSpacing(8);
    controls->addWidget(scaleGroup);
    controls->addStretch(1);
    controls->addWidget(m_clearButton, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(m_chart, 1);
    layout->addLayout(controls);

    connect(m_recentRadio, &QRadioButton::clicked, this, [this] { RequestMode("REC"); });
    connect(m_allRadio, &QRadioButton::clicked, this, [this] { RequestMode("ALL"); });
    connect(m_defaultRadio, &QRadioButton::clicked, this, [this] { EnableManualScale(false); });
    connect(m_autoRadio, &QRadioButton::clicked, this, [this] { EnableManualScale(false); });
    connect(m_manualRadio, &QRadioButton::clicked, this, [this] { EnableManualScale(true); });
    connect(m_highSet, &QPushButton::clicked, this,
            [this] { m_chart->SetHigh(ReadScaleEnd(m_highEdit, m_highPrefix)); });
    connect(m_lowSet, &QPushButton::clicked, this,
            [this] { m_chart->SetLow(ReadScaleEnd(m_lowEdit, m_lowPrefix)); });
    // "Clear Readings" has no action: the instrument's trend record has no
    // clear command of its own.

    m_recentRadio->setChecked(true);
    m_chart->SetPositions(kPositions);
    m_chart->Project();
    m_mode = "REC";
    ApplyMode(m_mode);
    m_defaultRadio->setChecked(true);
    EnableManualScale(false);
}

double CDlgTrendChart::ReadScaleEnd(const QLineEdit* edit, const QComboBox* prefixes) {
    return functions::ApplyPrefix(EditNumber(edit->text()), prefixes->currentIndex());
}

void CDlgTrendChart::UpdateTrend(const functions::KVTTrendData& record) {
    if (!m_bVisible) {
        return;
    }
    if (record.mode != m_mode) {
        m_mode = record.mode;
        ApplyMode(m_mode);
    }
    if (record.mode == "ALL") {
        m_chart->ClearLabels();
        m_chart->AddLabel(200, QString("Elapsed Time:%1m %2s")
                                   .arg(record.elapsedSeconds / 60)
                                   .arg(record.elapsedSeconds % 60));
    }
    if (m_autoRadio->isChecked()) {
        m_chart->SetHigh(record.maximum);
        m_chart->SetLow(record.minimum);
    } else if (m_defaultRadio->isChecked()) {
        double x = functions::ParseWithPrefix(record.range);
        m_chart->SetHigh(x);
        m_chart->SetLow(-x);
    }
    int count = std::clamp(record.count, 0, functions::kTrendCapacity);
    m_chart->SetData(record.values.data(), count);
    m_countEdit->setText(QString::number(record.count));
}

void CDlgTrendChart::ApplyMode(const std::string& mode) {
    m_chart->ClearLabels();
    if (mode == "ALL") {
        m_allRadio->setChecked(true);
        m_chart->SetReversed(false);
        m_chart->Project();
        return;
    }
    m_recentRadio->setChecked(true);
    m_chart->SetReversed(true);
    m_chart->Project();
    m_chart->AddLabel(0, "-1min");
    m_chart->AddLabel(200, "-30s");
    m_chart->AddLabel(400, "0s");
}

void CDlgTrendChart::RequestMode(const std::string& mode) {
    // The chart follows the mode that the next fetched record reports.
    if (m_pPanel != nullptr) {
        m_pPanel->SetTrendMode(mode);
    }
}

void CDlgTrendChart::EnableManualScale(bool enable) {
    for (QWidget* control : {static_cast<QWidget*>(m_highEdit), static_cast<QWidget*>(m_highPrefix),
                             static_cast<QWidget*>(m_highSet), static_cast<QWidget*>(m_lowEdit),
                             static_cast<QWidget*>(m_lowPrefix), static_cast<QWidget*>(m_lowSet)}) {
        control->setEnabled(enable);
    }
}

void CDlgTrendChart::SetUnitText(const QString& unit) {
    m_highUnit->setText(unit);
    m_lowUnit->setText(unit);
}

void CDlgTrendChart::SetVisibleFlag(bool visible) {
    m_bVisible = visible;
    if (m_pPanel != nullptr) {
        functions::g_trendViewActive = visible;
    }
}

CDlgTrendChart::~CDlgTrendChart() {
    if (m_bVisible) {
        SetVisibleFlag(false);
    }
}

void CDlgTrendChart::setVisible(bool visible) {
    QWidget::setVisible(visible);
    SetVisibleFlag(visible);
}

}  // namespace kvt::views
