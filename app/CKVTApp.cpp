#include "app/CKVTApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include "app/AppIcon.h"
#include "app/CFailureMessageHandler.h"
#include "app/CKVTDlg.h"
#include "app/ReconnectController.h"

namespace kvt::app {

int CKVTApp::Run() {
    QApplication::setWindowIcon(AppIcon());
    CKVTDlg window;
    CFailureMessageHandler failures(&window);
    QObject::connect(&window, &CKVTDlg::Closing, [&failures] { failures.Silence(); });
    // One box when the meter stops answering; none while it is brought
    // back, nor when it drops again after that.
    QObject::connect(
        &window.Reconnection(), &ReconnectController::StateChanged,
        [&failures, &window] { failures.SetQuiet(window.Reconnection().QuietFailures()); });
    QString error;
    if (!window.OnInitDialog(&error)) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Korvata"),
                        QStringLiteral("Korvata cannot start."), QMessageBox::Ok);
        box.setInformativeText(error);
        box.exec();
        return 1;
    }
    window.show();
    // The window's close (or the quit shortcut) ends the loop; the front
    // panel's workers are stopped and joined by then.
    const int status = QApplication::exec();
    window.FrontPanel().Shutdown();
    return status;
}

}  // namespace kvt::app
