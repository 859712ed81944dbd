#include "sim/Scaling.h"

#include <cmath>

namespace kvt::sim {

double Scaling::Apply(double volts) {
    // A zero reading has no logarithm; floor it at a femtovolt.
    double magnitude = std::fmax(std::fabs(volts), 1e-15);
    double dbm = 10.0 * std::log10(magnitude * magnitude / dbmReference / 1e-3);
    if (!decibel) {
        return dbm;
    }
    if (m_referencePending) {
        dbReference = dbm;
        m_referencePending = false;
    }
    return dbm - dbReference;
}

}  // namespace kvt::sim
