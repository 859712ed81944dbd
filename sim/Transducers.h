#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvt::sim {

// One temperature sensor: its point table of sensor value against
// temperature. Thermocouple values are in millivolts (reference junction at
// 0 °C), resistance thermometer values in ohms.
struct Transducer {
    enum class Kind { kThermocouple, kRtd };
    enum class Source { kBuiltIn, kUser };

    std::string name;
    Kind kind;
    Source source;
    std::vector<std::pair<double, double>> points;  // (°C, mV or Ω), ascending

    // The sensor's value at a temperature, in volts or ohms, interpolated
    // between points (held at the table's ends).
    double ValueAt(double celsius) const;
};

// The meter's sensor tables: the built-in ITS-90 thermocouples and
// IEC 60751 platinum resistance thermometers, and the user-defined ones.
class Transducers {
public:
    static const std::vector<Transducer>& All();
    static const Transducer* Find(Transducer::Kind kind, Transducer::Source source,
                                  std::string_view name);
    static const Transducer& Default();  // type K thermocouple

    // "THER KITS90,THER JITS90,..." ("NONE" when the list is empty).
    static void AppendList(Transducer::Kind kind, Transducer::Source source, std::string& out);
    // "0|-5.891|-200,1|-3.554|-100,...": index, value, temperature.
    static void AppendPoints(const Transducer& transducer, std::string& out);
};

}  // namespace kvt::sim
