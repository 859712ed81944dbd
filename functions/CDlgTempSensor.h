#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QObject;
class QPushButton;
class QShowEvent;
class QTableWidget;

namespace kvt::functions {

// "Select Sensor": the modeless dialog in which the operator picks the
// temperature sensor. The four transducer lists are fetched from a
// connected instrument when the dialog is created and again each later
// time it is shown while connected, so that a dialog first opened without
// a connection, or sensors defined on the instrument since, show up; while
// disconnected it keeps what it has. A chosen name shows its point table.
// OK with a name sends CSensorChosenEvent to the target (the front-panel
// window) and waits for it to be handled; OK and Cancel then hide the
// dialog, which is shown again on the next use.
class CDlgTempSensor : public QDialog {
    Q_OBJECT

public:
    explicit CDlgTempSensor(QObject* target, QWidget* parent = nullptr);

    // The lists as last fetched.
    const QStringList& ManuThermocouples() const { return m_manuThermocouples; }
    const QStringList& ManuRtds() const { return m_manuRtds; }
    const QStringList& UserThermocouples() const { return m_userThermocouples; }
    const QStringList& UserRtds() const { return m_userRtds; }
    QString SelectedName() const { return m_selectedName; }

    // The controls, by what they show.
    QListWidget* DefinitionList() const { return m_definitionList; }
    QListWidget* TypeList() const { return m_typeList; }
    QListWidget* NameList() const { return m_nameList; }
    QLabel* StatusLine() const { return m_status; }
    QTableWidget* PointTable() const { return m_pointTable; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    // OK: the choice goes to the target (when a name is chosen), then the
    // dialog hides.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    // Fetches the four lists from a connected instrument and shows them,
    // keeping the definition, type and name chosen so far where they are
    // still there. Does nothing while disconnected.
    void FetchLists();
    void OnDefinitionChanged();
    void OnTypeChanged();
    void OnNameChanged();
    // The list that the current definition and type select.
    const QStringList& CurrentNames() const;
    void FillNames(const QStringList& names);

    QObject* m_target;
    QStringList m_manuThermocouples;
    QStringList m_manuRtds;
    QStringList m_userThermocouples;
    QStringList m_userRtds;
    QString m_selectedName;
    // The lists were fetched at creation and the dialog has not been shown
    // since: its first showing need not fetch them again.
    bool m_fetchedUnshown = false;

    QListWidget* m_definitionList = nullptr;
    QListWidget* m_typeList = nullptr;
    QListWidget* m_nameList = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_pointTable = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace kvt::functions
