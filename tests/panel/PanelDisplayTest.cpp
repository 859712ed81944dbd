// The main display's three layouts and its title tab, the soft keys'
// colours and backgrounds and the edit field's cells, checked on the
// rendered window where the colour is the point.
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QtTest>

#include "functions/CKVTFunction.h"
#include "functions/CKVTFunctionTemperature.h"
#include "panel/CFrontPanel.h"
#include "tests/panel/PanelMeter.h"

using kvt::panel::CFrontPanel;

namespace {

constexpr QRgb kChecked = 0xFF1737D5;
constexpr QRgb kClear = 0xFF808080;
constexpr QRgb kHighlight = 0xFFE1FE01;
constexpr QRgb kNormal = 0xFFFFFFFF;
constexpr QRgb kCursorCell = 0xFFC0C0C0;

// Pixels of the rendered window inside a control's rectangle that are
// close to a colour (anti-aliased text is only partly that colour).
int CountNear(const QImage& image, const QRect& area, QRgb color, int tolerance = 24) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (std::abs(qRed(pixel) - qRed(color)) <= tolerance &&
                std::abs(qGreen(pixel) - qGreen(color)) <= tolerance &&
                std::abs(qBlue(pixel) - qBlue(color)) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

class PanelDisplayTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvt::test::PanelMeter> m_meter;
    std::unique_ptr<CFrontPanel> m_panel;

    QLabel* Label(const QString& name) { return qobject_cast<QLabel*>(m_panel->Control(name)); }
    QRect InWindow(const QString& name) {
        QWidget* control = m_panel->Control(name);
        return QRect(control->mapTo(m_panel.get(), QPoint(0, 0)), control->size());
    }
    QImage Render() { return m_panel->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void Press(const char* name) { QVERIFY2(kvt::test::Click(*m_panel, name), name); }

private slots:
    void init() {
        m_meter = std::make_unique<kvt::test::PanelMeter>();
        m_panel = std::make_unique<CFrontPanel>();
        QVERIFY(m_panel->CreatePanel(kvt::test::SkinPath(), nullptr));
        m_panel->show();
    }

    void cleanup() {
        m_panel.reset();
        m_meter.reset();
    }

    void titleTabIsTheTitleLessItsLastCharacterPlusMargin() {
        for (const char* key : {"btnDCV", "btnCont", "btnTemp", "btn2W"}) {
            Press(key);
            QLabel* title = Label("LabelTitle");
            QString measured = title->text();
            QCOMPARE(measured, QString::fromStdString(m_panel->GetCurrentFunction()->GetName()));
            measured.chop(1);
            const int right = QFontMetrics(title->font()).horizontalAdvance(measured) + 92;
            QCOMPARE(title->geometry(), QRect(QPoint(72, 57), QPoint(right - 1, 86)));
            // The tab is painted up to its right edge and no further.
            const QImage image = Render();
            const QRgb tab = image.pixel(right - 2, 60);
            QVERIFY(qBlue(tab) > 120 && qRed(tab) < 80);
            QVERIFY(image.pixel(right + 2, 60) != tab);
        }
    }

    void threeLayoutCases() {
        QCOMPARE(m_panel->Control("ContainerMain")->geometry(), QRect(72, 86, 364, 140));
        QCOMPARE(m_panel->Control("LabelValue")->pos(), QPoint(46, 26));
        QCOMPARE(m_panel->Control("LabelRange")->pos(), QPoint(113, 101));
        QCOMPARE(m_panel->Control("LabelUnit")->pos(), QPoint(284, 101));
        QVERIFY(m_panel->Control("TinyMenu")->isHidden());
        QVERIFY(m_panel->Control("ContainerTempMeasVal")->isHidden());

        Press("btnCont");
        QCOMPARE(m_panel->Control("ContainerMain")->geometry(), QRect(72, 86, 364, 119));
        QCOMPARE(m_panel->Control("LabelValue")->pos(), QPoint(46, 26));
        QVERIFY(!m_panel->Control("TinyMenu")->isHidden());
        QCOMPARE(m_panel->Control("TinyMenu")->geometry(), QRect(108, 207, 108, 18));
        QCOMPARE(Label("LabelRange")->text(),
                 QString::fromStdString(m_panel->GetCurrentFunction()->GetRangeMode() + " " +
                                        m_panel->GetCurrentFunction()->GetRange()));

        // Temperature shows "All" until the instrument says otherwise.
        Press("btnTemp");
        auto* temperature =
            dynamic_cast<kvt::functions::CKVTFunctionTemperature*>(m_panel->GetCurrentFunction());
        QVERIFY(temperature != nullptr);
        QCOMPARE(temperature->GetDisplayMode(), std::string("All"));
        QVERIFY(m_panel->Control("TinyMenu")->isHidden());
        QVERIFY(!m_panel->Control("ContainerTempMeasVal")->isHidden());
        QCOMPARE(m_panel->Control("ContainerMain")->geometry(), QRect(72, 86, 364, 105));
        QCOMPARE(m_panel->Control("LabelValue")->pos(), QPoint(46, 11));
        QCOMPARE(m_panel->Control("LabelRange")->pos(), QPoint(113, 66));
        QCOMPARE(m_panel->Control("LabelUnit")->pos(), QPoint(284, 66));
        QCOMPARE(Label("LabelRange")->text(), QString());
        QCOMPARE(Label("LabelTempMeasValUnit")->text(), QString("VDC"));
        QCOMPARE(Label("LabelTempMeasVal")->text(),
                 QString::fromStdString(temperature->GetMeasuredText()));
        // The second line is drawn below the reading, inside the display.
        const QRect line = InWindow("LabelTempMeasVal");
        QVERIFY(line.top() >= 191);
        QVERIFY(CountNear(Render(), InWindow("LabelTempMeasValUnit"), 0xFF7FE3FF, 40) > 0);

        // Back to the normal case.
        Press("btnDCV");
        QCOMPARE(m_panel->Control("ContainerMain")->geometry(), QRect(72, 86, 364, 140));
        QVERIFY(m_panel->Control("ContainerTempMeasVal")->isHidden());
    }

    void softKeyColoursAndBackgroundsShow() {
        // DC voltage's main page: "Filter" (key 3) highlights option B "Off".
        QImage image = Render();
        QCOMPARE(Label("LabelF3Value1")->text(), QString("On"));
        QCOMPARE(Label("LabelF3Value2")->text(), QString("Off"));
        QVERIFY(CountNear(image, InWindow("LabelF3Value2"), kHighlight) > 5);
        QCOMPARE(CountNear(image, InWindow("LabelF3Value1"), kHighlight), 0);
        QVERIFY(CountNear(image, InWindow("LabelF3Value1"), kNormal) > 5);
        // The subtitle of a plain item is drawn highlighted, its title normal.
        QVERIFY(CountNear(image, InWindow("LabelF1Value"), kHighlight) > 5);
        QCOMPARE(CountNear(image, InWindow("LabelF1Name"), kHighlight), 0);
        // Every key is grey, including the empty sixth, which shows nothing.
        for (int i = 1; i <= 6; ++i) {
            QCOMPARE(image.pixel(InWindow(QString("ContainerF%1").arg(i)).topLeft() + QPoint(2, 2)),
                     kClear);
        }
        QCOMPARE(Label("LabelF6Name")->text(), QString());

        // A press swaps the two options' colours on the redraw.
        Press("btnF3");
        image = Render();
        QVERIFY(CountNear(image, InWindow("LabelF3Value1"), kHighlight) > 5);
        QCOMPARE(CountNear(image, InWindow("LabelF3Value2"), kHighlight), 0);

        // The range page: the checked choice is the only blue key.
        Press("btnF1");
        image = Render();
        QCOMPARE(Label("ContainerF1")->text(), QString("Auto"));
        int checked = 0;
        for (int i = 0; i < 6; ++i) {
            const kvt::functions::CMenuItem* item =
                m_panel->GetCurrentFunction()->GetSoftKeyItem(i);
            const bool blue = item != nullptr && item->m_checked;
            checked += blue ? 1 : 0;
            QCOMPARE(
                image.pixel(InWindow(QString("ContainerF%1").arg(i + 1)).topLeft() + QPoint(2, 2)),
                blue ? kChecked : kClear);
        }
        QCOMPARE(checked, 1);
        // The key texts show on their keys, above the (empty) labels.
        for (int i = 1; i <= 6; ++i) {
            QVERIFY(CountNear(image, InWindow(QString("ContainerF%1").arg(i)), kNormal) > 5);
        }
        Press("btnF4");  // "20V"
        Press("btnF1");
        image = Render();
        QCOMPARE(image.pixel(InWindow("ContainerF1").topLeft() + QPoint(2, 2)), kClear);
        QCOMPARE(image.pixel(InWindow("ContainerF4").topLeft() + QPoint(2, 2)), kChecked);
    }

    void editFieldCellsForTheContinuityThreshold() {
        Press("btnCont");
        QCOMPARE(m_panel->GetCurrentFunction()->GetTinyMenuText(), std::string("+0050 Ω"));
        const QStringList expected{"",  "",  "",  "", "+", "0", "0", "5",
                                   "0", " ", "Ω", "", "",  "",  ""};
        for (int i = 0; i < 15; ++i) {
            QCOMPARE(Label(QString("labelPop%1").arg(i))->text(), expected[i]);
        }
        // Cursor 1: the first digit's cell, and only that one, is grey
        // (looked at above the glyphs).
        const QImage image = Render();
        for (int i = 0; i < 15; ++i) {
            const QRect cell = InWindow(QString("labelPop%1").arg(i));
            const QRgb background = image.pixel(cell.left() + 3, cell.top() + 1);
            QCOMPARE(background,
                     i == 5 ? kCursorCell
                            : image.pixel(InWindow("TinyMenu").left() + 1, cell.top() + 1));
        }
        // The cell texts are readable on both backgrounds: dark glyphs.
        QVERIFY(CountNear(image, InWindow("labelPop5"), 0xFF000000, 60) > 3);
        QVERIFY(CountNear(image, InWindow("labelPop7"), 0xFF000000, 60) > 3);
    }
};

int RunPanelDisplayTest(int argc, char** argv) {
    PanelDisplayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelDisplayTest.moc"
