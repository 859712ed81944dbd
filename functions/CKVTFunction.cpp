#include "functions/CKVTFunction.h"

#include <chrono>
#include <utility>

#include "functions/AnalysisFetch.h"
#include "functions/BackgroundRecorder.h"
#include "functions/ProgramRecords.h"
#include "functions/ReadingsFile.h"
#include "functions/StatisticsReply.h"
#include "link/AnalysisCommands.h"
#include "link/CommunicationFailure.h"
#include "link/CoreCommands.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "link/QueryReply.h"
#include "link/ReadingReply.h"
#include "link/ReplyCheck.h"

namespace kvt::functions {
namespace {

constexpr std::chrono::milliseconds kSettlePause{100};
constexpr uint32_t kAverageReplySize = 256;

// A number reply, or no reply at all (already reported by the connection);
// anything else raises the communication-failure message.
bool IsNumberOrNothing(const std::string& reply) {
    if (reply.empty() || link::IsNumberReply(reply)) {
        return true;
    }
    link::ReportCommunicationFailure();
    return false;
}

int64_t NowTicks() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CKVTFunction::CKVTFunction(IFrontPanelServices* panel, std::string name)
    : m_panel(panel), m_worker(m_lock), m_name(std::move(name)), m_startTicks(NowTicks()) {}

CKVTFunction::~CKVTFunction() {
    Shutdown();
}

void CKVTFunction::Init() {}

void CKVTFunction::SyncFromInstrument() {
    auto guard = LockForCommand();
    g_limitState.store(link::GetLimitState());
    g_limitLower.store(link::GetLimitLower());
    g_limitUpper.store(link::GetLimitUpper());
}

bool CKVTFunction::ReadOnce() {
    link::LastReading reading = link::ReadLastReading();
    const std::string& text = reading.text;
    if (text.empty()) {
        return false;
    }
    SetReadingText(text);
    PushHistory(text == link::kOverloadText ? link::kOverloadLevel : link::ParseNumber(text));
    RecordReading(reading.meterNumber);
    return true;
}

void CKVTFunction::RecordReading(const std::string& meterNumber) {
    BackgroundRecorder* recorder = m_recorder.load();
    if (recorder == nullptr || !recorder->IsRecording()) {
        return;
    }
    recorder->Record({std::chrono::system_clock::now(), std::chrono::steady_clock::now(), GetName(),
                      meterNumber, RecordedUnit(), RecordedRange()});
}

std::string CKVTFunction::RecordedUnit() {
    return GetBaseUnit();
}

std::string CKVTFunction::RecordedRange() {
    return GetRange();
}

void CKVTFunction::SetReadingText(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_readingText = text;
}

std::string CKVTFunction::GetReadingText() {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_readingText;
}

bool CKVTFunction::UpdateAutoRange() {
    return true;
}

void CKVTFunction::Reserved() {}

bool CKVTFunction::UpdateStatistics() {
    KVTStatistics statistics;
    char reply[kAverageReplySize];
    uint32_t received = 0;
    link::FailureWatch failure;
    link::ReadAverageAll(reply, sizeof reply, &received);
    if (failure.Failed()) {
        return false;
    }
    std::string_view fields = link::ReplyText(reply, received);
    if (!CheckListReply(fields, received, sizeof reply)) {
        return false;
    }
    ApplyAverageFields(fields, statistics);
    // Each reply is judged before the next query: nothing is sent after a
    // garbled one.
    std::string span = link::ReadAveragePeakToPeak();
    if (failure.Failed() || !IsNumberOrNothing(span)) {
        return false;
    }
    std::string count = link::ReadAverageCountText();
    if (failure.Failed() || !IsNumberOrNothing(count)) {
        return false;
    }
    statistics.span = StatisticText(span);
    statistics.count = CountFromValue(link::ParseNumber(count));
    std::lock_guard<std::mutex> guard(m_textLock);
    m_statistics = std::move(statistics);
    return true;
}

bool CKVTFunction::SyncScale() {
    return true;
}

KVTScaleSettings* CKVTFunction::GetScaleSettings() {
    // Functions without scaling share one record that stays all zero.
    static KVTScaleSettings none;
    return &none;
}

void CKVTFunction::SetScaleState(int) {}
void CKVTFunction::SetScaleFunction(const std::string&) {}
void CKVTFunction::SetDbReference(int) {}
void CKVTFunction::SetDbmReference(int) {}
void CKVTFunction::SetReferenceAuto(int) {}

void CKVTFunction::OnSoftKey(int position) {
    auto shown = m_softKeys.find(position);
    if (shown != m_softKeys.end()) {
        shown->second->Press();
    }
}

bool CKVTFunction::HasTinyMenu() {
    return false;
}
std::string CKVTFunction::GetTinyMenuText() {
    return {};
}
int CKVTFunction::GetTinyMenuCursor() {
    return 0;
}
void CKVTFunction::GetTinyMenuRect(int&, int&, int&, int&) {}

std::string CKVTFunction::GetName() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_name;
}

void CKVTFunction::AddMenuItem(int id, int position, const std::string& keyText,
                               const std::string& title, const std::string& subtitle,
                               const std::string& optionA, const std::string& optionB, int kind) {
    CMenuItem item(id, position, this, kind);
    item.m_keyText = keyText;
    item.m_title = title;
    item.m_subtitle = subtitle;
    item.m_optionA = optionA;
    item.m_optionB = optionB;
    // Replacing an item keeps its address, so a shown page stays valid.
    m_items[id] = std::move(item);
}

void CKVTFunction::ShowSoftKeys(int count, const int* ids) {
    m_softKeys.clear();
    for (int i = 0; i < count; ++i) {
        auto item = m_items.find(ids[i]);
        if (item != m_items.end()) {
            m_softKeys[item->second.m_position] = &item->second;
        }
    }
}

void CKVTFunction::SelectInGroup(int firstId, int lastId, int selectedId) {
    for (int id = firstId; id <= lastId; ++id) {
        auto item = m_items.find(id);
        if (item != m_items.end() && item->second.m_checked) {
            item->second.m_checked = false;
            break;
        }
    }
    if (CMenuItem* selected = GetItem(selectedId)) {
        selected->m_checked = true;
    }
}

std::string CKVTFunction::SoftKeyField(int position, std::string CMenuItem::*field) const {
    const CMenuItem* item = GetSoftKeyItem(position);
    return item == nullptr ? std::string() : item->*field;
}

std::string CKVTFunction::GetSoftKeyText(int position) const {
    return SoftKeyField(position, &CMenuItem::m_keyText);
}
std::string CKVTFunction::GetSoftKeyTitle(int position) const {
    return SoftKeyField(position, &CMenuItem::m_title);
}
std::string CKVTFunction::GetSoftKeySubtitle(int position) const {
    return SoftKeyField(position, &CMenuItem::m_subtitle);
}
std::string CKVTFunction::GetSoftKeyOptionA(int position) const {
    return SoftKeyField(position, &CMenuItem::m_optionA);
}
std::string CKVTFunction::GetSoftKeyOptionB(int position) const {
    return SoftKeyField(position, &CMenuItem::m_optionB);
}

const CMenuItem* CKVTFunction::GetSoftKeyItem(int position) const {
    auto shown = m_softKeys.find(position);
    return shown == m_softKeys.end() ? nullptr : shown->second;
}

CMenuItem* CKVTFunction::GetItem(int id) {
    auto item = m_items.find(id);
    return item == m_items.end() ? nullptr : &item->second;
}

void CKVTFunction::Start() {
    if (m_worker.HasEnded()) {
        CreateWorker();
    }
    m_worker.Resume();
    m_startTicks.store(NowTicks());
}

void CKVTFunction::Pause() {
    m_worker.Suspend();
}

void CKVTFunction::Shutdown() {
    m_worker.Stop();
}

void CKVTFunction::SetTrendModeLocked(const std::string& mode) {
    auto guard = LockForCommand();
    link::SetTrendChartMode(mode);
    link::Pause(kSettlePause);
}

void CKVTFunction::PushHistory(double value) {
    auto guard = LockForCommand();
    if (m_history.size() > kHistoryLimit) {
        m_history.pop_front();
    }
    m_history.push_back(value);
}

std::vector<double> CKVTFunction::HistorySnapshot() {
    auto guard = LockForCommand();
    return std::vector<double>(m_history.begin(), m_history.end());
}

bool CKVTFunction::SaveHistory(const std::string& path, std::string* error) {
    // Copied first: the worker keeps appending while the file is written.
    std::vector<double> values = HistorySnapshot();
    return WriteReadingsFile(path, values, error);
}

KVTStatistics CKVTFunction::GetStatistics() const {
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_statistics;
}

std::thread::id CKVTFunction::LaunchReadingWorker() {
    return m_worker.Create([this] { RunWorkerLoop(); });
}

bool CKVTFunction::ReadForCycle() {
    return ReadOnce();
}

bool CKVTFunction::FollowsAutoRange() const {
    return true;
}

bool CKVTFunction::NotifiesUnderLock() const {
    return false;
}

void CKVTFunction::CycleCompleted(std::chrono::steady_clock::duration) {}

bool CKVTFunction::RunCycleLocked() {
    link::FailureWatch failure;
    if (!ReadForCycle() || !FetchViewData(failure) || failure.Failed()) {
        return false;
    }
    if (FollowsAutoRange() && !m_worker.StopRequested() && GetRangeMode() == "Auto") {
        return UpdateAutoRange() && !failure.Failed();
    }
    return true;
}

bool CKVTFunction::FetchViewData(const link::FailureWatch& failure) {
    // A stop request skips the rest of the cycle: nothing more is sent. A
    // failed exchange ends it too: the meter has stopped answering.
    auto goOn = [&] { return !m_worker.StopRequested() && !failure.Failed(); };
    if (goOn() && g_trendViewActive.load() && !FetchTrendData(this)) {
        return false;
    }
    if (goOn() && g_histogramViewActive.load() && !FetchHistogramData()) {
        return false;
    }
    if (goOn() && g_statisticsViewActive.load() && !UpdateStatistics()) {
        return false;
    }
    return true;
}

void CKVTFunction::RunWorkerLoop() {
    std::unique_lock<std::recursive_mutex> lock(m_lock);
    while (m_worker.WaitForTurn(lock)) {
        auto begin = std::chrono::steady_clock::now();
        if (!RunCycleLocked()) {
            break;
        }
        bool underLock = NotifiesUnderLock();
        if (underLock) {
            PostNewReading();
        }
        CycleCompleted(std::chrono::steady_clock::now() - begin);
        lock.unlock();
        if (!underLock) {
            PostNewReading();
        }
        lock.lock();
    }
    // Ended by a failed exchange rather than by Pause or Shutdown: whoever
    // keeps the readings going is told.
    if (!m_worker.StopRequested() && m_panel != nullptr) {
        m_panel->OnReadingsStopped(this);
    }
}

void CKVTFunction::PostNewReading() {
    if (m_panel != nullptr) {
        m_panel->PostNewReading();
    }
}

}  // namespace kvt::functions
