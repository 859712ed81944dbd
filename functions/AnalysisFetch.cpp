#include "functions/AnalysisFetch.h"

#include <chrono>
#include <string>

#include "functions/CKVTFunction.h"
#include "functions/HistogramReply.h"
#include "functions/ProgramRecords.h"
#include "functions/TrendReply.h"
#include "link/AnalysisCommands.h"
#include "link/QueryReply.h"

namespace kvt::functions {

void FetchTrendData(CKVTFunction* function) {
    std::string mode = link::GetTrendChartMode();
    uint32_t received = 0;
    link::ReadTrendChartData(link::kTrendBufferSize, &received);
    std::string_view reply = link::ReplyText(link::TrendChartBuffer().data(), received);
    std::string range = function->GetRange();
    int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
    int elapsed = static_cast<int>((now - function->GetStartTicks()) / 1000);
    TrendRecord().Update([&](KVTTrendData& trend) {
        ParseTrendReply(reply, mode == "REC", trend);
        trend.range = range;
        trend.mode = mode;
        trend.elapsedSeconds = elapsed;
    });
}

void FetchHistogramData() {
    uint32_t received = 0;
    link::ReadHistogramAll(link::kHistogramBufferSize, &received);
    std::string_view reply = link::ReplyText(link::HistogramBuffer().data(), received);
    int autoRange = link::GetHistogramAutoRange();
    HistogramRecord().Update(
        [&](KVTHistogramData& histogram) { ParseHistogramReply(reply, autoRange, histogram); });
}

}  // namespace kvt::functions
