// The number entries of all four views under a German locale: a comma and
// a point read alike, and what is sent (or set on the chart) is written
// with a point.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <functional>
#include <memory>

#include "tests/app/LocaleGuard.h"
#include "tests/views/ViewsMeter.h"
#include "tests/views/ViewsTests.h"
#include "views/CDlgBarMeter.h"
#include "views/CDlgHistogram.h"
#include "views/CDlgKVTMath.h"
#include "views/CDlgTrendChart.h"
#include "views/CStaticBarMeter.h"
#include "views/CStaticTrendChart.h"

namespace {

// One number entry: the view it belongs to, made ready for typing; its
// edit, prefix list (with the entry chosen, or none) and "Set"; and what
// its "Set" leads to.
struct Entry {
    const char* name;
    std::function<QWidget*(kvt::test::ViewsMeter&)> makeView;
    const char* edit;
    const char* prefixList;
    int prefix;
    const char* set;
    // The chart's label of the value set; empty for the views that send
    // a command (the command is the result then).
    std::function<QString(QWidget*)> chartLabel;
    const char* result;
};

QWidget* MathView(kvt::test::ViewsMeter& meter) {
    auto* view = new kvt::views::CDlgKVTMath(&meter.Panel());
    view->ShowLimits(1, 1, 1);
    kvt::functions::KVTScaleSettings scale;
    scale.valid = true;
    scale.state = 1;
    scale.function = "dB";
    view->ShowScaleSettings(scale);
    return view;
}

QWidget* TrendView(kvt::test::ViewsMeter& meter) {
    auto* view = new kvt::views::CDlgTrendChart(&meter.Panel());
    view->findChild<QRadioButton*>("manualRadio")->click();
    return view;
}

QWidget* BarMeterView(kvt::test::ViewsMeter&) {
    return new kvt::views::CDlgBarMeter;
}

QWidget* HistogramView(kvt::test::ViewsMeter& meter) {
    auto* view = new kvt::views::CDlgHistogram(&meter.Panel());
    view->findChild<QRadioButton*>("manualRadio")->click();
    meter.Sent();
    return view;
}

QString TrendLabel(QWidget* view, int line) {
    return static_cast<kvt::views::CDlgTrendChart*>(view)->Chart()->ValueLabel(line);
}

QString BarLabel(QWidget* view, int tick) {
    return static_cast<kvt::views::CDlgBarMeter*>(view)->Chart()->LabelText(tick);
}

const Entry kEntries[] = {
    {"limit lower", MathView, "lowerEdit", "lowerPrefix", 4, "lowerSet", nullptr,
     "CALCulate:LIMit:LOWer 2.500000000000"},
    {"limit upper m", MathView, "upperEdit", "upperPrefix", 3, "upperSet", nullptr,
     "CALCulate:LIMit:UPPer 0.002500000000"},
    {"dB reference", MathView, "dbRefEdit", nullptr, -1, "dbRefSet", nullptr,
     "CALCulate:SCALe:DB:REFerence 2"},
    {"trend high k", TrendView, "highEdit", "highPrefix", 5, "highSet",
     [](QWidget* view) { return TrendLabel(view, 0); }, "2.500k"},
    {"trend low m", TrendView, "lowEdit", "lowPrefix", 3, "lowSet",
     [](QWidget* view) { return TrendLabel(view, 2); }, "2.500m"},
    {"bar meter high", BarMeterView, "highEdit", "highPrefix", 4, "highSet",
     [](QWidget* view) { return BarLabel(view, 2); }, "2.500 "},
    {"bar meter low m", BarMeterView, "lowEdit", "lowPrefix", 3, "lowSet",
     [](QWidget* view) { return BarLabel(view, 0); }, "2.500m"},
    {"histogram upper", HistogramView, "highEdit", "highPrefix", 2, "highSet", nullptr,
     "CALCulate:TRANsform:HISTogram:RANGe:UPPer 2.500"},
    {"histogram lower k", HistogramView, "lowEdit", "lowPrefix", 3, "lowSet", nullptr,
     "CALCulate:TRANsform:HISTogram:RANGe:LOWer 2500.000"},
};

}  // namespace

class NumberEntryTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::ViewsMeter> m_meter;

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::ViewsMeter>();
        QVERIFY(m_meter->IsOpen());
    }

    void cleanup() { m_meter.reset(); }

    void commaAndPointReadAlike_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("typed");
        for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i) {
            for (const char* typed : {"2,5", "2.5"}) {
                QTest::addRow("%s %s", kEntries[i].name, typed) << i << QString(typed);
            }
        }
    }

    void commaAndPointReadAlike() {
        QFETCH(int, entry);
        QFETCH(QString, typed);
        const Entry& e = kEntries[entry];
        kvt::test::LocaleGuard guard("de_DE.UTF-8");
        QVERIFY(guard.Active());
        QCOMPARE(QLocale().decimalPoint(), QString(","));

        std::unique_ptr<QWidget> view(e.makeView(*m_meter));
        auto* edit = view->findChild<QLineEdit*>(e.edit);
        QVERIFY(edit != nullptr && edit->isEnabled());
        edit->setText(typed);
        if (e.prefixList != nullptr) {
            view->findChild<QComboBox*>(e.prefixList)->setCurrentIndex(e.prefix);
        }
        auto* set = view->findChild<QPushButton*>(e.set);
        QVERIFY(set != nullptr && set->isEnabled());
        set->click();
        if (e.chartLabel) {
            QCOMPARE(e.chartLabel(view.get()), QString(e.result));
            QVERIFY(m_meter->Sent().empty());
        } else {
            QCOMPARE(m_meter->Sent(), std::vector<std::string>{e.result});
        }
    }
};

int RunNumberEntryTests(int argc, char** argv) {
    NumberEntryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "NumberEntryTest.moc"
