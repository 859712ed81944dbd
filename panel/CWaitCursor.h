#pragma once

#include <QGuiApplication>

namespace kvt::panel {

// Shows the wait cursor while the user-interface thread waits on the
// instrument; nested guards stack, each one undoes its own.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace kvt::panel
