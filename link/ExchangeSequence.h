#pragma once

#include <cstdint>

namespace kvt::link {

// A sequence of exchanges run for the user: a click on the front panel,
// the connect sequence, a menu or view command. It ends at its first
// failed exchange instead of waiting out the timeout of every exchange
// left in it: once a communication failure was reported (on any thread)
// since the sequence began, or one of its own writes failed, the
// connection answers each later Write, Read and Query of this thread at
// once as failed, without touching the instrument. A short-cut Read or
// Query still reports the failure as a failed one does, so the message
// appears once for the sequence, as for any failed exchange.
//
// The scope belongs to the thread that makes it; a scope made inside
// another joins it (a failure in either stops both). The reading worker
// makes none: its cycle stops at its first failure on its own.
class ExchangeSequence {
public:
    ExchangeSequence();
    ~ExchangeSequence();
    ExchangeSequence(const ExchangeSequence&) = delete;
    ExchangeSequence& operator=(const ExchangeSequence&) = delete;

    // True when the calling thread runs a sequence that has seen a failure;
    // false outside any sequence.
    static bool Failing();
    // For the connection: a write of the calling thread failed.
    static void NoteFailedWrite();
};

}  // namespace kvt::link
