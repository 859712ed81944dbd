#include "visa/SearchExpression.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

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

// One item of an expression at its outer level: a fixed character, or
// something that is not (a '?', a set, a group), with how it repeats.
struct Atom {
    bool fixed = false;
    char c = 0;
    char repeat = 0;  // '*', '+' or none
};

size_t SetEnd(std::string_view in, size_t open) {
    size_t first = open + 1 + (open + 1 < in.size() && in[open + 1] == '^' ? 1 : 0);
    size_t end = in.find(']', first);
    return end == std::string_view::npos ? in.size() : end;
}

size_t GroupEnd(std::string_view in, size_t open) {
    int depth = 0;
    for (size_t i = open; i < in.size(); ++i) {
        if (in[i] == '\\') {
            ++i;
        } else if (in[i] == '[') {
            i = SetEnd(in, i);
        } else if (in[i] == '(') {
            ++depth;
        } else if (in[i] == ')' && --depth == 0) {
            return i;
        }
    }
    return in.size();
}

// The outer-level items of a well-formed expression; nullopt when '|'
// splits the whole expression into alternatives.
std::optional<std::vector<Atom>> OuterAtoms(std::string_view in) {
    std::vector<Atom> atoms;
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if ((c == '*' || c == '+') && !atoms.empty()) {
            atoms.back().repeat = c;
            continue;
        }
        Atom atom;
        if (c == '|') {
            return std::nullopt;
        } else if (c == '[') {
            i = SetEnd(in, i);
        } else if (c == '(') {
            i = GroupEnd(in, i);
        } else if (c == '\\' && i + 1 < in.size()) {
            atom = {true, in[++i], 0};
        } else if (c != '?') {
            atom = {true, c, 0};
        }
        atoms.push_back(atom);
    }
    return atoms;
}

// The characters every match begins with, taken from atoms in order
// (reversed by the caller for the end).
template <typename It>
std::string FixedRun(It begin, It end) {
    std::string run;
    for (It a = begin; a != end && a->fixed && a->repeat != '*'; ++a) {
        run += a->c;
        if (a->repeat == '+') {
            break;  // more of the same may follow
        }
    }
    return run;
}

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::optional<SearchExpression> SearchExpression::Compile(std::string_view expression) {
    std::optional<std::string> pattern = Translate(expression);
    if (!pattern) {
        return std::nullopt;
    }
    std::string fixedStart;
    std::string fixedEnd;
    if (std::optional<std::vector<Atom>> atoms = OuterAtoms(expression)) {
        fixedStart = FixedRun(atoms->begin(), atoms->end());
        fixedEnd = FixedRun(atoms->rbegin(), atoms->rend());
        std::reverse(fixedEnd.begin(), fixedEnd.end());
    }
    try {
        return SearchExpression(
            std::regex(*pattern, std::regex::ECMAScript | std::regex::icase | std::regex::optimize),
            std::move(fixedStart), std::move(fixedEnd));
    } catch (const std::regex_error&) {
        return std::nullopt;
    }
}

bool SearchExpression::Matches(std::string_view resourceName) const {
    return std::regex_match(resourceName.begin(), resourceName.end(), m_regex);
}

bool SearchExpression::MayMatch(std::string_view prefix, std::string_view suffix) const {
    size_t start = std::min(prefix.size(), m_fixedStart.size());
    size_t end = std::min(suffix.size(), m_fixedEnd.size());
    return SameLetters(prefix.substr(0, start), std::string_view(m_fixedStart).substr(0, start)) &&
           SameLetters(suffix.substr(suffix.size() - end),
                       std::string_view(m_fixedEnd).substr(m_fixedEnd.size() - end));
}

}  // namespace kvt::visa
