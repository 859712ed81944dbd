#pragma once

#include <memory>

#include "functions/CKVTRangedFunction.h"
#include "tests/functions/FunctionsFixture.h"
#include "tests/functions/RangedCases.h"

namespace kvt::test {

// One ranged function of the case table over the recording device (and,
// with a meter, the simulated meter behind it), initialised, with the
// traffic of its set-up forgotten.
class RangedFixture : public FunctionsFixture, public ::testing::WithParamInterface<RangedCase> {
protected:
    explicit RangedFixture(bool withMeter = false) : FunctionsFixture(withMeter) {}

    void SetUp() override {
        FunctionsFixture::SetUp();
        m_function = GetParam().make(&m_panel);
        m_function->Init();
        Sent();
        PausesMs();
    }

    void TearDown() override {
        m_function.reset();
        FunctionsFixture::TearDown();
    }

    std::unique_ptr<functions::CKVTRangedFunction> m_function;
};

class RangedMeterFixture : public RangedFixture {
protected:
    RangedMeterFixture() : RangedFixture(true) {}
};

// Names instantiated tests after the function.
inline std::string CaseName(const ::testing::TestParamInfo<RangedCase>& info) {
    return info.param.label;
}

}  // namespace kvt::test
