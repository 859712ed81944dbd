// The trend chart: its layout and grid, the curve in the recent and the
// all-readings modes, the three vertical scales, the time labels, scales
// without span, records longer than the storage, and the panel's controls.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <limits>
#include <memory>

#include "functions/ProgramRecords.h"
#include "tests/functions/RecordingPanel.h"
#include "tests/views/Pixels.h"
#include "tests/views/ViewsTests.h"
#include "views/CDlgTrendChart.h"
#include "views/CStaticTrendChart.h"

using kvt::functions::KVTTrendData;
using kvt::test::AnyIn;
using kvt::test::At;
using kvt::test::InkColumns;
using kvt::test::Render;
using kvt::views::CDlgTrendChart;
using kvt::views::CStaticTrendChart;

namespace {

// A chart 465 by 145 pixels: inner width 400 (one pixel per step), inner
// height 120, rows of 5 pixels, columns of 40.
constexpr int kWidth = 465;
constexpr int kHeight = 145;
constexpr int kInnerLeft = 62;
constexpr int kInnerRight = 462;
constexpr int kInnerTop = 3;
constexpr int kInnerBottom = 123;
constexpr int kCenterColumn = 262;
constexpr int kHighLine = 13;
constexpr int kCenterLine = 63;
constexpr int kLowLine = 113;
const QColor kGreen(0x5C, 0xAA, 0x51);
const QColor kBlack(0, 0, 0);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kRed(0xFF, 0, 0);

}  // namespace

class TrendChartTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::RecordingPanel> m_panel;
    std::unique_ptr<CDlgTrendChart> m_dialog;
    std::unique_ptr<KVTTrendData> m_record;

    CStaticTrendChart* Chart() { return m_dialog->Chart(); }

    template <class Widget>
    Widget* Find(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }

    void Record(const char* mode, std::initializer_list<double> values, const char* range = "10") {
        m_record->mode = mode;
        m_record->range = range;
        m_record->count = static_cast<int>(values.size());
        std::copy(values.begin(), values.end(), m_record->values.begin());
    }

private slots:
    void init() {
        m_panel = std::make_unique<kvt::test::RecordingPanel>();
        m_dialog = std::make_unique<CDlgTrendChart>(m_panel.get());
        Chart()->setFixedSize(kWidth, kHeight);
        m_dialog->show();
        m_record = std::make_unique<KVTTrendData>();
    }

    void cleanup() {
        m_dialog.reset();
        m_panel.reset();
        kvt::functions::g_trendViewActive = false;
    }

    void startsInRecentModeWithTheDefaultScale() {
        QVERIFY(Find<QRadioButton>("recentRadio")->isChecked());
        QVERIFY(Find<QRadioButton>("defaultRadio")->isChecked());
        QCOMPARE(m_dialog->Mode(), std::string("REC"));
        QVERIFY(Chart()->IsReversed());
        QCOMPARE(Chart()->Positions(), 400.0);
        QCOMPARE(Chart()->Low(), -0.5);
        QCOMPARE(Chart()->High(), 0.5);
        QCOMPARE(Chart()->Labels().size(), size_t(3));
        QCOMPARE(Chart()->Labels()[0].text, QString("-1min"));
        QCOMPARE(Chart()->Labels()[1].position, 200.0);
        QCOMPARE(Chart()->Labels()[1].text, QString("-30s"));
        QCOMPARE(Chart()->Labels()[2].text, QString("0s"));
        for (const char* name : {"highEdit", "lowEdit"}) {
            QVERIFY(!Find<QLineEdit>(name)->isEnabled());
        }
        for (const char* name : {"highPrefix", "lowPrefix"}) {
            QCOMPARE(Find<QComboBox>(name)->count(), 10);
            QCOMPARE(Find<QComboBox>(name)->currentIndex(), 4);
            QVERIFY(!Find<QComboBox>(name)->isEnabled());
        }
        QVERIFY(!Find<QPushButton>("highSet")->isEnabled());
        QCOMPARE(Find<QLabel>("highUnit")->text(), QString("V"));
        m_dialog->SetUnitText("A");
        QCOMPARE(Find<QLabel>("lowUnit")->text(), QString("A"));
        QVERIFY(Find<QLineEdit>("countEdit")->isHidden());
    }

    void layoutAndGridFollowTheRectangle() {
        QCOMPARE(Chart()->PlotRect(), QRect(60, 1, kWidth - 61, kHeight - 21));
        QCOMPARE(Chart()->InnerLeft(), kInnerLeft);
        QCOMPARE(Chart()->InnerRight(), kInnerRight);
        QCOMPARE(Chart()->InnerWidth(), 400);
        QCOMPARE(Chart()->InnerHeight(), 120);
        QCOMPARE(Chart()->CenterColumn(), kCenterColumn);
        QCOMPARE(Chart()->HighLineY(), kHighLine);
        QCOMPARE(Chart()->CenterLineY(), kCenterLine);
        QCOMPARE(Chart()->LowLineY(), kLowLine);

        QImage image = Render(Chart());
        QCOMPARE(At(image, 30, 2), kGreen);
        QCOMPARE(At(image, 59, 30), kGreen);
        QCOMPARE(At(image, 60, 30), kBlack);
        QCOMPARE(At(image, kWidth - 2, 30), kBlack);
        QCOMPARE(At(image, kWidth - 1, 30), kGreen);
        QCOMPARE(At(image, 100, 0), kGreen);
        QCOMPARE(At(image, 100, 1), kBlack);
        QCOMPARE(At(image, 100, kHeight - 21), kBlack);
        QCOMPARE(At(image, 100, kHeight - 20), kGreen);
        QCOMPARE(At(image, 100, 30), kBlack);
        // Three vertical lines from the inner top to the inner bottom.
        for (int x : {kInnerLeft, kCenterColumn, kInnerRight}) {
            QCOMPARE(At(image, x, kInnerTop), kWhite);
            QCOMPARE(At(image, x, 50), kWhite);
            QCOMPARE(At(image, x, kInnerBottom), kWhite);
            QCOMPARE(At(image, x, kInnerBottom + 1), kBlack);
        }
        // Ticks every row: 2 pixels, 5 at rows 7 and 17 (y 38 and 88).
        QCOMPARE(At(image, kInnerLeft + 2, 8), kWhite);
        QCOMPARE(At(image, kInnerLeft + 3, 8), kBlack);
        QCOMPARE(At(image, kInnerRight - 2, 8), kWhite);
        QCOMPARE(At(image, kInnerRight - 3, 8), kBlack);
        QCOMPARE(At(image, kCenterColumn - 2, 8), kWhite);
        QCOMPARE(At(image, kCenterColumn + 2, 8), kWhite);
        QCOMPARE(At(image, kCenterColumn + 3, 8), kBlack);
        for (int y : {38, 88}) {
            QCOMPARE(At(image, kInnerLeft + 5, y), kWhite);
            QCOMPARE(At(image, kInnerLeft + 6, y), kBlack);
            QCOMPARE(At(image, kCenterColumn - 5, y), kWhite);
            QCOMPARE(At(image, kInnerRight - 5, y), kWhite);
        }
        QCOMPARE(At(image, kInnerLeft + 1, 9), kBlack);
        // Horizontal lines with ticks at each tenth of the width.
        for (int y : {kHighLine, kCenterLine, kLowLine}) {
            QCOMPARE(At(image, 80, y), kWhite);
            QCOMPARE(At(image, 80, y + 1), kBlack);
            for (int k = 1; k <= 9; ++k) {
                if (k == 5) {
                    continue;  // the centre column
                }
                QCOMPARE(At(image, kInnerLeft + 40 * k, y - 2), kWhite);
                QCOMPARE(At(image, kInnerLeft + 40 * k, y + 2), kWhite);
                QCOMPARE(At(image, kInnerLeft + 40 * k, y + 3), kBlack);
            }
        }
        // Value labels in black, ending 5 pixels left of the plot, one per line.
        for (int y : {kHighLine, kCenterLine, kLowLine}) {
            auto [first, last] = InkColumns(image, QRect(0, y - 3, 60, 7), kvt::test::IsDarkInk);
            QVERIFY(first >= 0);
            QVERIFY2(last <= 55 && last >= 45, qPrintable(QString::number(last)));
        }
        // Time labels in white under the plot, centred at 0, 200 and 400 steps.
        auto [first, last] =
            InkColumns(image, QRect(220, kHeight - 19, 84, 18), kvt::test::IsLightInk);
        QVERIFY(first >= 0);
        QVERIFY(std::abs((first + last) / 2 - kCenterColumn) <= 2);
        // The labels at the ends are kept whole inside the control.
        const int zeroWidth = QFontMetrics(Chart()->font()).horizontalAdvance("0s");
        auto [zeroFirst, zeroLast] =
            InkColumns(image, QRect(400, kHeight - 19, 65, 18), kvt::test::IsLightInk);
        QVERIFY(zeroLast - zeroFirst + 1 >= zeroWidth - 3);
        QVERIFY(zeroLast < kWidth);
    }

    void recentModeDrawsTheLastValueAtTheRightEdge() {
        Record("REC", {1, 2, 3});
        m_dialog->UpdateTrend(*m_record);
        // Default scale from the range text "10": 10 to -10, span +-12.
        QCOMPARE(Chart()->High(), 10.0);
        QCOMPARE(Chart()->Low(), -10.0);
        QCOMPARE(Chart()->ValueLabel(0), QString("10.000 "));
        QCOMPARE(Chart()->ValueLabel(1), QString("0.000 "));
        QCOMPARE(Chart()->ValueLabel(2), QString("-10.000 "));
        QCOMPARE(Chart()->PointCount(), 3);
        const QPointF* points = Chart()->ScreenPoints();
        QCOMPARE(points[0], QPointF(kInnerRight, 58));
        QCOMPARE(points[1], QPointF(kInnerRight - 1, 53));
        QCOMPARE(points[2], QPointF(kInnerRight - 2, 48));
        QCOMPARE(Find<QLineEdit>("countEdit")->text(), QString("3"));
        QImage image = Render(Chart());
        QCOMPARE(At(image, kInnerRight, 58), kRed);
        QCOMPARE(At(image, kInnerRight - 2, 48), kRed);
        QVERIFY(!AnyIn(image, QRect(kInnerLeft, kInnerTop, 390, 120), kRed));
        // The high and low values fall on their lines.
        Record("REC", {10, -10});
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->ScreenPoints()[0].y(), double(kHighLine));
        QCOMPARE(Chart()->ScreenPoints()[1].y(), double(kLowLine));
    }

    void allModeRunsFromTheLeftWithTheElapsedTime() {
        Record("ALL", {1, 2, 3});
        m_record->elapsedSeconds = 125;
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(m_dialog->Mode(), std::string("ALL"));
        QVERIFY(Find<QRadioButton>("allRadio")->isChecked());
        QVERIFY(!Chart()->IsReversed());
        QCOMPARE(Chart()->Labels().size(), size_t(1));
        QCOMPARE(Chart()->Labels()[0].position, 200.0);
        QCOMPARE(Chart()->Labels()[0].text, QString("Elapsed Time:2m 5s"));
        QCOMPARE(Chart()->ScreenPoints()[0], QPointF(kInnerLeft, 58));
        QCOMPARE(Chart()->ScreenPoints()[2], QPointF(kInnerLeft + 2, 48));
        QImage image = Render(Chart());
        QCOMPARE(At(image, kInnerLeft + 2, 48), kRed);
        auto [first, last] =
            InkColumns(image, QRect(62, kHeight - 19, 400, 18), kvt::test::IsLightInk);
        QVERIFY2(first > kInnerLeft && last < kInnerRight,
                 qPrintable(QString("%1 %2").arg(first).arg(last)));
        QVERIFY(std::abs((first + last) / 2 - kCenterColumn) <= 2);

        // Back to recent: the labels of the recent mode return.
        Record("REC", {1});
        m_dialog->UpdateTrend(*m_record);
        QVERIFY(Find<QRadioButton>("recentRadio")->isChecked());
        QCOMPARE(Chart()->Labels().size(), size_t(3));
        QCOMPARE(Chart()->ScreenPoints()[0].x(), double(kInnerRight));
    }

    void overloadsSitOnTheEdges() {
        Record("REC", {9.9e37, -9.9e37});
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->ScreenPoints()[0].y(), double(kInnerTop));
        QCOMPARE(Chart()->ScreenPoints()[1].y(), double(kInnerBottom));
        QImage image = Render(Chart());
        QVERIFY(AnyIn(image, QRect(kInnerRight - 2, 58, 3, 5), kRed));  // the steep segment
    }

    void autoAndManualScales() {
        Find<QRadioButton>("autoRadio")->click();
        QVERIFY(!Find<QLineEdit>("highEdit")->isEnabled());
        Record("REC", {0});
        m_record->minimum = -2;
        m_record->maximum = 1;
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->High(), 1.0);
        QCOMPARE(Chart()->Low(), -2.0);
        QCOMPARE(Chart()->Center(), -0.5);

        // A new scale wholly below the old one takes two updates.
        m_record->minimum = -9;
        m_record->maximum = -5;
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->High(), -2.0);
        QCOMPARE(Chart()->Low(), -9.0);
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->High(), -5.0);

        Find<QRadioButton>("manualRadio")->click();
        for (const char* name : {"highEdit", "lowEdit"}) {
            QVERIFY(Find<QLineEdit>(name)->isEnabled());
        }
        QVERIFY(Find<QComboBox>("lowPrefix")->isEnabled());
        QVERIFY(Find<QPushButton>("lowSet")->isEnabled());
        Find<QLineEdit>("highEdit")->setText("200");
        Find<QComboBox>("highPrefix")->setCurrentIndex(3);  // m
        Find<QPushButton>("highSet")->click();
        QCOMPARE(Chart()->High(), 0.2);
        Find<QLineEdit>("lowEdit")->setText("-1");
        Find<QComboBox>("lowPrefix")->setCurrentIndex(5);  // k
        Find<QPushButton>("lowSet")->click();
        QCOMPARE(Chart()->Low(), -1000.0);
        QCOMPARE(Chart()->ValueLabel(0), QString("200.000m"));
        QCOMPARE(Chart()->ValueLabel(1), QString("-499.900 "));
        QCOMPARE(Chart()->ValueLabel(2), QString("-1.000k"));
        // Manual leaves the scale to the operator.
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->High(), 0.2);
        QCOMPARE(Chart()->Low(), -1000.0);

        Find<QRadioButton>("defaultRadio")->click();
        QVERIFY(!Find<QPushButton>("highSet")->isEnabled());
    }

    void scaleEndsOutsideTheRangeAreIgnored_data() {
        // From the scale -0.5 to 0.5. The bounds are the single-precision
        // 1e18 and 1e-15: the doubles 1e18 and 1e-15 lie beyond them.
        QTest::addColumn<bool>("high");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("accepted");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const struct {
            const char* name;
            bool high;
            double value;
            bool accepted;
        } rows[] = {{"high 2e18", true, 2e18, false},
                    {"high exactly 1e18", true, 1e18, false},
                    {"high -1e18", true, -1e18, false},
                    {"high at the largest bound", true, 9.999999843067494e17, true},
                    {"high 1e17", true, 1e17, true},
                    {"high 1e-16", true, 1e-16, false},
                    {"high exactly 1e-15", true, 1e-15, false},
                    {"high at the smallest bound", true, 1.0000000036274937e-15, true},
                    {"high 0", true, 0, true},
                    {"high NaN", true, nan, false},
                    {"low -2e18", false, -2e18, false},
                    {"low exactly -1e18", false, -1e18, false},
                    {"low at the largest bound", false, -9.999999843067494e17, true},
                    {"low -1e-16", false, -1e-16, false},
                    {"low exactly -1e-15", false, -1e-15, false},
                    {"low at the smallest bound", false, -1.0000000036274937e-15, true},
                    {"low 0", false, 0, true},
                    {"low NaN", false, nan, false}};
        for (const auto& row : rows) {
            QTest::newRow(row.name) << row.high << row.value << row.accepted;
        }
    }

    void scaleEndsOutsideTheRangeAreIgnored() {
        QFETCH(bool, high);
        QFETCH(double, value);
        QFETCH(bool, accepted);
        if (high) {
            Chart()->SetHigh(value);
            QCOMPARE(Chart()->High(), accepted ? value : 0.5);
            QCOMPARE(Chart()->Low(), -0.5);
        } else {
            Chart()->SetLow(value);
            QCOMPARE(Chart()->Low(), accepted ? value : -0.5);
            QCOMPARE(Chart()->High(), 0.5);
        }
    }

    void scaleEndsKeepTheirSide() {
        Chart()->SetLow(3);  // above the high: becomes the high
        QCOMPARE(Chart()->Low(), 0.5);
        Chart()->SetLow(-1);
        Chart()->SetHigh(-4);  // below the low: becomes the low
        QCOMPARE(Chart()->High(), -1.0);
    }

    void defaultScaleFollowsTheRangeText_data() {
        QTest::addColumn<QString>("range");
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("highLabel");
        QTest::newRow("10") << "10" << 10.0 << "10.000 ";
        // The prefix letter counts: 200mV is 0.2.
        QTest::newRow("200mV") << "200mV" << 0.2 << "200.000m";
        QTest::newRow("2MOhm") << QString::fromUtf8("2MΩ") << 2e6 << "2.000M";
        QTest::newRow("no number") << "Auto" << 0.0 << "0.000 ";
    }

    void defaultScaleFollowsTheRangeText() {
        QFETCH(QString, range);
        QFETCH(double, high);
        QFETCH(QString, highLabel);
        Record("REC", {0.1}, range.toUtf8().constData());
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->High(), high);
        QCOMPARE(Chart()->Low(), -high);
        QCOMPARE(Chart()->ValueLabel(0), highLabel);
        QCOMPARE(Chart()->ValueLabel(1), QString("0.000 "));
    }

    void scaleWithoutSpanDrawsNoCurve() {
        // A range text without a number gives 0 to 0.
        Record("REC", {1, 2, 3}, "Auto");
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->High(), 0.0);
        QCOMPARE(Chart()->Low(), 0.0);
        QCOMPARE(Chart()->PointCount(), 0);
        QImage image = Render(Chart());
        QVERIFY(!AnyIn(image, image.rect(), kRed));
        // A later scale with span draws the stored values again.
        Record("REC", {1, 2, 3}, "10");
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->PointCount(), 3);
    }

    void longRecordsAreBounded() {
        m_record->mode = "ALL";
        m_record->range = "10";
        m_record->count = kvt::functions::kTrendCapacity;
        std::fill(m_record->values.begin(), m_record->values.end(), 5.0);
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->Count(), CStaticTrendChart::kLargestCount);
        QCOMPARE(Chart()->PointCount(), 401);
        // Only what is drawn is kept.
        QCOMPARE(Chart()->Capacity(), 401);
        QCOMPARE(Find<QLineEdit>("countEdit")->text(), QString("1048576"));
        QCOMPARE(Chart()->ScreenPoints()[400].x(), double(kInnerRight));
        // A count beyond the record's own storage is cut to it.
        m_record->count = kvt::functions::kTrendCapacity + 10;
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->Count(), CStaticTrendChart::kLargestCount);
        m_record->count = -4;
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(Chart()->Count(), 0);
        QCOMPARE(Chart()->PointCount(), 0);
    }

    void layoutAndCurveFollowTheSize() {
        Record("ALL", {1, 2, 3});
        m_dialog->UpdateTrend(*m_record);
        Chart()->setFixedSize(665, 265);  // inner width 600, height 240
        QCOMPARE(Chart()->InnerWidth(), 600);
        QCOMPARE(Chart()->CenterLineY(), 3 + 120);
        QCOMPARE(Chart()->ScreenPoints()[2], QPointF(kInnerLeft + 3, 93));
        QImage image = Render(Chart());
        QCOMPARE(At(image, kInnerLeft + 3, 93), kRed);
    }

    void modeRadiosAskThePanelAndVisibilitySetsTheFlag() {
        QVERIFY(kvt::functions::g_trendViewActive);
        Find<QRadioButton>("allRadio")->click();
        Find<QRadioButton>("recentRadio")->click();
        QCOMPARE(m_panel->Calls(),
                 (std::vector<std::string>{"SetTrendMode(ALL)", "SetTrendMode(REC)"}));
        // The chart waits for the record's mode.
        QCOMPARE(m_dialog->Mode(), std::string("REC"));
        Find<QRadioButton>("allRadio")->click();
        QCOMPARE(m_dialog->Mode(), std::string("REC"));
        QVERIFY(Chart()->IsReversed());
        Find<QPushButton>("clearButton")->click();
        QCOMPARE(m_panel->Calls().size(), size_t(3));

        m_dialog->hide();
        QVERIFY(!kvt::functions::g_trendViewActive);
        QVERIFY(!m_dialog->IsViewVisible());
        // Hidden: updates are ignored.
        Record("ALL", {1, 2});
        m_dialog->UpdateTrend(*m_record);
        QCOMPARE(m_dialog->Mode(), std::string("REC"));
        QCOMPARE(Chart()->Count(), 0);

        // Without a panel the flag is left alone and nothing is asked.
        CDlgTrendChart alone(nullptr);
        alone.show();
        QVERIFY(!kvt::functions::g_trendViewActive);
        alone.findChild<QRadioButton*>("allRadio")->click();
        QVERIFY(alone.IsViewVisible());
    }
};

int RunTrendChartTests(int argc, char** argv) {
    TrendChartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TrendChartTest.moc"
