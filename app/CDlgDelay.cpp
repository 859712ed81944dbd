#include "app/CDlgDelay.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

#include "link/CoreCommands.h"
#include "link/ExchangeSequence.h"
#include "link/Numbers.h"
#include "views/CWaitCursor.h"
#include "views/ViewText.h"

namespace kvt::app {
namespace {

// The unit list in its order, with the factor that turns the typed value
// into seconds (as a multiplier and a divisor, so that 250 mS is exactly
// 250 / 1000).
struct DelayUnit {
    const char* text;
    double multiplier;
    double divisor;
};
constexpr std::array<DelayUnit, 4> kUnits{{
    {"kS", 1000.0, 1.0},
    {"S", 1.0, 1.0},
    {"mS", 1.0, 1000.0},
    {"uS", 1.0, 1000000.0},
}};
constexpr int kSeconds = 1;
constexpr std::string_view kAutoDelay = "Auto";

}  // namespace

CDlgDelay::CDlgDelay(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Delay"));
    setModal(true);

    m_auto = new QRadioButton(QStringLiteral("Auto"), this);
    m_manual = new QRadioButton(QStringLiteral("Manual"), this);
    auto* choices = new QButtonGroup(this);
    choices->addButton(m_auto);
    choices->addButton(m_manual);
    m_auto->setChecked(true);

    m_value = new QLineEdit(this);
    m_value->setFixedWidth(70);
    m_unit = new QComboBox(this);
    for (const DelayUnit& unit : kUnits) {
        m_unit->addItem(QString::fromLatin1(unit.text));
    }
    m_unit->setCurrentIndex(kSeconds);
    SetManualEnabled(false);
    connect(m_auto, &QRadioButton::clicked, this, [this] { SetManualEnabled(false); });
    connect(m_manual, &QRadioButton::clicked, this, [this] { SetManualEnabled(true); });

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(m_auto, 0, 0);
    grid->addWidget(m_manual, 1, 0);
    grid->addWidget(m_value, 1, 1);
    grid->addWidget(m_unit, 1, 2);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(50, 20, 40, 16);
    layout->addLayout(grid);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void CDlgDelay::SetManualEnabled(bool enabled) {
    m_value->setEnabled(enabled);
    m_unit->setEnabled(enabled);
}

std::string CDlgDelay::DelayText() const {
    if (m_auto->isChecked()) {
        return std::string(kAutoDelay);
    }
    const int index = m_unit->currentIndex();
    const DelayUnit& unit = kUnits.at(index < 0 ? kSeconds : static_cast<size_t>(index));
    // The longest leading number of the text (0 when it has none), read
    // with the locale's decimal separator or a point; printed with a point.
    const double value = views::EditNumber(m_value->text());
    return link::FormatFixed(value * unit.multiplier / unit.divisor, 3);
}

void CDlgDelay::accept() {
    {
        views::CWaitCursor wait;
        link::ExchangeSequence sequence;
        link::SetTriggerDelay(DelayText());
    }
    QDialog::accept();
}

}  // namespace kvt::app
