#include "visa/ExternalLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kvt::visa {
namespace {

std::string g_error;

ViStatus FailOpenDefaultRM(ViSession*) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailFindRsrc(ViSession, ViConstString, ViFindList*, ViUInt32*, ViChar*) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailFindNext(ViFindList, ViChar*) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailOpen(ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViSession*) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailClose(ViObject) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailWrite(ViSession, ViConstBuf, ViUInt32, ViUInt32*) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailRead(ViSession, ViBuf, ViUInt32, ViUInt32*) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailSetAttribute(ViObject, ViAttr, ViAttrState) {
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus FailGetAttribute(ViObject, ViAttr, void*) {
    return VI_ERROR_LIBRARY_NFOUND;
}

constexpr VisaFunctions kFailing = {FailOpenDefaultRM, FailFindRsrc,     FailFindNext,
                                    FailOpen,          FailClose,        FailWrite,
                                    FailRead,          FailSetAttribute, FailGetAttribute};

template <typename F>
bool Resolve(void* library, const char* symbol, F& target, const std::string& path,
             std::string& error) {
    void* address = dlsym(library, symbol);
    if (address == nullptr) {
        error = "VISA library " + path + " has no symbol " + symbol;
        return false;
    }
    target = reinterpret_cast<F>(address);
    return true;
}

}  // namespace

bool LoadVisaLibrary(const std::string& path, VisaFunctions& f, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = "cannot load VISA library " + path + ": " + (reason ? reason : "unknown error");
        return false;
    }
    // The library stays loaded for the life of the process: sessions opened
    // through it may be in use until the end.
    return Resolve(library, "viOpenDefaultRM", f.viOpenDefaultRM, path, error) &&
           Resolve(library, "viFindRsrc", f.viFindRsrc, path, error) &&
           Resolve(library, "viFindNext", f.viFindNext, path, error) &&
           Resolve(library, "viOpen", f.viOpen, path, error) &&
           Resolve(library, "viClose", f.viClose, path, error) &&
           Resolve(library, "viWrite", f.viWrite, path, error) &&
           Resolve(library, "viRead", f.viRead, path, error) &&
           Resolve(library, "viSetAttribute", f.viSetAttribute, path, error) &&
           Resolve(library, "viGetAttribute", f.viGetAttribute, path, error);
}

const VisaFunctions* ExternalLibrary() {
    static const VisaFunctions* table = [] {
        const char* path = std::getenv("KORVATA_VISA_LIBRARY");
        if (path == nullptr || *path == '\0') {
            return static_cast<const VisaFunctions*>(nullptr);
        }
        static VisaFunctions loaded{};
        std::string error;
        if (!LoadVisaLibrary(path, loaded, error)) {
            g_error = error;
            std::fprintf(stderr, "korvata: %s\n", error.c_str());
            return &kFailing;
        }
        return static_cast<const VisaFunctions*>(&loaded);
    }();
    return table;
}

std::string ExternalLibraryError() {
    ExternalLibrary();
    return g_error;
}

}  // namespace kvt::visa
