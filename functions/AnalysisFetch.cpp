#include "functions/AnalysisFetch.h"

#include <chrono>
#include <string>

#include "functions/CKVTFunction.h"
#include "functions/HistogramReply.h"
#include "functions/ProgramRecords.h"
#include "functions/TrendReply.h"
#include "link/AnalysisCommands.h"
#include "link/CommunicationFailure.h"
#include "link/Numbers.h"
#include "link/QueryReply.h"
#include "link/ReplyCheck.h"

namespace kvt::functions {

bool CheckListReply(std::string_view reply, uint32_t received, uint32_t capacity) {
    // A reply that filled its buffer may end in a number cut short.
    if (link::IsNumberListReply(reply, received >= capacity)) {
        return true;
    }
    link::ReportCommunicationFailure();
    return false;
}

bool FetchTrendData(CKVTFunction* function) {
    std::string mode = link::GetTrendChartMode();
    if (mode.empty()) {
        return false;
    }
    uint32_t received = 0;
    link::ReadTrendChartData(link::kTrendBufferSize, &received);
    std::string_view reply = link::ReplyText(link::TrendChartBuffer().data(), received);
    if (!CheckListReply(reply, received, link::kTrendBufferSize)) {
        return false;
    }
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
    return true;
}

bool FetchHistogramData() {
    uint32_t received = 0;
    link::ReadHistogramAll(link::kHistogramBufferSize, &received);
    std::string_view reply = link::ReplyText(link::HistogramBuffer().data(), received);
    if (!CheckListReply(reply, received, link::kHistogramBufferSize)) {
        return false;
    }
    std::string autoRangeText = link::GetHistogramAutoRangeText();
    if (!autoRangeText.empty() && !link::IsNumberReply(autoRangeText)) {
        link::ReportCommunicationFailure();
        return false;
    }
    int autoRange = link::ParseInteger(autoRangeText);
    HistogramRecord().Update(
        [&](KVTHistogramData& histogram) { ParseHistogramReply(reply, autoRange, histogram); });
    return true;
}

}  // namespace kvt::functions
