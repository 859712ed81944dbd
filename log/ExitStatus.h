#pragma once

namespace kvt::logger {

// The exit statuses of korvata-log, as --help and the manual page list them.
enum ExitStatus : int {
    kExitSuccess = 0,         // done: count, duration, Ctrl-C or SIGTERM; --help, --list
    kExitOutputFailed = 1,    // the output could not be created or written
    kExitUsage = 2,           // wrong options or arguments
    kExitCannotConnect = 3,   // the resource could not be opened, or the meter did not answer
    kExitConnectionLost = 4,  // the meter stopped answering and was not brought back
};

}  // namespace kvt::logger
