#include "views/CDlgBarMeter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "functions/PrefixTable.h"
#include "views/CStaticBarMeter.h"
#include "views/ScaleRow.h"
#include "views/ViewText.h"

namespace kvt::views {

CDlgBarMeter::CDlgBarMeter(QWidget* parent) : QWidget(parent) {
    setObjectName("CDlgBarMeter");
    m_chart = new CStaticBarMeter(this);

    auto* grid = new QGridLayout;
    AddScaleRow(grid, 0, this, "High", "high", 0, functions::kNoPrefix,
                {m_highEdit, m_highPrefix, m_highUnit, m_highSet});
    AddScaleRow(grid, 1, this, "Low", "low", 0, functions::kNoPrefix,
                {m_lowEdit, m_lowPrefix, m_lowUnit, m_lowSet});
    grid->setColumnStretch(5, 1);

    connect(m_highSet, &QPushButton::clicked, this,
            [this] { m_chart->SetHigh(ReadScaleEnd(m_highEdit, m_highPrefix)); });
    connect(m_lowSet, &QPushButton::clicked, this,
            [this] { m_chart->SetLow(ReadScaleEnd(m_lowEdit, m_lowPrefix)); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_chart, 1);
    layout->addLayout(grid);
}

double CDlgBarMeter::ReadScaleEnd(const QLineEdit* edit, const QComboBox* prefixes) {
    return functions::ApplyPrefix(EditNumber(edit->text()), prefixes->currentIndex());
}

void CDlgBarMeter::SetUnitText(const QString& unit) {
    m_highUnit->setText(unit);
    m_lowUnit->setText(unit);
}

void CDlgBarMeter::SetValue(double value) {
    m_chart->SetValue(value);
}

void CDlgBarMeter::setVisible(bool visible) {
    QWidget::setVisible(visible);
    m_bVisible = visible;
}

}  // namespace kvt::views
