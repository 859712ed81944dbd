#pragma once

#include <QIcon>

namespace kvt::app {

// The program's icon (embedded in the program as a Qt resource).
QIcon AppIcon();

}  // namespace kvt::app
