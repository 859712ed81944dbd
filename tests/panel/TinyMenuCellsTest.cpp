// Where the small edit field puts each character of its text.
#include <QtTest>

#include "panel/TinyMenuCells.h"

using kvt::panel::LayoutTinyMenu;
using kvt::panel::TinyMenuLayout;

namespace {

// The cells from first to last, joined with '|'.
std::string Cells(const TinyMenuLayout& layout, int first, int last) {
    std::string joined;
    for (int i = first; i <= last; ++i) {
        joined += (i == first ? "" : "|") + layout.cells[i];
    }
    return joined;
}

bool EmptyOutside(const TinyMenuLayout& layout, int first, int last) {
    for (int i = 0; i < kvt::panel::kTinyMenuCells; ++i) {
        if ((i < first || i > last) && !layout.cells[i].empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

class TinyMenuCellsTest : public QObject {
    Q_OBJECT

private slots:
    void plainTextIsCentredInFifteen() {
        const TinyMenuLayout four = LayoutTinyMenu("1234", 0);
        QCOMPARE(four.start, 5);
        QCOMPARE(Cells(four, 5, 8), std::string("1|2|3|4"));
        QVERIFY(EmptyOutside(four, 5, 8));
        QCOMPARE(four.highlighted, 5);

        const TinyMenuLayout one = LayoutTinyMenu("7", 0);
        QCOMPARE(one.start, 7);
        QCOMPARE(one.cells[7], std::string("7"));
    }

    void ohmSignTakesOneCellAfterTheDigits() {
        const TinyMenuLayout three = LayoutTinyMenu("123Ω", 2);
        QCOMPARE(Cells(three, 5, 8), std::string("1|2|3|Ω"));
        QVERIFY(EmptyOutside(three, 5, 8));
        QCOMPARE(three.highlighted, 7);

        const TinyMenuLayout threshold = LayoutTinyMenu("+0050 Ω", 1);
        QCOMPARE(Cells(threshold, 4, 10), std::string("+|0|0|5|0| |Ω"));
        QVERIFY(EmptyOutside(threshold, 4, 10));
        QCOMPARE(threshold.highlighted, 5);
    }

    void textsThatDoNotFitAreClipped() {
        QCOMPARE(LayoutTinyMenu("", 0).highlighted, 7);
        const TinyMenuLayout full = LayoutTinyMenu("ABCDEFGHIJKLMNO", 14);
        QCOMPARE(full.start, 0);
        QCOMPARE(full.cells[14], std::string("O"));
        QCOMPARE(full.highlighted, 14);
        // Longer than the field, or a cursor beyond it: nothing outside the
        // fifteen cells is touched and no cell is highlighted.
        const TinyMenuLayout longer = LayoutTinyMenu("ABCDEFGHIJKLMNOPQRST", 30);
        QCOMPARE(longer.highlighted, -1);
        QCOMPARE(longer.cells[0], std::string("C"));
        QCOMPARE(LayoutTinyMenu("12", -9).highlighted, -1);
        // A broken UTF-8 sequence stays one byte per cell.
        const TinyMenuLayout broken = LayoutTinyMenu("1\xCE", 0);
        QCOMPARE(broken.cells[broken.start + 1], std::string("\xCE"));
    }
};

int RunTinyMenuCellsTest(int argc, char** argv) {
    TinyMenuCellsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TinyMenuCellsTest.moc"
