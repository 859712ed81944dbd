#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sim/ErrorQueue.h"
#include "sim/Instrument.h"
#include "sim/ScpiText.h"

namespace kvt::sim {

// One program message unit being executed: the meter, the error queue, the
// unit's header nodes and argument, and where its response goes. The
// argument helpers report bad arguments to the error queue themselves.
class CommandContext {
public:
    CommandContext(Instrument& instrument, ErrorQueue& errorQueue, std::chrono::nanoseconds time,
                   const scpi::ProgramUnit& programUnit,
                   std::span<const std::string_view> headerNodes, std::string& reply)
        : meter(instrument),
          errors(errorQueue),
          now(time),
          unit(programUnit),
          nodes(headerNodes),
          m_reply(reply) {}

    Instrument& meter;
    ErrorQueue& errors;
    const std::chrono::nanoseconds now;
    const scpi::ProgramUnit& unit;
    const std::span<const std::string_view> nodes;
    // Whether earlier responses wait in the output queue (the MAV bit).
    bool messageAvailable = false;

    std::string_view Argument() const { return unit.argument; }

    // False (error -108 queued) when the unit carries an argument.
    bool NoArgument();
    // A number within [min, max]; MINimum, MAXimum and DEFault give min, max
    // and def.
    bool Number(double& value, double min, double max, double def);
    // A number whose out-of-range check is the caller's; MIN/MAX not allowed.
    bool PlainNumber(double& value);
    bool Boolean(bool& value);
    // One of the given words (short or long form patterns); index out.
    bool Choice(std::span<const std::string_view> words, size_t& index);

    void Reply(std::string_view text);
    void ReplyNumber(double value);
    void ReplyInteger(int64_t value);
    void ReplyBoolean(bool value) { Reply(value ? "1" : "0"); }
    // Direct access for long replies; the caller ends them with '\n'.
    std::string& ReplyBuffer() { return m_reply; }

private:
    bool Present();

    std::string& m_reply;
};

}  // namespace kvt::sim
