#include "app/CAboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/AppIcon.h"

namespace kvt::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Korvata"));
    setModal(true);

    m_icon = new QLabel(this);
    m_icon->setPixmap(AppIcon().pixmap(48, 48));
    m_version = new QLabel(QStringLiteral("Korvata, Version V100R001B01D01P02"), this);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(18, 16, 14, 14);
    layout->setHorizontalSpacing(18);
    layout->addWidget(m_icon, 0, 0, Qt::AlignTop);
    layout->addWidget(m_version, 0, 1, Qt::AlignVCenter);
    layout->addWidget(m_ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    setFixedSize(sizeHint().expandedTo(QSize(321, 0)));
}

}  // namespace kvt::app
