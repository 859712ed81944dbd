#include "link/SettingReply.h"

#include <cmath>
#include <limits>

#include "link/Numbers.h"
#include "link/ReplyFields.h"

namespace kvt::link {
namespace {

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string_view WithoutTerminator(std::string_view reply) {
    if (!reply.empty()) {
        reply.remove_suffix(1);
    }
    return reply;
}

}  // namespace

std::string AutoRangeLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    return Contains(reply, "0") ? "Manual" : "Auto";
}

std::string OnOffLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    return Contains(reply, "0") ? "Off" : "On";
}

std::string SpeedLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    double cycles = ParseNumber(reply);
    if (cycles <= 0.5) {
        return "Fast";
    }
    return cycles <= 1 ? "Middle" : "Slow";
}

std::string InputImpedanceLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    return Contains(reply, "10M") ? "10M" : "10G";
}

std::string BeeperLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    return Contains(reply, "1") ? "On" : "Off";
}

std::string TemperatureUnitLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    if (Contains(reply, "C")) {
        return "℃";
    }
    return Contains(reply, "F") ? "℉" : "K";
}

std::string ContinuityThresholdLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    double value = ParseNumber(WithoutTerminator(reply));
    // The threshold is kept in single precision; a value beyond its range
    // keeps its double value rather than turning into infinity.
    if (std::fabs(value) <= std::numeric_limits<float>::max()) {
        value = static_cast<double>(static_cast<float>(value));
    }
    std::string text = FormatFixed(value, 0);
    bool negative = !text.empty() && text.front() == '-';
    size_t width = 4;
    if (text.size() < width) {
        text.insert(negative ? 1 : 0, width - text.size(), '0');
    }
    if (!Contains(text, "+") && !Contains(text, "-")) {
        text.insert(text.begin(), '+');
    }
    return text;
}

std::string TransducerNameFromReply(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    std::string_view text = WithoutTerminator(reply);
    size_t comma = text.rfind(',');
    if (comma != std::string_view::npos) {
        text.remove_prefix(comma + 1);
    }
    return std::string(text);
}

std::string SecondaryReadingFromReply(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    std::string_view text = WithoutTerminator(reply);
    size_t bar = text.find('|');
    size_t begin = bar == std::string_view::npos ? 0 : bar + 1;
    size_t comma = text.rfind(',');
    size_t end = comma == std::string_view::npos || comma < begin ? text.size() : comma;
    std::string value(text.substr(begin, end - begin));
    if (!Contains(value, "-") && !Contains(value, "+")) {
        value.insert(value.begin(), '+');
    }
    return value;
}

bool AppendTransducerNames(std::string_view reply, std::vector<std::string>& names) {
    if (reply.empty()) {
        return false;
    }
    std::string_view list = WithoutTerminator(reply);
    if (list == "NONE") {
        return true;
    }
    for (std::string_view entry : SplitFields(list)) {
        size_t blank = entry.find(' ');
        if (blank != std::string_view::npos) {
            entry.remove_prefix(blank + 1);
        }
        names.emplace_back(entry);
    }
    return true;
}

std::string ScaleFunctionLabel(std::string_view reply) {
    std::string_view function = reply.substr(0, reply.find(';'));
    // The instrument ends its reply with a line terminator; "DB\n" is "DB".
    while (!function.empty() && (function.back() == '\n' || function.back() == '\r')) {
        function.remove_suffix(1);
    }
    return function == "DB" ? "dB" : "dBm";
}

std::string TrendModeLabel(std::string_view reply) {
    return Contains(reply, "ALL") ? "ALL" : "REC";
}

}  // namespace kvt::link
