#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kvt::app {

// "Samples/Trigger": the number of samples per trigger. Opens empty; OK
// sends "SAMP:COUN " followed by the text exactly as typed (the instrument
// decides what it accepts); Cancel sends nothing.
class CDlgSamplesTrigger : public QDialog {
    Q_OBJECT

public:
    explicit CDlgSamplesTrigger(QWidget* parent = nullptr);

    QLineEdit* CountEdit() const { return m_count; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    void accept() override;

private:
    QLineEdit* m_count = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace kvt::app
