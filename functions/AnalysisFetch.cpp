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

// Each query is made only while the exchanges before it succeeded. A failed
// or garbled exchange publishes an empty record (never stale or garbled
// data) and gives false, so that the worker stops.

bool FetchTrendData(CKVTFunction* function) {
    link::FailureWatch failure;
    std::string mode = link::GetTrendChartMode();
    std::string_view reply;
    if (!mode.empty() && !failure.Failed()) {
        uint32_t received = 0;
        link::ReadTrendChartData(link::kTrendBufferSize, &received);
        reply = link::ReplyText(link::TrendChartBuffer().data(), received);
        if (!failure.Failed()) {
            CheckListReply(reply, received, link::kTrendBufferSize);
        }
    }
    bool ok = !failure.Failed();
    if (!ok) {
        reply = {};
        mode = "REC";
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
    return ok;
}

bool FetchHistogramData() {
    link::FailureWatch failure;
    uint32_t received = 0;
    link::ReadHistogramAll(link::kHistogramBufferSize, &received);
    std::string_view reply = link::ReplyText(link::HistogramBuffer().data(), received);
    int autoRange = 0;
    if (!failure.Failed() && CheckListReply(reply, received, link::kHistogramBufferSize)) {
        std::string autoRangeText = link::GetHistogramAutoRangeText();
        if (!failure.Failed() && !autoRangeText.empty() && !link::IsNumberReply(autoRangeText)) {
            link::ReportCommunicationFailure();
        }
        autoRange = link::ParseInteger(autoRangeText);
    }
    bool ok = !failure.Failed();
    if (!ok) {
        reply = {};
    }
    HistogramRecord().Update(
        [&](KVTHistogramData& histogram) { ParseHistogramReply(reply, autoRange, histogram); });
    return ok;
}

}  // namespace kvt::functions
