#include "app/CFailureMessageHandler.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <string_view>

#include "link/CommunicationFailure.h"

namespace kvt::app {

struct CFailureMessageHandler::State {
    // Set from the moment a box is queued until it is closed.
    std::atomic<bool> pending{false};
    std::atomic<bool> installed{true};
    std::atomic<bool> quiet{false};
    // Touched on the user-interface thread only.
    QPointer<QWidget> owner;
    int shown = 0;
};

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CFailureMessageHandler::CFailureMessageHandler(QWidget* owner)
    : m_state(std::make_shared<State>()) {
    m_state->owner = owner;
    link::SetCommunicationFailureHandler(
        [state = m_state](std::string_view text, std::string_view title) {
            if (state->quiet.load()) {
                return;  // expected: the meter is being brought back
            }
            if (state->pending.exchange(true)) {
                return;  // a box is on its way or open: do not stack another
            }
            QCoreApplication* application = QCoreApplication::instance();
            if (application == nullptr || !state->installed.load()) {
                state->pending.store(false);
                return;
            }
            // The application object lives on the user-interface thread, so the
            // box is built and run there, never on the thread that failed.
            QMetaObject::invokeMethod(
                application,
                [state, text = FromUtf8(text), title = FromUtf8(title)] {
                    if (state->installed.load()) {
                        QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok,
                                        state->owner.data());
                        box.setObjectName(QString::fromLatin1(kBoxName));
                        box.setWindowModality(Qt::ApplicationModal);
                        ++state->shown;
                        box.exec();
                    }
                    state->pending.store(false);
                },
                Qt::QueuedConnection);
        });
}

CFailureMessageHandler::~CFailureMessageHandler() {
    m_state->installed.store(false);
    link::SetCommunicationFailureHandler({});
}

void CFailureMessageHandler::Silence() {
    m_state->installed.store(false);
}

void CFailureMessageHandler::SetQuiet(bool quiet) {
    m_state->quiet.store(quiet);
}

int CFailureMessageHandler::BoxesShown() const {
    return m_state->shown;
}

}  // namespace kvt::app
