// The number conversions, checked against the C library's own conversion
// in the C locale for every input that is plain decimal text.
#include <locale.h>
#include <stdlib.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/Numbers.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

locale_t CLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

// strtod also reads hexadecimal, inf and nan, which replies never carry
// and ParseNumber deliberately does not accept.
bool HasNonDecimalForm(const std::string& text) {
    for (char c : text) {
        if (c == 'x' || c == 'X' || c == 'i' || c == 'I' || c == 'n' || c == 'N') {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    double parsed = kvt::link::ParseNumber(text);
    if (!HasNonDecimalForm(text)) {
        double reference = strtod_l(text.c_str(), nullptr, CLocale());
        // Text with a zero byte stops there for strtod; ParseNumber stops too.
        KVT_FUZZ_CHECK(parsed == reference || (std::isnan(parsed) && std::isnan(reference)));
    }
    long long reference = strtoll(text.c_str(), nullptr, 10);
    long long clamped = reference > INT_MAX ? INT_MAX : reference < INT_MIN ? INT_MIN : reference;
    KVT_FUZZ_CHECK(kvt::link::ParseInteger(text) == clamped);
    (void)kvt::link::ParseTruncatedInteger(text);

    if (std::isfinite(parsed)) {
        std::string fixed = kvt::link::FormatFixed(parsed, 12);
        KVT_FUZZ_CHECK(!fixed.empty() && fixed.find(',') == std::string::npos);
        // Twelve decimals lose at most half a unit of the last one.
        double back = kvt::link::ParseNumber(fixed);
        KVT_FUZZ_CHECK(std::fabs(back - parsed) <= 0.5e-12 + std::fabs(parsed) * 4e-16);
    }
    return 0;
}
