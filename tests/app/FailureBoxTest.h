#pragma once

#include <QObject>

class FailureBoxTest : public QObject {
    Q_OBJECT

private slots:
    void burstFromWorkerThreadsShowsOneBox();
    void quietHandlerShowsNothingUntilItSpeaksAgain();
    void removedHandlerShowsNothing();
};
