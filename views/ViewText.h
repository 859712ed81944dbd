#pragma once

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

class QComboBox;

namespace kvt::views {

// Texts shared by the analysis views. Numbers are written with a point
// whatever the locale.

// The value with its prefix letter, "%.3f%s": -100.000 followed by a blank
// when no prefix applies, 2.500m, 5.000k. Scale labels of the bar meter
// and the trend chart.
QString ScaleText(double value);

// The same without the blank when no prefix applies: 3.000, -1.000m.
// Value texts of the histogram.
QString ValueText(double value);

// The text a user typed into a number entry, with the locale's decimal
// separator (a comma under de_DE) turned into a point, so that "2,5" and
// "2.5" read alike whatever the locale. Nothing else is changed.
std::string TypedNumberText(const QString& text);

// Number at the start of an edit's text, read like the C conversion after
// TypedNumberText; text that is no number reads as 0.
double EditNumber(const QString& text);

// Appends the letters of the prefix table from first to last (indexes,
// both included) to list, one entry each.
void FillPrefixList(QComboBox* list, int first, int last);

QString FromUtf8(std::string_view text);

// The font of the drawn charts: a condensed sans serif, as large (11 pixels
// down to 8) as lets the widest value label ("-888.888m") fit in labelWidth.
QFont ChartFont(int labelWidth);

}  // namespace kvt::views
