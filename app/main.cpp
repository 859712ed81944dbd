// Korvata: remote control of one bench digital multimeter over VISA.
#include <QApplication>

#include <signal.h>

#include "app/CKVTApp.h"
#include "sim/SimulatedMeter.h"

int main(int argc, char** argv) {
    // A meter that drops the connection must not end the program: writes
    // to a closed socket fail with an error instead of raising SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvata"));
    QApplication::setApplicationName(QStringLiteral("Korvata"));
    // The VISA layer's in-process simulation (KORVATA_VISA_SIMULATE=1)
    // opens this meter; without that setting it stays unused.
    kvt::sim::InstallSimulatedMeter();
    kvt::app::CKVTApp program;
    return program.Run();
}
