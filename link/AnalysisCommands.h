#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kvt::link {

// The instrument's statistics, limits, dB/dBm scaling, trend record and
// histogram (the CALCulate tree). Numeric queries return 0 when the
// instrument did not answer.

// The two large replies are read into process-wide buffers of these sizes.
inline constexpr uint32_t kTrendBufferSize = 1048576;
inline constexpr uint32_t kHistogramBufferSize = 102400;

// Trend record: "ALL" or "REC" (also when the instrument did not answer);
// empty, after the communication-failure message, for a garbled reply.
std::string GetTrendChartMode();
void SetTrendChartMode(std::string_view mode);
// Reads the trend data into TrendChartBuffer(), at most capacity bytes
// (capped at the buffer's size); received gets the reply's length, 0
// when the query failed. The buffer holds only zeros beyond the reply.
void ReadTrendChartData(uint32_t capacity, uint32_t* received);
std::span<const char> TrendChartBuffer();

// Histogram, read into HistogramBuffer() like the trend data.
void ReadHistogramAll(uint32_t capacity, uint32_t* received);
std::span<const char> HistogramBuffer();
int GetHistogramAutoRange();              // 1: automatic binning
std::string GetHistogramAutoRangeText();  // the reply as it stands
void SetHistogramAutoRange(bool automatic);
bool SetHistogramPoints(int count);
bool SetHistogramLower(double value);
bool SetHistogramUpper(double value);
void ClearHistogram();

// Statistics: the comma-separated averages go into the caller's buffer.
void ReadAverageAll(char* buffer, uint32_t capacity, uint32_t* received);
std::string ReadAveragePeakToPeak();  // the reply as it stands
double ReadAverageCount();
std::string ReadAverageCountText();  // the reply as it stands
void ClearAverage();

// Limit testing.
int GetLimitState();
bool SetLimitState(int state);
double GetLimitLower();
bool SetLimitLower(double value);
double GetLimitUpper();
bool SetLimitUpper(double value);

// dB and dBm scaling.
bool SetScaleState(int state);
int GetScaleState();
void SetScaleFunction(std::string_view function);  // "DB" or "DBM"
std::string GetScaleFunction();                    // "dB" or "dBm"
bool SetDbReference(int reference);
int GetDbReference();
bool SetDbmReference(int reference);
int GetDbmReference();
int GetScaleAutoReference();
bool SetScaleAutoReference(int state);

}  // namespace kvt::link
