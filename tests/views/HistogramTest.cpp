// The histogram: bars, cumulative curve and outer bins at the positions
// the layout gives, the texts beside and under the plot, a peak of 0,
// records with more bins than the storage, and the binning commands that
// reach the simulated meter under the current function's lock.
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

#include "functions/ProgramRecords.h"
#include "tests/views/Pixels.h"
#include "tests/views/ViewsMeter.h"
#include "tests/views/ViewsTests.h"
#include "views/CDlgHistogram.h"
#include "views/CStaticHistogramChart.h"

using kvt::functions::KVTHistogramData;
using kvt::test::AnyIn;
using kvt::test::At;
using kvt::test::InkColumns;
using kvt::test::Render;
using kvt::views::CDlgHistogram;
using kvt::views::CStaticHistogramChart;
using Strings = std::vector<std::string>;
using Pauses = std::vector<long long>;

namespace {

// A chart 469 by 150 pixels: inner width 400, inner top 3, base line 128.
constexpr int kWidth = 469;
constexpr int kHeight = 150;
constexpr int kInnerLeft = 64;
constexpr int kInnerTop = 3;
constexpr int kBaseLine = 128;
constexpr int kCenterY = 65;
const QColor kGreen(0x5C, 0xAA, 0x51);
const QColor kBlack(0, 0, 0);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kRed(0xFF, 0, 0);
const QColor kDarkGreen(0, 0x80, 0);
const QColor kBlue(0, 0, 0xFF);

}  // namespace

class HistogramTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::ViewsMeter> m_meter;
    std::unique_ptr<CDlgHistogram> m_dialog;
    std::unique_ptr<KVTHistogramData> m_record;

    CStaticHistogramChart* Chart() { return m_dialog->Chart(); }

    template <class Widget>
    Widget* Find(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }

    void Record(std::initializer_list<double> bins, int first = 0, int last = 0) {
        m_record->binCount = static_cast<int>(bins.size());
        std::fill(m_record->bins.begin(), m_record->bins.end(), 0.0);
        std::copy(bins.begin(), bins.end(), m_record->bins.begin());
        m_record->firstCount = first;
        m_record->lastCount = last;
        m_record->autoRange = 1;
    }

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::ViewsMeter>();
        QVERIFY(m_meter->IsOpen());
        m_dialog = std::make_unique<CDlgHistogram>(&m_meter->Panel());
        Chart()->setFixedSize(kWidth, kHeight);
        m_dialog->show();
        m_record = std::make_unique<KVTHistogramData>();
        m_record->lower = -0.001;
        m_record->upper = 0.002;
        m_record->points = 9;
    }

    void cleanup() {
        m_dialog.reset();
        m_meter.reset();
    }

    void startsWithAutomaticBinning() {
        QVERIFY(Find<QRadioButton>("autoRadio")->isChecked());
        for (const char* name : {"binsList", "highEdit", "lowEdit"}) {
            QVERIFY(!m_dialog->findChild<QWidget*>(name)->isEnabled());
        }
        QVERIFY(!Find<QPushButton>("binsSet")->isEnabled());
        QCOMPARE(Find<QPushButton>("binsSet")->text(), QString("Num.Bins"));
        QVERIFY(!Find<QPushButton>("highSet")->isEnabled());
        QVERIFY(!Find<QPushButton>("lowSet")->isEnabled());
        auto* bins = Find<QComboBox>("binsList");
        QStringList choices;
        for (int i = 0; i < bins->count(); ++i) {
            choices << bins->itemText(i);
        }
        QCOMPARE(choices, (QStringList{"10", "20", "40", "100", "200", "400"}));
        QCOMPARE(bins->currentIndex(), -1);
        for (const char* name : {"highPrefix", "lowPrefix"}) {
            auto* prefixes = Find<QComboBox>(name);
            QStringList letters;
            for (int i = 0; i < prefixes->count(); ++i) {
                letters << prefixes->itemText(i);
            }
            QCOMPARE(letters, (QStringList{"u", "m", " ", "k", "M", "G", "T", "P"}));
            QCOMPARE(prefixes->currentIndex(), -1);
            QVERIFY(prefixes->isEnabled());
        }
        QVERIFY(!Find<QCheckBox>("cumulativeCheck")->isChecked());
        QVERIFY(!Find<QCheckBox>("outerCheck")->isChecked());
        QCOMPARE(Find<QLabel>("highUnit")->text(), QString("V"));
        m_dialog->SetUnitText(QString::fromUtf8("℃"));
        QCOMPARE(Find<QLabel>("lowUnit")->text(), QString::fromUtf8("℃"));
        QVERIFY(Find<QLabel>("peakLabel")->isHidden());
        QVERIFY(kvt::functions::g_histogramViewActive);
        // Never narrower than 469 pixels.
        QVERIFY(Chart()->minimumWidth() >= 469);
    }

    void barsStandOnTheBaseLine() {
        Record({1, 3, 3, 2});
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Top(), 3.0);
        QCOMPARE(Chart()->BarCount(), 4);
        QCOMPARE(Chart()->PlotRect(), QRect(60, 1, kWidth - 61, kHeight - 21));
        QCOMPARE(Chart()->BaseLine(), kBaseLine);
        QCOMPARE(Chart()->CenterY(), kCenterY);
        QCOMPARE(Chart()->InnerWidth(), 400);
        const auto* bars = Chart()->Bars();
        const float full = kBaseLine - kInnerTop;
        const float heights[] = {full / 3, full, full, full * 2 / 3};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(bars[i].x, float(kInnerLeft + 100 * i));
            QCOMPARE(bars[i].width, 100.0f);
            QVERIFY(std::fabs(bars[i].height - heights[i]) < 1e-3f);
            QVERIFY(std::fabs(bars[i].y + bars[i].height - kBaseLine) < 1e-3f);
        }
        QCOMPARE(Chart()->TopText(), QString("33.3%\n3.000"));
        QCOMPARE(Chart()->TotalText(), QString("Total\n9.000"));
        QCOMPARE(Chart()->BinText(), QString("#Bin\n4"));
        QCOMPARE(Chart()->LowerText(), QString("-1.000m"));
        QCOMPARE(Chart()->MiddleText(), QString("+500.000u"));
        QCOMPARE(Chart()->UpperText(), QString("+2.000m"));
        QCOMPARE(Find<QLabel>("binsLabel")->text(), QString("4"));
        QCOMPARE(Find<QLabel>("pointsLabel")->text(), QString("9"));
        QCOMPARE(Find<QLabel>("peakLabel")->text(), QString("3"));

        QImage image = Render(Chart());
        QCOMPARE(At(image, 30, 140), kGreen);
        QCOMPARE(At(image, 60, 100), kBlack);
        QCOMPARE(At(image, 59, 100), kGreen);
        // Bar 0 (a third) from x 64, bars 1 and 2 to the top line.
        QCOMPARE(At(image, 110, kBaseLine - 10), kRed);
        QCOMPARE(At(image, 110, kBaseLine - 38), kRed);
        QCOMPARE(At(image, 110, kBaseLine - 46), kBlack);
        QCOMPARE(At(image, 200, kInnerTop + 2), kRed);
        QCOMPARE(At(image, 300, kInnerTop + 2), kRed);
        QCOMPARE(At(image, 410, kBaseLine - 80), kRed);
        QCOMPARE(At(image, 410, kBaseLine - 86), kBlack);
        QCOMPARE(At(image, 62, kBaseLine - 10), kBlack);
        // No cumulative curve, no outer strips.
        QVERIFY(!AnyIn(image, image.rect(), kDarkGreen));
        QVERIFY(!AnyIn(image, image.rect(), kBlue));
        // Texts: white, left of the plot ending by its edge, and under it.
        auto [first, last] = InkColumns(image, QRect(0, kInnerTop, 60, 20), kvt::test::IsLightInk);
        QVERIFY(first >= 0 && last <= 61 && last >= 50);
        QVERIFY(InkColumns(image, QRect(0, kCenterY, 60, 20), kvt::test::IsLightInk).first >= 0);
        // The bin text's second line ends inside the control.
        QVERIFY(InkColumns(image, QRect(0, kBaseLine + 12, 60, 8), kvt::test::IsLightInk).first >=
                0);
        auto [lowerFirst, lowerLast] =
            InkColumns(image, QRect(60, 131, 120, 18), kvt::test::IsLightInk);
        QVERIFY(lowerFirst >= 62 && lowerFirst <= 64);
        auto [upperFirst, upperLast] =
            InkColumns(image, QRect(350, 131, 118, 18), kvt::test::IsLightInk);
        QVERIFY2(upperLast <= kWidth - 3 && upperLast >= kWidth - 6,
                 qPrintable(QString::number(upperLast)));
        auto [middleFirst, middleLast] =
            InkColumns(image, QRect(200, 131, 130, 18), kvt::test::IsLightInk);
        QVERIFY(std::abs((middleFirst + middleLast) / 2 - (60 + 408 / 2)) <= 2);
    }

    void gridAcrossTheInnerWidth() {
        QImage image = Render(Chart());
        for (int y : {kInnerTop, kCenterY, kBaseLine}) {
            QCOMPARE(At(image, 100, y), kWhite);
            QCOMPARE(At(image, 100, y - 1), kBlack);
        }
        QCOMPARE(At(image, 100, kBaseLine + 1), kBlack);
        for (int k = 0; k <= 10; ++k) {
            int x = kInnerLeft + 40 * k;
            QCOMPARE(At(image, x, kInnerTop + 2), kWhite);
            QCOMPARE(At(image, x, kInnerTop + 3), kBlack);
            QCOMPARE(At(image, x, kCenterY - 2), kWhite);
            QCOMPARE(At(image, x, kCenterY + 2), kWhite);
            QCOMPARE(At(image, x, kBaseLine - 2), kWhite);
            QCOMPARE(At(image, x, kBaseLine - 3), kBlack);
        }
        QCOMPARE(At(image, kInnerLeft + 20, kInnerTop + 2), kBlack);
    }

    void cumulativeCurveEndsAtTheTopLine() {
        Record({1, 3, 3, 2});
        m_dialog->UpdateHistogram(*m_record);
        Find<QCheckBox>("cumulativeCheck")->click();
        QVERIFY(Chart()->IsCumulative());
        QCOMPARE(Chart()->CumulativeCount(), 5);
        const QPointF* curve = Chart()->Cumulative();
        QCOMPARE(curve[0], QPointF(kInnerLeft, kBaseLine));
        QCOMPARE(curve[2], QPointF(kInnerLeft + 200, kBaseLine - 125.0 * 4 / 9));
        QCOMPARE(curve[4], QPointF(kInnerLeft + 400, kInnerTop));
        QImage image = Render(Chart());
        QVERIFY(AnyIn(image, QRect(kInnerLeft + 398, kInnerTop, 3, 3), kDarkGreen));
        QVERIFY(AnyIn(image, QRect(kInnerLeft + 150, 85, 3, 15), kDarkGreen));
        Find<QCheckBox>("cumulativeCheck")->click();
        QVERIFY(!AnyIn(Render(Chart()), Chart()->rect(), kDarkGreen));
    }

    void outerBinsCountInTheScale() {
        Find<QCheckBox>("outerCheck")->click();
        Record({1, 3, 3, 2}, 5, 0);
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Top(), 5.0);
        QCOMPARE(Chart()->TopText(), QString("35.7%\n5.000"));
        QCOMPARE(Chart()->TotalText(), QString("Total\n14.000"));
        QCOMPARE(Find<QLabel>("peakLabel")->text(), QString("5"));
        // Strips 2 pixels wide at l + 62 and r - 5, to the bars' scale.
        QCOMPARE(Chart()->OuterLeft(), QRectF(62, kInnerTop, 2, 125));
        QCOMPARE(Chart()->OuterRight(), QRectF(kWidth - 5, kBaseLine, 2, 0));
        QImage image = Render(Chart());
        QCOMPARE(At(image, 62, 60), kBlue);
        QCOMPARE(At(image, 63, 60), kBlue);
        QCOMPARE(At(image, 61, 60), kBlack);
        QVERIFY(!AnyIn(image, QRect(kWidth - 5, kInnerTop, 2, 125), kBlue));

        Record({1, 3, 3, 2}, 0, 6);
        m_dialog->UpdateHistogram(*m_record);
        image = Render(Chart());
        QCOMPARE(At(image, kWidth - 5, kBaseLine - 60), kBlue);
        QCOMPARE(At(image, kWidth - 4, kBaseLine - 60), kBlue);
        QVERIFY(!AnyIn(image, QRect(62, kInnerTop, 2, 125), kBlue));

        // Unchecked: not drawn (the next update leaves them out of the scale).
        Find<QCheckBox>("outerCheck")->click();
        QVERIFY(!AnyIn(Render(Chart()), Chart()->rect(), kBlue));
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Top(), 3.0);
    }

    void textsBesideAndUnderThePlot_data() {
        QTest::addColumn<QList<double>>("bins");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("outer");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<QString>("topText");
        QTest::addColumn<QString>("totalText");
        QTest::addColumn<QStringList>("rangeTexts");
        QTest::newRow("outer bins counted")
            << QList<double>{1, 3, 3, 2} << 5 << 0 << true << -0.001 << 0.002 << "35.7%\n5.000"
            << "Total\n14.000" << QStringList{"-1.000m", "+500.000u", "+2.000m"};
        // Unchecked, the outer counts are left out of the peak and the total.
        QTest::newRow("outer bins not counted")
            << QList<double>{1, 3, 3, 2} << 5 << 7 << false << -0.001 << 0.002 << "33.3%\n3.000"
            << "Total\n9.000" << QStringList{"-1.000m", "+500.000u", "+2.000m"};
        // Each partial sum is cut to a whole count: 1, 2, 3 (not 4.5).
        QTest::newRow("partial sums truncated")
            << QList<double>{1.5, 1.5, 1.5} << 0 << 0 << false << -2.0 << 4.0 << "50.0%\n1.500"
            << "Total\n3.000" << QStringList{"-2.000", "+1.000", "+4.000"};
        // Zero holds no "-": it gets the plus sign too.
        QTest::newRow("zero range")
            << QList<double>{2, 2} << 0 << 0 << false << 0.0 << 0.0 << "50.0%\n2.000"
            << "Total\n4.000" << QStringList{"+0.000", "+0.000", "+0.000"};
    }

    void textsBesideAndUnderThePlot() {
        QFETCH(QList<double>, bins);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(bool, outer);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(QString, topText);
        QFETCH(QString, totalText);
        QFETCH(QStringList, rangeTexts);
        if (outer) {
            Find<QCheckBox>("outerCheck")->click();
        }
        m_record->binCount = static_cast<int>(bins.size());
        std::copy(bins.begin(), bins.end(), m_record->bins.begin());
        m_record->firstCount = first;
        m_record->lastCount = last;
        m_record->lower = lower;
        m_record->upper = upper;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->TopText(), topText);
        QCOMPARE(Chart()->TotalText(), totalText);
        QCOMPARE((QStringList{Chart()->LowerText(), Chart()->MiddleText(), Chart()->UpperText()}),
                 rangeTexts);
    }

    void numberOfReadingsText_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("text");
        QTest::newRow("999") << 999 << "999";
        QTest::newRow("exactly 1000") << 1000 << "1000";
        QTest::newRow("1001") << 1001 << "1.001k";
        QTest::newRow("123456") << 123456 << "123.456k";
    }

    void numberOfReadingsText() {
        QFETCH(int, points);
        QFETCH(QString, text);
        Record({1, 2});
        m_record->points = points;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Find<QLabel>("pointsLabel")->text(), text);
    }

    void topOutsideTheRangeIsIgnored_data() {
        // From the top of 5. The bounds are the single-precision 1e18 and
        // 1e-15: the doubles 1e18 and 1e-15 lie beyond them.
        QTest::addColumn<double>("top");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("2e18") << 2e18 << false;
        QTest::newRow("exactly 1e18") << 1e18 << false;
        QTest::newRow("at the largest bound") << 9.999999843067494e17 << true;
        QTest::newRow("exactly 1e-15") << 1e-15 << false;
        QTest::newRow("at the smallest bound") << 1.0000000036274937e-15 << true;
        QTest::newRow("0") << 0.0 << true;
        QTest::newRow("7") << 7.0 << true;
    }

    void topOutsideTheRangeIsIgnored() {
        QFETCH(double, top);
        QFETCH(bool, accepted);
        QCOMPARE(Chart()->Top(), 5.0);
        Chart()->SetTop(top);
        QCOMPARE(Chart()->Top(), accepted ? top : 5.0);
    }

    void emptyHistogramDrawsNoBars() {
        Record({0, 0, 0, 0});
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Top(), 0.0);
        QCOMPARE(Chart()->BarCount(), 0);
        QCOMPARE(Chart()->CumulativeCount(), 0);
        QCOMPARE(Chart()->TopText(), QString("0.0%\n0.000"));
        Find<QCheckBox>("cumulativeCheck")->click();
        Find<QCheckBox>("outerCheck")->click();
        QImage image = Render(Chart());
        QVERIFY(!AnyIn(image, image.rect(), kRed));
        QVERIFY(!AnyIn(image, image.rect(), kDarkGreen));
        QVERIFY(!AnyIn(image, image.rect(), kBlue));
    }

    void peakBeyondTheRangeKeepsTheTopAndBarsInsideThePlot() {
        Record({1, 3, 3, 2});
        m_dialog->UpdateHistogram(*m_record);
        Record({1, 2e18, 3, 2});
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Top(), 3.0);
        QCOMPARE(Chart()->Bars()[1].y, float(kInnerTop));
        QCOMPARE(Chart()->Bars()[1].height, float(kBaseLine - kInnerTop));
        QImage image = Render(Chart());
        QVERIFY(!AnyIn(image, QRect(kInnerLeft, 0, 400, kInnerTop), kRed));
    }

    void emptyRecordsAndHiddenViewChangeNothing() {
        Record({1, 3, 3, 2});
        m_dialog->UpdateHistogram(*m_record);
        m_record->binCount = 0;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Count(), 4);
        m_record->binCount = -3;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Count(), 4);
        m_dialog->hide();
        QVERIFY(!kvt::functions::g_histogramViewActive);
        Record({1, 2});
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Count(), 4);
    }

    void recordsBeyondTheStorageAreBounded() {
        std::fill(m_record->bins.begin(), m_record->bins.end(), 1.0);
        m_record->bins[7] = 4;
        m_record->binCount = kvt::functions::kHistogramCapacity + 5000;
        m_record->points = 123456;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Chart()->Count(), kvt::functions::kHistogramCapacity);
        QCOMPARE(Chart()->BinCount(), double(kvt::functions::kHistogramCapacity));
        QVERIFY(Chart()->BarCount() <= kvt::functions::kHistogramCapacity);
        QCOMPARE(Chart()->Top(), 4.0);
        QCOMPARE(Find<QLabel>("pointsLabel")->text(), QString("123.456k"));
        QCOMPARE(Find<QLabel>("binsLabel")->text(), QString("102400"));
        QImage image = Render(Chart());
        QVERIFY(AnyIn(image, QRect(kInnerLeft, kBaseLine - 20, 400, 10), kRed));
        // Bars never reach beyond the plot.
        QVERIFY(
            !AnyIn(image, QRect(kInnerLeft + 401, 0, kWidth - kInnerLeft - 401, kHeight), kRed));
    }

    void manualBinningFromTheInstrumentEnablesTheControls() {
        Record({1, 2});
        m_record->autoRange = 0;
        m_dialog->UpdateHistogram(*m_record);
        QVERIFY(Find<QRadioButton>("manualRadio")->isChecked());
        for (const char* name :
             {"binsList", "binsSet", "highEdit", "highSet", "lowEdit", "lowSet"}) {
            QVERIFY2(m_dialog->findChild<QWidget*>(name)->isEnabled(), name);
        }
        m_record->autoRange = 1;
        m_dialog->UpdateHistogram(*m_record);
        QVERIFY(Find<QRadioButton>("autoRadio")->isChecked());
        QVERIFY(!Find<QPushButton>("lowSet")->isEnabled());
        QVERIFY(m_meter->Sent().empty());
    }

    void binsListShowsTheMetersChoice() {
        // Before the meter has told its number of bins nothing is chosen,
        // and "Num.Bins" sends nothing (rather than 0 bins).
        Find<QRadioButton>("manualRadio")->click();
        QCOMPARE(Find<QComboBox>("binsList")->currentIndex(), -1);
        Find<QPushButton>("binsSet")->click();
        QCOMPARE(m_meter->Sent(), Strings{"CALCulate:TRANsform:HISTogram:RANGe:AUTO 0"});
        // Automatic binning groups the counts itself: its bins are no choice.
        Record({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Find<QComboBox>("binsList")->currentIndex(), -1);
        // Manual binning: the record holds the meter's number of bins.
        Record({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
        m_record->autoRange = 0;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Find<QComboBox>("binsList")->currentText(), QString("20"));
        Find<QPushButton>("binsSet")->click();
        QCOMPARE(m_meter->Sent(), Strings{"CALCulate:TRANsform:HISTogram:POINts 20"});
        // A choice not sent yet stays while the meter's number is the same.
        Find<QComboBox>("binsList")->setCurrentIndex(3);  // 100
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Find<QComboBox>("binsList")->currentText(), QString("100"));
        // A number the list does not hold leaves nothing chosen.
        Record({1, 2, 3});
        m_record->autoRange = 0;
        m_dialog->UpdateHistogram(*m_record);
        QCOMPARE(Find<QComboBox>("binsList")->currentIndex(), -1);
        Find<QPushButton>("binsSet")->click();
        QVERIFY(m_meter->Sent().empty());
    }

    void controlsSendBinningUnderTheLock() {
        Find<QRadioButton>("manualRadio")->click();
        QVERIFY(Find<QPushButton>("highSet")->isEnabled());
        Find<QComboBox>("binsList")->setCurrentIndex(3);
        Find<QPushButton>("binsSet")->click();
        Find<QLineEdit>("highEdit")->setText("2");
        Find<QComboBox>("highPrefix")->setCurrentIndex(1);  // m
        Find<QPushButton>("highSet")->click();
        Find<QLineEdit>("lowEdit")->setText("-1.5");
        Find<QComboBox>("lowPrefix")->setCurrentIndex(3);  // k
        Find<QPushButton>("lowSet")->click();
        // "u" keeps three decimals of the base unit only.
        Find<QLineEdit>("lowEdit")->setText("5");
        Find<QComboBox>("lowPrefix")->setCurrentIndex(0);
        Find<QPushButton>("lowSet")->click();
        Find<QLineEdit>("highEdit")->setText("x");
        Find<QPushButton>("highSet")->click();
        Find<QPushButton>("clearButton")->click();
        Find<QRadioButton>("autoRadio")->click();
        QVERIFY(!Find<QPushButton>("highSet")->isEnabled());
        QCOMPARE(m_meter->Sent(), (Strings{"CALCulate:TRANsform:HISTogram:RANGe:AUTO 0",
                                           "CALCulate:TRANsform:HISTogram:POINts 100",
                                           "CALCulate:TRANsform:HISTogram:RANGe:UPPer 0.002",
                                           "CALCulate:TRANsform:HISTogram:RANGe:LOWer -1500.000",
                                           "CALCulate:TRANsform:HISTogram:RANGe:LOWer 0.000",
                                           "CALCulate:TRANsform:HISTogram:RANGe:UPPer 0.000",
                                           "CALCulate:TRANsform:HISTogram:CLEar",
                                           "CALCulate:TRANsform:HISTogram:RANGe:AUTO 1"}));
        QCOMPARE(m_meter->PausesMs(), Pauses(8, 100));
        QCOMPARE(m_meter->Failures(), 0);
        // Each command's wait cursor is gone again.
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        // The cumulative and outer check boxes only repaint.
        Find<QCheckBox>("cumulativeCheck")->click();
        Find<QCheckBox>("outerCheck")->click();
        QVERIFY(m_meter->Sent().empty());

        // Without a panel nothing is sent.
        CDlgHistogram alone(nullptr);
        alone.findChild<QPushButton*>("clearButton")->click();
        alone.findChild<QRadioButton*>("manualRadio")->click();
        QVERIFY(m_meter->Sent().empty());
        QVERIFY(m_meter->PausesMs().empty());
    }
};

int RunHistogramTests(int argc, char** argv) {
    HistogramTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HistogramTest.moc"
