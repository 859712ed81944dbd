#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::link {

// Temperature settings, the transducer lists and their point tables.

void SetTempNull(std::string_view label);
std::string GetTempNull();

// "UNIT:TEMP C" for a label containing "℃", F for "℉", K otherwise.
void SetTemperatureUnit(std::string_view label);
// "℃", "℉" or "K"; empty when the instrument did not answer.
std::string GetTemperatureUnit();

enum class TransducerKind { Thermocouple = 0, ResistanceThermometer = 1 };
enum class TransducerSource { BuiltIn = 0, UserDefined = 1 };

// Selects a transducer of a list; a kind or source outside the enumeration
// sends nothing.
void SetTemperatureTransducer(std::string_view name, TransducerKind kind, TransducerSource source);
// The selected transducer's name.
std::string GetTemperatureTransducer();
// The secondary temperature reading shown beside the main one.
std::string ReadTemperatureCad();

// The four list queries ReadTransducerList accepts.
inline constexpr const char* kBuiltInThermocoupleList = "TEMP:MDEF:THER:TRAN:LIST?";
inline constexpr const char* kUserThermocoupleList = "TEMP:UDEF:THER:TRAN:LIST?";
inline constexpr const char* kBuiltInRtdList = "TEMP:MDEF:RTD:TRAN:LIST?";
inline constexpr const char* kUserRtdList = "TEMP:UDEF:RTD:TRAN:LIST?";

// Appends the transducer names the list query returns. False when the
// instrument did not answer; true (adding nothing) for an empty list.
bool ReadTransducerList(const char* listQuery, std::vector<std::string>& names);

// A point table is read into the caller's buffer: at most
// kPointsReplySize bytes (fewer when capacity is smaller); received gets
// the reply's length. Always true; a failed query leaves the buffer zeroed
// and received 0.
inline constexpr uint32_t kPointsReplySize = 10240;
bool ReadThermocouplePointsBuiltIn(std::string_view name, char* buffer, uint32_t capacity,
                                   uint32_t* received);
bool ReadRtdPointsBuiltIn(std::string_view name, char* buffer, uint32_t capacity,
                          uint32_t* received);
bool ReadThermocouplePointsUser(std::string_view name, char* buffer, uint32_t capacity,
                                uint32_t* received);
bool ReadRtdPointsUser(std::string_view name, char* buffer, uint32_t capacity, uint32_t* received);

}  // namespace kvt::link
