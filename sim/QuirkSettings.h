#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvt::sim {

// Ways in which real VXI-11 instruments keep the standard only loosely,
// which the simulated meter's VXI-11 server reproduces when asked with
// `--quirk NAME[,NAME...]` (repeatable; "all" turns on every one, with the
// smaller receive size and both kinds of short pieces).
struct QuirkSettings {
    // The size of the pieces in which "pieces-40" hands out replies.
    static constexpr size_t kPieceSize = 40;

    // max-recv-1024, max-recv-128: create_link reports this maxRecvSize and
    // a device_write with more data is refused (parameter error); 0: 1024
    // is reported and any size is taken.
    uint32_t maxRecvSize = 0;
    // pieces-40: replies in pieces of at most 40 bytes, REQCNT on each
    // piece before the last.
    bool piecesWithReqcnt = false;
    // pieces-40-bare: the same, with no reason bit on the pieces before the
    // last. Both on: the pieces before the last alternate.
    bool piecesBare = false;
    // ignore-termchar: a termination character asked for is neither
    // stopped at nor reported (CHR).
    bool ignoreTermChar = false;
    // late-end: the last data of a reply goes without END, which comes
    // alone in a zero-length reply to the next device_read.
    bool lateEnd = false;
    // empty-reads: a zero-length reply with no reason bit before each
    // piece of data.
    bool emptyReads = false;
    // fragments: every RPC reply in several record-marking fragments, each
    // header and each body written separately with nothing held back.
    bool fragments = false;
    // no-lock-wait: create_link, device_read and device_write asking to
    // wait for a lock (the wait-lock flag, or a nonzero lock_timeout) are
    // answered "operation not supported".
    bool refuseLockWait = false;
    // one-link: a link lives until destroy_link, whether or not its
    // connection is still open, and create_link is answered "locked by
    // another link" while any other link lives.
    bool oneLink = false;

    // Applies one name or a comma-separated list; false (with a reason)
    // when a name is unknown, leaving the settings as they were.
    bool Apply(std::string_view names, std::string& error);
    bool PiecesOn() const { return piecesWithReqcnt || piecesBare; }
    bool Any() const {
        return maxRecvSize != 0 || PiecesOn() || ignoreTermChar || lateEnd || emptyReads ||
               fragments || refuseLockWait || oneLink;
    }
};

}  // namespace kvt::sim
