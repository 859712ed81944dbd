#include "views/ViewText.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLocale>

#include "functions/PrefixTable.h"
#include "link/Numbers.h"

namespace kvt::views {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ScaleText(double value) {
    int index = functions::NormalizePrefix(value);
    return FromUtf8(link::FormatFixed(value, 3)) + FromUtf8(functions::PrefixLetter(index));
}

QString ValueText(double value) {
    int index = functions::NormalizePrefix(value);
    QString text = FromUtf8(link::FormatFixed(value, 3));
    if (index != functions::kNoPrefix) {
        text += FromUtf8(functions::PrefixLetter(index));
    }
    return text;
}

std::string TypedNumberText(const QString& text) {
    QString typed = text;
    const QString separator = QLocale().decimalPoint();
    if (separator != QStringLiteral(".")) {
        typed.replace(separator, QStringLiteral("."));
    }
    return typed.toStdString();
}

double EditNumber(const QString& text) {
    return link::ParseNumber(TypedNumberText(text));
}

void FillPrefixList(QComboBox* list, int first, int last) {
    for (int index = first; index <= last; ++index) {
        list->addItem(FromUtf8(functions::PrefixLetter(index)));
    }
}

QFont ChartFont(int labelWidth) {
    QFont font("DejaVu Sans");
    font.setStretch(QFont::SemiCondensed);
    for (int pixels = 11; pixels >= 8; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).horizontalAdvance("-888.888m") <= labelWidth) {
            break;
        }
    }
    return font;
}

}  // namespace kvt::views
