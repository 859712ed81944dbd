// Transducer list replies and comma-separated fields.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/ReplyFields.h"
#include "link/SettingReply.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names;
    KVT_FUZZ_CHECK(kvt::link::AppendTransducerNames(reply, names) == !reply.empty());
    size_t total = 0;
    for (const std::string& name : names) {
        KVT_FUZZ_CHECK(name.find(',') == std::string::npos);
        total += name.size();
    }
    KVT_FUZZ_CHECK(total <= reply.size());

    size_t joined = 0;
    for (std::string_view field : kvt::link::SplitFields(reply)) {
        KVT_FUZZ_CHECK(field.find(',') == std::string_view::npos);
        KVT_FUZZ_CHECK(field.data() >= reply.data() &&
                       field.data() + field.size() <= reply.data() + reply.size());
        joined += field.size() + 1;
    }
    KVT_FUZZ_CHECK(joined == reply.size() + 1);
    return 0;
}
