#pragma once

#include <string>

#include "visa/visa.h"

namespace kvt::visa {

// The VISA calls of a library loaded at run time.
struct VisaFunctions {
    ViStatus (*viOpenDefaultRM)(ViSession*);
    ViStatus (*viFindRsrc)(ViSession, ViConstString, ViFindList*, ViUInt32*, ViChar*);
    ViStatus (*viFindNext)(ViFindList, ViChar*);
    ViStatus (*viOpen)(ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViSession*);
    ViStatus (*viClose)(ViObject);
    ViStatus (*viWrite)(ViSession, ViConstBuf, ViUInt32, ViUInt32*);
    ViStatus (*viRead)(ViSession, ViBuf, ViUInt32, ViUInt32*);
    ViStatus (*viSetAttribute)(ViObject, ViAttr, ViAttrState);
    ViStatus (*viGetAttribute)(ViObject, ViAttr, void*);
};

// Loads the library that KORVATA_VISA_LIBRARY names, once. Returns its
// calls, nullptr when the variable is unset, or a table whose every call
// fails with VI_ERROR_LIBRARY_NFOUND when the library or one of its calls
// cannot be loaded (the reason is in ExternalLibraryError() and on stderr).
const VisaFunctions* ExternalLibrary();
std::string ExternalLibraryError();

// Loads a VISA library from `path` into `functions`; on failure returns false
// and says why in `error`, naming the missing file or symbol.
bool LoadVisaLibrary(const std::string& path, VisaFunctions& functions, std::string& error);

}  // namespace kvt::visa
