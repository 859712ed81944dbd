#include "sim/CommandContext.h"

#include "sim/HeaderPattern.h"

namespace kvt::sim {

bool CommandContext::Present() {
    if (unit.argument.empty()) {
        errors.Push(-109, "Missing parameter");
        return false;
    }
    return true;
}

bool CommandContext::NoArgument() {
    if (!unit.argument.empty()) {
        errors.Push(-108, "Parameter not allowed");
        return false;
    }
    return true;
}

bool CommandContext::PlainNumber(double& value) {
    if (!Present()) {
        return false;
    }
    if (!scpi::ParseNumber(unit.argument, value)) {
        errors.Push(-104, "Data type error");
        return false;
    }
    return true;
}

bool CommandContext::Number(double& value, double min, double max, double def) {
    if (!Present()) {
        return false;
    }
    static const HeaderPattern kMin("MINimum");
    static const HeaderPattern kMax("MAXimum");
    static const HeaderPattern kDef("DEFault");
    std::string_view word = unit.argument;
    std::span<const std::string_view> one(&word, 1);
    if (kMin.Matches(one)) {
        value = min;
        return true;
    }
    if (kMax.Matches(one)) {
        value = max;
        return true;
    }
    if (kDef.Matches(one)) {
        value = def;
        return true;
    }
    double parsed = 0;
    if (!scpi::ParseNumber(unit.argument, parsed)) {
        errors.Push(-104, "Data type error");
        return false;
    }
    if (parsed < min || parsed > max) {
        errors.Push(-222, "Data out of range");
        return false;
    }
    value = parsed;
    return true;
}

bool CommandContext::Boolean(bool& value) {
    if (!Present()) {
        return false;
    }
    if (!scpi::ParseBoolean(unit.argument, value)) {
        errors.Push(-224, "Illegal parameter value");
        return false;
    }
    return true;
}

bool CommandContext::Choice(std::span<const std::string_view> words, size_t& index) {
    if (!Present()) {
        return false;
    }
    std::string_view word = unit.argument;
    std::span<const std::string_view> one(&word, 1);
    for (size_t i = 0; i < words.size(); ++i) {
        if (HeaderPattern(words[i]).Matches(one)) {
            index = i;
            return true;
        }
    }
    errors.Push(-224, "Illegal parameter value");
    return false;
}

void CommandContext::Reply(std::string_view text) {
    m_reply += text;
    m_reply += '\n';
}

void CommandContext::ReplyNumber(double value) {
    scpi::AppendScientific(m_reply, value);
    m_reply += '\n';
}

void CommandContext::ReplyInteger(int64_t value) {
    scpi::AppendInteger(m_reply, value);
    m_reply += '\n';
}

}  // namespace kvt::sim
