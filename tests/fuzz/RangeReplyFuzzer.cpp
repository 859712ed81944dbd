// The range replies of every function.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/RangeReply.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void CheckLabel(const std::string& label, std::string_view reply, std::string_view unit) {
    KVT_FUZZ_CHECK(label.empty() == reply.empty());
    KVT_FUZZ_CHECK(label.empty() || EndsWith(label, unit));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    CheckLabel(kvt::link::VoltRangeLabel(reply, true), reply, "V");
    CheckLabel(kvt::link::VoltRangeLabel(reply, false), reply, "V");
    CheckLabel(kvt::link::CurrentRangeLabel(reply), reply, "A");
    CheckLabel(kvt::link::ResistanceRangeLabel(reply), reply, "Ω");
    CheckLabel(kvt::link::CapacitanceRangeLabel(reply), reply, "F");
    return 0;
}
