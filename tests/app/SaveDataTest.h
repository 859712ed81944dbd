#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "app/CKVTDlg.h"
#include "tests/app/MeterSession.h"

class SaveDataTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyHistoryGivesEmptyFile();
    void sixtyThousandReadingsKeepTheNewest();
    void savingTwiceAsksAndReplaces();
    void readOnlyFolderKeepsOldFileAndReadings();
    void patternOrCancelWritesNothing();
    void savesTheCurrentFunctionAfterAFunctionChange();

private:
    // Chooses SaveData and answers the file dialog with the path; when
    // replace is given, answers the overwrite question with Yes or No.
    void SaveThroughDialog(const QString& path, int replace = -1);

    std::unique_ptr<kvt::test::MeterSession> m_meter;
    std::unique_ptr<kvt::app::CKVTDlg> m_window;
    QString m_folder;
};
