#include "sim/CoreCommands.h"

#include <array>
#include <cmath>
#include <string>

#include "sim/MeterModel.h"

namespace kvt::sim {
namespace {

using Context = CommandContext;

void Identify(Context& c) {
    if (c.NoArgument()) {
        c.Reply(MeterModel::kIdentity);
    }
}

void Reset(Context& c) {
    if (c.NoArgument()) {
        c.meter.Reset(c.now);
    }
}

void ClearStatus(Context& c) {
    if (c.NoArgument()) {
        c.errors.Clear();
    }
}

void EventStatus(Context& c) {
    if (c.NoArgument()) {
        c.ReplyInteger(c.errors.TakeEventStatus());
    }
}

// The status byte as device clear and serial poll see it (StatusByte()).
void StatusByteQuery(Context& c) {
    if (c.NoArgument()) {
        int stb = 0;
        if (!c.errors.Empty()) {
            stb |= 0x04;
        }
        if (c.messageAvailable) {
            stb |= 0x10;
        }
        if (c.errors.EventStatus() != 0) {
            stb |= 0x20;
        }
        c.ReplyInteger(stb);
    }
}

void OperationComplete(Context& c) {
    if (c.NoArgument()) {
        c.errors.SetOperationComplete();
    }
}

void OperationCompleteQuery(Context& c) {
    // Commands complete as they are executed.
    if (c.NoArgument()) {
        c.Reply("1");
    }
}

void Wait(Context& c) {
    c.NoArgument();
}

void SelfTest(Context& c) {
    if (c.NoArgument()) {
        c.Reply("0");
    }
}

void NextError(Context& c) {
    if (c.NoArgument()) {
        c.Reply(c.errors.Pop());
    }
}

void Echo(Context& c) {
    c.Reply(c.Argument());
}

void FunctionQuery(Context& c) {
    if (c.NoArgument()) {
        std::string quoted = "\"";
        quoted += c.meter.Info().queryName;
        quoted += '"';
        c.Reply(quoted);
    }
}

void SelectFunction(Context& c) {
    std::string name;
    if (c.Argument().empty()) {
        c.errors.Push(-109, "Missing parameter");
        return;
    }
    if (!scpi::ParseQuoted(c.Argument(), name)) {
        c.errors.Push(-151, "Invalid string data");
        return;
    }
    MeterFunction function;
    if (!FunctionTable::Parse(name, function)) {
        c.errors.Push(-224, "Illegal parameter value");
        return;
    }
    if (function != c.meter.Function()) {
        c.meter.SetFunction(function, c.now);
    }
}

void TriggerCount(Context& c) {
    static const HeaderPattern kInfinity("INFinity");
    std::string_view word = c.Argument();
    if (kInfinity.Matches(std::span<const std::string_view>(&word, 1))) {
        c.meter.trigger.triggerCount = 0;
        return;
    }
    double count = 0;
    if (c.Number(count, 1, TriggerSystem::kMaxCount, 1)) {
        c.meter.trigger.triggerCount = static_cast<uint32_t>(std::lround(count));
    }
}

void TriggerCountQuery(Context& c) {
    if (c.NoArgument()) {
        uint32_t count = c.meter.trigger.triggerCount;
        c.ReplyNumber(count == 0 ? 9.9e37 : count);
    }
}

void TriggerDelay(Context& c) {
    double seconds = 0;
    if (c.Number(seconds, 0, TriggerSystem::kMaxDelaySeconds, 0)) {
        c.meter.trigger.delaySeconds = seconds;
        c.meter.trigger.autoDelay = false;
    }
}

void TriggerDelayQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyNumber(c.meter.trigger.autoDelay ? 0 : c.meter.trigger.delaySeconds);
    }
}

void TriggerDelayAuto(Context& c) {
    bool on = false;
    if (c.Boolean(on)) {
        c.meter.trigger.autoDelay = on;
    }
}

void TriggerDelayAutoQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyBoolean(c.meter.trigger.autoDelay);
    }
}

void TriggerSlope(Context& c) {
    static constexpr std::array<std::string_view, 2> kSlopes = {"POSitive", "NEGative"};
    size_t index = 0;
    if (c.Choice(kSlopes, index)) {
        c.meter.trigger.positiveSlope = index == 0;
    }
}

void TriggerSlopeQuery(Context& c) {
    if (c.NoArgument()) {
        c.Reply(c.meter.trigger.positiveSlope ? "POS" : "NEG");
    }
}

void SampleCount(Context& c) {
    double count = 0;
    if (c.Number(count, 1, TriggerSystem::kMaxCount, 1)) {
        c.meter.trigger.sampleCount = static_cast<uint32_t>(std::lround(count));
    }
}

void SampleCountQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyNumber(c.meter.trigger.sampleCount);
    }
}

void Initiate(Context& c) {
    if (c.NoArgument()) {
        c.meter.Initiate(c.now);
    }
}

void Abort(Context& c) {
    if (c.NoArgument()) {
        c.meter.trigger.Abort();
    }
}

void LastReading(Context& c) {
    if (!c.NoArgument()) {
        return;
    }
    std::string& out = c.ReplyBuffer();
    scpi::AppendScientific(out, c.meter.LastReading());
    out += ' ';
    out += c.meter.UnitWord();
    out += '\n';
}

// Front-panel keys as the meter's own panel would act on them.
void PanelKey(Context& c) {
    double code = 0;
    if (!c.PlainNumber(code)) {
        return;
    }
    FunctionSettings& settings = c.meter.Settings();
    switch (static_cast<int>(code == std::floor(code) ? code : -1)) {
        case 21:  // Run: measure continuously
            c.meter.Initiate(c.now, 0);
            break;
        case 6:  // Single: one trigger, then hold
            c.meter.Initiate(c.now, 1);
            break;
        case 15:  // Range: toggle automatic ranging
            settings.SetAutoRange(!settings.AutoRange());
            c.meter.SettingsChanged(c.now);
            break;
        case 14:  // Increase: one range up
        case 16:  // Decrease: one range down
            settings.StepRange(code == 14 ? 1 : -1);
            c.meter.SettingsChanged(c.now);
            break;
        case 24:  // OK: confirms a panel menu; nothing to confirm remotely
        case 13:  // Local: hands the panel back to the operator
            break;
        default:
            c.errors.Push(-224, "Illegal parameter value");
            break;
    }
}

// Test aid: the simulated signal at the input of the current function.
void SimulatedInput(Context& c) {
    double value = 0;
    if (!c.PlainNumber(value)) {
        return;
    }
    if (std::fabs(value) >= 1e30 || ((c.meter.Function() == MeterFunction::kFreq ||
                                      c.meter.Function() == MeterFunction::kPer) &&
                                     value <= 0)) {
        c.errors.Push(-222, "Data out of range");
        return;
    }
    c.meter.generator.SetInput(c.meter.Function(), value);
}

void SimulatedInputQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyNumber(c.meter.generator.Input(c.meter.Function()));
    }
}

}  // namespace

const std::vector<CommandEntry>& CoreCommands::Entries() {
    static const std::vector<CommandEntry> entries = {
        {HeaderPattern("DATA:LAST?"), LastReading},
        {HeaderPattern("*IDN?"), Identify},
        {HeaderPattern("*RST"), Reset},
        {HeaderPattern("*CLS"), ClearStatus},
        {HeaderPattern("*ESR?"), EventStatus},
        {HeaderPattern("*STB?"), StatusByteQuery},
        {HeaderPattern("*OPC"), OperationComplete},
        {HeaderPattern("*OPC?"), OperationCompleteQuery},
        {HeaderPattern("*WAI"), Wait},
        {HeaderPattern("*TST?"), SelfTest},
        {HeaderPattern("SYSTem:ERRor[:NEXT]?"), NextError},
        {HeaderPattern("ECHO?"), Echo},
        {HeaderPattern("[SENSe:]FUNCtion[:ON]?"), FunctionQuery},
        {HeaderPattern("[SENSe:]FUNCtion[:ON]"), SelectFunction},
        {HeaderPattern("TRIGger:COUNt"), TriggerCount},
        {HeaderPattern("TRIGger:COUNt?"), TriggerCountQuery},
        {HeaderPattern("TRIGger:DELay"), TriggerDelay},
        {HeaderPattern("TRIGger:DELay?"), TriggerDelayQuery},
        {HeaderPattern("TRIGger:DELay:AUTO"), TriggerDelayAuto},
        {HeaderPattern("TRIGger:DELay:AUTO?"), TriggerDelayAutoQuery},
        {HeaderPattern("OUTPut:TRIGger:SLOPe"), TriggerSlope},
        {HeaderPattern("OUTPut:TRIGger:SLOPe?"), TriggerSlopeQuery},
        {HeaderPattern("SAMPle:COUNt"), SampleCount},
        {HeaderPattern("SAMPle:COUNt?"), SampleCountQuery},
        {HeaderPattern("INITiate[:IMMediate]"), Initiate},
        {HeaderPattern("ABORt"), Abort},
        {HeaderPattern("$$SY_FP"), PanelKey},
        {HeaderPattern("SIMulate:INPut"), SimulatedInput},
        {HeaderPattern("SIMulate:INPut?"), SimulatedInputQuery},
    };
    return entries;
}

}  // namespace kvt::sim
