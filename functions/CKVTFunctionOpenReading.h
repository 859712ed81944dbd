#pragma once

#include <string>
#include <thread>

#include "functions/CKVTFunction.h"

namespace kvt::functions {

// The shape continuity and diode share: no ranges, a reading that is
// "open" or a number, a beeper setting, and a worker whose cycle has no
// range step.
class CKVTFunctionOpenReading : public CKVTFunction {
public:
    CKVTFunctionOpenReading(IFrontPanelServices* panel, std::string name);

    bool ReadOnce() override;
    std::string GetDisplayText() override;
    std::string GetRangeMode() override;
    void SetRange(const std::string& range) override;
    std::string GetRange() override;
    std::thread::id CreateWorker() override;

    std::string GetBeeper() const { return m_beeper; }

    // "open" and the placeholder unchanged, any other reading cut to
    // eight characters.
    static std::string DisplayText(const std::string& reading);

protected:
    // Takes the beeper item's value, sends it under the lock and settles.
    void SendBeeper(int beeperItem);
    // The cycle has no range step.
    bool FollowsAutoRange() const override;

    std::string m_beeper;  // user-interface thread only
};

}  // namespace kvt::functions
