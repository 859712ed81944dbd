// The trend record reply, in both orders.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "functions/KVTTrendData.h"
#include "functions/TrendReply.h"
#include "link/ReadingReply.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using kvt::functions::KVTTrendData;

// Kept between inputs, as the program keeps its record between cycles.
KVTTrendData& Record(int which) {
    static std::unique_ptr<KVTTrendData> records[2]{std::make_unique<KVTTrendData>(),
                                                    std::make_unique<KVTTrendData>()};
    return *records[which];
}

void CheckExtremes(const KVTTrendData& trend) {
    if (trend.count == 0) {
        return;
    }
    KVT_FUZZ_CHECK(trend.minimum <= trend.maximum);
    KVT_FUZZ_CHECK(trend.minimum <= trend.values[0] && trend.values[0] <= trend.maximum);
    for (int i = 1; i < trend.count; ++i) {
        double value = trend.values[i];
        if (value > -kvt::link::kOverloadLevel) {
            KVT_FUZZ_CHECK(trend.minimum <= value);
        }
        if (value < kvt::link::kOverloadLevel) {
            KVT_FUZZ_CHECK(trend.maximum >= value);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    KVTTrendData& all = Record(0);
    KVTTrendData& recent = Record(1);
    kvt::functions::ParseTrendReply(reply, false, all);
    kvt::functions::ParseTrendReply(reply, true, recent);

    bool blank = reply.find_first_not_of(" \t\r\n") == std::string_view::npos;
    size_t fields = static_cast<size_t>(std::count(reply.begin(), reply.end(), ',')) + 1;
    size_t expected =
        blank ? 0 : std::min(fields, static_cast<size_t>(kvt::functions::kTrendCapacity));
    KVT_FUZZ_CHECK(all.count >= 0 && static_cast<size_t>(all.count) == expected);
    KVT_FUZZ_CHECK(recent.count == all.count);
    // The recent record is the same values, newest last.
    for (int i = 0; i < all.count; ++i) {
        KVT_FUZZ_CHECK(recent.values[i] == all.values[all.count - 1 - i]);
    }
    CheckExtremes(all);
    CheckExtremes(recent);
    return 0;
}
