#pragma once

#include <QApplication>
#include <QCursor>

namespace kvt::app {

// Shows the wait cursor for as long as it lives: around the exchanges with
// the instrument that block the user-interface thread.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace kvt::app
