#pragma once

#include <cstddef>
#include <vector>

namespace kvt::sim {

// The settings the meter keeps per measurement function: range and
// automatic ranging, integration time, filter, input impedance and null.
class FunctionSettings {
public:
    explicit FunctionSettings(std::vector<double> ranges = {});

    void Reset(double nominalInput);

    bool HasRanges() const { return !m_ranges.empty(); }
    double Range() const;  // 0 without ranges
    bool AutoRange() const { return m_auto; }
    void SetAutoRange(bool on) { m_auto = on; }

    // Manual range holding |value|: the smallest range at least |value|.
    // False (nothing changed) when the value exceeds the largest range.
    bool SetRange(double value);
    void SetRangeToMinimum();
    void SetRangeToMaximum();
    // One range up or down, switching automatic ranging off; false at the end.
    bool StepRange(int direction);

    // Automatic ranging with hysteresis: up above 120 % of the range, down
    // when the reading would fit well under 90 % of the next lower one.
    void FollowInput(double magnitude);
    // Above 120 % of the range in use (or of the largest in auto).
    bool IsOverload(double magnitude) const;

    double Nplc() const { return m_nplc; }
    // Accepts 0.02 to 100 PLC, rounded up to the next supported step.
    bool SetNplc(double nplc);

    bool filter = false;
    bool highImpedance = false;  // 10 GΩ on the low DC voltage ranges
    bool nullOn = false;
    bool nullArmed = false;  // take the next reading as the null value
    double nullValue = 0;

private:
    size_t BestRangeFor(double magnitude) const;

    std::vector<double> m_ranges;
    size_t m_range = 0;
    bool m_auto = true;
    double m_nplc = 1;
};

}  // namespace kvt::sim
