#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace kvt::views {

// Shows the wait cursor while a view's command waits for the function's
// lock and the instrument; nested guards stack, each one undoes its own.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace kvt::views
