#include "link/AnalysisCommands.h"

#include <algorithm>
#include <array>

#include "link/CommandText.h"
#include "link/CommunicationFailure.h"
#include "link/Numbers.h"
#include "link/QueryReply.h"
#include "link/ReplyCheck.h"
#include "link/SettingReply.h"

namespace kvt::link {
namespace {

constexpr uint32_t kScaleAutoReplySize = 8;

std::array<char, kTrendBufferSize>& TrendStorage() {
    static std::array<char, kTrendBufferSize> buffer{};
    return buffer;
}

std::array<char, kHistogramBufferSize>& HistogramStorage() {
    static std::array<char, kHistogramBufferSize> buffer{};
    return buffer;
}

// Reads a large reply into one of the process-wide buffers. Beyond the
// capacity asked for the buffer is cleared too, so that an earlier, longer
// reply leaves no tail behind a shorter one.
template <size_t Size>
void QueryIntoStorage(const char* command, std::array<char, Size>& storage, uint32_t capacity,
                      uint32_t* received) {
    uint32_t bounded = std::min<uint32_t>(capacity, Size);
    std::fill(storage.begin() + bounded, storage.end(), '\0');
    QueryInto(command, storage.data(), bounded, received);
}

// A garbled reply raises the failure message and reads as no reply (0).
double QueryNumber(const char* command) {
    return ParseNumber(QueryNumberText(command));
}
int QueryInteger(const char* command) {
    return ParseInteger(QueryNumberText(command));
}

}  // namespace

std::string GetTrendChartMode() {
    std::string reply = QueryText("CALCulate:TRENd:CHARt:MODe?");
    if (!reply.empty() && !IsWordReply(reply)) {
        ReportCommunicationFailure();
        return {};
    }
    return TrendModeLabel(reply);
}
void SetTrendChartMode(std::string_view mode) {
    WriteCommand("CALCulate:TRENd:CHARt:MODe ", mode);
}
void ReadTrendChartData(uint32_t capacity, uint32_t* received) {
    QueryIntoStorage("CALCulate:TRENd:CHARt:DATA?", TrendStorage(), capacity, received);
}
std::span<const char> TrendChartBuffer() {
    return TrendStorage();
}

void ReadHistogramAll(uint32_t capacity, uint32_t* received) {
    QueryIntoStorage("CALCulate:TRANsform:HISTogram:ALL?", HistogramStorage(), capacity, received);
}
std::span<const char> HistogramBuffer() {
    return HistogramStorage();
}
int GetHistogramAutoRange() {
    return ParseInteger(GetHistogramAutoRangeText());
}
std::string GetHistogramAutoRangeText() {
    return QueryText("CALCulate:TRANsform:HISTogram:RANGe:AUTO?");
}
void SetHistogramAutoRange(bool automatic) {
    WriteCommand("CALCulate:TRANsform:HISTogram:RANGe:AUTO ", automatic ? "1" : "0");
}
bool SetHistogramPoints(int count) {
    return WriteCommand("CALCulate:TRANsform:HISTogram:POINts ", FormatInteger(count));
}
bool SetHistogramLower(double value) {
    return WriteCommand("CALCulate:TRANsform:HISTogram:RANGe:LOWer ", FormatFixed(value, 3));
}
bool SetHistogramUpper(double value) {
    return WriteCommand("CALCulate:TRANsform:HISTogram:RANGe:UPPer ", FormatFixed(value, 3));
}
void ClearHistogram() {
    WriteCommand("CALCulate:TRANsform:HISTogram:CLEar");
}

void ReadAverageAll(char* buffer, uint32_t capacity, uint32_t* received) {
    QueryInto("CALCulate:AVERage:ALL?", buffer, capacity, received);
}
std::string ReadAveragePeakToPeak() {
    return QueryText("CALCulate:AVERage:PTPeak?");
}
double ReadAverageCount() {
    return ParseNumber(ReadAverageCountText());
}
std::string ReadAverageCountText() {
    return QueryText("CALCulate:AVERage:COUNt?");
}
void ClearAverage() {
    WriteCommand("CALCulate:AVERage:CLEar");
}

int GetLimitState() {
    return QueryInteger("CALCulate:LIMit:STATe?");
}
bool SetLimitState(int state) {
    return WriteCommand("CALCulate:LIMit:STATe ", FormatInteger(state));
}
double GetLimitLower() {
    return QueryNumber("CALCulate:LIMit:LOWer?");
}
bool SetLimitLower(double value) {
    return WriteCommand("CALCulate:LIMit:LOWer ", FormatFixed(value, 12));
}
double GetLimitUpper() {
    return QueryNumber("CALCulate:LIMit:UPPer?");
}
bool SetLimitUpper(double value) {
    return WriteCommand("CALCulate:LIMit:UPPer ", FormatFixed(value, 12));
}

bool SetScaleState(int state) {
    return WriteCommand("CALCulate:SCALe:STATe ", FormatInteger(state));
}
int GetScaleState() {
    return QueryInteger("CALCulate:SCALe:STATe?");
}
void SetScaleFunction(std::string_view function) {
    WriteCommand("CALCulate:SCALe:FUNCtion ", function);
}
std::string GetScaleFunction() {
    return ScaleFunctionLabel(QueryText("CALCulate:SCALe:FUNCtion?"));
}
bool SetDbReference(int reference) {
    return WriteCommand("CALCulate:SCALe:DB:REFerence ", FormatInteger(reference));
}
int GetDbReference() {
    return ParseTruncatedInteger(QueryText("CALCulate:SCALe:DB:REFerence?"));
}
bool SetDbmReference(int reference) {
    return WriteCommand("CALCulate:SCALe:DBM:REFerence ", FormatInteger(reference));
}
int GetDbmReference() {
    return ParseTruncatedInteger(QueryText("CALCulate:SCALe:DBM:REFerence?"));
}
int GetScaleAutoReference() {
    return ParseTruncatedInteger(QueryText("CALCulate:SCALe:REFerence:AUTO?", kScaleAutoReplySize));
}
bool SetScaleAutoReference(int state) {
    return WriteCommand("CALCulate:SCALe:REFerence:AUTO ", FormatInteger(state));
}

}  // namespace kvt::link
