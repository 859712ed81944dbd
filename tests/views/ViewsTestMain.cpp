// The analysis views under Qt Test, on the offscreen platform.
#include <QApplication>

#include "tests/views/ViewsTests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // A style that draws its frames with lines: the default style scales
    // frame pixmaps on Qt's own worker threads, whose hand-over a thread
    // sanitizer cannot see in the uninstrumented Qt libraries.
    QApplication::setStyle("Windows");
    int failures = 0;
    for (auto run : {RunBarMeterTests, RunTrendChartTests, RunHistogramTests, RunMathViewTests,
                     RunNumberEntryTests}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
