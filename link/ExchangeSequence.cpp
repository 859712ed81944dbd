#include "link/ExchangeSequence.h"

#include "link/CommunicationFailure.h"

namespace kvt::link {
namespace {

// The calling thread's sequence: how deep its scopes are nested, the
// failure count when the outermost began, and whether a write failed.
struct SequenceState {
    int depth = 0;
    uint64_t failuresAtStart = 0;
    bool writeFailed = false;
};

thread_local SequenceState t_sequence;

}  // namespace

ExchangeSequence::ExchangeSequence() {
    if (t_sequence.depth++ == 0) {
        t_sequence.failuresAtStart = CommunicationFailureCount();
        t_sequence.writeFailed = false;
    }
}

ExchangeSequence::~ExchangeSequence() {
    --t_sequence.depth;
}

bool ExchangeSequence::Failing() {
    return t_sequence.depth > 0 &&
           (t_sequence.writeFailed || CommunicationFailureCount() != t_sequence.failuresAtStart);
}

void ExchangeSequence::NoteFailedWrite() {
    if (t_sequence.depth > 0) {
        t_sequence.writeFailed = true;
    }
}

}  // namespace kvt::link
