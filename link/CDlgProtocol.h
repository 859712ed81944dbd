#pragma once

#include <QDialog>

#include <string>

#include "link/ResourceText.h"

class QPushButton;
class QRadioButton;

namespace kvt::link {

class CIpAddressEdit;

// The connection dialog: USBTMC, or VXI11 at an IPv4 address. A new
// dialog is made for each connect, so it always opens with USBTMC checked
// and an empty address. The address entry starts enabled; choosing USBTMC
// disables it and choosing VXI11 enables it. OK records the checked
// choice and, for VXI11 only, the address as the entry shows it; Cancel
// (or closing the window) records nothing. The address is not checked
// here: a bad one makes the open fail.
class CDlgProtocol : public QDialog {
    Q_OBJECT

public:
    explicit CDlgProtocol(QWidget* parent = nullptr);

    ConnectionProtocol Protocol() const { return m_protocol; }
    const std::string& Address() const { return m_address; }
    // The resource text to open for the recorded answer.
    std::string Resource() const { return ResourceText(m_protocol, m_address); }

    QRadioButton* UsbtmcButton() const { return m_usbtmc; }
    QRadioButton* Vxi11Button() const { return m_vxi11; }
    CIpAddressEdit* AddressEntry() const { return m_addressEntry; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    void accept() override;

private:
    ConnectionProtocol m_protocol = ConnectionProtocol::Usbtmc;
    std::string m_address;

    QRadioButton* m_usbtmc = nullptr;
    QRadioButton* m_vxi11 = nullptr;
    CIpAddressEdit* m_addressEntry = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace kvt::link
