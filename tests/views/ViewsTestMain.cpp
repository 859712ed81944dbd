// The analysis views under Qt Test, on the offscreen platform.
#include <QApplication>

#include "tests/views/ViewsTests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto run : {RunBarMeterTests, RunTrendChartTests, RunHistogramTests, RunMathViewTests}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
