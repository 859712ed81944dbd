#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kvt::app {

// "About Korvata": the program's icon, name and version, and "OK".
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* IconLabel() const { return m_icon; }
    QLabel* VersionLabel() const { return m_version; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLabel* m_icon = nullptr;
    QLabel* m_version = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace kvt::app
