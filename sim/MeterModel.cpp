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
    : m_clock(clock ? std::move(clock) : std::make_shared<SteadyClock>()), m_meter(seed) {
    m_meter.Reset(m_clock->Now());
}

void MeterModel::ReceiveMessage(std::string_view message) {
    std::lock_guard<std::mutex> lock(m_mutex);
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
            m_errors.Push(-223, "Too much data");
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
    auto now = m_clock->Now();
    m_meter.CatchUp(now);
    scpi::ProgramUnit unit = scpi::ParseUnit(text);
    std::vector<std::string_view> nodes;
    scpi::SplitHeader(unit.header, nodes);
    CommandContext context(m_meter, m_errors, now, unit, nodes, reply);
    context.messageAvailable = !m_output.empty();
    if (RunFrom(CoreCommands::Entries(), context) ||
        RunFrom(CalculateCommands::Entries(), context) ||
        RunFrom(TemperatureCommands::Entries(), context) || SettingsCommands::Execute(context)) {
        return;
    }
    m_errors.Push(-113, "Undefined header");
}

void MeterModel::QueueLocked(std::string response) {
    m_outputBytes += response.size();
    m_output.push_back(std::move(response));
    while (m_output.size() > kMaxPendingResponses ||
           (m_outputBytes > kMaxPendingBytes && m_output.size() > 1)) {
        m_outputBytes -= m_output.front().size();
        m_output.pop_front();
        m_errors.Push(-410, "Query INTERRUPTED");
    }
}

std::string MeterModel::TakeResponse() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output.empty()) {
        return {};
    }
    std::string response = std::move(m_output.front());
    m_output.pop_front();
    m_outputBytes -= response.size();
    return response;
}

void MeterModel::DeviceClear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_output.clear();
    m_outputBytes = 0;
}

uint8_t MeterModel::StatusByte() {
    std::lock_guard<std::mutex> lock(m_mutex);
    uint8_t stb = 0;
    if (!m_errors.Empty()) {
        stb |= 0x04;  // error/event queue not empty
    }
    if (!m_output.empty()) {
        stb |= 0x10;  // message available
    }
    if (m_errors.EventStatus() != 0) {
        stb |= 0x20;  // standard event summary
    }
    return stb;
}

}  // namespace kvt::sim
