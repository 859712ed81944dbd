#include "visa/SearchExpression.h"

#include <cstring>

namespace kvt::visa {
namespace {

// Translates the VISA pattern into an ECMAScript pattern; nullopt when the
// pattern is malformed (a repeat with nothing before it, an open set or group).
std::optional<std::string> Translate(std::string_view in) {
    std::string out;
    bool canRepeat = false;
    int depth = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        switch (c) {
            case '?':
                out += '.';
                canRepeat = true;
                break;
            case '*':
            case '+':
                if (!canRepeat) {
                    return std::nullopt;
                }
                out += c;
                canRepeat = false;
                break;
            case '[': {
                size_t end = in.find(']', i + 1 + (i + 1 < in.size() && in[i + 1] == '^' ? 1 : 0));
                if (end == std::string_view::npos || end == i + 1) {
                    return std::nullopt;
                }
                out += '[';
                for (size_t j = i + 1; j < end; ++j) {
                    char s = in[j];
                    if (s == '\\' || (s == '[' || s == ']')) {
                        out += '\\';
                    }
                    out += s;
                }
                out += ']';
                i = end;
                canRepeat = true;
                break;
            }
            case '(':
                ++depth;
                out += '(';
                canRepeat = false;
                break;
            case ')':
                if (depth == 0) {
                    return std::nullopt;
                }
                --depth;
                out += ')';
                canRepeat = true;
                break;
            case '|':
                out += '|';
                canRepeat = false;
                break;
            case '\\':
                if (i + 1 >= in.size()) {
                    return std::nullopt;
                }
                c = in[++i];
                [[fallthrough]];
            default:
                if (std::strchr(".^$|()[]{}*+?\\/", c) != nullptr) {
                    out += '\\';
                }
                out += c;
                canRepeat = true;
                break;
        }
    }
    if (depth != 0 || in.empty()) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::optional<SearchExpression> SearchExpression::Compile(std::string_view expression) {
    std::optional<std::string> pattern = Translate(expression);
    if (!pattern) {
        return std::nullopt;
    }
    try {
        return SearchExpression(std::regex(
            *pattern, std::regex::ECMAScript | std::regex::icase | std::regex::optimize));
    } catch (const std::regex_error&) {
        return std::nullopt;
    }
}

bool SearchExpression::Matches(std::string_view resourceName) const {
    return std::regex_match(resourceName.begin(), resourceName.end(), m_regex);
}

}  // namespace kvt::visa
