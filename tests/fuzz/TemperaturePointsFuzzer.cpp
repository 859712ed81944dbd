// The point table of a temperature sensor.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "functions/TemperaturePoints.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    std::vector<kvt::functions::TemperaturePoint> rows =
        kvt::functions::ParseTemperaturePoints(reply);

    std::string_view body = reply;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        body.remove_suffix(1);
    }
    // One row per entry, the text after the last comma included.
    KVT_FUZZ_CHECK(rows.size() ==
                   static_cast<size_t>(std::count(body.begin(), body.end(), ',')) + 1);
    size_t cells = 0;
    for (const auto& row : rows) {
        KVT_FUZZ_CHECK(row.voltage.find_first_of(",|") == std::string::npos);
        KVT_FUZZ_CHECK(row.temperature.find(',') == std::string::npos);
        cells += row.voltage.size() + row.temperature.size();
    }
    KVT_FUZZ_CHECK(cells <= body.size());
    return 0;
}
