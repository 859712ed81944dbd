#include "sim/MeterModel.h"

#include <vector>

#include "sim/CalculateCommands.h"
#include "sim/CommandContext.h"
#include "sim/CoreCommands.h"
#include "sim/SettingsCommands.h"
#include "sim/SteadyClock.h"
#include "sim/TemperatureCommands.h"

namespace kvt::sim {
namespace {

bool RunFrom(const std::vector<CommandEntry>& entries, CommandContext& context) {
    for (const CommandEntry& entry : entries) {
        if (entry.pattern.IsQuery() == context.unit.query && entry.pattern.Matches(context.nodes)) {
            entry.run(context);
            return true;
        }
    }
    return false;
}

}  // namespace

MeterModel::MeterModel(uint64_t seed, std::shared_ptr<const Clock> clock)
    : clock_(clock ? std::move(clock) : std::make_shared<SteadyClock>()), meter_(seed) {
    meter_.Reset(clock_->Now());
}

void MeterModel::ReceiveMessage(std::string_view message) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string response;
    for (std::string_view unit : scpi::SplitUnits(message)) {
        std::string reply;
        ExecuteLocked(unit, reply);
        if (reply.empty()) {
            continue;
        }
        if (!response.empty()) {
            response.back() = ';';
        }
        response += reply;
        if (response.size() > kMaxPendingBytes) {
            errors_.Push(-223, "Too much data");
            response.clear();
            break;
        }
    }
    if (!response.empty()) {
        QueueLocked(std::move(response));
    }
}

void MeterModel::ExecuteLocked(std::string_view text, std::string& reply) {
    // Readings that fell due since the last command are taken first, so every
    // command sees the meter as it is now.
    auto now = clock_->Now();
    meter_.CatchUp(now);
    scpi::ProgramUnit unit = scpi::ParseUnit(text);
    std::vector<std::string_view> nodes;
    scpi::SplitHeader(unit.header, nodes);
    CommandContext context(meter_, errors_, now, unit, nodes, reply);
    context.messageAvailable = !output_.empty();
    if (RunFrom(CoreCommands::Entries(), context) ||
        RunFrom(CalculateCommands::Entries(), context) ||
        RunFrom(TemperatureCommands::Entries(), context) || SettingsCommands::Execute(context)) {
        return;
    }
    errors_.Push(-113, "Undefined header");
}

void MeterModel::QueueLocked(std::string response) {
    outputBytes_ += response.size();
    output_.push_back(std::move(response));
    while (output_.size() > kMaxPendingResponses ||
           (outputBytes_ > kMaxPendingBytes && output_.size() > 1)) {
        outputBytes_ -= output_.front().size();
        output_.pop_front();
        errors_.Push(-410, "Query INTERRUPTED");
    }
}

std::string MeterModel::TakeResponse() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (output_.empty()) {
        return {};
    }
    std::string response = std::move(output_.front());
    output_.pop_front();
    outputBytes_ -= response.size();
    return response;
}

void MeterModel::DeviceClear() {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.clear();
    outputBytes_ = 0;
}

uint8_t MeterModel::StatusByte() {
    std::lock_guard<std::mutex> lock(mutex_);
    uint8_t stb = 0;
    if (!errors_.Empty()) {
        stb |= 0x04;  // error/event queue not empty
    }
    if (!output_.empty()) {
        stb |= 0x10;  // message available
    }
    if (errors_.EventStatus() != 0) {
        stb |= 0x20;  // standard event summary
    }
    return stb;
}

}  // namespace kvt::sim
