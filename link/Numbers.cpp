#include "link/Numbers.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

#include <locale.h>
#include <stdlib.h>

namespace kvt::link {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips leading white space and one sign; returns whether it was a minus.
bool SkipSpaceAndSign(const char*& p, const char* end) {
    while (p != end && IsCSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    return negative;
}

// A decimal number beyond what from_chars returns (overflow, underflow,
// and subnormals in some libraries): converted by the C library in the C
// locale, which gives ±HUGE_VAL, 0 or the subnormal as strtod does.
double ConvertOutOfRange(const char* begin, const char* end) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::string text(begin, end);
    return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace

double ParseNumber(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    bool negative = SkipSpaceAndSign(p, end);
    // A number starts with a digit, or a point followed by a digit.
    bool starts = p != end && (IsDigit(*p) || (*p == '.' && p + 1 != end && IsDigit(p[1])));
    if (!starts) {
        return 0.0;
    }
    double value = 0.0;
    auto [last, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        value = ConvertOutOfRange(p, last);
    } else if (error != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

int ParseInteger(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    bool negative = SkipSpaceAndSign(p, end);
    long long value = 0;
    while (p != end && IsDigit(*p)) {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    value = negative ? -value : value;
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

int ParseTruncatedInteger(std::string_view text) {
    double value = std::trunc(ParseNumber(text));
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

std::string FormatFixed(double value, int decimals) {
    // The largest double written in fixed notation has 309 integer digits.
    std::array<char, 512> text;
    auto [last, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                       std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return {};
    }
    return std::string(text.data(), last);
}

std::string FormatInteger(long long value) {
    std::array<char, 24> text;
    auto [last, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    (void)error;  // 24 characters hold every long long
    return std::string(text.data(), last);
}

std::string FormatTruncated(double value) {
    return FormatFixed(std::trunc(value), 0);
}

}  // namespace kvt::link
