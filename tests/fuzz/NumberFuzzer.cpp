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

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// strtod also reads hexadecimal, inf and nan, which replies never carry
// and ParseNumber deliberately reads as 0. Only the number's start (after
// blanks and one sign) decides: elsewhere those letters end the number for
// both.
bool StartsNonDecimal(const std::string& text) {
    std::string_view rest(text.c_str());  // strtod stops at a zero byte
    while (!rest.empty() && IsCSpace(rest.front())) {
        rest.remove_prefix(1);
    }
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        rest.remove_prefix(1);
    }
    return StartsWithNoCase(rest, "inf") || StartsWithNoCase(rest, "nan") ||
           StartsWithNoCase(rest, "0x");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    double parsed = kvt::link::ParseNumber(text);
    if (StartsNonDecimal(text)) {
        KVT_FUZZ_CHECK(parsed == 0);
    } else {
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
