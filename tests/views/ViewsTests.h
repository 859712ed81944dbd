#pragma once

// One entry per test class of the views; each returns its failure count.
int RunBarMeterTests(int argc, char** argv);
int RunTrendChartTests(int argc, char** argv);
int RunHistogramTests(int argc, char** argv);
int RunMathViewTests(int argc, char** argv);
int RunNumberEntryTests(int argc, char** argv);
