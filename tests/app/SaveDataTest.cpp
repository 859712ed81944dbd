// SaveData through the save dialog: its filter, suffix and overwrite
// question, the file written from the current function's history (also
// after a change of function), and a failing save that says why and loses
// nothing.
#include "tests/app/SaveDataTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "app/CKVTDlg.h"
#include "functions/CKVTFunction.h"
#include "link/CDlgProtocol.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/Screenshots.h"

using kvt::app::CKVTDlg;

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QList<QByteArray> Lines(const QString& path) {
    QList<QByteArray> lines = Contents(path).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QByteArray Line(double value) {
    return QByteArray::number(value, 'f', 12) + ",\r";
}

// The lines of the readings that are measurements (the overload value also
// stands for "no reading yet" right after a change of function).
QSet<QByteArray> Measured(const std::vector<double>& readings) {
    QSet<QByteArray> lines;
    for (double value : readings) {
        if (std::abs(value) < 9.9e37) {
            lines.insert(Line(value));
        }
    }
    return lines;
}

// Sets or clears the immutable attribute of a folder: nobody, root
// included, may then create, replace or remove anything in it.
bool SetImmutable(const QString& folder, bool on) {
    int fd = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return ok;
}

bool CanCreateFileIn(const QString& folder) {
    QFile probe(folder + "/probe");
    if (!probe.open(QIODevice::WriteOnly)) {
        return false;
    }
    probe.close();
    probe.remove();
    return true;
}

}  // namespace

void SaveDataTest::init() {
    m_meter = std::make_unique<kvt::test::MeterSession>();
    m_window = std::make_unique<CKVTDlg>();
    QString error;
    QVERIFY2(m_window->OnInitDialog(QStringLiteral(KVT_SKIN_PATH), &error), qPrintable(error));
    m_window->show();
    m_folder = QDir::temp().filePath(QStringLiteral("korvata-save-%1").arg(getpid()));
    QDir(m_folder).removeRecursively();
    QVERIFY(QDir().mkpath(m_folder));
}

void SaveDataTest::cleanup() {
    SetImmutable(m_folder, false);
    QDir(m_folder).removeRecursively();
    m_window.reset();
    m_meter.reset();
}

void SaveDataTest::SaveThroughDialog(const QString& path, int replace) {
    kvt::test::ModalDriver dialogDriver;
    auto replaceDriver = std::make_shared<kvt::test::ModalDriver>();
    dialogDriver.OnNextModal(
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->nameFilters(), QStringList{"Comma seperated file(*.csv)"});
            QCOMPARE(dialog->defaultSuffix(), QString("csv"));
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            kvt::test::SaveScreenshot(dialog, "save-dialog");
            if (replace >= 0) {
                replaceDriver->OnNextModal(
                    [replace](QWidget* question) {
                        auto* box = qobject_cast<QMessageBox*>(question);
                        QVERIFY(box != nullptr);
                        kvt::test::SaveScreenshot(box, "save-replace-question");
                        box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                    },
                    dialog);
            }
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
            if (dialog->isVisible()) {
                dialog->reject();  // refused the name: end the test's dialog
            }
        },
        m_window.get());
    m_window->SaveDataAction()->trigger();
    QVERIFY(dialogDriver.Acted());
    QCOMPARE(replaceDriver->Acted(), replace >= 0);
}

void SaveDataTest::emptyHistoryGivesEmptyFile() {
    // No suffix typed: the dialog adds ".csv".
    SaveThroughDialog(m_folder + "/empty");
    QVERIFY(QFile::exists(m_folder + "/empty.csv"));
    QCOMPARE(QFileInfo(m_folder + "/empty.csv").size(), qint64(0));
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{"empty.csv"});
}

void SaveDataTest::sixtyThousandReadingsKeepTheNewest() {
    kvt::functions::CKVTFunction* current = m_window->FrontPanel().GetCurrentFunction();
    for (int i = 0; i < 60000; ++i) {
        current->PushHistory(i * 0.001);
    }
    SaveThroughDialog(m_folder + "/many.csv");
    const QList<QByteArray> lines = Lines(m_folder + "/many.csv");
    QCOMPARE(lines.size(), qsizetype(50001));
    // The oldest 9,999 readings are gone.
    QCOMPARE(lines.front(), Line(9.999));
    QCOMPARE(lines.back(), Line(59.999));
    QCOMPARE(current->HistorySnapshot().size(), size_t(50001));
}

void SaveDataTest::savingTwiceAsksAndReplaces() {
    kvt::functions::CKVTFunction* current = m_window->FrontPanel().GetCurrentFunction();
    current->PushHistory(1.5);
    const QString path = m_folder + "/twice.csv";
    SaveThroughDialog(path);
    QCOMPARE(Lines(path), (QList<QByteArray>{Line(1.5)}));

    current->PushHistory(-2.25);
    SaveThroughDialog(path, 0);  // "No": the file stays as it was
    QCOMPARE(Lines(path), (QList<QByteArray>{Line(1.5)}));
    SaveThroughDialog(path, 1);  // "Yes": the history as it is now
    QCOMPARE(Lines(path), (QList<QByteArray>{Line(1.5), Line(-2.25)}));
}

void SaveDataTest::readOnlyFolderKeepsOldFileAndReadings() {
    const QString old = m_folder + "/old.csv";
    {
        QFile file(old);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("older readings\r\n");
    }
    if (!SetImmutable(m_folder, true)) {
        QSKIP("this file system cannot make a folder read-only for every user");
    }
    QVERIFY2(!CanCreateFileIn(m_folder), "the folder is still writable");

    kvt::functions::CKVTFunction* current = m_window->FrontPanel().GetCurrentFunction();
    for (double value : {0.5, 0.25, 0.125}) {
        current->PushHistory(value);
    }
    auto errorDriver = std::make_shared<kvt::test::ModalDriver>();
    QString boxText;
    QString reason;
    // The error box comes after the dialog and its question have gone.
    errorDriver->OnNextModalNamed("saveFailureBox", [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        kvt::test::SaveScreenshot(box, "save-failed");
        boxText = box->text();
        reason = box->informativeText();
        QCOMPARE(box->windowTitle(), QString("Error"));
        box->button(QMessageBox::Ok)->click();
    });
    SaveThroughDialog(old, 1);
    QTRY_VERIFY(!boxText.isEmpty());
    QVERIFY(boxText.contains(old));
    QVERIFY2(!reason.isEmpty(), "the box gives no reason");
    QCOMPARE(Contents(old), QByteArray("older readings\r\n"));
    QCOMPARE(current->HistorySnapshot(), (std::vector<double>{0.5, 0.25, 0.125}));

    // The readings are still there to be saved elsewhere.
    SetImmutable(m_folder, false);
    QVERIFY(m_window->SaveDataTo(m_folder + "/elsewhere.csv"));
    QCOMPARE(Lines(m_folder + "/elsewhere.csv"),
             (QList<QByteArray>{Line(0.5), Line(0.25), Line(0.125)}));
}

void SaveDataTest::patternOrCancelWritesNothing() {
    m_window->FrontPanel().GetCurrentFunction()->PushHistory(3.0);
    kvt::test::ModalDriver driver;
    auto again = std::make_shared<kvt::test::ModalDriver>();
    driver.OnNextModal(
        [this, again](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            // The initial name is the pattern itself: Save with it names no
            // file, and the dialog asks again.
            dialog->setDirectory(m_folder);
            again->OnNextModal([](QWidget* shown) {
                QVERIFY(qobject_cast<QFileDialog*>(shown) != nullptr);
                qobject_cast<QDialog*>(shown)->reject();
            });
            static_cast<QDialog*>(dialog)->accept();
        },
        m_window.get());
    m_window->SaveDataAction()->trigger();
    QVERIFY(driver.Acted());
    QVERIFY(again->Acted());
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{});
}

void SaveDataTest::savesTheCurrentFunctionAfterAFunctionChange() {
    // Connected (USBTMC); DC voltage measures first.
    kvt::test::ModalDriver driver;
    driver.OnNextModal(
        [](QWidget* modal) {
            auto* dialog = qobject_cast<kvt::link::CDlgProtocol*>(modal);
            QVERIFY(dialog != nullptr);
            dialog->OkButton()->click();
        },
        m_window.get());
    m_window->ConnectAction()->trigger();
    QVERIFY(driver.Acted());
    kvt::panel::CFrontPanel& panel = m_window->FrontPanel();
    kvt::functions::CKVTFunction* dcv = panel.Function("VOLT");
    QTRY_VERIFY_WITH_TIMEOUT(
        panel.GetCurrentFunction() == dcv && !Measured(dcv->HistorySnapshot()).isEmpty(), 20000);

    // The user clicks the AC voltage key and it measures too.
    panel.OnClick(QStringLiteral("btnACV"));
    kvt::functions::CKVTFunction* acv = panel.Function("VOLT:AC");
    QVERIFY(panel.GetCurrentFunction() == acv);
    QTRY_VERIFY_WITH_TIMEOUT(!Measured(acv->HistorySnapshot()).isEmpty(), 20000);
    const size_t takenBefore = acv->HistorySnapshot().size();

    const QString path = m_folder + "/after-change.csv";
    SaveThroughDialog(path);
    // The file holds AC voltage's readings, oldest first, as many as it had
    // when saved (its worker goes on meanwhile), and none of DC voltage's.
    const std::vector<double> acvReadings = acv->HistorySnapshot();
    const QList<QByteArray> lines = Lines(path);
    QVERIFY2(size_t(lines.size()) >= takenBefore && size_t(lines.size()) <= acvReadings.size(),
             qPrintable(QString::number(lines.size())));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines[i], Line(acvReadings[size_t(i)]));
    }
    const QSet<QByteArray> dcvLines = Measured(dcv->HistorySnapshot());
    QVERIFY(!dcvLines.isEmpty());
    for (const QByteArray& line : lines) {
        QVERIFY2(!dcvLines.contains(line), line.constData());
    }
}
