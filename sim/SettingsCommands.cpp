#include "sim/SettingsCommands.h"

#include <array>
#include <vector>

#include "sim/HeaderPattern.h"

namespace kvt::sim {
namespace {

enum class Setting {
    kRange,
    kAutoRange,
    kNplc,
    kFilter,
    kImpedance,
    kNull,
    kNullValue,
    kThreshold
};

struct SettingPattern {
    HeaderPattern pattern;
    Setting setting;
};

const std::vector<SettingPattern>& Settings() {
    static const std::vector<SettingPattern> settings = {
        {HeaderPattern("RANGe[:UPPer]"), Setting::kRange},
        {HeaderPattern("RANGe:AUTO"), Setting::kAutoRange},
        {HeaderPattern("NPLCycles"), Setting::kNplc},
        {HeaderPattern("FILTer[:STATe]"), Setting::kFilter},
        {HeaderPattern("IMPedance"), Setting::kImpedance},
        {HeaderPattern("INPUTZ"), Setting::kImpedance},
        {HeaderPattern("NULL[:STATe]"), Setting::kNull},
        {HeaderPattern("NULL:VALue"), Setting::kNullValue},
        {HeaderPattern("THReshold[:VALue]"), Setting::kThreshold},
    };
    return settings;
}

const std::vector<HeaderPattern>& Roots() {
    static const std::vector<HeaderPattern> roots = [] {
        std::vector<HeaderPattern> list;
        for (MeterFunction function : FunctionTable::All()) {
            list.emplace_back(FunctionTable::Get(function).rootPattern);
        }
        return list;
    }();
    return roots;
}

bool Offers(const FunctionInfo& info, Setting setting) {
    switch (setting) {
        case Setting::kRange:
        case Setting::kAutoRange:
            return !info.ranges.empty();
        case Setting::kNplc:
            return info.hasSpeed;
        case Setting::kFilter:
            return info.hasFilter;
        case Setting::kImpedance:
            return info.hasImpedance;
        case Setting::kNull:
        case Setting::kNullValue:
            return info.hasNull;
        case Setting::kThreshold:
            return info.function == MeterFunction::kCont;
    }
    return false;
}

// Changes to the current function restart the reading in progress.
void Changed(CommandContext& c, MeterFunction function) {
    if (FunctionTable::Get(function).settingsGroup == c.meter.Info().settingsGroup) {
        c.meter.SettingsChanged(c.now);
    }
}

void SetRange(CommandContext& c, MeterFunction function) {
    FunctionSettings& s = c.meter.Settings(function);
    const std::vector<double>& ranges = FunctionTable::Get(function).ranges;
    double value = 0;
    if (!c.Number(value, 0, ranges.back(), ranges.back())) {
        return;
    }
    s.SetRange(value);
    Changed(c, function);
}

void Apply(CommandContext& c, MeterFunction function, Setting setting) {
    FunctionSettings& s = c.meter.Settings(function);
    bool on = false;
    double value = 0;
    switch (setting) {
        case Setting::kRange:
            SetRange(c, function);
            break;
        case Setting::kAutoRange:
            if (c.Boolean(on)) {
                s.SetAutoRange(on);
                Changed(c, function);
            }
            break;
        case Setting::kNplc:
            if (c.Number(value, 0.02, 100, 1)) {
                s.SetNplc(value);
                Changed(c, function);
            }
            break;
        case Setting::kFilter:
            if (c.Boolean(on)) {
                s.filter = on;
            }
            break;
        case Setting::kImpedance: {
            static constexpr std::array<std::string_view, 2> kChoices = {"10M", "10G"};
            size_t index = 0;
            if (c.Choice(kChoices, index)) {
                s.highImpedance = index == 1;
            }
            break;
        }
        case Setting::kNull:
            if (c.Boolean(on)) {
                // Switching on takes the next reading as the null value.
                if (on && !s.nullOn) {
                    s.nullArmed = true;
                }
                if (!on) {
                    s.nullArmed = false;
                }
                s.nullOn = on;
            }
            break;
        case Setting::kNullValue:
            if (c.PlainNumber(value)) {
                s.nullValue = value;
                s.nullArmed = false;
            }
            break;
        case Setting::kThreshold:
            if (c.Number(value, 0, Instrument::kMaxThreshold, 50)) {
                c.meter.continuityThreshold = value;
            }
            break;
    }
}

void Query(CommandContext& c, MeterFunction function, Setting setting) {
    if (!c.NoArgument()) {
        return;
    }
    FunctionSettings& s = c.meter.Settings(function);
    switch (setting) {
        case Setting::kRange:
            c.ReplyNumber(s.Range());
            break;
        case Setting::kAutoRange:
            c.ReplyBoolean(s.AutoRange());
            break;
        case Setting::kNplc:
            c.ReplyNumber(s.Nplc());
            break;
        case Setting::kFilter:
            c.ReplyBoolean(s.filter);
            break;
        case Setting::kImpedance:
            c.Reply(s.highImpedance ? "10G" : "10M");
            break;
        case Setting::kNull:
            c.ReplyBoolean(s.nullOn);
            break;
        case Setting::kNullValue:
            c.ReplyNumber(s.nullValue);
            break;
        case Setting::kThreshold:
            c.ReplyNumber(c.meter.continuityThreshold);
            break;
    }
}

}  // namespace

bool SettingsCommands::Execute(CommandContext& c) {
    const auto& roots = Roots();
    std::vector<size_t> lengths;
    for (size_t i = 0; i < roots.size(); ++i) {
        roots[i].PrefixLengths(c.nodes, lengths);
        const FunctionInfo& info = FunctionTable::Get(FunctionTable::All()[i]);
        for (size_t length : lengths) {
            auto rest = c.nodes.subspan(length);
            for (const SettingPattern& candidate : Settings()) {
                if (!Offers(info, candidate.setting) || !candidate.pattern.Matches(rest)) {
                    continue;
                }
                if (c.unit.query) {
                    Query(c, info.function, candidate.setting);
                } else {
                    Apply(c, info.function, candidate.setting);
                }
                return true;
            }
        }
    }
    return false;
}

}  // namespace kvt::sim
