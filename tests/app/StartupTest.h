#pragma once

#include <QObject>

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void missingSkinIsShownAndTheProgramFails();
    void brokenSkinNamesTheFile();
};
