// The VISA C calls. In the program's static build they forward to the
// library named by KORVATA_VISA_LIBRARY when it is set; the shared library
// (built without KVT_VISA_FORWARDING) always answers itself.
#include <cstdio>
#include "visa/AbortIo.h"

#include "visa/ResourceManager.h"
#include "visa/StatusDescription.h"
#include "visa/VisaString.h"
#include "visa/visa.h"

#ifdef KVT_VISA_FORWARDING
#include "visa/ExternalLibrary.h"
#define KVT_FORWARD(call, ...)                                                     \
    if (const kvt::visa::VisaFunctions* external = kvt::visa::ExternalLibrary()) { \
        return external->call(__VA_ARGS__);                                        \
    }
// The program forwards only the calls it uses to a vendor's library; the
// others are not available while it does.
#define KVT_NOT_FORWARDED                          \
    if (kvt::visa::ExternalLibrary() != nullptr) { \
        return VI_ERROR_NSUP_OPER;                 \
    }
#else
#define KVT_FORWARD(call, ...)
#define KVT_NOT_FORWARDED
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

KVT_EXPORT ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
    (void)vi;  // the texts are the same for every session
    if (desc == nullptr) {
        return VI_ERROR_INV_PARAMETER;
    }
    if (const char* text = kvt::visa::StatusDescription(status)) {
        kvt::visa::CopyVisaString(text, desc);
        return VI_SUCCESS;
    }
    char unknown[VI_FIND_BUFLEN];
    std::snprintf(unknown, sizeof unknown, "Unknown status value 0x%08X.",
                  static_cast<unsigned>(status));
    kvt::visa::CopyVisaString(unknown, desc);
    return VI_WARN_UNKNOWN_STATUS;
}

KVT_EXPORT ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViUInt16* intfType,
                                ViUInt16* intfNum) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().ParseRsrc(rmSesn, rsrcName, intfType, intfNum, nullptr,
                                                 nullptr, nullptr);
}

KVT_EXPORT ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViUInt16* intfType,
                                  ViUInt16* intfNum, ViChar rsrcClass[],
                                  ViChar expandedUnaliasedName[], ViChar aliasIfExists[]) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().ParseRsrc(rmSesn, rsrcName, intfType, intfNum, rsrcClass,
                                                 expandedUnaliasedName, aliasIfExists);
}

KVT_EXPORT ViStatus viClear(ViSession vi) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().Clear(vi);
}

KVT_EXPORT ViStatus viReadSTB(ViSession vi, ViUInt16* status) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().ReadStb(vi, status);
}

KVT_EXPORT ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().AssertTrigger(vi, protocol);
}

KVT_EXPORT ViStatus viFlush(ViSession vi, ViUInt16 mask) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().Flush(vi, mask);
}

KVT_EXPORT ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().SetBuf(vi, mask, size);
}

KVT_EXPORT ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                           ViConstKeyId requestedKey, ViChar accessKey[]) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().Lock(vi, lockType, timeout, requestedKey, accessKey);
}

KVT_EXPORT ViStatus viUnlock(ViSession vi) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().Unlock(vi);
}

KVT_EXPORT ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                  ViEventFilter context) {
    KVT_NOT_FORWARDED(void) context;
    return ResourceManager::Instance().EnableEvent(vi, eventType, mechanism);
}

KVT_EXPORT ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().DisableEvent(vi, eventType, mechanism);
}

KVT_EXPORT ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    KVT_NOT_FORWARDED
    return ResourceManager::Instance().DiscardEvents(vi, eventType, mechanism);
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
