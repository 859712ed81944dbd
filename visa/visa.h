/*
 * The VISA C interface offered by Korvata's own VISA layer: the published
 * type names, status values, attribute identifiers and calls that programs
 * written against VISA expect, for message-based instruments (USBTMC,
 * VXI-11, raw sockets). Only the calls declared at the end are implemented;
 * everything else a full VISA library has is absent.
 */
#ifndef KORVATA_VISA_H
#define KORVATA_VISA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef int8_t ViInt8;
typedef char ViChar;
typedef unsigned char ViByte;
typedef uint16_t ViBoolean;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViObject ViFindList;
typedef ViUInt32 ViAttr;
typedef ViUInt32 ViAccessMode;
#if UINTPTR_MAX > 0xFFFFFFFFu
typedef uint64_t ViAttrState;
#else
typedef ViUInt32 ViAttrState;
#endif

typedef ViChar* ViString;
typedef const ViChar* ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViByte* ViBuf;
typedef const ViByte* ViConstBuf;
typedef ViSession* ViPSession;
typedef ViFindList* ViPFindList;
typedef ViUInt32* ViPUInt32;
typedef ViUInt16* ViPUInt16;
typedef ViInt16* ViPInt16;
typedef ViChar* ViPChar;
typedef ViString ViKeyId;
typedef ViConstString ViConstKeyId;
typedef ViString ViClass;
typedef ViUInt32 ViEventType;
typedef ViEventType* ViPEventType;
typedef ViObject ViEvent;
typedef ViEvent* ViPEvent;
typedef ViUInt16 ViEventFilter;
typedef ViUInt32 ViBusSize;
typedef void* ViAddr;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_FIND_BUFLEN 256

#define VI_NO_LOCK 0
#define VI_EXCLUSIVE_LOCK 1
#define VI_SHARED_LOCK 2
#define VI_LOAD_CONFIG 4

#define VI_TMO_IMMEDIATE 0u
#define VI_TMO_INFINITE 0xFFFFFFFFu

#define VI_INTF_GPIB 1
#define VI_INTF_VXI 2
#define VI_INTF_ASRL 4
#define VI_INTF_TCPIP 6
#define VI_INTF_USB 7

/* VI_ATTR_IO_PROT values. */
#define VI_PROT_NORMAL 1
#define VI_PROT_4882_STRS 4
#define VI_PROT_USBTMC_VENDOR 5

#define VI_TRIG_PROT_DEFAULT 0

/* viFlush and viSetBuf masks. */
#define VI_READ_BUF 1
#define VI_WRITE_BUF 2
#define VI_READ_BUF_DISCARD 4
#define VI_WRITE_BUF_DISCARD 8
#define VI_IO_IN_BUF 16
#define VI_IO_OUT_BUF 32
#define VI_IO_IN_BUF_DISCARD 64
#define VI_IO_OUT_BUF_DISCARD 128

/* Events and their mechanisms (this library has none to deliver). */
#define VI_EVENT_SERVICE_REQ 0x3FFF200Bu
#define VI_EVENT_IO_COMPLETION 0x3FFF2009u
#define VI_ALL_ENABLED_EVENTS 0x3FFF7FFFu
#define VI_QUEUE 1
#define VI_HNDLR 2
#define VI_SUSPEND_HNDLR 4
#define VI_ALL_MECH 0xFFFF

#ifdef __cplusplus
#define KVT_VI_STATUS(x) static_cast<ViStatus>(x##u)
#else
#define KVT_VI_STATUS(x) ((ViStatus)(x##u))
#endif

/* Completion and warning codes (non-negative). */
#define VI_SUCCESS KVT_VI_STATUS(0)
#define VI_SUCCESS_TERM_CHAR KVT_VI_STATUS(0x3FFF0005)
#define VI_SUCCESS_MAX_CNT KVT_VI_STATUS(0x3FFF0006)
#define VI_SUCCESS_EVENT_EN KVT_VI_STATUS(0x3FFF0002)
#define VI_SUCCESS_EVENT_DIS KVT_VI_STATUS(0x3FFF0003)
#define VI_SUCCESS_QUEUE_EMPTY KVT_VI_STATUS(0x3FFF0004)
#define VI_SUCCESS_DEV_NPRESENT KVT_VI_STATUS(0x3FFF007D)
#define VI_SUCCESS_NESTED_SHARED KVT_VI_STATUS(0x3FFF0099)
#define VI_SUCCESS_NESTED_EXCLUSIVE KVT_VI_STATUS(0x3FFF009A)
#define VI_WARN_NSUP_ATTR_STATE KVT_VI_STATUS(0x3FFF0084)
#define VI_WARN_UNKNOWN_STATUS KVT_VI_STATUS(0x3FFF0085)
#define VI_WARN_NSUP_BUF KVT_VI_STATUS(0x3FFF0088)

/* Error codes (negative). */
#define VI_ERROR_SYSTEM_ERROR KVT_VI_STATUS(0xBFFF0000)
#define VI_ERROR_INV_OBJECT KVT_VI_STATUS(0xBFFF000E)
#define VI_ERROR_INV_SESSION VI_ERROR_INV_OBJECT
#define VI_ERROR_RSRC_LOCKED KVT_VI_STATUS(0xBFFF000F)
#define VI_ERROR_INV_EXPR KVT_VI_STATUS(0xBFFF0010)
#define VI_ERROR_RSRC_NFOUND KVT_VI_STATUS(0xBFFF0011)
#define VI_ERROR_INV_RSRC_NAME KVT_VI_STATUS(0xBFFF0012)
#define VI_ERROR_INV_ACC_MODE KVT_VI_STATUS(0xBFFF0013)
#define VI_ERROR_TMO KVT_VI_STATUS(0xBFFF0015)
#define VI_ERROR_NSUP_ATTR KVT_VI_STATUS(0xBFFF001D)
#define VI_ERROR_NSUP_ATTR_STATE KVT_VI_STATUS(0xBFFF001E)
#define VI_ERROR_ATTR_READONLY KVT_VI_STATUS(0xBFFF001F)
#define VI_ERROR_INV_LOCK_TYPE KVT_VI_STATUS(0xBFFF0020)
#define VI_ERROR_INV_ACCESS_KEY KVT_VI_STATUS(0xBFFF0021)
#define VI_ERROR_INV_EVENT KVT_VI_STATUS(0xBFFF0026)
#define VI_ERROR_INV_MECH KVT_VI_STATUS(0xBFFF0027)
#define VI_ERROR_OUTP_PROT_VIOL KVT_VI_STATUS(0xBFFF0035)
#define VI_ERROR_INP_PROT_VIOL KVT_VI_STATUS(0xBFFF0036)
#define VI_ERROR_INV_SETUP KVT_VI_STATUS(0xBFFF003A)
#define VI_ERROR_ALLOC KVT_VI_STATUS(0xBFFF003C)
#define VI_ERROR_INV_MASK KVT_VI_STATUS(0xBFFF003D)
#define VI_ERROR_IO KVT_VI_STATUS(0xBFFF003E)
#define VI_ERROR_NSUP_OPER KVT_VI_STATUS(0xBFFF0067)
#define VI_ERROR_USER_BUF KVT_VI_STATUS(0xBFFF0071)
#define VI_ERROR_RSRC_BUSY KVT_VI_STATUS(0xBFFF0072)
#define VI_ERROR_INV_PARAMETER KVT_VI_STATUS(0xBFFF0078)
#define VI_ERROR_INV_PROT KVT_VI_STATUS(0xBFFF0079)
#define VI_ERROR_INV_SIZE KVT_VI_STATUS(0xBFFF007B)
#define VI_ERROR_SESN_NLOCKED KVT_VI_STATUS(0xBFFF009C)
#define VI_ERROR_LIBRARY_NFOUND KVT_VI_STATUS(0xBFFF009E)
#define VI_ERROR_CONN_LOST KVT_VI_STATUS(0xBFFF00A6)

/* Attributes. */
#define VI_ATTR_RSRC_CLASS 0xBFFF0001u
#define VI_ATTR_RSRC_NAME 0xBFFF0002u
#define VI_ATTR_RSRC_IMPL_VERSION 0x3FFF0003u
#define VI_ATTR_RSRC_LOCK_STATE 0x3FFF0004u
#define VI_ATTR_RSRC_MANF_NAME 0xBFFF0174u
#define VI_ATTR_RSRC_MANF_ID 0x3FFF0175u
#define VI_ATTR_IO_PROT 0x3FFF001Cu
#define VI_ATTR_RM_SESSION 0x3FFF00C4u
#define VI_ATTR_SUPPRESS_END_EN 0x3FFF0036u
#define VI_ATTR_MANF_NAME 0xBFFF0072u
#define VI_ATTR_MODEL_NAME 0xBFFF0077u
#define VI_ATTR_SEND_END_EN 0x3FFF0016u
#define VI_ATTR_TERMCHAR 0x3FFF0018u
#define VI_ATTR_TMO_VALUE 0x3FFF001Au
#define VI_ATTR_TERMCHAR_EN 0x3FFF0038u
#define VI_ATTR_INTF_TYPE 0x3FFF0171u
#define VI_ATTR_INTF_NUM 0x3FFF0176u
#define VI_ATTR_TCPIP_ADDR 0xBFFF0195u
#define VI_ATTR_TCPIP_HOSTNAME 0xBFFF0196u
#define VI_ATTR_TCPIP_PORT 0x3FFF0197u
#define VI_ATTR_TCPIP_DEVICE_NAME 0xBFFF0199u
#define VI_ATTR_MANF_ID 0x3FFF00D9u
#define VI_ATTR_MODEL_CODE 0x3FFF00DFu
#define VI_ATTR_USB_SERIAL_NUM 0xBFFF01A0u
#define VI_ATTR_USB_INTFC_NUM 0x3FFF01A1u

ViStatus viOpenDefaultRM(ViSession* vi);
ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViFindList* vi, ViUInt32* retCnt,
                    ViChar desc[]);
ViStatus viFindNext(ViFindList vi, ViChar desc[]);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                ViSession* vi);
ViStatus viClose(ViObject vi);
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViUInt32* retCnt);
ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 cnt, ViUInt32* retCnt);
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue);
ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]);
ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViUInt16* intfType, ViUInt16* intfNum);
ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViUInt16* intfType,
                       ViUInt16* intfNum, ViChar rsrcClass[], ViChar expandedUnaliasedName[],
                       ViChar aliasIfExists[]);
ViStatus viClear(ViSession vi);
ViStatus viReadSTB(ViSession vi, ViUInt16* status);
ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol);
ViStatus viFlush(ViSession vi, ViUInt16 mask);
ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size);
ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                ViChar accessKey[]);
ViStatus viUnlock(ViSession vi);
ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                       ViEventFilter context);
ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism);

#ifdef __cplusplus
}
#endif

#endif
