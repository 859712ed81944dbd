#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

#include <cstdlib>

namespace kvt::test {

// Saves a picture of the widget as <name>.png into the folder named by
// KVT_SCREENSHOT_DIR, when that is set; otherwise does nothing. The
// pictures are for looking at, not for asserting.
inline void SaveScreenshot(QWidget* widget, const QString& name) {
    const char* folder = std::getenv("KVT_SCREENSHOT_DIR");
    if (folder == nullptr || widget == nullptr) {
        return;
    }
    QDir().mkpath(QString::fromLocal8Bit(folder));
    widget->grab().save(QDir(QString::fromLocal8Bit(folder)).filePath(name + ".png"));
}

}  // namespace kvt::test
