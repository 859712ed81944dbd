#include "sim/QuirkSettings.h"

namespace kvt::sim {
namespace {

bool ApplyOne(std::string_view name, QuirkSettings& q) {
    if (name == "max-recv-1024") {
        q.maxRecvSize = 1024;
    } else if (name == "max-recv-128") {
        q.maxRecvSize = 128;
    } else if (name == "pieces-40") {
        q.piecesWithReqcnt = true;
    } else if (name == "pieces-40-bare") {
        q.piecesBare = true;
    } else if (name == "ignore-termchar") {
        q.ignoreTermChar = true;
    } else if (name == "late-end") {
        q.lateEnd = true;
    } else if (name == "empty-reads") {
        q.emptyReads = true;
    } else if (name == "fragments") {
        q.fragments = true;
    } else if (name == "no-lock-wait") {
        q.refuseLockWait = true;
    } else if (name == "one-link") {
        q.oneLink = true;
    } else if (name == "all") {
        for (std::string_view each :
             {"max-recv-128", "pieces-40", "pieces-40-bare", "ignore-termchar", "late-end",
              "empty-reads", "fragments", "no-lock-wait", "one-link"}) {
            ApplyOne(each, q);
        }
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool QuirkSettings::Apply(std::string_view names, std::string& error) {
    QuirkSettings changed = *this;
    for (;;) {
        size_t comma = names.find(',');
        std::string_view name = names.substr(0, comma);
        if (!ApplyOne(name, changed)) {
            error = "unknown quirk \"" + std::string(name) + "\" (see --help)";
            return false;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        names.remove_prefix(comma + 1);
    }
    *this = changed;
    return true;
}

}  // namespace kvt::sim
