#include "tests/functions/RangedCases.h"

#include "functions/CKVTFunctionACI.h"
#include "functions/CKVTFunctionACV.h"
#include "functions/CKVTFunctionCap.h"
#include "functions/CKVTFunctionDCI.h"
#include "functions/CKVTFunctionFRES.h"
#include "functions/CKVTFunctionRES.h"

namespace kvt::test {
namespace {

template <typename Function>
std::unique_ptr<functions::CKVTRangedFunction> Make(functions::IFrontPanelServices* panel) {
    return std::make_unique<Function>(panel);
}

const Page kSpeeds{"Slow", "Middle", "Fast", "", "", ""};
const Page kNone{};

RangedCase Resistance(const char* label, const char* title, const char* root, int offset,
                      decltype(RangedCase::make) make) {
    std::string r = root;
    auto id = [offset](int twoWireId) { return twoWireId == 0 ? 0 : twoWireId + offset; };
    return RangedCase{label,
                      std::move(make),
                      title,
                      root,
                      "Ω",
                      root,
                      "200Ω",
                      "Ω",
                      {"Range", "Speed", "", "", "Rel", ""},
                      {"Auto", "200Ω", "2KΩ", "20KΩ", "200KΩ", "other->"},
                      {"2MΩ", "10MΩ", "100MΩ", "<-other", "", ""},
                      kSpeeds,
                      {id(32), id(33), 0, 0, id(34), 0},
                      {id(35), id(36), id(37), id(38), id(39), id(40)},
                      {id(41), id(42), id(43), id(44), 0, 0},
                      {id(45), id(46), id(47), 0, 0, 0},
                      {id(35), id(36), id(37), id(38), id(39), id(41), id(42), id(43)},
                      {r + ":RANGE:AUTO ON", r + ":RANGE 200", r + ":RANGE 2000.0",
                       r + ":RANGE 20000.0", r + ":RANGE 200000.0", r + ":RANGE 2000000.0",
                       r + ":RANGE 10000000.0", r + ":RANGE 100000000.0"},
                      false,
                      "Slow"};
}

std::vector<RangedCase> BuildCases() {
    std::vector<RangedCase> cases;
    cases.push_back(RangedCase{
        "DCI",
        Make<functions::CKVTFunctionDCI>,
        "DC Current",
        "CURR",
        "A",
        "CURR:DC",
        "10A",
        "ADC",
        {"Range", "Speed", "Filter", "", "Rel", ""},
        {"Auto", "200uA", "2mA", "20mA", "200mA", "other->"},
        {"2A", "10A", "<-other", "", "", ""},
        kSpeeds,
        {16, 17, 18, 0, 19, 0},
        {20, 21, 22, 23, 24, 25},
        {26, 27, 28, 0, 0, 0},
        {29, 30, 31, 0, 0, 0},
        {20, 21, 22, 23, 24, 26, 27},
        {"CURR:DC:RANGE:AUTO ON", "CURR:DC:RANGE 0.000200", "CURR:DC:RANGE 0.002",
         "CURR:DC:RANGE 0.020", "CURR:DC:RANGE 0.200", "CURR:DC:RANGE 2", "CURR:DC:RANGE 10"},
        true,
        "Middle"});
    cases.push_back(
        RangedCase{"ACV",
                   Make<functions::CKVTFunctionACV>,
                   "AC Voltage",
                   "VOLT:AC",
                   "V",
                   "VOLT:AC",
                   "200mV",
                   "mVAC",
                   {"Range", "Speed", "", "", "Rel", ""},
                   {"Auto", "200mV", "2V", "20V", "200V", "750V"},
                   kNone,
                   kSpeeds,
                   {101, 102, 0, 0, 103, 0},
                   {104, 105, 106, 107, 108, 109},
                   {0, 0, 0, 0, 0, 0},
                   {110, 111, 112, 0, 0, 0},
                   {104, 105, 106, 107, 108, 109},
                   {"VOLT:AC:RANGE:AUTO ON", "VOLT:AC:RANGE 0.200000", "VOLT:AC:RANGE 2",
                    "VOLT:AC:RANGE 20", "VOLT:AC:RANGE 200", "VOLT:AC:RANGE 750"},
                   false,
                   "Slow"});
    cases.push_back(RangedCase{"ACI",
                               Make<functions::CKVTFunctionACI>,
                               "AC Current",
                               "CURR:AC",
                               "A",
                               "CURR:AC",
                               "10A",
                               "AAC",
                               {"Range", "Speed", "", "", "Rel", ""},
                               {"Auto", "20mA", "200mA", "2A", "10A", ""},
                               kNone,
                               kSpeeds,
                               {113, 114, 0, 0, 115, 0},
                               {116, 117, 118, 119, 120, 0},
                               {0, 0, 0, 0, 0, 0},
                               {121, 122, 123, 0, 0, 0},
                               {116, 117, 118, 119, 120},
                               {"CURR:AC:RANGE:AUTO ON", "CURR:AC:RANGE 0.020",
                                "CURR:AC:RANGE 0.200", "CURR:AC:RANGE 2", "CURR:AC:RANGE 10"},
                               false,
                               "Slow"});
    cases.push_back(
        Resistance("RES", "2 Wire Resistance", "RES", 0, Make<functions::CKVTFunctionRES>));
    cases.push_back(
        Resistance("FRES", "4 Wire Resistance", "FRES", 16, Make<functions::CKVTFunctionFRES>));
    cases.push_back(
        RangedCase{"Cap",
                   Make<functions::CKVTFunctionCap>,
                   "Capacitance",
                   "CAP",
                   "F",
                   "CAP",
                   "200nF",
                   "nF",
                   {"Range", "", "", "", "Rel", ""},
                   {"Auto", "2nF", "20nF", "200nF", "2uF", "other->"},
                   {"20uF", "200uF", "10000uF", "<-other", "", ""},
                   kNone,
                   {64, 0, 0, 0, 65, 0},
                   {66, 67, 68, 69, 70, 71},
                   {72, 73, 74, 75, 0, 0},
                   {0, 0, 0, 0, 0, 0},
                   {66, 67, 68, 69, 70, 72, 73, 74},
                   {"CAP:RANGE:AUTO ON", "CAP:RANGE 0.0000000020", "CAP:RANGE 0.0000000200",
                    "CAP:RANGE 0.0000002000", "CAP:RANGE 0.0000020000", "CAP:RANGE 0.0000200000",
                    "CAP:RANGE 0.0002000000", "CAP:RANGE 0.0100000000"},
                   false,
                   ""});
    return cases;
}

}  // namespace

const std::vector<RangedCase>& RangedCases() {
    static const std::vector<RangedCase> cases = BuildCases();
    return cases;
}

Page ShownPage(const functions::CKVTFunction& function) {
    Page page;
    for (int i = 0; i < 6; ++i) {
        page[static_cast<size_t>(i)] = function.GetSoftKeyText(i) + function.GetSoftKeyTitle(i);
    }
    return page;
}

std::array<int, 6> ShownIds(const functions::CKVTFunction& function) {
    std::array<int, 6> ids{};
    for (int i = 0; i < 6; ++i) {
        const functions::CMenuItem* item = function.GetSoftKeyItem(i);
        ids[static_cast<size_t>(i)] = item == nullptr ? 0 : item->m_id;
    }
    return ids;
}

}  // namespace kvt::test
