#pragma once

#include "visa/visa.h"

namespace kvt::visa {

// Korvata's own addition to the VISA calls (not exported from the shared
// library): makes a read or write that another thread has in progress on
// the session return at once with an error, and every later call on it
// fail. Nothing is sent to the instrument. For a program that ends while a
// worker waits for a silent instrument. VI_ERROR_NSUP_OPER when the calls
// go to a vendor's library (KORVATA_VISA_LIBRARY), which has no such call.
ViStatus AbortSessionIo(ViSession vi);

}  // namespace kvt::visa
