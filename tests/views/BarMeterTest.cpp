// The bar meter: its scale controls, the drawn ticks, labels and bar at
// the positions a 26th of the width apart, and a scale without span.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <limits>

#include "tests/views/Pixels.h"
#include "tests/views/ViewsTests.h"
#include "views/CDlgBarMeter.h"
#include "views/CStaticBarMeter.h"

using kvt::test::AnyIn;
using kvt::test::At;
using kvt::test::InkColumns;
using kvt::test::Render;
using kvt::views::CDlgBarMeter;
using kvt::views::CStaticBarMeter;

namespace {

// A chart 520 by 120 pixels: u = 20.
constexpr int kWidth = 520;
constexpr int kHeight = 120;
constexpr int kUnit = 20;
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kBlack(0, 0, 0);
const QColor kYellow(0xFF, 0xFF, 0);
const QColor kGrey(0x80, 0x80, 0x80);

// Middle row of the bar: from 5H/8 to 5H/8 + H/8 - 2.
constexpr int kBarRow = 5 * kHeight / 8 + 6;

}  // namespace

class BarMeterTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CDlgBarMeter> m_dialog;

    CStaticBarMeter* Chart() { return m_dialog->Chart(); }

    template <class Widget>
    Widget* Find(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }

    void SetScaleEnd(const char* row, const QString& number, int prefix) {
        Find<QLineEdit>((QByteArray(row) + "Edit").constData())->setText(number);
        Find<QComboBox>((QByteArray(row) + "Prefix").constData())->setCurrentIndex(prefix);
        Find<QPushButton>((QByteArray(row) + "Set").constData())->click();
    }

    // Right end of the drawn bar: the last yellow or grey column of its row.
    int DrawnBarEnd(const QImage& image) {
        int end = -1;
        for (int x = 6; x < image.width(); ++x) {
            QColor colour = At(image, x, kBarRow);
            if (colour == kYellow || colour == kGrey) {
                end = x;
            }
        }
        return end;
    }

private slots:
    void init() {
        m_dialog = std::make_unique<CDlgBarMeter>();
        Chart()->setFixedSize(kWidth, kHeight);
        m_dialog->show();
        QCOMPARE(Chart()->size(), QSize(kWidth, kHeight));
    }

    void cleanup() { m_dialog.reset(); }

    void controlsStartAsWritten() {
        for (const char* row : {"high", "low"}) {
            auto* prefixes = Find<QComboBox>((QByteArray(row) + "Prefix").constData());
            QCOMPARE(prefixes->count(), 10);
            QStringList letters;
            for (int i = 0; i < prefixes->count(); ++i) {
                letters << prefixes->itemText(i);
            }
            QCOMPARE(letters, (QStringList{"p", "n", "u", "m", " ", "k", "M", "G", "T", "P"}));
            QCOMPARE(prefixes->currentIndex(), 4);
            QCOMPARE(Find<QLabel>((QByteArray(row) + "Unit").constData())->text(), QString("V"));
            QCOMPARE(Find<QPushButton>((QByteArray(row) + "Set").constData())->text(),
                     QString("Set"));
        }
        m_dialog->SetUnitText(QString::fromUtf8("Ω"));
        QCOMPARE(Find<QLabel>("highUnit")->text(), QString::fromUtf8("Ω"));
        QCOMPARE(Find<QLabel>("lowUnit")->text(), QString::fromUtf8("Ω"));
        QVERIFY(m_dialog->IsViewVisible());
        m_dialog->hide();
        QVERIFY(!m_dialog->IsViewVisible());
    }

    void initialScaleIsDrawnAtItsTicks() {
        QCOMPARE(Chart()->Low(), -100.0);
        QCOMPARE(Chart()->High(), 100.0);
        QCOMPARE(Chart()->PlotLow(), -120.0);
        QCOMPARE(Chart()->PlotHigh(), 120.0);
        QImage image = Render(Chart());
        QCOMPARE(At(image, 2, 2), kWhite);
        // Minor ticks at i*u from H/2 down to 3H/4, white between them.
        for (int i = 1; i <= 24; ++i) {
            QCOMPARE(At(image, i * kUnit, kHeight / 2 + 3), kBlack);
        }
        QCOMPARE(At(image, 30, kHeight / 2 + 3), kWhite);
        QCOMPARE(At(image, 30, kHeight / 2 - 3), kWhite);
        // Medium ticks (3 pixels) at 8u and 18u from 3H/8.
        for (int x : {8 * kUnit - 1, 8 * kUnit + 1, 18 * kUnit}) {
            QCOMPARE(At(image, x, 3 * kHeight / 8 + 3), kBlack);
        }
        QCOMPARE(At(image, 8 * kUnit, 3 * kHeight / 8 - 3), kWhite);
        QCOMPARE(At(image, 8 * kUnit + 3, 3 * kHeight / 8 + 3), kWhite);
        // Major ticks (5 pixels) at 3u, 13u and 23u from H/4.
        for (int tick : {3, 13, 23}) {
            QCOMPARE(At(image, tick * kUnit - 2, kHeight / 4 + 2), kBlack);
            QCOMPARE(At(image, tick * kUnit + 2, kHeight / 4 + 2), kBlack);
            QCOMPARE(At(image, tick * kUnit + 4, kHeight / 4 + 2), kWhite);
        }
        // The base line, 2 pixels, from u to the right less u.
        QVERIFY(At(image, 30, 3 * kHeight / 4) == kBlack);
        QCOMPARE(At(image, 30, 3 * kHeight / 4 + 3), kWhite);
        QCOMPARE(At(image, kUnit - 3, 3 * kHeight / 4), kWhite);
        QCOMPARE(At(image, kWidth - kUnit - 3, 3 * kHeight / 4), kBlack);
        QCOMPARE(At(image, kWidth - kUnit + 3, 3 * kHeight / 4), kWhite);
        // The start cap: yellow in a grey outline from x 0 to 5.
        QCOMPARE(At(image, 2, 5 * kHeight / 8), kYellow);
        QCOMPARE(At(image, 2, 5 * kHeight / 8 - 4), kGrey);
        QCOMPARE(At(image, 2, 5 * kHeight / 8 - 6), kWhite);
        // Value 0 ends the bar at 13u.
        QCOMPARE(At(image, 13 * kUnit - 3, kBarRow), kYellow);
        QCOMPARE(DrawnBarEnd(image), 13 * kUnit);
        QCOMPARE(At(image, 13 * kUnit, 5 * kHeight / 8), kGrey);
    }

    void labelsAreCentredOnTheMajorTicks() {
        QCOMPARE(Chart()->LabelText(0), QString("-100.000 "));
        QCOMPARE(Chart()->LabelText(1), QString("0.000 "));
        QCOMPARE(Chart()->LabelText(2), QString("100.000 "));
        QImage image = Render(Chart());
        // The text stands above H/4, centred on its tick (the trailing
        // blank draws no ink, so the ink leans half a blank to the left).
        const int blank = QFontMetrics(Chart()->font()).horizontalAdvance(' ');
        for (int tick : {3, 13, 23}) {
            QRect band(tick * kUnit - 5 * kUnit, 0, 10 * kUnit, kHeight / 4 - 3);
            auto [first, last] = InkColumns(image, band, kvt::test::IsDarkInk);
            QVERIFY2(first >= 0, "no label ink");
            double centre = (first + last) / 2.0 + blank / 2.0;
            QVERIFY2(std::fabs(centre - tick * kUnit) <= 2.5, qPrintable(QString::number(centre)));
        }
        QVERIFY(!AnyIn(image, QRect(0, kHeight / 4 + 1, 2 * kUnit, 2), kBlack));
    }

    void scaleRowsMoveTheBar() {
        SetScaleEnd("high", "5", 3);  // 5 m = 0.005
        SetScaleEnd("low", "0", 4);
        QCOMPARE(Chart()->High(), 0.005);
        QCOMPARE(Chart()->Low(), 0.0);
        QCOMPARE(Chart()->LabelText(0), QString("0.000 "));
        QCOMPARE(Chart()->LabelText(1), QString("2.500m"));
        QCOMPARE(Chart()->LabelText(2), QString("5.000m"));

        m_dialog->SetValue(0.0025);
        QCOMPARE(DrawnBarEnd(Render(Chart())), 13 * kUnit);
        m_dialog->SetValue(0.005);
        QCOMPARE(DrawnBarEnd(Render(Chart())), 23 * kUnit);
        m_dialog->SetValue(0);
        QCOMPARE(DrawnBarEnd(Render(Chart())), 3 * kUnit);
        // Beyond the plotted range: clamped to u and 25u.
        m_dialog->SetValue(-1);
        QCOMPARE(DrawnBarEnd(Render(Chart())), kUnit);
        m_dialog->SetValue(9.9e37);
        QCOMPARE(DrawnBarEnd(Render(Chart())), 25 * kUnit);

        // Text that is no number sets 0; a low above the high is clamped.
        SetScaleEnd("high", "abc", 4);
        QCOMPARE(Chart()->High(), 0.0);
        SetScaleEnd("high", "2", 5);
        QCOMPARE(Chart()->High(), 2000.0);
    }

    void scaleEndsKeepTheirSideWithoutRangeCheck_data() {
        // From the scale -100 to 100, through the rows' "Set" buttons.
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("prefix");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("low");
        const struct {
            const char* name;
            const char* row;
            const char* number;
            int prefix;
            double high;
            double low;
        } rows[] = {{"high below the low", "high", "-200", 4, -100, -100},
                    {"low above the high", "low", "2", 5, 100, 100},
                    // No range test, unlike the trend chart: 1e18 and
                    // beyond, or below 1e-15, are taken.
                    {"high exactly 1e18", "high", "1000", 9, 1e18, -100},
                    {"high 2e30", "high", "2e15", 9, 2e30, -100},
                    {"low 1e-16", "low", "0.0001", 0, 100, 1e-16}};
        for (const auto& row : rows) {
            QTest::newRow(row.name)
                << QString(row.row) << QString(row.number) << row.prefix << row.high << row.low;
        }
    }

    void scaleEndsKeepTheirSideWithoutRangeCheck() {
        QFETCH(QString, row);
        QFETCH(QString, number);
        QFETCH(int, prefix);
        QFETCH(double, high);
        QFETCH(double, low);
        SetScaleEnd(row.toLatin1().constData(), number, prefix);
        QCOMPARE(Chart()->High(), high);
        QCOMPARE(Chart()->Low(), low);
    }

    void scaleWithoutSpanDrawsNoBar() {
        SetScaleEnd("low", "2", 5);  // 2 k above the high of 100: clamped
        QCOMPARE(Chart()->Low(), 100.0);
        QCOMPARE(Chart()->Center(), 100.0);
        QCOMPARE(Chart()->PlotLow(), Chart()->PlotHigh());
        QVERIFY(Chart()->BarEnd() < 0);
        QImage image = Render(Chart());
        QCOMPARE(DrawnBarEnd(image), -1);
        QCOMPARE(At(image, 2, 5 * kHeight / 8), kYellow);  // the cap stays

        // A reading that is no number draws no bar either.
        SetScaleEnd("high", "200", 4);
        m_dialog->SetValue(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(DrawnBarEnd(Render(Chart())), -1);
    }

    void layoutFollowsTheSize() {
        Chart()->setFixedSize(780, kHeight);  // u = 30
        QImage image = Render(Chart());
        QCOMPARE(DrawnBarEnd(image), 13 * 30);
        QCOMPARE(At(image, 23 * 30 + 2, kHeight / 4 + 2), kBlack);
    }
};

int RunBarMeterTests(int argc, char** argv) {
    BarMeterTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BarMeterTest.moc"
