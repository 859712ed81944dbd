#pragma once

namespace kvt::app {

// The program's whole life: shows the instrument link's failure message
// from then on, builds the main window (views and front panel from the
// skin beside the program), shows it and runs until it is closed. A
// QApplication must exist. Nothing is sent to the instrument at start.
class CKVTApp {
public:
    // The exit status: 0 once the window was closed; 1 when the window
    // could not be built (the reason was shown in a message box first).
    int Run();
};

}  // namespace kvt::app
