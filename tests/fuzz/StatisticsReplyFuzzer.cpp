// The statistics replies: the four averaged fields, the span and the count.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "functions/KVTStatistics.h"
#include "functions/StatisticsReply.h"
#include "link/Numbers.h"
#include "link/ReadingReply.h"
#include "link/ReplyFields.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// "Overload" exactly when the field's number is an overload, else the
// field as it stands.
void CheckShown(const std::string& shown, std::string_view field) {
    if (kvt::link::IsOverload(field)) {
        KVT_FUZZ_CHECK(shown == kvt::link::kOverloadText);
    } else {
        KVT_FUZZ_CHECK(shown == field);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    kvt::functions::KVTStatistics statistics;
    kvt::functions::ApplyAverageFields(reply, statistics);
    std::vector<std::string_view> fields = kvt::link::SplitFields(reply);
    const std::string* shown[] = {&statistics.average, &statistics.standardDeviation,
                                  &statistics.maximum, &statistics.minimum};
    for (size_t i = 0; i < 4; ++i) {
        if (i < fields.size()) {
            CheckShown(*shown[i], fields[i]);
        } else {
            KVT_FUZZ_CHECK(shown[i]->empty());
        }
    }

    CheckShown(kvt::functions::StatisticText(reply), reply);

    // The count: truncated toward zero, never further from zero than the
    // value, held to the int range.
    double value = kvt::link::ParseNumber(reply);
    int count = kvt::functions::CountFromValue(value);
    KVT_FUZZ_CHECK(std::fabs(static_cast<double>(count)) <= std::fabs(value));
    KVT_FUZZ_CHECK(count == 0 || (count > 0) == (value > 0));
    if (std::fabs(value) < 2147483647.0) {
        KVT_FUZZ_CHECK(static_cast<double>(count) == std::trunc(value));
    }
    return 0;
}
