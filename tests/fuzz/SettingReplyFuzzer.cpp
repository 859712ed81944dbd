// The setting replies: auto, on/off, speed, impedance, beeper, unit,
// threshold, transducer name, secondary reading, scale function, trend mode.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/SettingReply.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvt::link;
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    bool empty = reply.empty();
    std::string label = AutoRangeLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty() : (label == "Auto" || label == "Manual"));
    label = OnOffLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty() : (label == "On" || label == "Off"));
    label = BeeperLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty() : (label == "On" || label == "Off"));
    label = SpeedLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty()
                         : (label == "Fast" || label == "Middle" || label == "Slow"));
    label = InputImpedanceLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty() : (label == "10M" || label == "10G"));
    label = TemperatureUnitLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty() : (label == "℃" || label == "℉" || label == "K"));
    label = ContinuityThresholdLabel(reply);
    KVT_FUZZ_CHECK(empty ? label.empty() : label.size() >= 4);
    KVT_FUZZ_CHECK(empty || label[0] == '+' || label[0] == '-');
    KVT_FUZZ_CHECK(TransducerNameFromReply(reply).size() <= reply.size());
    KVT_FUZZ_CHECK(SecondaryReadingFromReply(reply).size() <= reply.size() + 1);
    label = ScaleFunctionLabel(reply);
    KVT_FUZZ_CHECK(label == "dB" || label == "dBm");
    label = TrendModeLabel(reply);
    KVT_FUZZ_CHECK(label == "ALL" || label == "REC");
    return 0;
}
