#pragma once

#include <memory>

class QWidget;

namespace kvt::app {

// Shows the instrument link's failure message for the whole program while
// it lives. The link may raise it on any thread; the box is always shown
// on the user-interface thread (queued there), modal to the application,
// owned by the main window, and there is never more than one: failures
// raised while a box is pending or open are dropped, and the next failure
// after it closed shows a new one.
class CFailureMessageHandler {
public:
    // The object name of the box, for whoever needs to find it.
    static constexpr const char* kBoxName = "communicationFailureBox";

    // Installs the handler; owner (may be null) becomes the box's parent.
    explicit CFailureMessageHandler(QWidget* owner = nullptr);
    // Removes the handler; a box still queued is not shown.
    ~CFailureMessageHandler();
    CFailureMessageHandler(const CFailureMessageHandler&) = delete;
    CFailureMessageHandler& operator=(const CFailureMessageHandler&) = delete;

    // How many boxes have been shown (user-interface thread).
    int BoxesShown() const;
    // The program is ending: from now on no box is shown, not even one
    // already queued.
    void Silence();
    // While quiet, failures raised are not shown (the meter is known to be
    // gone and is being brought back); a box already shown stays. Any
    // thread.
    void SetQuiet(bool quiet);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace kvt::app
