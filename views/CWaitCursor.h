#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace kvt::views {

// Shows the wait cursor while the user-interface thread waits on the
// instrument (a view's or the panel's command, a function change, the
// menu's sequences); nested guards stack, each one undoes its own.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace kvt::views
