#include "sim/ServedInstrument.h"

#include <chrono>
#include <thread>

namespace kvt::sim {

ServedInstrument::ServedInstrument(std::shared_ptr<visa::MessageDevice> model, FaultSettings faults,
                                   CommandLog* log)
    : m_model(std::move(model)), m_faults(faults), m_log(log) {}

void ServedInstrument::Receive(std::string_view message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_commandsReceived;
    if (m_log != nullptr) {
        m_log->Command(message);
    }
    m_model->ReceiveMessage(message);
}

ServedInstrument::Output ServedInstrument::TakeResponse(const Pause& pause) {
    Output out;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string response = m_model->TakeResponse();
        if (response.empty()) {
            return out;
        }
        if (m_faults.silentAfter && m_commandsReceived > *m_faults.silentAfter) {
            return out;  // the response is swallowed: the meter has gone quiet
        }
        ++m_responsesSent;
        bool terminated = response.back() == '\n';
        if (response.size() < m_faults.oversize) {
            // Blanks before the terminator keep the reply one message.
            size_t at = terminated ? response.size() - 1 : response.size();
            response.insert(at, m_faults.oversize - response.size(), ' ');
        }
        if (m_faults.garbageEvery != 0 && m_responsesSent % m_faults.garbageEvery == 0) {
            // Same length and terminator, so the framing holds and only the
            // content is wrong; never a line feed inside, which would split
            // the reply in two for a reader that stops at line feeds.
            size_t body = terminated ? response.size() - 1 : response.size();
            for (size_t i = 0; i < body; ++i) {
                m_garbageState ^= m_garbageState << 13;
                m_garbageState ^= m_garbageState >> 7;
                m_garbageState ^= m_garbageState << 17;
                char c = static_cast<char>(m_garbageState >> 56);
                response[i] = c == '\n' ? '\x7F' : c;
            }
        }
        out.dropMidway = m_faults.dropAfter && m_commandsReceived > *m_faults.dropAfter;
        out.bytes = std::move(response);
    }
    if (m_faults.delayMs != 0) {
        auto delay = std::chrono::milliseconds(m_faults.delayMs);
        if (!pause) {
            std::this_thread::sleep_for(delay);
        } else if (!pause(delay)) {
            return {};  // the server is stopping: the reply is never sent
        }
    }
    if (m_log != nullptr) {
        m_log->Reply(out.dropMidway ? std::string_view(out.bytes).substr(0, out.bytes.size() / 2)
                                    : std::string_view(out.bytes));
    }
    return out;
}

void ServedInstrument::DeviceClear() {
    m_model->DeviceClear();
}

uint8_t ServedInstrument::StatusByte() {
    return m_model->StatusByte();
}

}  // namespace kvt::sim
