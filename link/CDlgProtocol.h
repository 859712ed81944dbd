#pragma once

#include <QDialog>

#include <string>

#include "link/ResourceText.h"

class QPushButton;
class QRadioButton;

namespace kvt::link {

class CInstrumentList;
class CIpAddressEdit;
class InstrumentSearch;
struct FoundInstrument;

// The connection dialog: USBTMC, or VXI11 at an IPv4 address. A new
// dialog is made for each connect; it opens with USBTMC checked and an
// empty address unless Preselect() gives the last connection. The address
// entry starts enabled; choosing USBTMC disables it and choosing VXI11
// enables it. Below, the instruments a search found: choosing a network
// row checks VXI11 and fills the entry, choosing a USB row checks USBTMC
// for that very meter, and a double-click connects. OK records the checked
// choice and, for VXI11 only, the address as the entry shows it; Cancel
// (or closing the window) records nothing. The address is not checked
// here: a bad one makes the open fail.
class CDlgProtocol : public QDialog {
    Q_OBJECT

public:
    // `search` finds the instruments listed (it outlives the dialog);
    // without one the list stays empty.
    explicit CDlgProtocol(QWidget* parent = nullptr, InstrumentSearch* search = nullptr);

    // Opens on an earlier connection: its interface and address, and for
    // USB the meter's own resource name when one was picked (else empty).
    void Preselect(ConnectionProtocol protocol, const std::string& address,
                   const std::string& usbResource);

    ConnectionProtocol Protocol() const { return m_protocol; }
    const std::string& Address() const { return m_address; }
    // The USB meter picked from the list; empty for the first one found.
    const std::string& UsbResource() const { return m_usbResource; }
    // The resource text to open for the recorded answer.
    std::string Resource() const;

    QRadioButton* UsbtmcButton() const { return m_usbtmc; }
    QRadioButton* Vxi11Button() const { return m_vxi11; }
    CIpAddressEdit* AddressEntry() const { return m_addressEntry; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }
    CInstrumentList* Instruments() const { return m_instruments; }

    void accept() override;

private:
    void Choose(const FoundInstrument& instrument);

    ConnectionProtocol m_protocol = ConnectionProtocol::Usbtmc;
    std::string m_address;
    // The USB meter picked in the list, kept until a choice is clicked.
    std::string m_pickedUsb;
    std::string m_usbResource;

    QRadioButton* m_usbtmc = nullptr;
    QRadioButton* m_vxi11 = nullptr;
    CIpAddressEdit* m_addressEntry = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    CInstrumentList* m_instruments = nullptr;
};

}  // namespace kvt::link
