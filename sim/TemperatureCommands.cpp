#include "sim/TemperatureCommands.h"

#include <array>
#include <string>

namespace kvt::sim {
namespace {

using Context = CommandContext;
using Kind = Transducer::Kind;
using Source = Transducer::Source;

std::string_view KindWord(Kind kind) {
    return kind == Kind::kThermocouple ? "THER" : "RTD";
}
std::string_view SourceWord(Source source) {
    return source == Source::kBuiltIn ? "MDEF" : "UDEF";
}

// A transducer name, quoted or bare.
bool Name(Context& c, std::string& name) {
    if (c.Argument().empty()) {
        c.errors.Push(-109, "Missing parameter");
        return false;
    }
    if (!scpi::ParseQuoted(c.Argument(), name)) {
        name.assign(c.Argument());
    }
    return true;
}

const Transducer* Lookup(Context& c, Kind kind, Source source) {
    std::string name;
    if (!Name(c, name)) {
        return nullptr;
    }
    const Transducer* found = Transducers::Find(kind, source, name);
    if (found == nullptr) {
        c.errors.Push(-224, "Illegal parameter value");
    }
    return found;
}

template <Kind kKind, Source kSource>
void Select(Context& c) {
    if (const Transducer* found = Lookup(c, kKind, kSource)) {
        c.meter.transducer = found;
        c.meter.Settings(MeterFunction::kTemp).nullArmed =
            c.meter.Settings(MeterFunction::kTemp).nullOn;
    }
}

template <Kind kKind, Source kSource>
void List(Context& c) {
    if (c.NoArgument()) {
        Transducers::AppendList(kKind, kSource, c.ReplyBuffer());
    }
}

template <Kind kKind, Source kSource>
void Points(Context& c) {
    if (const Transducer* found = Lookup(c, kKind, kSource)) {
        Transducers::AppendPoints(*found, c.ReplyBuffer());
    }
}

void TransducerQuery(Context& c) {
    if (!c.NoArgument()) {
        return;
    }
    const Transducer& t = *c.meter.transducer;
    std::string text(KindWord(t.kind));
    text += ',';
    text += SourceWord(t.source);
    text += ',';
    text += t.name;
    c.Reply(text);
}

// The sensor's own reading behind the last temperature: "NAME|value,unit".
void SensorReading(Context& c) {
    if (!c.NoArgument()) {
        return;
    }
    const Transducer& t = *c.meter.transducer;
    std::string& out = c.ReplyBuffer();
    out += t.name;
    out += '|';
    scpi::AppendScientific(out, c.meter.LastSensorValue());
    out += t.kind == Kind::kThermocouple ? ",V\n" : ",OHM\n";
}

void Unit(Context& c) {
    static constexpr std::array<std::string_view, 6> kUnits = {"C",   "CEL", "F",
                                                               "FAR", "K",   "KELvin"};
    size_t index = 0;
    if (!c.Choice(kUnits, index)) {
        return;
    }
    char unit = index < 2 ? 'C' : index < 4 ? 'F' : 'K';
    if (unit != c.meter.temperatureUnit) {
        c.meter.temperatureUnit = unit;
        // A null value in the old unit means nothing in the new one.
        FunctionSettings& s = c.meter.Settings(MeterFunction::kTemp);
        s.nullArmed = s.nullOn;
        if (c.meter.Function() == MeterFunction::kTemp) {
            c.meter.ClearRecords();
        }
    }
}

void UnitQuery(Context& c) {
    if (c.NoArgument()) {
        c.Reply(std::string(1, c.meter.temperatureUnit));
    }
}

void Beeper(Context& c) {
    bool on = false;
    if (c.Boolean(on)) {
        c.meter.beeper = on;
    }
}

void BeeperQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyBoolean(c.meter.beeper);
    }
}

constexpr Kind kTc = Kind::kThermocouple;
constexpr Kind kRtd = Kind::kRtd;
constexpr Source kBuiltIn = Source::kBuiltIn;
constexpr Source kUser = Source::kUser;

}  // namespace

const std::vector<CommandEntry>& TemperatureCommands::Entries() {
    static const std::vector<CommandEntry> entries = {
        {HeaderPattern("[SENSe:]TEMPerature:TRANsducer?"), TransducerQuery},
        {HeaderPattern("[SENSe:]TEMPerature:CAD?"), SensorReading},
        {HeaderPattern("[SENSe:]TEMPerature:MDEF:THERmocouple:TRANsducer"), Select<kTc, kBuiltIn>},
        {HeaderPattern("[SENSe:]TEMPerature:UDEF:THERmocouple:TRANsducer"), Select<kTc, kUser>},
        {HeaderPattern("[SENSe:]TEMPerature:MDEF:RTD:TRANsducer"), Select<kRtd, kBuiltIn>},
        {HeaderPattern("[SENSe:]TEMPerature:UDEF:RTD:TRANsducer"), Select<kRtd, kUser>},
        {HeaderPattern("[SENSe:]TEMPerature:MDEF:THERmocouple:TRANsducer:LIST?"),
         List<kTc, kBuiltIn>},
        {HeaderPattern("[SENSe:]TEMPerature:UDEF:THERmocouple:TRANsducer:LIST?"), List<kTc, kUser>},
        {HeaderPattern("[SENSe:]TEMPerature:MDEF:RTD:TRANsducer:LIST?"), List<kRtd, kBuiltIn>},
        {HeaderPattern("[SENSe:]TEMPerature:UDEF:RTD:TRANsducer:LIST?"), List<kRtd, kUser>},
        {HeaderPattern("[SENSe:]TEMPerature:MDEF:THERmocouple:TRANsducer:POINts?"),
         Points<kTc, kBuiltIn>},
        {HeaderPattern("[SENSe:]TEMPerature:UDEF:THERmocouple:TRANsducer:POINts?"),
         Points<kTc, kUser>},
        {HeaderPattern("[SENSe:]TEMPerature:MDEF:RTD:TRANsducer:POINts?"), Points<kRtd, kBuiltIn>},
        {HeaderPattern("[SENSe:]TEMPerature:UDEF:RTD:TRANsducer:POINts?"), Points<kRtd, kUser>},
        {HeaderPattern("UNIT:TEMPerature"), Unit},
        {HeaderPattern("UNIT:TEMPerature?"), UnitQuery},
        {HeaderPattern("SYSTem:BEEPer[:STATe]"), Beeper},
        {HeaderPattern("SYSTem:BEEPer[:STATe]?"), BeeperQuery},
    };
    return entries;
}

}  // namespace kvt::sim
