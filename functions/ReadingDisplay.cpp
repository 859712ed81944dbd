#include "functions/ReadingDisplay.h"

#include "functions/CKVTFunction.h"
#include "link/Numbers.h"
#include "link/ReadingReply.h"

namespace kvt::functions {
namespace {

constexpr size_t kDisplayWidth = 8;
constexpr size_t kScaledWidth = 7;

bool IsShownAsItStands(const std::string& reading) {
    return reading == CKVTFunction::kPlaceholder || reading == link::kOverloadText;
}

}  // namespace

std::string PaddedReadingText(const std::string& reading, const DisplayScale& scale) {
    if (IsShownAsItStands(reading)) {
        return reading;
    }
    std::string text = reading;
    if (scale.multiplier != 1 || scale.divisor != 1) {
        text = link::FormatFixed(link::ParseNumber(reading) * scale.multiplier / scale.divisor, 12);
    }
    if (text.find_first_of("+-") == std::string::npos) {
        text.insert(text.begin(), '+');
    }
    size_t point = text.find('.');
    if (point != std::string::npos) {
        // The sign sits before the integer digits, hence the + 1.
        int zeros = scale.digits - static_cast<int>(point) + 1;
        if (zeros > 0) {
            text.insert(1, static_cast<size_t>(zeros), '0');
        }
    }
    return text.substr(0, kDisplayWidth);
}

std::string ScaledReadingText(const std::string& reading) {
    if (IsShownAsItStands(reading)) {
        return reading;
    }
    return reading.substr(0, kScaledWidth);
}

int LeadingDigits(const std::string& range) {
    int digits = 0;
    while (static_cast<size_t>(digits) < range.size() &&
           range[static_cast<size_t>(digits)] >= '0' && range[static_cast<size_t>(digits)] <= '9') {
        ++digits;
    }
    return digits;
}

}  // namespace kvt::functions
