#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ManualClock.h"
#include "sim/MeterModel.h"

namespace kvt::sim::testing {

// A meter on a hand-driven clock, spoken to one message at a time as the
// program does (no terminator; END ends the message).
class MeterFixture : public ::testing::Test {
protected:
    MeterFixture() : m_clock(std::make_shared<ManualClock>()), m_meter(42, m_clock) {}

    void Send(std::string_view message) { m_meter.ReceiveMessage(message); }

    std::string Query(std::string_view message) {
        m_meter.ReceiveMessage(message);
        return m_meter.TakeResponse();
    }

    double Number(std::string_view message) { return std::strtod(Query(message).c_str(), nullptr); }

    // The next entry of the error queue, without its text.
    int NextError() { return std::atoi(Query("SYST:ERR?").c_str()); }

    void ExpectNoError() { EXPECT_EQ(Query("SYST:ERR?"), "+0,\"No error\"\n"); }

    void Advance(std::chrono::nanoseconds step) { m_clock->Advance(step); }

    static std::vector<double> Fields(const std::string& reply) {
        std::vector<double> values;
        const char* p = reply.c_str();
        while (*p != '\0' && *p != '\n') {
            char* end = nullptr;
            values.push_back(std::strtod(p, &end));
            p = end;
            if (*p == ',') {
                ++p;
            } else {
                break;
            }
        }
        return values;
    }

    std::shared_ptr<ManualClock> m_clock;
    MeterModel m_meter;
};

}  // namespace kvt::sim::testing
