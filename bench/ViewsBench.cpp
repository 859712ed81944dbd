// One update plus one paint of each analysis view, drawn into an offscreen
// image of the chart's size in the 640-pixel-wide view area: the trend
// chart with 401 points, the histogram with 400 bins (cumulative curve and
// outer bins on), the bar meter, and the statistics panel.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QRadioButton>

#include <cmath>
#include <memory>

#include "functions/KVTHistogramData.h"
#include "functions/KVTStatistics.h"
#include "functions/KVTTrendData.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"
#include "views/CStaticBarMeter.h"
#include "views/CStaticHistogramChart.h"
#include "views/CStaticTrendChart.h"

namespace {

// The charts' sizes inside a 640 by 272 view.
const QSize kTrendSize(628, 170);
const QSize kHistogramSize(628, 170);
const QSize kBarSize(628, 190);
const QSize kViewSize(640, 272);

void TrendUpdateAndPaint(benchmark::State& state) {
    kvt::views::CDlgTrendChart view(nullptr);
    view.Chart()->setFixedSize(kTrendSize);
    view.findChild<QRadioButton*>("autoRadio")->click();
    view.show();
    auto record = std::make_unique<kvt::functions::KVTTrendData>();
    record->mode = "REC";
    record->range = "2";
    record->count = 401;
    record->minimum = 1.19;
    record->maximum = 1.21;
    QImage image(kTrendSize, QImage::Format_ARGB32_Premultiplied);
    int round = 0;
    for (auto _ : state) {
        for (int i = 0; i < record->count; ++i) {
            record->values[i] = 1.2 + 0.005 * std::sin((i + round) / 23.0);
        }
        ++round;
        view.UpdateTrend(*record);
        view.Chart()->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(TrendUpdateAndPaint)->Unit(benchmark::kMicrosecond);

void HistogramUpdateAndPaint(benchmark::State& state) {
    kvt::views::CDlgHistogram view(nullptr);
    view.Chart()->setFixedSize(kHistogramSize);
    view.findChild<QCheckBox*>("cumulativeCheck")->click();
    view.findChild<QCheckBox*>("outerCheck")->click();
    view.show();
    auto record = std::make_unique<kvt::functions::KVTHistogramData>();
    record->binCount = 400;
    record->points = 15230;
    record->autoRange = 1;
    record->lower = 1.19;
    record->upper = 1.21;
    record->firstCount = 40;
    record->lastCount = 12;
    QImage image(kHistogramSize, QImage::Format_ARGB32_Premultiplied);
    int round = 0;
    for (auto _ : state) {
        for (int i = 0; i < record->binCount; ++i) {
            double z = (i - 200.0 - round % 7) / 55.0;
            record->bins[i] = std::round(150 * std::exp(-z * z / 2));
        }
        ++round;
        view.UpdateHistogram(*record);
        view.Chart()->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(HistogramUpdateAndPaint)->Unit(benchmark::kMicrosecond);

void BarMeterUpdateAndPaint(benchmark::State& state) {
    kvt::views::CDlgBarMeter view;
    view.Chart()->setFixedSize(kBarSize);
    view.show();
    QImage image(kBarSize, QImage::Format_ARGB32_Premultiplied);
    int round = 0;
    for (auto _ : state) {
        view.SetValue(42.7 + round++ % 10);
        view.Chart()->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BarMeterUpdateAndPaint)->Unit(benchmark::kMicrosecond);

void StatisticsShowAndPaint(benchmark::State& state) {
    kvt::views::CDlgKVTMath view(nullptr);
    view.resize(kViewSize);
    view.show();
    kvt::functions::KVTStatistics statistics{"+1.19612000E+00", "+1.20004213E+00",
                                             "+1.20398000E+00", "+7.86000000E-03",
                                             "+1.73200000E-03", 1523};
    QImage image(kViewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        ++statistics.count;
        view.ShowStatistics(statistics);
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(StatisticsShowAndPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
