#pragma once

#include <string>

#include "functions/CKVTRangedFunction.h"
#include "functions/KVTScaleSettings.h"
#include "functions/VoltageScale.h"

namespace kvt::functions {

// AC voltage: five ranges from 200 mV to 750 V, automatic ranging, three
// speeds, relative reading and the dB/dBm scaling that the statistics
// panel controls.
class CKVTFunctionACV : public CKVTRangedFunction {
public:
    explicit CKVTFunctionACV(IFrontPanelServices* panel);
    ~CKVTFunctionACV() override;

    void Init() override;
    void SyncFromInstrument() override;
    bool SyncScale() override;
    KVTScaleSettings* GetScaleSettings() override;
    void SetScaleState(int state) override;
    void SetScaleFunction(const std::string& function) override;
    void SetDbReference(int reference) override;
    void SetDbmReference(int reference) override;
    void SetReferenceAuto(int state) override;

    // A consistent copy of the scale settings.
    KVTScaleSettings ScaleSnapshot() const;

protected:
    std::string UnitLabelFor(const std::string& range, const std::string& current) const override;
    DisplayScale DisplayScaleFor(const std::string& range,
                                 const std::string& unitLabel) const override;
    bool ScaledUnitLocked(std::string& unit) const override;

private:
    VoltageScale m_scale{m_worker, m_textLock};
};

}  // namespace kvt::functions
