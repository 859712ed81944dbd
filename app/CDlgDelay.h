#pragma once

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kvt::app {

// "Delay": the trigger delay, automatic or a value with a unit. Opens with
// "Auto" checked and the value and unit disabled, whatever was sent
// before. OK sends "TRIG:DEL:AUTO ON", or the value in seconds with three
// decimals ("TRIG:DEL 0.250"); Cancel sends nothing.
class CDlgDelay : public QDialog {
    Q_OBJECT

public:
    explicit CDlgDelay(QWidget* parent = nullptr);

    // The text handed to SetTriggerDelay by OK as the controls stand now.
    std::string DelayText() const;

    QRadioButton* AutoButton() const { return m_auto; }
    QRadioButton* ManualButton() const { return m_manual; }
    QLineEdit* ValueEdit() const { return m_value; }
    QComboBox* UnitList() const { return m_unit; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    void accept() override;

private:
    void SetManualEnabled(bool enabled);

    QRadioButton* m_auto = nullptr;
    QRadioButton* m_manual = nullptr;
    QLineEdit* m_value = nullptr;
    QComboBox* m_unit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace kvt::app
