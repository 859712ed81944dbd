#include "app/RememberedConnection.h"

#include <QSettings>
#include <QString>

namespace kvt::app {
namespace {

const QString kUsbtmc = QStringLiteral("USBTMC");
const QString kVxi11 = QStringLiteral("VXI11");

}  // namespace

bool RememberedConnection::Load(RememberedConnection& remembered) {
    const QSettings settings;
    const QString interface = settings.value(QString::fromLatin1(kInterfaceKey)).toString();
    if (interface == kVxi11) {
        remembered.protocol = link::ConnectionProtocol::Vxi11;
        remembered.address =
            settings.value(QString::fromLatin1(kAddressKey)).toString().toStdString();
        remembered.usbResource.clear();
        return true;
    }
    if (interface == kUsbtmc) {
        remembered.protocol = link::ConnectionProtocol::Usbtmc;
        remembered.address.clear();
        remembered.usbResource =
            settings.value(QString::fromLatin1(kUsbResourceKey)).toString().toStdString();
        return true;
    }
    return false;
}

void RememberedConnection::Save() const {
    QSettings settings;
    const bool vxi11 = protocol == link::ConnectionProtocol::Vxi11;
    settings.setValue(QString::fromLatin1(kInterfaceKey), vxi11 ? kVxi11 : kUsbtmc);
    settings.setValue(QString::fromLatin1(kAddressKey),
                      vxi11 ? QString::fromStdString(address) : QString());
    settings.setValue(QString::fromLatin1(kUsbResourceKey),
                      vxi11 ? QString() : QString::fromStdString(usbResource));
}

}  // namespace kvt::app
