#include "link/CDlgProtocol.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "link/CIpAddressEdit.h"

namespace kvt::link {

CDlgProtocol::CDlgProtocol(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog"));
    setModal(true);

    m_usbtmc = new QRadioButton(QStringLiteral("USBTMC"), this);
    m_vxi11 = new QRadioButton(QStringLiteral("VXI11"), this);
    auto* choices = new QButtonGroup(this);
    choices->addButton(m_usbtmc);
    choices->addButton(m_vxi11);
    m_usbtmc->setChecked(true);
    m_addressEntry = new CIpAddressEdit(this);

    connect(m_usbtmc, &QRadioButton::clicked, this, [this] { m_addressEntry->setEnabled(false); });
    connect(m_vxi11, &QRadioButton::clicked, this, [this] { m_addressEntry->setEnabled(true); });

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* choiceGrid = new QGridLayout;
    choiceGrid->setHorizontalSpacing(12);
    choiceGrid->setVerticalSpacing(14);
    choiceGrid->addWidget(m_usbtmc, 0, 0);
    choiceGrid->addWidget(m_vxi11, 1, 0);
    choiceGrid->addWidget(m_addressEntry, 1, 1);
    choiceGrid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addSpacing(24);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 28, 28, 18);
    layout->addLayout(choiceGrid);
    layout->addSpacing(20);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void CDlgProtocol::accept() {
    if (m_vxi11->isChecked()) {
        m_protocol = ConnectionProtocol::Vxi11;
        m_address = m_addressEntry->Text().toStdString();
    } else {
        m_protocol = ConnectionProtocol::Usbtmc;
        m_address.clear();
    }
    QDialog::accept();
}

}  // namespace kvt::link
