#pragma once

#include <rpc/rpc.h>

namespace kvt::visa {

// An XDR routine as the one xdrproc_t type that libtirpc's calls take.
// The routines take differing argument lists, so the cast goes through
// void(*)(), the generic function pointer.
template <typename F>
xdrproc_t Xdr(F function) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(function));
}

}  // namespace kvt::visa
