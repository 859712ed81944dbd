#include "functions/CDlgTempSensor.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>
#include <string>
#include <vector>

#include "functions/CSensorChosenEvent.h"
#include "functions/TemperaturePoints.h"
#include "link/ExchangeSequence.h"
#include "link/IConnection.h"
#include "link/QueryReply.h"
#include "link/TemperatureCommands.h"
#include "views/CWaitCursor.h"

namespace kvt::functions {
namespace {

constexpr int kManuDefine = 0;
constexpr int kThermocouple = 0;

// 362 x 265 dialog units of the system font.
constexpr int kWidth = 543;
constexpr int kHeight = 431;

using PointQuery = bool (*)(std::string_view, char*, uint32_t, uint32_t*);

QStringList FetchList(const char* query) {
    std::vector<std::string> names;
    // A failing query leaves the list empty.
    link::ReadTransducerList(query, names);
    QStringList list;
    for (const std::string& name : names) {
        list.append(QString::fromStdString(name));
    }
    return list;
}

QTableWidgetItem* Cell(const std::string& text, bool centred) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (centred) {
        item->setTextAlignment(Qt::AlignCenter);
    }
    return item;
}

QString CurrentText(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item == nullptr ? QString() : item->text();
}

}  // namespace

CDlgTempSensor::CDlgTempSensor(QObject* target, QWidget* parent)
    : QDialog(parent), m_target(target) {
    setWindowTitle("Select Sensor");
    setModal(false);
    BuildControls();
    m_fetchedUnshown = link::GetConnection()->IsOpen();
    FetchLists();
    connect(m_definitionList, &QListWidget::currentRowChanged, this,
            [this] { OnDefinitionChanged(); });
    connect(m_typeList, &QListWidget::currentRowChanged, this, [this] { OnTypeChanged(); });
    connect(m_nameList, &QListWidget::currentRowChanged, this, [this] { OnNameChanged(); });
    connect(m_ok, &QPushButton::clicked, this, &CDlgTempSensor::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgTempSensor::BuildControls() {
    m_definitionList = new QListWidget(this);
    m_typeList = new QListWidget(this);
    m_nameList = new QListWidget(this);
    m_definitionList->setMaximumHeight(48);
    m_typeList->setMaximumHeight(48);

    m_status = new QLabel(QString(), this);

    m_pointTable = new QTableWidget(0, 3, this);
    m_pointTable->setHorizontalHeaderLabels({"", "Volt", "Temp"});
    m_pointTable->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_pointTable->setColumnWidth(0, 50);
    m_pointTable->setColumnWidth(1, 100);
    m_pointTable->setColumnWidth(2, 100);
    m_pointTable->verticalHeader()->setVisible(false);
    m_pointTable->setShowGrid(true);
    m_pointTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pointTable->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_ok = new QPushButton("OK", this);
    m_cancel = new QPushButton("Cancel", this);
    m_ok->setDefault(true);

    auto* lists = new QVBoxLayout;
    lists->addWidget(m_definitionList);
    lists->addWidget(m_typeList);
    lists->addWidget(m_nameList, 1);
    auto* table = new QVBoxLayout;
    table->addWidget(m_status);
    table->addWidget(m_pointTable, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    table->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(lists, 2);
    layout->addLayout(table, 3);
    resize(kWidth, kHeight);
}

void CDlgTempSensor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;  // the window system showing it again, not a new use
    }
    if (m_fetchedUnshown) {
        m_fetchedUnshown = false;
        return;
    }
    FetchLists();
}

void CDlgTempSensor::FetchLists() {
    if (!link::GetConnection()->IsOpen()) {
        return;
    }
    views::CWaitCursor wait;
    const int definition = m_definitionList->currentRow();
    const int type = m_typeList->currentRow();
    const QString name = CurrentText(m_nameList);

    // The four lists and the first sensor's points: one sequence, which
    // ends at its first failed exchange.
    link::ExchangeSequence sequence;
    m_manuThermocouples = FetchList(link::kBuiltInThermocoupleList);
    m_userThermocouples = FetchList(link::kUserThermocoupleList);
    m_manuRtds = FetchList(link::kBuiltInRtdList);
    m_userRtds = FetchList(link::kUserRtdList);

    // Filling the lists again is not a new choice.
    QSignalBlocker quietDefinitions(m_definitionList);
    QSignalBlocker quietTypes(m_typeList);
    if (m_definitionList->count() == 0) {
        m_definitionList->addItems({"Manu Define", "User Define"});
        m_typeList->addItems({"Thermocouple", "Thermoresisor"});
    }
    m_definitionList->setCurrentRow(definition < 0 ? kManuDefine : definition);
    m_typeList->setCurrentRow(type < 0 ? kThermocouple : type);
    FillNames(CurrentNames());
    if (name.isEmpty()) {
        return;
    }
    const QList<QListWidgetItem*> found = m_nameList->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
        // The sensor chosen before is gone from the instrument: so is its table.
        m_pointTable->setRowCount(0);
        m_status->clear();
        return;
    }
    QSignalBlocker quietNames(m_nameList);
    m_nameList->setCurrentItem(found.constFirst());
}

void CDlgTempSensor::FillNames(const QStringList& names) {
    // Refilling is not a choice: the point table stays as it is.
    QSignalBlocker quiet(m_nameList);
    m_nameList->clear();
    m_nameList->addItems(names);
}

const QStringList& CDlgTempSensor::CurrentNames() const {
    bool manu = m_definitionList->currentRow() == kManuDefine;
    bool thermocouple = m_typeList->currentRow() == kThermocouple;
    if (thermocouple) {
        return manu ? m_manuThermocouples : m_userThermocouples;
    }
    return manu ? m_manuRtds : m_userRtds;
}

void CDlgTempSensor::OnDefinitionChanged() {
    {
        QSignalBlocker quiet(m_typeList);
        m_typeList->setCurrentRow(kThermocouple);
    }
    FillNames(CurrentNames());
}

void CDlgTempSensor::OnTypeChanged() {
    FillNames(CurrentNames());
}

void CDlgTempSensor::OnNameChanged() {
    m_pointTable->setRowCount(0);
    QString name = CurrentText(m_nameList);
    if (name.isEmpty()) {
        return;
    }
    bool manu = m_definitionList->currentRow() == kManuDefine;
    bool thermocouple = m_typeList->currentRow() == kThermocouple;
    PointQuery query = thermocouple ? (manu ? link::ReadThermocouplePointsBuiltIn
                                            : link::ReadThermocouplePointsUser)
                                    : (manu ? link::ReadRtdPointsBuiltIn : link::ReadRtdPointsUser);
    std::vector<char> reply(link::kPointsReplySize, '\0');
    uint32_t received = 0;
    std::string nameText = name.toStdString();
    query(nameText, reply.data(), static_cast<uint32_t>(reply.size()), &received);

    std::vector<TemperaturePoint> rows =
        ParseTemperaturePoints(link::ReplyText(reply.data(), received));
    m_pointTable->setRowCount(static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        int row = static_cast<int>(i);
        m_pointTable->setItem(row, 0, Cell(std::to_string(i + 1), false));
        m_pointTable->setItem(row, 1, Cell(rows[i].voltage, true));
        m_pointTable->setItem(row, 2, Cell(rows[i].temperature, true));
    }
    m_status->setText(QString("Current Load Sensor:%1/%2/%3")
                          .arg(CurrentText(m_definitionList), CurrentText(m_typeList), name));
}

void CDlgTempSensor::accept() {
    QString name = CurrentText(m_nameList);
    if (!name.isEmpty() && m_target != nullptr) {
        m_selectedName = name;
        CSensorChosenEvent choice(m_definitionList->currentRow(), m_typeList->currentRow(), name);
        QCoreApplication::sendEvent(m_target, &choice);
    }
    QDialog::accept();
}

}  // namespace kvt::functions
