#pragma once

namespace kvt::sim {

// dB and dBm scaling of voltage readings. dBm is the power the voltage
// drives into the reference resistance, relative to 1 mW; dB is dBm less the
// dB reference (in dBm), which "automatic reference" takes from the first
// reading after it is switched on.
class Scaling {
public:
    void Reset() { *this = Scaling(); }

    bool state = false;
    bool decibel = false;    // true: dB, false: dBm
    double dbReference = 0;  // dBm
    int dbmReference = 600;  // ohms
    bool autoReference = false;

    static constexpr double kMinDbReference = -200;
    static constexpr double kMaxDbReference = 200;
    static constexpr int kMinDbmReference = 1;
    static constexpr int kMaxDbmReference = 10000;

    void ArmAutoReference() { m_referencePending = autoReference; }
    // The scaled value of a voltage reading (volts in, dB or dBm out).
    double Apply(double volts);

private:
    bool m_referencePending = false;
};

}  // namespace kvt::sim
