#include "sim/Transducers.h"

#include <charconv>

#include "sim/ScpiText.h"

namespace kvt::sim {
namespace {

using Kind = Transducer::Kind;
using Source = Transducer::Source;
using Points = std::vector<std::pair<double, double>>;

// ITS-90 reference values (mV) at 100 °C steps.
Points Table(double firstCelsius, std::initializer_list<double> millivolts) {
    Points points;
    double t = firstCelsius;
    for (double mv : millivolts) {
        points.emplace_back(t, mv);
        t += 100;
    }
    return points;
}

// Callendar-Van Dusen resistance of a platinum sensor, IEC 60751.
Points Platinum(double r0) {
    constexpr double a = 3.9083e-3;
    constexpr double b = -5.775e-7;
    constexpr double c = -4.183e-12;
    Points points;
    for (double t = -200; t <= 850; t += 50) {
        double r = r0 * (1 + a * t + b * t * t + (t < 0 ? c * (t - 100) * t * t * t : 0));
        points.emplace_back(t, r);
    }
    return points;
}

std::vector<Transducer> Build() {
    std::vector<Transducer> all;
    auto tc = [&](const char* name, Points points) {
        all.push_back({name, Kind::kThermocouple, Source::kBuiltIn, std::move(points)});
    };
    tc("BITS90", Table(0, {0, 0.033, 0.178, 0.431, 0.787, 1.242, 1.792, 2.431, 3.154, 3.957, 4.834,
                           5.780, 6.786, 7.848, 8.956, 10.099, 11.263, 12.433, 13.591}));
    tc("EITS90", Table(-200, {-8.825, -5.237, 0, 6.319, 13.421, 21.036, 28.946, 36.999, 45.093,
                              53.112, 61.017, 68.787, 76.373}));
    tc("JITS90", Table(-200, {-7.890, -4.633, 0, 5.269, 10.779, 16.327, 21.848, 27.393, 33.102,
                              39.132, 45.494, 51.877, 57.953, 63.792, 69.553}));
    tc("KITS90", Table(-200, {-5.891, -3.554, 0, 4.096, 8.138, 12.209, 16.397, 20.644, 24.905,
                              29.129, 33.275, 37.326, 41.276, 45.119, 48.838, 52.410}));
    tc("NITS90", Table(-200, {-3.990, -2.407, 0, 2.774, 5.913, 9.341, 12.974, 16.748, 20.613,
                              24.527, 28.455, 32.371, 36.256, 40.087, 43.846, 47.513}));
    tc("RITS90", Table(0, {0, 0.647, 1.469, 2.401, 3.408, 4.471, 5.583, 6.743, 7.950, 9.205, 10.506,
                           11.850, 13.228, 14.629, 16.040, 17.451, 18.849, 20.222}));
    tc("SITS90", Table(0, {0, 0.646, 1.441, 2.323, 3.259, 4.233, 5.239, 6.275, 7.345, 8.449, 9.587,
                           10.757, 11.951, 13.159, 14.373, 15.582, 16.777, 17.947}));
    tc("TITS90", Table(-200, {-5.603, -3.379, 0, 4.279, 9.288, 14.862, 20.872}));
    all.push_back({"PT100", Kind::kRtd, Source::kBuiltIn, Platinum(100)});
    all.push_back({"PT200", Kind::kRtd, Source::kBuiltIn, Platinum(200)});
    all.push_back({"PT500", Kind::kRtd, Source::kBuiltIn, Platinum(500)});
    all.push_back({"PT1000", Kind::kRtd, Source::kBuiltIn, Platinum(1000)});
    // One user table as shipped: a type K probe calibrated on five points.
    all.push_back({"CUSTOM_TC1", Kind::kThermocouple, Source::kUser,
                   Points{{-50, -1.889}, {0, 0.012}, {100, 4.101}, {200, 8.150}, {300, 12.221}}});
    return all;
}

void AppendDecimal(std::string& out, double value, int decimals) {
    char text[32];
    auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (ec == std::errc()) {
        out.append(text, end);
    }
}

}  // namespace

double Transducer::ValueAt(double celsius) const {
    double scale = kind == Kind::kThermocouple ? 1e-3 : 1.0;
    if (points.empty()) {
        return 0;
    }
    if (celsius <= points.front().first) {
        return points.front().second * scale;
    }
    for (size_t i = 1; i < points.size(); ++i) {
        if (celsius <= points[i].first) {
            auto [t0, v0] = points[i - 1];
            auto [t1, v1] = points[i];
            return (v0 + (v1 - v0) * (celsius - t0) / (t1 - t0)) * scale;
        }
    }
    return points.back().second * scale;
}

const std::vector<Transducer>& Transducers::All() {
    static const std::vector<Transducer> all = Build();
    return all;
}

const Transducer* Transducers::Find(Kind kind, Source source, std::string_view name) {
    for (const Transducer& t : All()) {
        if (t.kind == kind && t.source == source && scpi::EqualsNoCase(t.name, name)) {
            return &t;
        }
    }
    return nullptr;
}

const Transducer& Transducers::Default() {
    return *Find(Kind::kThermocouple, Source::kBuiltIn, "KITS90");
}

void Transducers::AppendList(Kind kind, Source source, std::string& out) {
    bool any = false;
    for (const Transducer& t : All()) {
        if (t.kind != kind || t.source != source) {
            continue;
        }
        if (any) {
            out += ',';
        }
        out += kind == Kind::kThermocouple ? "THER " : "RTD ";
        out += t.name;
        any = true;
    }
    if (!any) {
        out += "NONE";
    }
    out += '\n';
}

void Transducers::AppendPoints(const Transducer& transducer, std::string& out) {
    for (size_t i = 0; i < transducer.points.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        out += std::to_string(i);
        out += '|';
        AppendDecimal(out, transducer.points[i].second, 3);
        out += '|';
        AppendDecimal(out, transducer.points[i].first, 0);
    }
    out += '\n';
}

}  // namespace kvt::sim
