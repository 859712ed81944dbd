#include "link/CDlgProtocol.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "link/CInstrumentList.h"
#include "link/CIpAddressEdit.h"

namespace kvt::link {

CDlgProtocol::CDlgProtocol(QWidget* parent, InstrumentSearch* search) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog"));
    setModal(true);

    m_usbtmc = new QRadioButton(QStringLiteral("USBTMC"), this);
    m_vxi11 = new QRadioButton(QStringLiteral("VXI11"), this);
    auto* choices = new QButtonGroup(this);
    choices->addButton(m_usbtmc);
    choices->addButton(m_vxi11);
    m_usbtmc->setChecked(true);
    m_addressEntry = new CIpAddressEdit(this);

    connect(m_usbtmc, &QRadioButton::clicked, this, [this] {
        m_addressEntry->setEnabled(false);
        m_pickedUsb.clear();
    });
    connect(m_vxi11, &QRadioButton::clicked, this, [this] {
        m_addressEntry->setEnabled(true);
        m_pickedUsb.clear();
    });

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Made after the buttons so that Tab meets the choices, the address
    // and OK first, as it did before the list existed.
    m_instruments = new CInstrumentList(search, this);
    connect(m_instruments, &CInstrumentList::Chosen, this, &CDlgProtocol::Choose);
    connect(m_instruments, &CInstrumentList::Activated, this,
            [this](const FoundInstrument& instrument) {
                Choose(instrument);
                accept();
            });

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
    // The choices keep their own width; the list takes the dialog's.
    auto* choiceRow = new QHBoxLayout;
    choiceRow->addLayout(choiceGrid);
    choiceRow->addStretch(1);
    layout->addLayout(choiceRow);
    layout->addSpacing(16);
    layout->addWidget(m_instruments, 1);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    setMinimumSize(QSize(640, 340));
    resize(minimumSize());
    m_usbtmc->setFocus();
    if (search != nullptr) {
        m_instruments->Search();
    }
}

void CDlgProtocol::Preselect(ConnectionProtocol protocol, const std::string& address,
                             const std::string& usbResource) {
    if (protocol == ConnectionProtocol::Vxi11) {
        m_vxi11->setChecked(true);
        m_addressEntry->setEnabled(true);
        m_addressEntry->SetText(QString::fromStdString(address));
        m_pickedUsb.clear();
        m_vxi11->setFocus();
    } else {
        m_usbtmc->setChecked(true);
        m_addressEntry->setEnabled(false);
        m_pickedUsb = usbResource;
        m_usbtmc->setFocus();
    }
}

void CDlgProtocol::Choose(const FoundInstrument& instrument) {
    if (instrument.protocol == ConnectionProtocol::Vxi11) {
        m_vxi11->setChecked(true);
        m_addressEntry->setEnabled(true);
        m_addressEntry->SetText(QString::fromStdString(instrument.address));
        m_pickedUsb.clear();
    } else {
        m_usbtmc->setChecked(true);
        m_addressEntry->setEnabled(false);
        m_pickedUsb = instrument.resource;
    }
}

std::string CDlgProtocol::Resource() const {
    if (m_protocol == ConnectionProtocol::Usbtmc && !m_usbResource.empty()) {
        return m_usbResource;
    }
    return ResourceText(m_protocol, m_address);
}

void CDlgProtocol::accept() {
    if (m_vxi11->isChecked()) {
        m_protocol = ConnectionProtocol::Vxi11;
        m_address = m_addressEntry->Text().toStdString();
        m_usbResource.clear();
    } else {
        m_protocol = ConnectionProtocol::Usbtmc;
        m_address.clear();
        m_usbResource = m_pickedUsb;
    }
    QDialog::accept();
}

}  // namespace kvt::link
