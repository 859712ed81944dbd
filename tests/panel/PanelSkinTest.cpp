// The skin: a missing, unreadable, foreign or incomplete file is an error
// that names the file and the missing controls; the real skin builds the
// window with every control, the rounded outline and the function table,
// and sends nothing.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegion>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

#include "functions/CKVTFunction.h"
#include "functions/CSensorChosenEvent.h"
#include "panel/CFrontPanel.h"
#include "panel/CFrontPanelSkin.h"
#include "tests/panel/PanelMeter.h"

using kvt::panel::CFrontPanel;
using kvt::panel::CFrontPanelSkin;

namespace {

QByteArray RealSkin() {
    QFile file(kvt::test::SkinPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Write(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath("FrontPanel.xml");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content);
    }
    return path;
}

}  // namespace

class PanelSkinTest : public QObject {
    Q_OBJECT

private slots:
    void missingOrForeignSkinIsAnErrorNamingTheFile() {
        QTemporaryDir dir;
        const QString missing = dir.filePath("FrontPanel.xml");
        const QString foreign = dir.filePath("foreign.xml");
        QFile file(foreign);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><window size=\"800,340\"><Label name=\"x\"/></window>");
        file.close();
        const QString empty = dir.filePath("empty.xml");
        QFile emptyFile(empty);
        QVERIFY(emptyFile.open(QIODevice::WriteOnly));
        emptyFile.close();

        for (const auto& [path, reason] :
             {std::pair{missing, QString("does not exist")},
              std::pair{foreign, QString("is not a user-interface file")},
              std::pair{empty, QString("is not a user-interface file")}}) {
            CFrontPanel panel;
            QString error;
            QVERIFY(!panel.CreatePanel(path, &error));
            QVERIFY2(error.contains(path), qPrintable(error));
            QVERIFY2(error.contains(reason), qPrintable(error));
            QVERIFY(!panel.IsCreated());
            QCOMPARE(panel.GetCurrentFunction(), nullptr);
            // A panel without its skin ignores clicks, redraws and messages.
            panel.OnClick("btnDCV");
            panel.RefreshMainDisplay();
            panel.RefreshSoftKeys();
            QEvent reading(CFrontPanel::kNewReadingEvent);
            QCoreApplication::sendEvent(&panel, &reading);
            kvt::functions::CSensorChosenEvent choice(0, 0, "KITS90");
            QCoreApplication::sendEvent(&panel, &choice);
        }
    }

    void unreadableSkinIsAnError() {
        // A folder of that name exists but cannot be read as a file.
        QTemporaryDir dir;
        const QString path = dir.filePath("FrontPanel.xml");
        QVERIFY(QDir().mkdir(path));
        CFrontPanel panel;
        QString error;
        QVERIFY(!panel.CreatePanel(path, &error));
        QVERIFY2(error.contains(path) && error.contains("cannot be read"), qPrintable(error));
        QVERIFY(!panel.IsCreated());
    }

    void incompleteSkinNamesEveryMissingControl() {
        QByteArray skin = RealSkin();
        QVERIFY(!skin.isEmpty());
        skin.replace("name=\"btn-11-\"", "name=\"btnCap\"");
        skin.replace("name=\"labelPop14\"", "name=\"labelPopLast\"");
        skin.replace("name=\"LabelF6Value2\"", "name=\"LabelF6Other\"");
        // A control of the wrong kind is as bad as a missing one.
        skin.replace("<widget class=\"QLabel\" name=\"LabelValue\">",
                     "<widget class=\"QPushButton\" name=\"LabelValue\">");
        QTemporaryDir dir;
        const QString path = Write(dir, skin);

        CFrontPanel panel;
        QString error;
        QVERIFY(!panel.CreatePanel(path, &error));
        QVERIFY2(error.contains(path), qPrintable(error));
        QVERIFY2(error.contains("lacks the controls: btn-11-, LabelF6Value2, labelPop14"),
                 qPrintable(error));
        QVERIFY2(error.contains("LabelValue (must be a label)"), qPrintable(error));
        QVERIFY(!panel.IsCreated());
        // Nothing of the broken skin is left in the window.
        QCOMPARE(panel.findChildren<QWidget*>().size(), 0);
    }

    void realSkinBuildsTheWindowAndSendsNothing() {
        kvt::test::PanelMeter meter;
        QVERIFY(meter.Open());
        CFrontPanel panel;
        QString error;
        QVERIFY2(panel.CreatePanel(kvt::test::SkinPath(), &error), qPrintable(error));
        QCoreApplication::processEvents();
        QCOMPARE(meter.Sent(), std::vector<std::string>{});
        QCOMPARE(meter.pacer.TakeUiPauses().size(), size_t(0));

        for (const CFrontPanelSkin::Control& control : CFrontPanelSkin::RequiredControls()) {
            QVERIFY2(panel.Control(control.name) != nullptr, qPrintable(control.name));
        }
        QCOMPARE(panel.size(), QSize(800, 340));
        QCOMPARE(panel.windowTitle(), QString("KVT418"));
        QCOMPARE(panel.GetCurrentFunction(), panel.Function("VOLT"));
        QCOMPARE(qobject_cast<QLabel*>(panel.Control("LabelTitle"))->text(), QString("DC Voltage"));
        QCOMPARE(qobject_cast<QLabel*>(panel.Control("LabelValue"))->text(),
                 QString::fromStdString(std::string(kvt::functions::CKVTFunction::kPlaceholder)));
        QVERIFY(panel.Control("Label2nd")->isHidden());
        QVERIFY(panel.Control("LabelShift")->isHidden());
        QVERIFY(!panel.IsShift());
        QVERIFY(!panel.CreatePanel(kvt::test::SkinPath(), &error));
    }

    void functionTableHasElevenObjectsInItsOrder() {
        kvt::test::PanelMeter meter;
        CFrontPanel panel;
        QVERIFY(panel.CreatePanel(kvt::test::SkinPath(), nullptr));
        const std::vector<std::pair<std::string, std::string>> table{{"VOLT", "DC Voltage"},
                                                                     {"CURR", "DC Current"},
                                                                     {"VOLT:AC", "AC Voltage"},
                                                                     {"CURR:AC", "AC Current"},
                                                                     {"RES", "2 Wire Resistance"},
                                                                     {"FRES", "4 Wire Resistance"},
                                                                     {"CAP", "Capacitance"},
                                                                     {"FREQ", "Frequency"},
                                                                     {"PER", "Frequency"},
                                                                     {"CONT", "Continuity"},
                                                                     {"DIOD", "Diode"},
                                                                     {"TEMP", "Temperature"}};
        std::set<kvt::functions::CKVTFunction*> objects;
        for (const auto& [key, name] : table) {
            kvt::functions::CKVTFunction* function = panel.Function(key);
            QVERIFY2(function != nullptr, key.c_str());
            QCOMPARE(function->GetName(), name);
            objects.insert(function);
        }
        QCOMPARE(objects.size(), size_t(11));
        QCOMPARE(panel.Function("FREQ"), panel.Function("PER"));
        QCOMPARE(panel.Function("VOLT:DC"), nullptr);
    }

    void outlineIsARoundedRectangleAfterEveryResize() {
        kvt::test::PanelMeter meter;
        CFrontPanel panel;
        QVERIFY(panel.CreatePanel(kvt::test::SkinPath(), nullptr));
        // Cut to its outline as soon as it is created, and at each resize.
        QVERIFY(panel.mask().contains(QPoint(400, 170)));
        panel.show();
        for (const QSize& size : {QSize(800, 340), QSize(640, 300)}) {
            panel.setFixedSize(size);
            const QRegion mask = panel.mask();
            const int right = size.width() - 1;
            const int bottom = size.height() - 1;
            // Corner ellipses of 15 x 15: the very corners are cut away,
            // points a few pixels in along the diagonal and the edges' middles stay.
            for (const QPoint& corner : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom),
                                         QPoint(right, bottom), QPoint(1, 1)}) {
                QVERIFY2(!mask.contains(corner),
                         qPrintable(QString("%1,%2").arg(corner.x()).arg(corner.y())));
            }
            for (const QPoint& inside :
                 {QPoint(4, 4), QPoint(right - 4, bottom - 4), QPoint(size.width() / 2, 0),
                  QPoint(0, size.height() / 2), QPoint(right, size.height() / 2)}) {
                QVERIFY2(mask.contains(inside),
                         qPrintable(QString("%1,%2").arg(inside.x()).arg(inside.y())));
            }
        }
    }
};

int RunPanelSkinTest(int argc, char** argv) {
    PanelSkinTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelSkinTest.moc"
