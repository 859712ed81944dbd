// The "Select Sensor" dialog against the simulated meter: the lists it
// fetches (at creation and at each later showing), how definition and type
// choose the name list, the point table, and what OK and Cancel hand to
// the front panel.
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "functions/CDlgTempSensor.h"
#include "functions/CKVTFunctionTemperature.h"
#include "functions/CSensorChosenEvent.h"
#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "link/Pacer.h"
#include "sim/MeterModel.h"
#include "tests/functions/RecordingDevice.h"
#include "visa/Simulation.h"

using kvt::functions::CDlgTempSensor;
using kvt::functions::CSensorChosenEvent;

namespace {

// The front panel's side of message 2027: remembers each choice and, when
// given a temperature function, passes the choice on to it.
class ChoiceTarget : public QObject {
public:
    struct Choice {
        int definition;
        int sensorType;
        unsigned wParam;
        QString name;
    };

    kvt::functions::CKVTFunctionTemperature* temperature = nullptr;
    std::vector<Choice> choices;

protected:
    bool event(QEvent* e) override {
        if (e->type() != CSensorChosenEvent::kType) {
            return QObject::event(e);
        }
        auto* choice = static_cast<CSensorChosenEvent*>(e);
        choices.push_back(
            {choice->Definition(), choice->SensorType(), choice->WParam(), choice->Name()});
        if (temperature != nullptr) {
            temperature->ChooseSensor(choice->Definition(), choice->SensorType(),
                                      choice->Name().toStdString());
        }
        return true;
    }
};

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts.append(list->item(i)->text());
    }
    return texts;
}

QStringList Row(const QTableWidget* table, int row) {
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem* item = table->item(row, column);
        cells.append(item == nullptr ? QString("<none>") : item->text());
    }
    return cells;
}

std::vector<std::string> Strings(std::initializer_list<const char*> texts) {
    return std::vector<std::string>(texts.begin(), texts.end());
}

}  // namespace

class TempSensorDialogTest : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<kvt::test::RecordingDevice> m_device;
    kvt::link::RecordingPacer m_pacer;
    int m_failures = 0;

    std::vector<std::string> Sent() {
        std::vector<std::string> sent = m_device->Messages();
        m_device->ClearMessages();
        return sent;
    }

private slots:
    void init() {
        m_device =
            std::make_shared<kvt::test::RecordingDevice>(std::make_shared<kvt::sim::MeterModel>(7));
        m_failures = 0;
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        kvt::visa::InstallSimulatedDevice([device = m_device] { return device; });
        kvt::link::InstallPacer(&m_pacer);
        kvt::link::SetCommunicationFailureHandler(
            [this](std::string_view, std::string_view) { ++m_failures; });
        QVERIFY(kvt::link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    }

    void cleanup() {
        kvt::link::GetConnection()->Close();
        kvt::link::SetCommunicationFailureHandler({});
        kvt::link::InstallPacer(nullptr);
        kvt::visa::InstallSimulatedDevice({});
        unsetenv("KORVATA_VISA_SIMULATE");
        m_device.reset();
    }

    void fetchesTheFourListsAtCreation() {
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        QCOMPARE(Sent(), Strings({"TEMP:MDEF:THER:TRAN:LIST?", "TEMP:UDEF:THER:TRAN:LIST?",
                                  "TEMP:MDEF:RTD:TRAN:LIST?", "TEMP:UDEF:RTD:TRAN:LIST?"}));
        QCOMPARE(dialog.windowTitle(), QString("Select Sensor"));
        QVERIFY(!dialog.isModal());
        QVERIFY(dialog.ManuThermocouples().contains("KITS90"));
        QVERIFY(dialog.ManuRtds().contains("PT100"));
        QCOMPARE(dialog.UserThermocouples(), QStringList{"CUSTOM_TC1"});
        QCOMPARE(Texts(dialog.DefinitionList()), (QStringList{"Manu Define", "User Define"}));
        QCOMPARE(Texts(dialog.TypeList()), (QStringList{"Thermocouple", "Thermoresisor"}));
        QCOMPARE(dialog.DefinitionList()->currentRow(), 0);
        QCOMPARE(dialog.TypeList()->currentRow(), 0);
        QCOMPARE(Texts(dialog.NameList()), dialog.ManuThermocouples());
        QCOMPARE(dialog.StatusLine()->text(), QString());
        QCOMPARE(dialog.PointTable()->rowCount(), 0);
        QCOMPARE(dialog.OkButton()->text(), QString("OK"));
        QCOMPARE(dialog.CancelButton()->text(), QString("Cancel"));

        QTableWidget* table = dialog.PointTable();
        QCOMPARE(table->columnCount(), 3);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QString(""));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QString("Volt"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QString("Temp"));
        QCOMPARE(table->columnWidth(0), 50);
        QCOMPARE(table->columnWidth(1), 100);
        QCOMPARE(table->columnWidth(2), 100);
        QVERIFY(table->showGrid());
        QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);

        // Its first showing uses the lists just fetched.
        dialog.show();
        QVERIFY(Sent().empty());
        QCOMPARE(m_failures, 0);
    }

    void everyLaterShowingFetchesTheListsAgain() {
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        dialog.show();
        dialog.DefinitionList()->setCurrentRow(1);
        dialog.NameList()->setCurrentRow(0);
        QCOMPARE(dialog.NameList()->currentItem()->text(), QString("CUSTOM_TC1"));
        const int rows = dialog.PointTable()->rowCount();
        QVERIFY(rows > 0);
        dialog.hide();
        Sent();

        // A sensor defined on the instrument since shows up; the choice
        // made before stays, with its table.
        m_device->Answer("TEMP:UDEF:THER:TRAN:LIST?", "TC CUSTOM_TC1,TC NEW_TC\n");
        dialog.show();
        QCOMPARE(Sent(), Strings({"TEMP:MDEF:THER:TRAN:LIST?", "TEMP:UDEF:THER:TRAN:LIST?",
                                  "TEMP:MDEF:RTD:TRAN:LIST?", "TEMP:UDEF:RTD:TRAN:LIST?"}));
        QCOMPARE(dialog.UserThermocouples(), (QStringList{"CUSTOM_TC1", "NEW_TC"}));
        QCOMPARE(dialog.DefinitionList()->count(), 2);
        QCOMPARE(dialog.DefinitionList()->currentRow(), 1);
        QCOMPARE(dialog.TypeList()->currentRow(), 0);
        QCOMPARE(Texts(dialog.NameList()), (QStringList{"CUSTOM_TC1", "NEW_TC"}));
        QCOMPARE(dialog.NameList()->currentItem()->text(), QString("CUSTOM_TC1"));
        QCOMPARE(dialog.PointTable()->rowCount(), rows);
        QCOMPARE(dialog.StatusLine()->text(),
                 QString("Current Load Sensor:User Define/Thermocouple/CUSTOM_TC1"));

        // The chosen sensor is gone: so are its table and status line.
        dialog.hide();
        m_device->Answer("TEMP:UDEF:THER:TRAN:LIST?", "TC NEW_TC\n");
        dialog.show();
        QCOMPARE(Texts(dialog.NameList()), QStringList{"NEW_TC"});
        QCOMPARE(dialog.NameList()->currentItem(), nullptr);
        QCOMPARE(dialog.PointTable()->rowCount(), 0);
        QCOMPARE(dialog.StatusLine()->text(), QString());

        // Shown while disconnected: it keeps what it has and asks nothing.
        dialog.hide();
        Sent();
        kvt::link::GetConnection()->Close();
        dialog.show();
        QCOMPARE(Texts(dialog.NameList()), QStringList{"NEW_TC"});
        QVERIFY(Sent().empty());
        QCOMPARE(m_failures, 0);
    }

    void definitionAndTypeChooseTheNameList() {
        m_device->Answer("TEMP:UDEF:RTD:TRAN:LIST?", "RTD MY_RTD,RTD LAB_PT\n");
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        Sent();

        dialog.TypeList()->setCurrentRow(1);
        QCOMPARE(Texts(dialog.NameList()), dialog.ManuRtds());
        QCOMPARE(dialog.DefinitionList()->currentRow(), 0);

        // A new definition starts again at the thermocouples.
        dialog.DefinitionList()->setCurrentRow(1);
        QCOMPARE(dialog.TypeList()->currentRow(), 0);
        QCOMPARE(Texts(dialog.NameList()), QStringList{"CUSTOM_TC1"});

        dialog.TypeList()->setCurrentRow(1);
        QCOMPARE(Texts(dialog.NameList()), (QStringList{"MY_RTD", "LAB_PT"}));

        dialog.DefinitionList()->setCurrentRow(0);
        QCOMPARE(dialog.TypeList()->currentRow(), 0);
        QCOMPARE(Texts(dialog.NameList()), dialog.ManuThermocouples());
        // Switching lists asks the instrument nothing.
        QVERIFY(Sent().empty());
    }

    void chosenNameShowsItsPointTable() {
        m_device->Answer("TEMP:MDEF:THER:TRAN:POIN? KITS90", "0|-5.891|-200,1|-5.603|-180\n");
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        Sent();
        int kits = static_cast<int>(dialog.ManuThermocouples().indexOf("KITS90"));
        QVERIFY(kits >= 0);
        dialog.NameList()->setCurrentRow(kits);
        QCOMPARE(Sent(), Strings({"TEMP:MDEF:THER:TRAN:POIN? KITS90"}));
        QTableWidget* table = dialog.PointTable();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(Row(table, 0), (QStringList{"1", "-5.891", "-200"}));
        QCOMPARE(Row(table, 1), (QStringList{"2", "-5.603", "-180"}));
        QCOMPARE(table->item(0, 1)->textAlignment(), int(Qt::AlignCenter));
        QCOMPARE(dialog.StatusLine()->text(),
                 QString("Current Load Sensor:Manu Define/Thermocouple/KITS90"));

        // The meter's own table for a resistance thermometer.
        dialog.TypeList()->setCurrentRow(1);
        int pt100 = static_cast<int>(dialog.ManuRtds().indexOf("PT100"));
        dialog.NameList()->setCurrentRow(pt100);
        QCOMPARE(Sent(), Strings({"TEMP:MDEF:RTD:TRAN:POIN? PT100"}));
        QVERIFY(table->rowCount() > 2);
        for (int row = 0; row < table->rowCount(); ++row) {
            QCOMPARE(table->item(row, 0)->text(), QString::number(row + 1));
            QVERIFY(!table->item(row, 1)->text().isEmpty());
            QVERIFY(!table->item(row, 2)->text().isEmpty());
            QVERIFY(!table->item(row, 2)->text().contains('\n'));
        }
        QCOMPARE(dialog.StatusLine()->text(),
                 QString("Current Load Sensor:Manu Define/Thermoresisor/PT100"));
        QCOMPARE(m_failures, 0);
    }

    void malformedAndEmptyPointReplies() {
        m_device->Answer("TEMP:UDEF:THER:TRAN:POIN? CUSTOM_TC1", "0|0.5|10,NONE\n");
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        dialog.DefinitionList()->setCurrentRow(1);
        dialog.NameList()->setCurrentRow(0);
        QTableWidget* table = dialog.PointTable();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(Row(table, 0), (QStringList{"1", "0.5", "10"}));
        QCOMPARE(Row(table, 1), (QStringList{"2", "", "NONE"}));
        QCOMPARE(dialog.StatusLine()->text(),
                 QString("Current Load Sensor:User Define/Thermocouple/CUSTOM_TC1"));

        // No reply at all: one numbered row with empty cells.
        m_device->Answer("TEMP:UDEF:THER:TRAN:POIN? CUSTOM_TC1", "");
        dialog.NameList()->setCurrentRow(-1);
        QCOMPARE(table->rowCount(), 0);
        dialog.NameList()->setCurrentRow(0);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(Row(table, 0), (QStringList{"1", "", ""}));
    }

    void okHandsTheChoiceToTheTargetAndHides() {
        ChoiceTarget target;
        kvt::functions::CKVTFunctionTemperature temperature(nullptr);
        temperature.Init();
        target.temperature = &temperature;
        CDlgTempSensor dialog(&target);
        dialog.show();
        dialog.DefinitionList()->setCurrentRow(1);
        dialog.NameList()->setCurrentRow(0);
        Sent();
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(target.choices.size(), size_t{1});
        QCOMPARE(target.choices[0].definition, 1);
        QCOMPARE(target.choices[0].sensorType, 0);
        QCOMPARE(target.choices[0].wParam, 1u);
        QCOMPARE(target.choices[0].name, QString("CUSTOM_TC1"));
        QCOMPARE(dialog.SelectedName(), QString("CUSTOM_TC1"));
        // Handled before OK returns: the temperature function has sent it.
        QCOMPARE(Sent(), Strings({"TEMP:UDEF:THER:TRAN CUSTOM_TC1"}));
        QCOMPARE(temperature.GetSensor(), std::string("CUSTOM_TC1"));

        // A resistance thermometer packs its type into the high word.
        dialog.show();
        dialog.DefinitionList()->setCurrentRow(0);
        dialog.TypeList()->setCurrentRow(1);
        dialog.NameList()->setCurrentRow(0);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(target.choices.size(), size_t{2});
        QCOMPARE(target.choices[1].wParam, 0x10000u);
        QCOMPARE(target.choices[1].name, dialog.ManuRtds().front());
    }

    void okWithoutANameAndCancelOnlyHide() {
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        Sent();
        dialog.show();
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());

        dialog.show();
        Sent();  // the lists, fetched again
        dialog.NameList()->setCurrentRow(0);
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(target.choices.empty());
        QVERIFY(dialog.SelectedName().isEmpty());
        QCOMPARE(Sent().size(), size_t{1});  // only the point table
    }

    void withoutAConnectionTheListsStayEmptyUntilShownConnected() {
        kvt::link::GetConnection()->Close();
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        QVERIFY(Sent().empty());
        QCOMPARE(dialog.DefinitionList()->count(), 0);
        QCOMPARE(dialog.TypeList()->count(), 0);
        QCOMPARE(dialog.NameList()->count(), 0);
        QVERIFY(dialog.ManuThermocouples().isEmpty());
        dialog.show();
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(target.choices.empty());

        // Connected later, the next showing fills it from the meter.
        QVERIFY(kvt::link::GetConnection()->Open("TCPIP0::192.0.2.7::inst0::INSTR"));
        dialog.show();
        QCOMPARE(Sent(), Strings({"TEMP:MDEF:THER:TRAN:LIST?", "TEMP:UDEF:THER:TRAN:LIST?",
                                  "TEMP:MDEF:RTD:TRAN:LIST?", "TEMP:UDEF:RTD:TRAN:LIST?"}));
        QCOMPARE(Texts(dialog.DefinitionList()), (QStringList{"Manu Define", "User Define"}));
        QCOMPARE(Texts(dialog.TypeList()), (QStringList{"Thermocouple", "Thermoresisor"}));
        QCOMPARE(dialog.DefinitionList()->currentRow(), 0);
        QCOMPARE(dialog.TypeList()->currentRow(), 0);
        QVERIFY(dialog.ManuThermocouples().contains("KITS90"));
        QCOMPARE(Texts(dialog.NameList()), dialog.ManuThermocouples());
        QCOMPARE(dialog.UserThermocouples(), QStringList{"CUSTOM_TC1"});
        // And works as one filled at creation: a choice reaches the target.
        dialog.DefinitionList()->setCurrentRow(1);
        QCOMPARE(Texts(dialog.NameList()), QStringList{"CUSTOM_TC1"});
        dialog.NameList()->setCurrentRow(0);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(target.choices.size(), size_t{1});
        QCOMPARE(target.choices[0].name, QString("CUSTOM_TC1"));
        QCOMPARE(m_failures, 0);
    }

    void failedListQueryLeavesThatListEmpty() {
        m_device->Answer("TEMP:UDEF:THER:TRAN:LIST?", "");
        ChoiceTarget target;
        CDlgTempSensor dialog(&target);
        QVERIFY(dialog.UserThermocouples().isEmpty());
        QVERIFY(!dialog.ManuThermocouples().isEmpty());
        dialog.DefinitionList()->setCurrentRow(1);
        QCOMPARE(dialog.NameList()->count(), 0);
    }
};

QTEST_MAIN(TempSensorDialogTest)
#include "TempSensorDialogTest.moc"
