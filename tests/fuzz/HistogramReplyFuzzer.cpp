// The histogram reply with automatic and with manual binning. The first
// byte chooses the binning; the rest is the reply.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "functions/HistogramReply.h"
#include "functions/KVTHistogramData.h"
#include "link/Numbers.h"
#include "link/ReplyFields.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using kvt::functions::kHistogramCapacity;
using kvt::functions::KVTHistogramData;

// Kept between inputs, as the program keeps its record between cycles, so
// that bins left over from a longer reply are caught.
KVTHistogramData& Record() {
    static std::unique_ptr<KVTHistogramData> record = std::make_unique<KVTHistogramData>();
    return *record;
}

// The sum of the integer fields first to end - 1 (exact: at most 102,400
// fields of at most 2^31 each stay far below 2^53).
double SumOfCounts(const std::vector<std::string_view>& fields, size_t first, size_t end) {
    double sum = 0;
    for (size_t i = first; i < end && i < fields.size(); ++i) {
        sum += kvt::link::ParseInteger(fields[i]);
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    int autoRange = data[0] & 1;
    std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);
    KVTHistogramData& histogram = Record();
    kvt::functions::ParseHistogramReply(reply, autoRange, histogram);

    KVT_FUZZ_CHECK(histogram.binCount >= 0 && histogram.binCount <= kHistogramCapacity);
    KVT_FUZZ_CHECK(histogram.autoRange == autoRange);
    double binned = 0;
    for (int i = 0; i < histogram.binCount; ++i) {
        binned += histogram.bins[static_cast<size_t>(i)];
    }
    // Bins past the count stay zero. Only bins below the largest count seen
    // so far (and a margin for a write past the count) can have been
    // written, so the check stops there to keep each run short.
    static int mostBins = 0;
    mostBins = std::max(mostBins, histogram.binCount);
    int checkedEnd = std::min(kHistogramCapacity, mostBins + 1024);
    for (int i = histogram.binCount; i < checkedEnd; ++i) {
        KVT_FUZZ_CHECK(histogram.bins[static_cast<size_t>(i)] == 0);
    }

    bool blank = reply.find_first_not_of(" \t\r\n") == std::string_view::npos;
    std::vector<std::string_view> fields;
    if (!blank) {
        fields = kvt::link::SplitFields(reply);
    }
    // Lower, upper, points and the first count lead; the last count ends.
    if (fields.size() < 5) {
        KVT_FUZZ_CHECK(histogram.binCount == 0);
        return 0;
    }
    size_t countEnd = fields.size() - 1;
    KVT_FUZZ_CHECK(histogram.lastCount == kvt::link::ParseInteger(fields.back()));
    if (autoRange != 0) {
        const int allowed[] = {10, 20, 40, 100};
        KVT_FUZZ_CHECK(std::find(std::begin(allowed), std::end(allowed), histogram.binCount) !=
                       std::end(allowed));
        // Every one of the 400 counts present lands in exactly one bin.
        KVT_FUZZ_CHECK(binned == SumOfCounts(fields, 4, std::min<size_t>(countEnd, 404)));
    } else {
        size_t bins = std::min(countEnd - 4, static_cast<size_t>(kHistogramCapacity));
        KVT_FUZZ_CHECK(static_cast<size_t>(histogram.binCount) == bins);
        KVT_FUZZ_CHECK(binned == SumOfCounts(fields, 4, 4 + bins));
    }
    return 0;
}
