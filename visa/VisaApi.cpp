// The VISA C calls. In the program's static build they forward to the
// library named by KORVATA_VISA_LIBRARY when it is set; the shared library
// (built without KVT_VISA_FORWARDING) always answers itself.
#include "visa/AbortIo.h"
#include "visa/ResourceManager.h"
#include "visa/visa.h"

#ifdef KVT_VISA_FORWARDING
#include "visa/ExternalLibrary.h"
#define KVT_FORWARD(call, ...)                                                     \
    if (const kvt::visa::VisaFunctions* external = kvt::visa::ExternalLibrary()) { \
        return external->call(__VA_ARGS__);                                        \
    }
#else
#define KVT_FORWARD(call, ...)
#endif

#define KVT_EXPORT extern "C" __attribute__((visibility("default")))

using kvt::visa::ResourceManager;

KVT_EXPORT ViStatus viOpenDefaultRM(ViSession* vi) {
    KVT_FORWARD(viOpenDefaultRM, vi)
    return ResourceManager::Instance().OpenDefaultRM(vi);
}

KVT_EXPORT ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViFindList* vi, ViUInt32* retCnt,
                               ViChar desc[]) {
    KVT_FORWARD(viFindRsrc, sesn, expr, vi, retCnt, desc)
    return ResourceManager::Instance().FindRsrc(sesn, expr, vi, retCnt, desc);
}

KVT_EXPORT ViStatus viFindNext(ViFindList vi, ViChar desc[]) {
    KVT_FORWARD(viFindNext, vi, desc)
    return ResourceManager::Instance().FindNext(vi, desc);
}

KVT_EXPORT ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                           ViSession* vi) {
    KVT_FORWARD(viOpen, sesn, name, mode, timeout, vi)
    return ResourceManager::Instance().Open(sesn, name, mode, timeout, vi);
}

KVT_EXPORT ViStatus viClose(ViObject vi) {
    KVT_FORWARD(viClose, vi)
    return ResourceManager::Instance().Close(vi);
}

KVT_EXPORT ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViUInt32* retCnt) {
    KVT_FORWARD(viWrite, vi, buf, cnt, retCnt)
    return ResourceManager::Instance().Write(vi, buf, cnt, retCnt);
}

KVT_EXPORT ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 cnt, ViUInt32* retCnt) {
    KVT_FORWARD(viRead, vi, buf, cnt, retCnt)
    return ResourceManager::Instance().Read(vi, buf, cnt, retCnt);
}

KVT_EXPORT ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
    KVT_FORWARD(viSetAttribute, vi, attrName, attrValue)
    return ResourceManager::Instance().SetAttribute(vi, attrName, attrValue);
}

KVT_EXPORT ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
    KVT_FORWARD(viGetAttribute, vi, attrName, attrValue)
    return ResourceManager::Instance().GetAttribute(vi, attrName, attrValue);
}

namespace kvt::visa {

ViStatus AbortSessionIo(ViSession vi) {
#ifdef KVT_VISA_FORWARDING
    if (ExternalLibrary() != nullptr) {
        return VI_ERROR_NSUP_OPER;
    }
#endif
    return ResourceManager::Instance().AbortIo(vi);
}

}  // namespace kvt::visa
