// When each worker posts its new-reading notice: DC voltage before it
// releases the function's lock, every other function after. At each
// notice another thread tries the lock; whether it got it tells which.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "functions/CKVTFunctionACV.h"
#include "functions/CKVTFunctionCont.h"
#include "functions/CKVTFunctionDCV.h"
#include "functions/CKVTFunctionFreqPer.h"
#include "functions/CKVTFunctionTemperature.h"
#include "link/CoreCommands.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionACV;
using functions::CKVTFunctionCont;
using functions::CKVTFunctionDCV;
using functions::CKVTFunctionFreqPer;
using functions::CKVTFunctionTemperature;

// What the instrument function of each class is called.
template <class F>
const char* InstrumentFunction();
template <>
const char* InstrumentFunction<CKVTFunctionDCV>() {
    return "VOLT";
}
template <>
const char* InstrumentFunction<CKVTFunctionACV>() {
    return "VOLT:AC";
}
template <>
const char* InstrumentFunction<CKVTFunctionCont>() {
    return "CONT";
}
template <>
const char* InstrumentFunction<CKVTFunctionFreqPer>() {
    return "FREQ";
}
template <>
const char* InstrumentFunction<CKVTFunctionTemperature>() {
    return "TEMP";
}

template <class F>
class NoticeMoment : public FunctionUnderTest<F, true> {
protected:
    struct Seen {
        std::mutex mutex;
        int notices = 0;
        int whileHeld = 0;
    };

    // Runs the worker for count notices; returns how many notices came
    // while the worker still held the lock, and how many came in all.
    std::pair<int, int> RunForNotices(int count) {
        link::SetFunction(InstrumentFunction<F>());
        link::SetTriggerCountInfinite();
        link::Initiate();
        auto seen = std::make_shared<Seen>();
        std::recursive_mutex& lock = this->m_f->Lock();
        this->m_panel.SetNewReadingHook([seen, &lock, count] {
            // Only the first count notices: the test waits for them, so
            // none of these meets its own use of the lock at the end.
            {
                std::lock_guard<std::mutex> guard(seen->mutex);
                if (seen->notices >= count) {
                    return;
                }
            }
            // Tried from another thread: the worker's own hold would let
            // it in again.
            bool free = std::async(std::launch::async, [&lock] {
                            std::unique_lock<std::recursive_mutex> tried(lock, std::try_to_lock);
                            return tried.owns_lock();
                        }).get();
            std::lock_guard<std::mutex> guard(seen->mutex);
            ++seen->notices;
            seen->whileHeld += free ? 0 : 1;
        });
        this->m_f->Start();
        EXPECT_TRUE(this->m_panel.WaitForNewReadings(count, std::chrono::seconds(20)));
        this->m_f->Shutdown();
        this->m_panel.SetNewReadingHook({});
        std::lock_guard<std::mutex> guard(seen->mutex);
        return {seen->whileHeld, seen->notices};
    }
};

using Functions = ::testing::Types<CKVTFunctionDCV, CKVTFunctionACV, CKVTFunctionCont,
                                   CKVTFunctionFreqPer, CKVTFunctionTemperature>;
TYPED_TEST_SUITE(NoticeMoment, Functions);

TYPED_TEST(NoticeMoment, DcVoltagePostsUnderTheLockTheOthersAfterReleasingIt) {
    auto [whileHeld, notices] = this->RunForNotices(3);
    ASSERT_EQ(notices, 3);
    if (std::is_same_v<TypeParam, CKVTFunctionDCV>) {
        EXPECT_EQ(whileHeld, notices);
    } else {
        EXPECT_EQ(whileHeld, 0);
    }
    EXPECT_EQ(this->Failures(), 0);
}

}  // namespace
}  // namespace kvt::test
