#include "link/ReplyCheck.h"

namespace kvt::link {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Consumes a run of digits; returns how many there were.
size_t SkipDigits(std::string_view text, size_t& at) {
    size_t start = at;
    while (at < text.size() && IsDigit(text[at])) {
        ++at;
    }
    return at - start;
}

bool IsNumberText(std::string_view text) {
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    size_t digits = SkipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += SkipDigits(text, at);
    }
    if (digits == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        if (SkipDigits(text, at) == 0) {
            return false;
        }
    }
    return at == text.size();
}

}  // namespace

bool IsNumberListReply(std::string_view reply, bool lastMayBeCut) {
    std::string_view text = Trimmed(reply);
    if (lastMayBeCut) {
        size_t comma = text.rfind(',');
        text = comma == std::string_view::npos ? std::string_view() : text.substr(0, comma);
    }
    if (text.empty()) {
        return true;
    }
    while (true) {
        size_t comma = text.find(',');
        if (!IsNumberText(Trimmed(text.substr(0, comma)))) {
            return false;
        }
        if (comma == std::string_view::npos) {
            return true;
        }
        text.remove_prefix(comma + 1);
    }
}

bool IsWordReply(std::string_view reply) {
    std::string_view text = Trimmed(reply);
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
            return false;
        }
    }
    return true;
}

bool IsSensorReadingReply(std::string_view reply) {
    std::string_view text = Trimmed(reply);
    size_t bar = text.find('|');
    size_t begin = bar == std::string_view::npos ? 0 : bar + 1;
    size_t comma = text.rfind(',');
    size_t end = comma == std::string_view::npos || comma < begin ? text.size() : comma;
    return IsNumberText(Trimmed(text.substr(begin, end - begin)));
}

bool IsNumberReply(std::string_view reply) {
    return IsNumberText(Trimmed(reply));
}

bool IsReadingReply(std::string_view reply) {
    // The reading is taken from the start of the reply up to its first
    // blank, so a leading blank would leave no number to read.
    std::string_view text = Trimmed(reply);
    if (text.size() != reply.size() && !reply.empty() && IsBlank(reply.front())) {
        return false;
    }
    size_t blank = text.find(' ');
    if (blank == std::string_view::npos) {
        return IsNumberText(text);
    }
    std::string_view unit = text.substr(blank + 1);
    if (unit.empty()) {
        return false;
    }
    for (char c : unit) {
        if (static_cast<unsigned char>(c) < 0x21 || c == '\x7F') {
            return false;
        }
    }
    return IsNumberText(text.substr(0, blank));
}

}  // namespace kvt::link
