#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {

// One measurement function of type F over the fixture's connection (with
// the simulated meter behind the recording device when withMeter).
template <class F, bool withMeter = false>
class FunctionUnderTest : public FunctionsFixture {
protected:
    // Exposes the function's lock so that a test can hold it.
    class Probe : public F {
    public:
        using F::F;
        std::recursive_mutex& Lock() { return this->m_lock; }
    };

    FunctionUnderTest() : FunctionsFixture(withMeter) {}

    void SetUp() override {
        FunctionsFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_f = std::make_unique<Probe>(&m_panel);
        m_f->Init();
        Sent();
        PausesMs();
        m_panelMark = m_panel.Calls().size();
    }

    void TearDown() override {
        m_f.reset();
        FunctionsFixture::TearDown();
    }

    // Front-panel calls since the last call.
    std::vector<std::string> PanelCalls() {
        std::vector<std::string> calls = m_panel.Calls();
        std::vector<std::string> fresh(calls.begin() + static_cast<long>(m_panelMark), calls.end());
        m_panelMark = calls.size();
        return fresh;
    }

    // The key texts (list pages) or titles (main pages) at positions 0 to 5.
    std::array<std::string, 6> Page() {
        std::array<std::string, 6> page;
        for (int i = 0; i < 6; ++i) {
            page[i] = m_f->GetSoftKeyText(i) + m_f->GetSoftKeyTitle(i);
        }
        return page;
    }

    // Runs action on another thread while this one holds the function's
    // lock; true when the action finished within the timeout, so without
    // waiting for the lock. The action always finishes before the return.
    template <class Action>
    bool RunsWhileLockIsHeld(Action action,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::recursive_mutex> held(m_f->Lock());
        auto done = std::async(std::launch::async, action);
        bool finished = done.wait_for(timeout) == std::future_status::ready;
        held.unlock();
        done.wait();
        return finished;
    }

    std::unique_ptr<Probe> m_f;

private:
    size_t m_panelMark = 0;
};

}  // namespace kvt::test
