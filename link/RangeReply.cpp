#include "link/RangeReply.h"

#include "link/Numbers.h"

namespace kvt::link {
namespace {

// The reply without its terminator and, when asked, without its sign.
std::string_view RangeNumberText(std::string_view reply, bool dropFirst) {
    reply.remove_suffix(1);
    if (dropFirst && !reply.empty()) {
        reply.remove_prefix(1);
    }
    return reply;
}

}  // namespace

std::string VoltRangeLabel(std::string_view reply, bool dropSign) {
    if (reply.empty()) {
        return {};
    }
    double volts = ParseNumber(RangeNumberText(reply, dropSign));
    if (volts < 1) {
        return "200mV";
    }
    return FormatTruncated(volts) + "V";
}

std::string CurrentRangeLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    double amps = ParseNumber(RangeNumberText(reply, true));
    if (amps < 0.001) {
        return FormatTruncated(amps * 1000000) + "uA";
    }
    if (amps < 1) {
        return FormatTruncated(amps * 1000) + "mA";
    }
    return FormatTruncated(amps) + "A";
}

std::string ResistanceRangeLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    double ohms = ParseNumber(RangeNumberText(reply, false));
    if (ohms < 1000) {
        return FormatTruncated(ohms) + "Ω";
    }
    if (ohms < 1000000) {
        return FormatTruncated(ohms / 1000) + "KΩ";
    }
    return FormatTruncated(ohms / 1000000) + "MΩ";
}

std::string CapacitanceRangeLabel(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    double farads = ParseNumber(RangeNumberText(reply, true));
    if (farads < 0.000001) {
        return FormatFixed(farads * 1000000000, 0) + "nF";
    }
    return FormatFixed(farads * 1000000, 0) + "uF";
}

}  // namespace kvt::link
