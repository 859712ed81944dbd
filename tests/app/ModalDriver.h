#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kvt::test {

// Acts on the next modal widget that is not `ignore` (and, when a name is
// given, has that object name) as soon as it is shown: polls from the
// event loop (which a modal dialog's exec keeps running) and never
// sleeps. At the timeout it closes whatever modal widget is open, so that
// a missed dialog fails the test instead of hanging it.
class ModalDriver {
public:
    using Action = std::function<void(QWidget*)>;

    void OnNextModal(Action action, QWidget* ignore = nullptr, int timeoutMs = 10000) {
        OnNextModalNamed(QString(), std::move(action), ignore, timeoutMs);
    }

    void OnNextModalNamed(const QString& name, Action action, QWidget* ignore = nullptr,
                          int timeoutMs = 10000) {
        auto state = std::make_shared<Pending>();
        state->action = std::move(action);
        state->name = name;
        state->ignore = ignore;
        state->timeoutMs = timeoutMs;
        state->clock.start();
        m_last = state;
        Poll(state);
    }

    // True once the last scheduled action ran.
    bool Acted() const { return m_last && m_last->done; }
    // The class name of the widget the last action received.
    QString ActedOn() const { return m_last ? m_last->className : QString(); }

private:
    struct Pending {
        Action action;
        QString name;
        QPointer<QWidget> ignore;
        int timeoutMs = 0;
        QElapsedTimer clock;
        bool done = false;
        QString className;
    };

    static void CloseIfOpen(QWidget* widget) {
        if (widget != nullptr && !widget->isHidden()) {
            widget->close();
        }
    }

    static void Poll(const std::shared_ptr<Pending>& state) {
        QTimer::singleShot(1, [state] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != state->ignore.data() && modal->isVisible() &&
                (state->name.isEmpty() || modal->objectName() == state->name)) {
                state->done = true;
                state->className = QString::fromLatin1(modal->metaObject()->className());
                QPointer<QWidget> acted(modal);
                state->action(modal);
                // A failed check inside the action leaves the dialog open:
                // close it, so that the test reports instead of hanging.
                if (QTest::currentTestFailed()) {
                    CloseIfOpen(acted.data());
                }
                return;
            }
            if (state->clock.elapsed() < state->timeoutMs) {
                Poll(state);
            } else {
                CloseIfOpen(modal);
            }
        });
    }

    std::shared_ptr<Pending> m_last;
};

}  // namespace kvt::test
