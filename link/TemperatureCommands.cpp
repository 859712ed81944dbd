#include "link/TemperatureCommands.h"

#include <algorithm>

#include "link/CommandText.h"
#include "link/CommunicationFailure.h"
#include "link/QueryReply.h"
#include "link/ReplyCheck.h"
#include "link/SettingReply.h"

namespace kvt::link {
namespace {

constexpr uint32_t kCadReplySize = 128;
constexpr uint32_t kListReplySize = 256;

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool ReadPoints(std::string_view prefix, std::string_view name, char* buffer, uint32_t capacity,
                uint32_t* received) {
    std::string command = std::string(prefix) + std::string(name);
    QueryInto(command.c_str(), buffer, std::min(capacity, kPointsReplySize), received);
    return true;
}

}  // namespace

void SetTempNull(std::string_view label) {
    WriteCommand("TEMP:NULL ", label == "On" ? "ON" : "OFF");
}
std::string GetTempNull() {
    return OnOffLabel(QueryText("TEMP:NULL?"));
}

void SetTemperatureUnit(std::string_view label) {
    std::string_view unit = Contains(label, "℃") ? "C" : Contains(label, "℉") ? "F" : "K";
    WriteCommand("UNIT:TEMP ", unit);
}
std::string GetTemperatureUnit() {
    return TemperatureUnitLabel(QueryText("UNIT:TEMP?"));
}

void SetTemperatureTransducer(std::string_view name, TransducerKind kind, TransducerSource source) {
    bool builtIn = source == TransducerSource::BuiltIn;
    if (!builtIn && source != TransducerSource::UserDefined) {
        return;
    }
    if (kind == TransducerKind::Thermocouple) {
        WriteCommand(builtIn ? "TEMP:MDEF:THER:TRAN " : "TEMP:UDEF:THER:TRAN ", name);
    } else if (kind == TransducerKind::ResistanceThermometer) {
        WriteCommand(builtIn ? "TEMP:MDEF:RTD:TRAN " : "TEMP:UDEF:RTD:TRAN ", name);
    }
}
std::string GetTemperatureTransducer() {
    return TransducerNameFromReply(QueryText("TEMP:TRAN?"));
}

std::string ReadTemperatureCad() {
    std::string reply = QueryText("TEMP:CAD?", kCadReplySize);
    if (!reply.empty() && !IsSensorReadingReply(reply)) {
        ReportCommunicationFailure();
        return {};
    }
    return SecondaryReadingFromReply(reply);
}

bool ReadTransducerList(const char* listQuery, std::vector<std::string>& names) {
    return AppendTransducerNames(QueryText(listQuery, kListReplySize), names);
}

bool ReadThermocouplePointsBuiltIn(std::string_view name, char* buffer, uint32_t capacity,
                                   uint32_t* received) {
    return ReadPoints("TEMP:MDEF:THER:TRAN:POIN? ", name, buffer, capacity, received);
}
bool ReadRtdPointsBuiltIn(std::string_view name, char* buffer, uint32_t capacity,
                          uint32_t* received) {
    return ReadPoints("TEMP:MDEF:RTD:TRAN:POIN? ", name, buffer, capacity, received);
}
bool ReadThermocouplePointsUser(std::string_view name, char* buffer, uint32_t capacity,
                                uint32_t* received) {
    return ReadPoints("TEMP:UDEF:THER:TRAN:POIN? ", name, buffer, capacity, received);
}
bool ReadRtdPointsUser(std::string_view name, char* buffer, uint32_t capacity, uint32_t* received) {
    return ReadPoints("TEMP:UDEF:RTD:TRAN:POIN? ", name, buffer, capacity, received);
}

}  // namespace kvt::link
