// Linked into the shared VISA library only: installs the simulated meter
// when the library is loaded, so KORVATA_VISA_SIMULATE=1 works for any
// program that uses the library.
#include "sim/SimulatedMeter.h"

namespace {

[[maybe_unused]] const bool g_installed = [] {
    kvt::sim::InstallSimulatedMeter();
    return true;
}();

}  // namespace
