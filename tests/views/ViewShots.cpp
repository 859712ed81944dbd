// Pictures of the four analysis views with realistic data, for a person to
// look at (not a test): views_shots <folder> writes one PNG per view.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QRadioButton>

#include <cmath>
#include <memory>

#include "functions/KVTHistogramData.h"
#include "functions/KVTScaleSettings.h"
#include "functions/KVTStatistics.h"
#include "functions/KVTTrendData.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"

namespace {

constexpr int kViewWidth = 640;
constexpr int kViewHeight = 272;

void Save(QWidget& view, const QString& folder, const char* name) {
    view.resize(kViewWidth, kViewHeight);
    view.show();
    QApplication::processEvents();
    view.grab().save(QDir(folder).filePath(name));
}

// A noisy 1.2 V reading drifting slowly, as the trend record holds it.
double Reading(int i) {
    return 1.2 + 0.004 * std::sin(i / 23.0) + 0.0015 * std::sin(i * 1.7) +
           0.0007 * std::cos(i * 5.3);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    kvt::views::CDlgKVTMath math(nullptr);
    math.show();
    math.ShowStatistics({"+1.19612000E+00", "+1.20004213E+00", "+1.20398000E+00", "+7.86000000E-03",
                         "+1.73200000E-03", 1523});
    kvt::functions::KVTScaleSettings scale;
    scale.valid = true;
    scale.state = 1;
    scale.function = "dB";
    scale.dbReference = 0;
    scale.dbmReference = 600;
    math.ShowScaleSettings(scale);
    Save(math, folder, "math.png");

    kvt::views::CDlgBarMeter bar;
    bar.SetUnitText("V");
    bar.show();
    bar.SetValue(42.7);
    Save(bar, folder, "barmeter.png");

    kvt::views::CDlgTrendChart trend(nullptr);
    trend.SetUnitText("V");
    trend.show();
    auto record = std::make_unique<kvt::functions::KVTTrendData>();
    record->mode = "REC";
    record->range = "2";
    record->count = 401;
    for (int i = 0; i < record->count; ++i) {
        record->values[i] = Reading(i);
    }
    record->minimum = 1.19;
    record->maximum = 1.21;
    trend.UpdateTrend(*record);
    Save(trend, folder, "trend-rec.png");
    record->mode = "ALL";
    record->elapsedSeconds = 754;
    trend.findChild<QRadioButton*>("autoRadio")->click();
    trend.UpdateTrend(*record);
    Save(trend, folder, "trend-all-auto.png");

    kvt::views::CDlgHistogram histogram(nullptr);
    histogram.show();
    auto bins = std::make_unique<kvt::functions::KVTHistogramData>();
    bins->binCount = 400;
    bins->points = 15230;
    bins->autoRange = 1;
    bins->lower = 1.19;
    bins->upper = 1.21;
    for (int i = 0; i < bins->binCount; ++i) {
        double z = (i - 200.0) / 55.0;
        bins->bins[i] = std::round(150 * std::exp(-z * z / 2));
    }
    bins->firstCount = 40;
    bins->lastCount = 12;
    histogram.UpdateHistogram(*bins);
    Save(histogram, folder, "histogram.png");
    histogram.findChild<QCheckBox*>("cumulativeCheck")->click();
    histogram.findChild<QCheckBox*>("outerCheck")->click();
    histogram.UpdateHistogram(*bins);
    Save(histogram, folder, "histogram-cumulative-outer.png");
    return 0;
}
