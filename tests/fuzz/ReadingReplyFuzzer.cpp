// The reading and function-name replies.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/ReadingReply.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    std::string reading = kvt::link::ReadingFromReply(reply);
    KVT_FUZZ_CHECK(reading.empty() == reply.empty());
    if (!reading.empty() && reading != kvt::link::kOverloadText) {
        KVT_FUZZ_CHECK(reading[0] == '+' || reading[0] == '-');
        size_t point = reading.find('.');
        KVT_FUZZ_CHECK(point != std::string::npos && reading.size() - point == 13);
        KVT_FUZZ_CHECK(reading.find_first_not_of("0123456789.", 1) == std::string::npos);
        KVT_FUZZ_CHECK(!kvt::link::IsOverload(reading));
    }
    std::string name = kvt::link::FunctionNameFromReply(reply);
    KVT_FUZZ_CHECK(name.size() <= reply.size());
    return 0;
}
