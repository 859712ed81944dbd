// Starting without a usable skin: the program says which file is wrong and
// ends with a failure status instead of showing an empty window.
#include "tests/app/StartupTest.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "app/CKVTApp.h"
#include "app/CKVTDlg.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/Screenshots.h"

void StartupTest::missingSkinIsShownAndTheProgramFails() {
    // The program looks for its skin beside itself; the test program has none.
    QVERIFY(
        !QFile::exists(QDir(QCoreApplication::applicationDirPath()).filePath("FrontPanel.xml")));
    QString text;
    QString reason;
    kvt::test::ModalDriver driver;
    driver.OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        kvt::test::SaveScreenshot(box, "start-without-skin");
        text = box->text();
        reason = box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    kvt::app::CKVTApp program;
    QCOMPARE(program.Run(), 1);
    QVERIFY(driver.Acted());
    QCOMPARE(text, QString("Korvata cannot start."));
    QVERIFY2(reason.contains("FrontPanel.xml"), qPrintable(reason));
}

void StartupTest::brokenSkinNamesTheFile() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString skin = folder.filePath("FrontPanel.xml");
    {
        QFile file(skin);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<ui version=\"4.0\"><widget class=\"QWidget\" name=\"x\"/>");
    }
    kvt::app::CKVTDlg window;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Designer: "));
    QString error;
    QVERIFY(!window.OnInitDialog(skin, &error));
    QVERIFY2(error.contains(skin), qPrintable(error));
}
