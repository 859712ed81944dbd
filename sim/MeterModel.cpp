#include "sim/MeterModel.h"

#include <cctype>
#include <cstdio>

namespace kvt::sim {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Scientific(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.8E", value);
    return text;
}

}  // namespace

MeterModel::MeterModel(uint64_t seed) : seed_(seed), rngState_(seed) {}

void MeterModel::ReceiveMessage(std::string_view message) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A message may hold several commands separated by ';'.
    size_t start = 0;
    while (start <= message.size()) {
        size_t end = message.find(';', start);
        std::string_view command = Trim(message.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (!command.empty()) {
            ExecuteLocked(command);
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
}

std::string MeterModel::TakeResponse() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (output_.empty()) {
        return {};
    }
    std::string response = std::move(output_.front());
    output_.pop_front();
    return response;
}

void MeterModel::DeviceClear() {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.clear();
}

uint8_t MeterModel::StatusByte() {
    std::lock_guard<std::mutex> lock(mutex_);
    uint8_t stb = 0;
    if (!errors_.empty()) {
        stb |= 0x04;  // error/event queue not empty
    }
    if (!output_.empty()) {
        stb |= 0x10;  // message available
    }
    return stb;
}

void MeterModel::ResetLocked() {
    output_.clear();
    rngState_ = seed_;
}

void MeterModel::PushErrorLocked(int code, std::string_view text) {
    if (errors_.size() >= 20) {
        errors_.back() = "-350,\"Queue overflow\"";
        return;
    }
    errors_.push_back(std::to_string(code) + ",\"" + std::string(text) + "\"");
}

double MeterModel::NextReadingLocked() {
    // xorshift64*: deterministic noise for a given seed.
    rngState_ ^= rngState_ >> 12;
    rngState_ ^= rngState_ << 25;
    rngState_ ^= rngState_ >> 27;
    uint64_t r = rngState_ * 2685821657736338717ULL;
    double unit = static_cast<double>(r >> 11) / 9007199254740992.0;  // [0, 1)
    return 1.234 + (unit - 0.5) * 2e-5;
}

void MeterModel::ExecuteLocked(std::string_view command) {
    size_t space = command.find(' ');
    std::string header = Upper(command.substr(0, space));
    std::string_view argument =
        space == std::string_view::npos ? std::string_view{} : Trim(command.substr(space + 1));
    if (header == "*IDN?") {
        output_.push_back(std::string(kIdentity) + "\n");
    } else if (header == "*RST") {
        ResetLocked();
    } else if (header == "*CLS") {
        errors_.clear();
    } else if (header == "SYST:ERR?" || header == "SYSTEM:ERROR?") {
        if (errors_.empty()) {
            output_.push_back("+0,\"No error\"\n");
        } else {
            output_.push_back(errors_.front() + "\n");
            errors_.pop_front();
        }
    } else if (header == "ECHO?") {
        // Test aid: answers its argument unchanged.
        output_.push_back(std::string(argument) + "\n");
    } else if (header == "DATA:LAST?") {
        output_.push_back(Scientific(NextReadingLocked()) + " VDC\n");
    } else {
        PushErrorLocked(-113, "Undefined header");
    }
}

}  // namespace kvt::sim
