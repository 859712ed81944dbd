// The front panel's side of one reading, offscreen with the real skin:
// handling one new-reading event (main display, bar meter and the visible
// view), the same followed by painting the window, and one full redraw of
// the main display and the soft keys. Nothing here talks to an instrument.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>

#include <memory>

#include "functions/CKVTFunction.h"
#include "functions/ProgramRecords.h"
#include "panel/CFrontPanel.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"

namespace {

using kvt::panel::CFrontPanel;

// The panel with its four views, DC voltage current, one reading in.
struct PanelUnderTest {
    std::unique_ptr<CFrontPanel> panel = std::make_unique<CFrontPanel>();
    std::unique_ptr<kvt::views::CDlgKVTMath> statistics;
    std::unique_ptr<kvt::views::CDlgBarMeter> bar = std::make_unique<kvt::views::CDlgBarMeter>();
    std::unique_ptr<kvt::views::CDlgTrendChart> trend;
    std::unique_ptr<kvt::views::CDlgHistogram> histogram;
    bool created = false;

    PanelUnderTest() {
        statistics = std::make_unique<kvt::views::CDlgKVTMath>(panel.get());
        trend = std::make_unique<kvt::views::CDlgTrendChart>(panel.get());
        histogram = std::make_unique<kvt::views::CDlgHistogram>(panel.get());
        panel->SetStatisticsView(statistics.get());
        panel->SetBarMeterView(bar.get());
        panel->SetTrendView(trend.get());
        panel->SetHistogramView(histogram.get());
        created = panel->CreatePanel(KVT_PANEL_SKIN, nullptr);
        panel->GetCurrentFunction()->SetReadingText("+1.234567000000");
        panel->show();
        bar->show();
    }
    ~PanelUnderTest() {
        panel->Shutdown();
        kvt::functions::g_trendViewActive = false;
        kvt::functions::g_histogramViewActive = false;
        kvt::functions::g_statisticsViewActive = false;
    }
};

enum class View { Statistics, Trend, Histogram };

void ShowOnly(PanelUnderTest& under, View view) {
    under.statistics->setVisible(view == View::Statistics);
    under.trend->setVisible(view == View::Trend);
    under.histogram->setVisible(view == View::Histogram);
}

void FillRecords(int trendPoints) {
    kvt::functions::TrendRecord().Update([trendPoints](kvt::functions::KVTTrendData& data) {
        data.count = trendPoints;
        data.minimum = 0.9;
        data.maximum = 1.1;
        data.mode = "REC";
        for (int i = 0; i < trendPoints; ++i) {
            data.values[i] = 1.0 + 0.1 * ((i % 21) - 10) / 10.0;
        }
    });
    kvt::functions::HistogramRecord().Update([](kvt::functions::KVTHistogramData& data) {
        data.binCount = 100;
        data.points = 10000;
        data.lower = 0.9;
        data.upper = 1.1;
        for (int i = 0; i < 100; ++i) {
            data.bins[i] = 100 - (i - 50) * (i - 50) / 25;
        }
    });
}

void NewReading(benchmark::State& state, View view, bool paint) {
    PanelUnderTest under;
    if (!under.created) {
        state.SkipWithError("the skin did not load");
        return;
    }
    FillRecords(static_cast<int>(state.range(0)));
    ShowOnly(under, view);
    QImage canvas(under.panel->size(), QImage::Format_ARGB32_Premultiplied);
    double value = 1.0;
    for (auto _ : state) {
        value += 1e-6;
        under.panel->GetCurrentFunction()->SetReadingText(value > 1.5 ? "Overload"
                                                                      : "+1.234567000000");
        QEvent reading(CFrontPanel::kNewReadingEvent);
        QCoreApplication::sendEvent(under.panel.get(), &reading);
        if (paint) {
            QPainter painter(&canvas);
            under.panel->render(&painter);
        }
    }
}

void BM_NewReadingStatistics(benchmark::State& state) {
    NewReading(state, View::Statistics, false);
}
void BM_NewReadingTrend(benchmark::State& state) {
    NewReading(state, View::Trend, false);
}
void BM_NewReadingHistogram(benchmark::State& state) {
    NewReading(state, View::Histogram, false);
}
void BM_NewReadingStatisticsPainted(benchmark::State& state) {
    NewReading(state, View::Statistics, true);
}

void BM_RefreshMainDisplayAndSoftKeys(benchmark::State& state) {
    PanelUnderTest under;
    if (!under.created) {
        state.SkipWithError("the skin did not load");
        return;
    }
    for (auto _ : state) {
        under.panel->RefreshMainDisplay();
        under.panel->RefreshSoftKeys();
    }
}

// The same while the soft keys change page every time (new texts, colours
// and backgrounds for all six keys).
void BM_RefreshAfterPageChange(benchmark::State& state) {
    PanelUnderTest under;
    if (!under.created) {
        state.SkipWithError("the skin did not load");
        return;
    }
    kvt::functions::CKVTFunction* function = under.panel->GetCurrentFunction();
    bool rangePage = false;
    for (auto _ : state) {
        state.PauseTiming();
        rangePage = !rangePage;
        if (rangePage) {
            function->OnSoftKey(0);  // "Range" opens the range page
        } else {
            function->ShowMainMenu();
        }
        state.ResumeTiming();
        under.panel->RefreshMainDisplay();
        under.panel->RefreshSoftKeys();
    }
}

}  // namespace

BENCHMARK(BM_NewReadingStatistics)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewReadingTrend)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewReadingHistogram)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewReadingStatisticsPainted)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshMainDisplayAndSoftKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAfterPageChange)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
