#include "sim/ScpiText.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace kvt::sim::scpi {
namespace {

// 10^k for |k| <= 300, correctly rounded, built once.
double PowerOfTen(int k) {
    static const std::array<double, 601> table = [] {
        std::array<double, 601> powers{};
        for (int i = -300; i <= 300; ++i) {
            std::string text = "1e" + std::to_string(i);
            std::from_chars(text.data(), text.data() + text.size(), powers[i + 300]);
        }
        return powers;
    }();
    return table[static_cast<size_t>(k + 300)];
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> SplitUnits(std::string_view message) {
    std::vector<std::string_view> units;
    char quote = 0;
    size_t start = 0;
    for (size_t i = 0; i <= message.size(); ++i) {
        char c = i < message.size() ? message[i] : ';';
        if (quote != 0) {
            if (c == quote || i == message.size()) {
                quote = 0;
            }
            if (i < message.size()) {
                continue;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c == ';') {
            std::string_view unit = Trim(message.substr(start, i - start));
            if (!unit.empty()) {
                units.push_back(unit);
            }
            start = i + 1;
        }
    }
    return units;
}

ProgramUnit ParseUnit(std::string_view unit) {
    ProgramUnit parsed;
    size_t end = 0;
    while (end < unit.size() && !IsSpace(unit[end])) {
        ++end;
    }
    parsed.header = unit.substr(0, end);
    parsed.argument = Trim(unit.substr(end));
    parsed.query = !parsed.header.empty() && parsed.header.back() == '?';
    return parsed;
}

void SplitHeader(std::string_view header, std::vector<std::string_view>& nodes) {
    nodes.clear();
    if (!header.empty() && header.back() == '?') {
        header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == ':') {
        header.remove_prefix(1);
    }
    size_t start = 0;
    while (true) {
        size_t colon = header.find(':', start);
        nodes.push_back(header.substr(
            start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
        if (colon == std::string_view::npos) {
            break;
        }
        start = colon + 1;
    }
}

bool ParseNumber(std::string_view text, double& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return false;
        }
    }
    if (text.empty()) {
        return false;
    }
    double parsed = 0;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseBoolean(std::string_view text, bool& value) {
    text = Trim(text);
    if (EqualsNoCase(text, "ON") || text == "1") {
        value = true;
        return true;
    }
    if (EqualsNoCase(text, "OFF") || text == "0") {
        value = false;
        return true;
    }
    // A numeric boolean is ON when it rounds to anything but zero.
    double number = 0;
    if (ParseNumber(text, number)) {
        value = std::round(number) != 0;
        return true;
    }
    return false;
}

bool ParseQuoted(std::string_view text, std::string& value) {
    text = Trim(text);
    if (text.size() < 2 || (text.front() != '"' && text.front() != '\'') ||
        text.back() != text.front()) {
        return false;
    }
    std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.find(text.front()) != std::string_view::npos) {
        return false;
    }
    value.assign(inner);
    return true;
}

std::vector<std::string_view> SplitArguments(std::string_view text) {
    std::vector<std::string_view> parts;
    text = Trim(text);
    if (text.empty()) {
        return parts;
    }
    char quote = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ',') {
            parts.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    parts.push_back(Trim(text.substr(start)));
    return parts;
}

void AppendScientific(std::string& out, double value) {
    if (!std::isfinite(value)) {
        value = 9.91e37;  // the SCPI "not a number"
    }
    // Nine significant digits by integer arithmetic: readings are formatted
    // by the ten thousand for trend replies, where a general-purpose
    // formatter is too slow. The last digit may differ from correct rounding
    // by one unit; every reply uses this same routine.
    char text[24];
    char* p = text;
    *p++ = std::signbit(value) ? '-' : '+';
    double magnitude = std::fabs(value);
    int exponent = 0;
    uint64_t digits = 0;
    if (magnitude >= 1e-290 && magnitude < 1e290) {
        int binary = 0;
        std::frexp(magnitude, &binary);
        exponent = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
        if (magnitude >= PowerOfTen(exponent + 1)) {
            ++exponent;
        } else if (magnitude < PowerOfTen(exponent)) {
            --exponent;
        }
        // magnitude * 10^(8 - exponent) lies in [1e8, 1e9).
        int shift = 8 - exponent;
        double scaled = shift >= 0 ? magnitude * PowerOfTen(shift) : magnitude / PowerOfTen(-shift);
        digits = static_cast<uint64_t>(scaled + 0.5);
        if (digits >= 1000000000ULL) {
            digits /= 10;
            ++exponent;
        } else if (digits < 100000000ULL) {
            digits = 100000000ULL;
        }
    }
    char mantissa[9];
    for (int i = 8; i >= 0; --i) {
        mantissa[i] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    *p++ = mantissa[0];
    *p++ = '.';
    for (int i = 1; i < 9; ++i) {
        *p++ = mantissa[i];
    }
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) {
        *p++ = static_cast<char>('0' + e / 100);
    }
    *p++ = static_cast<char>('0' + e / 10 % 10);
    *p++ = static_cast<char>('0' + e % 10);
    out.append(text, p);
}

std::string Scientific(double value) {
    std::string text;
    AppendScientific(text, value);
    return text;
}

void AppendInteger(std::string& out, int64_t value) {
    char text[24];
    char* begin = text + 1;
    auto [end, ec] = std::to_chars(begin, text + sizeof text, value);
    if (ec != std::errc()) {
        out += "+0";
        return;
    }
    if (*begin != '-') {
        --begin;
        *begin = '+';
    }
    out.append(begin, end);
}

}  // namespace kvt::sim::scpi
