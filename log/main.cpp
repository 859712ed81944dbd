// korvata-log: a bench multimeter's readings logged as CSV from a terminal
// or a service, with the program's own VISA layer, link and functions.
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "link/CommunicationFailure.h"
#include "log/ExitStatus.h"
#include "log/InstrumentList.h"
#include "log/LogOptions.h"
#include "log/LoggingSession.h"
#include "log/StatusLine.h"
#include "log/StopSignals.h"
#include "sim/SimulatedMeter.h"

namespace {

using namespace kvt::logger;

int Usage(const std::string& error) {
    std::fprintf(stderr, "korvata-log: %s\nTry \"korvata-log --help\" for more.\n", error.c_str());
    return kExitUsage;
}

int List() {
    std::vector<std::string> found;
    std::string error;
    if (!ListInstruments(found, error)) {
        std::fprintf(stderr, "korvata-log: %s\n", error.c_str());
        return kExitCannotConnect;
    }
    for (const std::string& resource : found) {
        std::printf("%s\n", resource.c_str());
    }
    if (found.empty()) {
        std::fprintf(stderr, "korvata-log: no instruments found.\n");
    }
    return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    // Numbers are written and read with a point whatever the user's locale.
    std::setlocale(LC_ALL, "C");
    // A reader that goes away makes writes fail with an error (the
    // recording then ends and says so) instead of killing the process.
    signal(SIGPIPE, SIG_IGN);

    LogOptions options;
    std::string error;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        return Usage(error);
    }
    if (options.help) {
        std::fputs(LogOptions::Usage(), stdout);
        return kExitSuccess;
    }
    if (options.version) {
        std::printf("korvata-log %s\n", KVT_VERSION);
        return kExitSuccess;
    }
    // The VISA layer's in-process simulation (KORVATA_VISA_SIMULATE=1)
    // opens this meter; without that setting it stays unused.
    kvt::sim::InstallSimulatedMeter();
    if (options.list) {
        return List();
    }

    // Before any thread starts: the threads inherit the blocked signals.
    StopSignals signals;
    if (!signals.Install(error)) {
        std::fprintf(stderr, "korvata-log: %s\n", error.c_str());
        return kExitOutputFailed;
    }
    // The line is drawn only for a person watching: standard error on a
    // terminal, not --quiet, and not the terminal the CSV itself goes to.
    const bool drawing = !options.quiet && isatty(STDERR_FILENO) == 1 &&
                         !(options.ToStandardOutput() && isatty(STDOUT_FILENO) == 1);
    StatusLine status(STDERR_FILENO, drawing);
    kvt::link::SetCommunicationFailureHandler(
        [&status, verbose = options.verbose](std::string_view, std::string_view) {
            if (verbose) {
                status.Message("korvata-log: a read from the meter failed.");
            }
        });

    LoggingSession session(options, signals, status);
    if (!session.CheckResource(error) || !session.CheckRange(error)) {
        return Usage(error);
    }
    const int result = session.Run();
    kvt::link::SetCommunicationFailureHandler({});
    return result;
}
