#include "link/ReadingReply.h"

#include "link/Numbers.h"

namespace kvt::link {

bool IsOverload(std::string_view text) {
    double value = ParseNumber(text);
    return value >= kOverloadLevel || value <= -kOverloadLevel;
}

std::string ReadingFromReply(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    // The instrument may follow the number with a blank and a unit word.
    std::string_view number = reply.substr(0, reply.find(' '));
    if (IsOverload(number)) {
        return std::string(kOverloadText);
    }
    std::string text = FormatFixed(ParseNumber(number), 12);
    if (text.find('-') == std::string::npos) {
        text.insert(text.begin(), '+');
    }
    return text;
}

std::string MeterNumberFromReply(std::string_view reply) {
    std::string_view number = reply.substr(0, reply.find(' '));
    size_t end = number.find_last_not_of("\r\n\t");
    return std::string(number.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

std::string FunctionNameFromReply(std::string_view reply) {
    size_t first = reply.find('"');
    size_t last = reply.rfind('"');
    if (first == std::string_view::npos || first == last) {
        return std::string(reply);
    }
    return std::string(reply.substr(first + 1, last - first - 1));
}

}  // namespace kvt::link
