#include "log/InstrumentList.h"

#include "visa/visa.h"

namespace kvt::logger {

bool ListInstruments(std::vector<std::string>& found, std::string& error) {
    found.clear();
    ViSession manager = VI_NULL;
    if (viOpenDefaultRM(&manager) < VI_SUCCESS) {
        error = "The VISA resource manager could not be opened.";
        return false;
    }
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    ViChar name[VI_FIND_BUFLEN] = {};
    const ViStatus status = viFindRsrc(manager, "?*INSTR", &list, &count, name);
    if (status >= VI_SUCCESS) {
        for (ViUInt32 i = 0; i < count; ++i) {
            if (i > 0 && viFindNext(list, name) < VI_SUCCESS) {
                break;
            }
            found.emplace_back(name);
        }
        viClose(list);
    }
    viClose(manager);
    if (status < VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND) {
        error = "The search for instruments failed.";
        return false;
    }
    return true;
}

}  // namespace kvt::logger
