#pragma once

#include <string>
#include <thread>

#include "functions/CKVTFunction.h"

namespace kvt::functions {

// Temperature: the sensor (chosen in the sensor dialog), three display
// modes for the temperature and the sensor's own measured value, the unit
// (℃, ℉ or K) and a relative reading. Its worker reads both values each
// cycle and keeps no history.
class CKVTFunctionTemperature : public CKVTFunction {
public:
    // Item ids.
    enum : int {
        kLoadKey = 88,
        kDisplayKey = 89,
        kUnitsKey = 90,
        kRelKey = 91,
        kDisplayTemp = 127,
        kDisplayAll = 129,
        kUnitCelsius = 130,
        kUnitKelvin = 132,
    };

    explicit CKVTFunctionTemperature(IFrontPanelServices* panel);
    ~CKVTFunctionTemperature() override;

    void OnMenuItem(int itemId) override;
    void Init() override;
    void SyncFromInstrument() override;
    void ShowMainMenu() override;
    // The worker reads on its own (two values a cycle, no history): this
    // sends nothing and returns true.
    bool ReadOnce() override;
    void SetReadingText(const std::string& text) override;
    std::string GetDisplayText() override;
    std::string GetRangeMode() override;
    bool UpdateAutoRange() override;
    void SetRange(const std::string& range) override;
    std::string GetRange() override;
    std::string GetBaseUnit() override;
    std::string GetUnitLabel() override;
    std::thread::id CreateWorker() override;

    // The sensor's measured value for the second reading line.
    std::string GetMeasuredText();
    std::string GetDisplayMode() const;
    std::string GetSensor() const;
    std::string GetUnit() const;
    std::string GetNull() const { return m_null; }

    // The sensor dialog's choice: source 0 built-in ("Manu Define") or 1
    // user-defined, kind 0 thermocouple or 1 resistance thermometer. Sent
    // under the lock between two reading cycles, so that a cycle never
    // pairs a temperature with the measured value of another sensor; the
    // name becomes the current sensor. A choice outside those values, or
    // without a name, changes and sends nothing.
    void ChooseSensor(int source, int kind, const std::string& name);

    // The unit label for a reading: "k" or "m" in front of the unit for
    // magnitudes of 1000 and more or below 0.001; an overload gets none.
    static std::string LabelFor(const std::string& reading, const std::string& unit);
    // The main display text for a reading under a unit label.
    static std::string DisplayText(const std::string& reading, const std::string& unitLabel);
    // The second line's text for a measured value.
    static std::string MeasuredText(const std::string& measured);

protected:
    // A cycle reads the temperature and the sensor's measured value, and
    // has no range step.
    bool ReadForCycle() override;
    std::string RecordedRange() override;
    bool FollowsAutoRange() const override;

private:
    void ShowMainPage();

    // Guarded by m_textLock: the worker writes the label and the measured
    // value while the display reads them.
    std::string m_unitLabel;
    std::string m_sensor;
    std::string m_display;
    std::string m_unit;
    std::string m_null;  // user-interface thread only
    std::string m_measuredText;
};

}  // namespace kvt::functions
