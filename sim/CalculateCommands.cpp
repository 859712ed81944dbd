#include "sim/CalculateCommands.h"

#include <array>
#include <cmath>

namespace kvt::sim {
namespace {

using Context = CommandContext;

// Queries without arguments whose reply is one number.
template <double (*kValue)(const Instrument&)>
void NumberQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyNumber(kValue(c.meter));
    }
}

double Average(const Instrument& m) {
    return m.statistics.Average();
}
double Deviation(const Instrument& m) {
    return m.statistics.StandardDeviation();
}
double Maximum(const Instrument& m) {
    return m.statistics.Maximum();
}
double Minimum(const Instrument& m) {
    return m.statistics.Minimum();
}
double PeakToPeak(const Instrument& m) {
    return m.statistics.PeakToPeak();
}
double LimitLower(const Instrument& m) {
    return m.limits.lower;
}
double LimitUpper(const Instrument& m) {
    return m.limits.upper;
}
double DbReference(const Instrument& m) {
    return m.scaling.dbReference;
}
double DbmReference(const Instrument& m) {
    return m.scaling.dbmReference;
}
double HistogramLower(const Instrument& m) {
    return m.histogram.Lower();
}
double HistogramUpper(const Instrument& m) {
    return m.histogram.Upper();
}

void AverageAll(Context& c) {
    if (c.NoArgument()) {
        c.meter.statistics.AppendAll(c.ReplyBuffer());
        c.ReplyBuffer() += '\n';
    }
}

void AverageCount(Context& c) {
    if (c.NoArgument()) {
        c.ReplyInteger(static_cast<int64_t>(c.meter.statistics.Count()));
    }
}

void AverageClear(Context& c) {
    if (c.NoArgument()) {
        c.meter.statistics.Clear();
    }
}

void LimitState(Context& c) {
    bool on = false;
    if (c.Boolean(on)) {
        c.meter.limits.state = on;
    }
}

void LimitStateQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyBoolean(c.meter.limits.state);
    }
}

void SetLimit(Context& c, double& target) {
    double value = 0;
    if (c.Number(value, -LimitTest::kMaxMagnitude, LimitTest::kMaxMagnitude, 0)) {
        target = value;
    }
}

void LimitLowerSet(Context& c) {
    SetLimit(c, c.meter.limits.lower);
}
void LimitUpperSet(Context& c) {
    SetLimit(c, c.meter.limits.upper);
}

void LimitFailures(Context& c) {
    if (c.NoArgument()) {
        c.ReplyInteger(static_cast<int64_t>(c.meter.limits.failures));
    }
}

// Readings in different units do not belong in one statistic.
void ScaleChanged(Context& c) {
    c.meter.scaling.ArmAutoReference();
    if (c.meter.Function() == MeterFunction::kVoltDc ||
        c.meter.Function() == MeterFunction::kVoltAc) {
        c.meter.ClearRecords();
    }
}

void ScaleState(Context& c) {
    bool on = false;
    if (c.Boolean(on) && on != c.meter.scaling.state) {
        c.meter.scaling.state = on;
        ScaleChanged(c);
    }
}

void ScaleStateQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyBoolean(c.meter.scaling.state);
    }
}

void ScaleFunction(Context& c) {
    static constexpr std::array<std::string_view, 2> kFunctions = {"DB", "DBM"};
    size_t index = 0;
    if (c.Choice(kFunctions, index) && (index == 0) != c.meter.scaling.decibel) {
        c.meter.scaling.decibel = index == 0;
        ScaleChanged(c);
    }
}

void ScaleFunctionQuery(Context& c) {
    if (c.NoArgument()) {
        c.Reply(c.meter.scaling.decibel ? "DB" : "DBM");
    }
}

void DbReferenceSet(Context& c) {
    double value = 0;
    if (c.Number(value, Scaling::kMinDbReference, Scaling::kMaxDbReference, 0)) {
        c.meter.scaling.dbReference = value;
    }
}

void DbmReferenceSet(Context& c) {
    double value = 0;
    if (c.Number(value, Scaling::kMinDbmReference, Scaling::kMaxDbmReference, 600)) {
        c.meter.scaling.dbmReference = static_cast<int>(std::lround(value));
    }
}

void ReferenceAuto(Context& c) {
    bool on = false;
    if (c.Boolean(on)) {
        c.meter.scaling.autoReference = on;
        c.meter.scaling.ArmAutoReference();
    }
}

void ReferenceAutoQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyBoolean(c.meter.scaling.autoReference);
    }
}

void TrendMode(Context& c) {
    static constexpr std::array<std::string_view, 2> kModes = {"REC", "ALL"};
    size_t index = 0;
    if (c.Choice(kModes, index)) {
        c.meter.trend.SetAllMode(index == 1);
    }
}

void TrendModeQuery(Context& c) {
    if (c.NoArgument()) {
        c.Reply(c.meter.trend.AllMode() ? "ALL" : "REC");
    }
}

void TrendData(Context& c) {
    if (c.NoArgument()) {
        c.meter.trend.AppendReply(c.meter.record, c.ReplyBuffer());
    }
}

void TrendClear(Context& c) {
    if (c.NoArgument()) {
        c.meter.trend.Clear(c.meter.record);
    }
}

void HistogramAll(Context& c) {
    if (c.NoArgument()) {
        c.meter.histogram.AppendReply(c.meter.record, c.ReplyBuffer());
    }
}

void HistogramAuto(Context& c) {
    bool on = false;
    if (c.Boolean(on)) {
        c.meter.histogram.SetAutoRange(on);
    }
}

void HistogramAutoQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyBoolean(c.meter.histogram.AutoRange());
    }
}

void HistogramPoints(Context& c) {
    double value = 0;
    if (c.Number(value, 1, Histogram::kMaxBins, 100)) {
        c.meter.histogram.SetPoints(static_cast<int>(std::lround(value)));
    }
}

void HistogramPointsQuery(Context& c) {
    if (c.NoArgument()) {
        c.ReplyInteger(c.meter.histogram.Points());
    }
}

void HistogramBound(Context& c, bool upper) {
    double value = 0;
    if (c.Number(value, -LimitTest::kMaxMagnitude, LimitTest::kMaxMagnitude, upper ? 1 : -1)) {
        if (upper) {
            c.meter.histogram.SetUpper(value);
        } else {
            c.meter.histogram.SetLower(value);
        }
    }
}

void HistogramLowerSet(Context& c) {
    HistogramBound(c, false);
}
void HistogramUpperSet(Context& c) {
    HistogramBound(c, true);
}

void HistogramClear(Context& c) {
    if (c.NoArgument()) {
        c.meter.histogram.Clear(c.meter.record);
    }
}

}  // namespace

const std::vector<CommandEntry>& CalculateCommands::Entries() {
    static const std::vector<CommandEntry> entries = {
        {HeaderPattern("CALCulate:AVERage:ALL?"), AverageAll},
        {HeaderPattern("CALCulate:AVERage[:AVERage]?"), NumberQuery<Average>},
        {HeaderPattern("CALCulate:AVERage:SDEViation?"), NumberQuery<Deviation>},
        {HeaderPattern("CALCulate:AVERage:MAXimum?"), NumberQuery<Maximum>},
        {HeaderPattern("CALCulate:AVERage:MINimum?"), NumberQuery<Minimum>},
        {HeaderPattern("CALCulate:AVERage:PTPeak?"), NumberQuery<PeakToPeak>},
        {HeaderPattern("CALCulate:AVERage:COUNt?"), AverageCount},
        {HeaderPattern("CALCulate:AVERage:CLEar"), AverageClear},
        {HeaderPattern("CALCulate:LIMit:STATe"), LimitState},
        {HeaderPattern("CALCulate:LIMit:STATe?"), LimitStateQuery},
        {HeaderPattern("CALCulate:LIMit:LOWer[:DATA]"), LimitLowerSet},
        {HeaderPattern("CALCulate:LIMit:LOWer[:DATA]?"), NumberQuery<LimitLower>},
        {HeaderPattern("CALCulate:LIMit:UPPer[:DATA]"), LimitUpperSet},
        {HeaderPattern("CALCulate:LIMit:UPPer[:DATA]?"), NumberQuery<LimitUpper>},
        {HeaderPattern("CALCulate:LIMit:FAIL?"), LimitFailures},
        {HeaderPattern("CALCulate:SCALe:STATe"), ScaleState},
        {HeaderPattern("CALCulate:SCALe:STATe?"), ScaleStateQuery},
        {HeaderPattern("CALCulate:SCALe:FUNCtion"), ScaleFunction},
        {HeaderPattern("CALCulate:SCALe:FUNCtion?"), ScaleFunctionQuery},
        {HeaderPattern("CALCulate:SCALe:DB:REFerence"), DbReferenceSet},
        {HeaderPattern("CALCulate:SCALe:DB:REFerence?"), NumberQuery<DbReference>},
        {HeaderPattern("CALCulate:SCALe:DBM:REFerence"), DbmReferenceSet},
        {HeaderPattern("CALCulate:SCALe:DBM:REFerence?"), NumberQuery<DbmReference>},
        {HeaderPattern("CALCulate:SCALe:REFerence:AUTO"), ReferenceAuto},
        {HeaderPattern("CALCulate:SCALe:REFerence:AUTO?"), ReferenceAutoQuery},
        {HeaderPattern("CALCulate:TRENd:CHARt:MODe"), TrendMode},
        {HeaderPattern("CALCulate:TRENd:CHARt:MODe?"), TrendModeQuery},
        {HeaderPattern("CALCulate:TRENd:CHARt:DATA?"), TrendData},
        {HeaderPattern("CALCulate:TRENd:CHARt:CLEar"), TrendClear},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:ALL?"), HistogramAll},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:RANGe:AUTO"), HistogramAuto},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:RANGe:AUTO?"), HistogramAutoQuery},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:POINts"), HistogramPoints},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:POINts?"), HistogramPointsQuery},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:RANGe:LOWer"), HistogramLowerSet},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:RANGe:LOWer?"), NumberQuery<HistogramLower>},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:RANGe:UPPer"), HistogramUpperSet},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:RANGe:UPPer?"), NumberQuery<HistogramUpper>},
        {HeaderPattern("CALCulate:TRANsform:HISTogram:CLEar"), HistogramClear},
    };
    return entries;
}

}  // namespace kvt::sim
