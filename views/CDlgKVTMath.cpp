#include "views/CDlgKVTMath.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QVBoxLayout>

#include <cmath>

#include "functions/CKVTFunction.h"
#include "functions/IFrontPanelServices.h"
#include "functions/PrefixTable.h"
#include "functions/ProgramRecords.h"
#include "link/AnalysisCommands.h"
#include "link/ExchangeSequence.h"
#include "link/Numbers.h"
#include "views/CStatisticsEvent.h"
#include "views/CWaitCursor.h"
#include "views/FunctionCommand.h"
#include "views/ViewText.h"

namespace kvt::views {

namespace {

// The dBm reference resistances the instrument accepts, in ohms.
const char* const kRefResistances[] = {"50",  "75",  "93",   "110",  "124", "125",
                                       "135", "150", "250",  "300",  "500", "600",
                                       "800", "900", "1000", "1200", "8000"};

// The limit prefix lists hold the table's letters "p" to "M".
constexpr int kLastLimitPrefix = 6;

// The instrument's limit range.
constexpr double kLargestLimit = 1e8;
constexpr double kSmallestLimit = 1e-12;

const QString kOverload = QStringLiteral("Overload");

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

QString StatisticText(const std::string& text, int decimals) {
    if (text == "Overload") {
        return kOverload;
    }
    // Written in full: an overload value of 9.9e37 is 42 characters long.
    return FromUtf8(link::FormatFixed(link::ParseNumber(text), decimals));
}

}  // namespace

CDlgKVTMath::CDlgKVTMath(functions::IFrontPanelServices* panel, QWidget* parent)
    : QWidget(parent), m_pPanel(panel) {
    setObjectName("CDlgKVTMath");
    BuildStatisticsGroup();
    BuildScaleGroup();
    BuildLimitsGroup();

    auto* lower = new QHBoxLayout;
    lower->addWidget(m_scaleGroup);
    lower->addWidget(m_limitsGroup);
    lower->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(findChild<QGroupBox*>("statisticsGroup"));
    layout->addLayout(lower);
    layout->addStretch(1);

    // Initial state: no limit test, no scaling, "dB" checked, no Ref R
    // and no prefix chosen, empty statistics.
    EnableLimitControls(false);
    m_scaleCheck->setChecked(false);
    ApplyScaleEnabling(0, m_scale.function);
    m_dbRadio->setChecked(true);
}

void CDlgKVTMath::BuildStatisticsGroup() {
    auto* group = new QGroupBox(tr("Statistics"), this);
    group->setObjectName("statisticsGroup");
    m_minEdit = ReadOnlyEdit(group, "minEdit");
    m_averageEdit = ReadOnlyEdit(group, "averageEdit");
    m_maxEdit = ReadOnlyEdit(group, "maxEdit");
    m_spanEdit = ReadOnlyEdit(group, "spanEdit");
    m_stdDevEdit = ReadOnlyEdit(group, "stdDevEdit");
    m_samplesEdit = ReadOnlyEdit(group, "samplesEdit");
    m_clearButton = new QPushButton("Clear Readings", group);
    m_clearButton->setObjectName("clearButton");

    auto* grid = new QGridLayout(group);
    const struct {
        const char* caption;
        QLineEdit* edit;
    } fields[] = {{"Min:", m_minEdit},   {"Average:", m_averageEdit}, {"Max:", m_maxEdit},
                  {"Span:", m_spanEdit}, {"Std dev:", m_stdDevEdit},  {"Samples:", m_samplesEdit}};
    for (int i = 0; i < 6; ++i) {
        int row = i / 3;
        int column = (i % 3) * 2;
        auto* label = new QLabel(fields[i].caption, group);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, column);
        grid->addWidget(fields[i].edit, row, column + 1);
        grid->setColumnStretch(column + 1, 1);
    }
    grid->addWidget(m_clearButton, 0, 6, 2, 1, Qt::AlignVCenter);
    connect(m_clearButton, &QPushButton::clicked, this, [this] { OnClearReadings(); });
}

void CDlgKVTMath::BuildScaleGroup() {
    // The caption starts with five blanks; the scaling check box sits over them.
    m_scaleGroup = new QGroupBox("     dB/dBm", this);
    m_scaleGroup->setObjectName("scaleGroup");
    m_scaleCheck = new QCheckBox(m_scaleGroup);
    m_scaleCheck->setObjectName("scaleCheck");
    m_dbRadio = new QRadioButton("dB", m_scaleGroup);
    m_dbRadio->setObjectName("dbRadio");
    m_dbmRadio = new QRadioButton("dBm", m_scaleGroup);
    m_dbmRadio->setObjectName("dbmRadio");
    m_functionGroup = new QButtonGroup(this);
    m_functionGroup->addButton(m_dbRadio);
    m_functionGroup->addButton(m_dbmRadio);
    m_refList = new QComboBox(m_scaleGroup);
    m_refList->setObjectName("refList");
    for (const char* ohms : kRefResistances) {
        m_refList->addItem(ohms);
    }
    m_refList->setCurrentIndex(-1);
    m_refSet = new QPushButton("Set", m_scaleGroup);
    m_refSet->setObjectName("refSet");
    m_dbRefEdit = new QLineEdit(m_scaleGroup);
    m_dbRefEdit->setObjectName("dbRefEdit");
    m_dbRefSet = new QPushButton("Set", m_scaleGroup);
    m_dbRefSet->setObjectName("dbRefSet");
    m_measureRef = new QCheckBox("Measure Ref Value", m_scaleGroup);
    m_measureRef->setObjectName("measureRef");

    auto* grid = new QGridLayout(m_scaleGroup);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_dbRadio);
    radios->addWidget(m_dbmRadio);
    radios->addStretch(1);
    grid->addLayout(radios, 0, 0, 1, 4);
    grid->addWidget(new QLabel("Ref R", m_scaleGroup), 1, 0);
    grid->addWidget(m_refList, 1, 1);
    grid->addWidget(new QLabel(QString::fromUtf8("Ω"), m_scaleGroup), 1, 2);
    grid->addWidget(m_refSet, 1, 3);
    grid->addWidget(new QLabel("db Ref  Value", m_scaleGroup), 2, 0);
    grid->addWidget(m_dbRefEdit, 2, 1);
    grid->addWidget(new QLabel("dBm", m_scaleGroup), 2, 2);
    grid->addWidget(m_dbRefSet, 2, 3);
    grid->addWidget(m_measureRef, 3, 0, 1, 4);

    connect(m_scaleCheck, &QCheckBox::clicked, this, [this] { OnScaleClicked(); });
    connect(m_dbRadio, &QRadioButton::clicked, this, [this] { OnFunctionClicked("dB", "DB"); });
    connect(m_dbmRadio, &QRadioButton::clicked, this, [this] { OnFunctionClicked("dBm", "DBM"); });
    connect(m_refSet, &QPushButton::clicked, this, [this] { OnRefResistanceSet(); });
    connect(m_dbRefSet, &QPushButton::clicked, this, [this] { OnDbReferenceSet(); });
    connect(m_measureRef, &QCheckBox::clicked, this, [this] { OnMeasureRefClicked(); });
}

void CDlgKVTMath::BuildLimitsGroup() {
    // Created hidden: nothing in the program shows it, yet its controls are
    // filled and handled.
    m_limitsGroup = new QGroupBox("Limits", this);
    m_limitsGroup->setObjectName("limitsGroup");
    m_limitCheck = new QCheckBox(m_limitsGroup);
    m_limitCheck->setObjectName("limitCheck");
    m_lowerEdit = new QLineEdit(m_limitsGroup);
    m_lowerEdit->setObjectName("lowerEdit");
    m_lowerPrefix = new QComboBox(m_limitsGroup);
    m_lowerPrefix->setObjectName("lowerPrefix");
    m_lowerSet = new QPushButton("Set", m_limitsGroup);
    m_lowerSet->setObjectName("lowerSet");
    m_upperEdit = new QLineEdit(m_limitsGroup);
    m_upperEdit->setObjectName("upperEdit");
    m_upperPrefix = new QComboBox(m_limitsGroup);
    m_upperPrefix->setObjectName("upperPrefix");
    m_upperSet = new QPushButton("Set", m_limitsGroup);
    m_upperSet->setObjectName("upperSet");
    FillPrefixList(m_lowerPrefix, 0, kLastLimitPrefix);
    FillPrefixList(m_upperPrefix, 0, kLastLimitPrefix);
    m_lowerPrefix->setCurrentIndex(-1);
    m_upperPrefix->setCurrentIndex(-1);

    auto* grid = new QGridLayout(m_limitsGroup);
    grid->addWidget(m_limitCheck, 0, 0, 1, 3);
    grid->addWidget(m_lowerEdit, 1, 0);
    grid->addWidget(m_lowerPrefix, 1, 1);
    grid->addWidget(m_lowerSet, 1, 2);
    grid->addWidget(m_upperEdit, 2, 0);
    grid->addWidget(m_upperPrefix, 2, 1);
    grid->addWidget(m_upperSet, 2, 2);
    m_limitsGroup->hide();

    connect(m_limitCheck, &QCheckBox::clicked, this, [this] { OnLimitClicked(); });
    connect(m_lowerSet, &QPushButton::clicked, this, [this] { OnLowerSet(); });
    connect(m_upperSet, &QPushButton::clicked, this, [this] { OnUpperSet(); });
}

void CDlgKVTMath::ShowStatistics(const functions::KVTStatistics& statistics) {
    if (!m_bVisible) {
        return;
    }
    m_minEdit->setText(StatisticText(statistics.minimum, 3));
    m_averageEdit->setText(StatisticText(statistics.average, 4));
    m_maxEdit->setText(StatisticText(statistics.maximum, 3));
    m_spanEdit->setText(StatisticText(statistics.span, 3));
    m_stdDevEdit->setText(StatisticText(statistics.standardDeviation, 4));
    m_samplesEdit->setText(QString::number(statistics.count));
}

void CDlgKVTMath::ShowLimits(int state, double upper, double lower) {
    m_limitCheck->setChecked(state != 0);
    EnableLimitControls(state != 0);
    if (state == 0) {
        return;
    }
    ShowLimit(lower, m_lowerEdit, m_lowerPrefix);
    ShowLimit(upper, m_upperEdit, m_upperPrefix);
}

void CDlgKVTMath::ShowLimit(double value, QLineEdit* edit, QComboBox* prefixes) {
    double mantissa = value;
    int index = functions::NormalizePrefix(mantissa);
    if (index > kLastLimitPrefix) {
        // The list ends at "M": larger limits are written in mega.
        edit->setText(FromUtf8(link::FormatFixed(value / 1e6, 3)));
        prefixes->setCurrentIndex(kLastLimitPrefix);
        return;
    }
    QString text = FromUtf8(functions::FormatWithPrefix(value));
    if (index != functions::kNoPrefix) {
        text.chop(1);
    }
    edit->setText(text);
    prefixes->setCurrentIndex(index);
}

void CDlgKVTMath::ShowScaleSettings(const functions::KVTScaleSettings& settings) {
    m_scale = settings;
    m_scaleCheck->setChecked(settings.state != 0);
    if (settings.function == "dB") {
        m_dbRadio->setChecked(true);
    } else {
        m_dbmRadio->setChecked(true);
    }
    m_refList->setCurrentIndex(m_refList->findText(QString::number(settings.dbmReference)));
    m_dbRefEdit->setText(QString::number(settings.dbReference));
    m_measureRef->setChecked(settings.referenceAuto != 0);
    if (!settings.valid) {
        m_scaleCheck->setEnabled(false);
        for (QWidget* control :
             {static_cast<QWidget*>(m_dbRadio), static_cast<QWidget*>(m_dbmRadio),
              static_cast<QWidget*>(m_refList), static_cast<QWidget*>(m_refSet),
              static_cast<QWidget*>(m_dbRefEdit), static_cast<QWidget*>(m_dbRefSet),
              static_cast<QWidget*>(m_measureRef)}) {
            control->setEnabled(false);
        }
        return;
    }
    ApplyScaleEnabling(settings.state, settings.function);
}

void CDlgKVTMath::ApplyScaleEnabling(int state, const std::string& function) {
    m_scaleCheck->setEnabled(true);
    bool on = state != 0;
    m_dbRadio->setEnabled(on);
    m_dbmRadio->setEnabled(on);
    m_refList->setEnabled(on);
    m_refSet->setEnabled(on);
    if (!on) {
        m_dbRefEdit->setEnabled(false);
        m_dbRefSet->setEnabled(false);
        m_measureRef->setEnabled(false);
        return;
    }
    ApplyFunctionRule(function);
}

void CDlgKVTMath::ApplyFunctionRule(const std::string& function) {
    // The dB reference belongs to "dB"; any other function is shown as "dBm".
    bool db = function == "dB";
    m_dbRefEdit->setEnabled(db);
    m_dbRefSet->setEnabled(db);
    m_measureRef->setEnabled(db);
}

void CDlgKVTMath::EnableLimitControls(bool enable) {
    for (QWidget* control :
         {static_cast<QWidget*>(m_lowerEdit), static_cast<QWidget*>(m_lowerPrefix),
          static_cast<QWidget*>(m_lowerSet), static_cast<QWidget*>(m_upperEdit),
          static_cast<QWidget*>(m_upperPrefix), static_cast<QWidget*>(m_upperSet)}) {
        control->setEnabled(enable);
    }
}

void CDlgKVTMath::OnScaleClicked() {
    int state = m_scaleCheck->isChecked() ? 1 : 0;
    m_scale.state = state;
    ApplyScaleEnabling(state, m_scale.function);
    if (m_pPanel == nullptr) {
        return;
    }
    if (functions::CKVTFunction* function = m_pPanel->GetCurrentFunction()) {
        CWaitCursor wait;
        link::ExchangeSequence sequence;
        function->SetScaleState(state);
    }
    m_pPanel->RefreshMainDisplay();
}

void CDlgKVTMath::OnFunctionClicked(const std::string& shown, const std::string& command) {
    ApplyFunctionRule(shown);
    m_scale.function = shown;
    if (m_pPanel != nullptr) {
        m_pPanel->ApplyScaleFunction(command);
    }
}

void CDlgKVTMath::OnRefResistanceSet() {
    // With no entry chosen (the meter's reference is none of the list's)
    // there is nothing to send.
    if (m_refList->currentIndex() < 0) {
        return;
    }
    int ohms = link::ParseInteger(m_refList->currentText().toStdString());
    if (m_pPanel == nullptr) {
        return;
    }
    if (functions::CKVTFunction* function = m_pPanel->GetCurrentFunction()) {
        CWaitCursor wait;
        link::ExchangeSequence sequence;
        function->SetDbmReference(ohms);
    }
}

void CDlgKVTMath::OnDbReferenceSet() {
    int reference = link::ParseInteger(TypedNumberText(m_dbRefEdit->text()));
    if (m_pPanel == nullptr) {
        return;
    }
    if (functions::CKVTFunction* function = m_pPanel->GetCurrentFunction()) {
        CWaitCursor wait;
        link::ExchangeSequence sequence;
        function->SetDbReference(reference);
    }
}

void CDlgKVTMath::OnMeasureRefClicked() {
    int state = m_measureRef->isChecked() ? 1 : 0;
    if (m_pPanel == nullptr) {
        return;
    }
    if (functions::CKVTFunction* function = m_pPanel->GetCurrentFunction()) {
        CWaitCursor wait;
        link::ExchangeSequence sequence;
        function->SetReferenceAuto(state);
    }
}

void CDlgKVTMath::OnLimitClicked() {
    int state = m_limitCheck->isChecked() ? 1 : 0;
    SendUnderFunctionLock(m_pPanel, [state] { link::SetLimitState(state); });
    EnableLimitControls(state != 0);
}

bool CDlgKVTMath::ReadLimit(QLineEdit* edit, QComboBox* prefixes, const QString& refusal,
                            double* value) {
    QString text = edit->text() + prefixes->currentText();
    text.remove(QLatin1Char(' '));
    *value = functions::ParseWithPrefix(TypedNumberText(text));
    double magnitude = std::fabs(*value);
    // Written so that a value that is no number is refused too.
    if (magnitude >= kSmallestLimit && magnitude <= kLargestLimit) {
        return true;
    }
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), refusal,
                    QMessageBox::Ok, this);
    box.exec();
    return false;
}

void CDlgKVTMath::OnLowerSet() {
    double value = 0;
    if (ReadLimit(m_lowerEdit, m_lowerPrefix, "The value is to0 big or too,please modify it",
                  &value)) {
        SendUnderFunctionLock(m_pPanel, [value] { link::SetLimitLower(value); });
    }
}

void CDlgKVTMath::OnUpperSet() {
    double value = 0;
    if (ReadLimit(m_upperEdit, m_upperPrefix, "The value is too big or too small,please modify it",
                  &value)) {
        SendUnderFunctionLock(m_pPanel, [value] { link::SetLimitUpper(value); });
    }
}

void CDlgKVTMath::OnClearReadings() {
    // The fields keep their texts until the next statistics arrive.
    SendUnderFunctionLock(m_pPanel, [] { link::ClearAverage(); });
}

bool CDlgKVTMath::event(QEvent* event) {
    if (event->type() == CStatisticsEvent::kType) {
        ShowStatistics(static_cast<CStatisticsEvent*>(event)->Statistics());
        return true;
    }
    return QWidget::event(event);
}

void CDlgKVTMath::SetVisibleFlag(bool visible) {
    m_bVisible = visible;
    if (m_pPanel != nullptr) {
        functions::g_statisticsViewActive = visible;
    }
}

CDlgKVTMath::~CDlgKVTMath() {
    if (m_bVisible) {
        SetVisibleFlag(false);
    }
}

void CDlgKVTMath::setVisible(bool visible) {
    QWidget::setVisible(visible);
    SetVisibleFlag(visible);
}

void CDlgKVTMath::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The scaling check box sits over the blanks that start the group's caption.
    QStyleOptionGroupBox option;
    option.initFrom(m_scaleGroup);
    option.text = m_scaleGroup->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = m_scaleGroup->alignment();
    option.lineWidth = 1;
    QRect label = m_scaleGroup->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                        QStyle::SC_GroupBoxLabel, m_scaleGroup);
    QSize box = m_scaleCheck->sizeHint();
    m_scaleCheck->setGeometry(label.left(), label.center().y() - box.height() / 2 + 1, box.width(),
                              box.height());
    m_scaleCheck->raise();
}

}  // namespace kvt::views
