#include "views/CDlgBarMeter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "functions/PrefixTable.h"
#include "views/CStaticBarMeter.h"
#include "views/ViewText.h"

namespace kvt::views {

CDlgBarMeter::CDlgBarMeter(QWidget* parent) : QWidget(parent) {
    setObjectName("CDlgBarMeter");
    m_chart = new CStaticBarMeter(this);

    auto* grid = new QGridLayout;
    const struct {
        const char* caption;
        const char* name;
        QLineEdit** edit;
        QComboBox** prefixes;
        QLabel** unit;
        QPushButton** set;
    } rows[] = {{"High", "high", &m_highEdit, &m_highPrefix, &m_highUnit, &m_highSet},
                {"Low", "low", &m_lowEdit, &m_lowPrefix, &m_lowUnit, &m_lowSet}};
    for (int row = 0; row < 2; ++row) {
        const auto& r = rows[row];
        QString name = r.name;
        *r.edit = new QLineEdit(this);
        (*r.edit)->setObjectName(name + "Edit");
        *r.prefixes = new QComboBox(this);
        (*r.prefixes)->setObjectName(name + "Prefix");
        FillPrefixList(*r.prefixes, 0, functions::kPrefixCount - 1);
        (*r.prefixes)->setCurrentIndex(functions::kNoPrefix);
        *r.unit = new QLabel("V", this);
        (*r.unit)->setObjectName(name + "Unit");
        (*r.unit)->setMinimumWidth(24);
        *r.set = new QPushButton("Set", this);
        (*r.set)->setObjectName(name + "Set");
        grid->addWidget(new QLabel(r.caption, this), row, 0);
        grid->addWidget(*r.edit, row, 1);
        grid->addWidget(*r.prefixes, row, 2);
        grid->addWidget(*r.unit, row, 3);
        grid->addWidget(*r.set, row, 4);
    }
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

void CDlgBarMeter::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_bVisible = true;
}

void CDlgBarMeter::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_bVisible = false;
}

}  // namespace kvt::views
