#include "app/AppIcon.h"

// The resource file belongs to the static GUI library, so the program and
// the tests must register it themselves before use.
static void InitialiseIconResource() {
    Q_INIT_RESOURCE(korvata);
}

namespace kvt::app {

QIcon AppIcon() {
    static const bool registered = [] {
        InitialiseIconResource();
        return true;
    }();
    (void)registered;
    return QIcon(QStringLiteral(":/korvata/korvata.png"));
}

}  // namespace kvt::app
