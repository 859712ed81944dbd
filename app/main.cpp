// Korvata: remote control of one bench digital multimeter over VISA.
#include <QApplication>

#include "app/CKVTApp.h"
#include "sim/SimulatedMeter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvata"));
    // The VISA layer's in-process simulation (KORVATA_VISA_SIMULATE=1)
    // opens this meter; without that setting it stays unused.
    kvt::sim::InstallSimulatedMeter();
    kvt::app::CKVTApp program;
    return program.Run();
}
