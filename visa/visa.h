/*
 * The VISA C interface offered by Korvata's own VISA layer: the published
 * type names, status values, attribute identifiers and calls that programs
 * written against VISA expect. Only the calls declared at the end are
 * implemented; everything else a full VISA library has is absent.
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

#ifdef __cplusplus
#define KVT_VI_STATUS(x) static_cast<ViStatus>(x##u)
#else
#define KVT_VI_STATUS(x) ((ViStatus)(x##u))
#endif

/* Completion and warning codes (non-negative). */
#define VI_SUCCESS KVT_VI_STATUS(0)
#define VI_SUCCESS_TERM_CHAR KVT_VI_STATUS(0x3FFF0005)
#define VI_SUCCESS_MAX_CNT KVT_VI_STATUS(0x3FFF0006)
#define VI_WARN_NSUP_ATTR_STATE KVT_VI_STATUS(0x3FFF0084)

/* Error codes (negative). */
#define VI_ERROR_SYSTEM_ERROR KVT_VI_STATUS(0xBFFF0000)
#define VI_ERROR_INV_OBJECT KVT_VI_STATUS(0xBFFF000E)
#define VI_ERROR_RSRC_LOCKED KVT_VI_STATUS(0xBFFF000F)
#define VI_ERROR_INV_EXPR KVT_VI_STATUS(0xBFFF0010)
#define VI_ERROR_RSRC_NFOUND KVT_VI_STATUS(0xBFFF0011)
#define VI_ERROR_INV_RSRC_NAME KVT_VI_STATUS(0xBFFF0012)
#define VI_ERROR_INV_ACC_MODE KVT_VI_STATUS(0xBFFF0013)
#define VI_ERROR_TMO KVT_VI_STATUS(0xBFFF0015)
#define VI_ERROR_NSUP_ATTR KVT_VI_STATUS(0xBFFF001D)
#define VI_ERROR_NSUP_ATTR_STATE KVT_VI_STATUS(0xBFFF001E)
#define VI_ERROR_ATTR_READONLY KVT_VI_STATUS(0xBFFF001F)
#define VI_ERROR_OUTP_PROT_VIOL KVT_VI_STATUS(0xBFFF0035)
#define VI_ERROR_INP_PROT_VIOL KVT_VI_STATUS(0xBFFF0036)
#define VI_ERROR_INV_SETUP KVT_VI_STATUS(0xBFFF003A)
#define VI_ERROR_ALLOC KVT_VI_STATUS(0xBFFF003C)
#define VI_ERROR_IO KVT_VI_STATUS(0xBFFF003E)
#define VI_ERROR_NSUP_OPER KVT_VI_STATUS(0xBFFF0067)
#define VI_ERROR_USER_BUF KVT_VI_STATUS(0xBFFF0071)
#define VI_ERROR_RSRC_BUSY KVT_VI_STATUS(0xBFFF0072)
#define VI_ERROR_INV_PARAMETER KVT_VI_STATUS(0xBFFF0078)
#define VI_ERROR_LIBRARY_NFOUND KVT_VI_STATUS(0xBFFF009E)
#define VI_ERROR_CONN_LOST KVT_VI_STATUS(0xBFFF00A6)

/* Attributes. */
#define VI_ATTR_RSRC_CLASS 0xBFFF0001u
#define VI_ATTR_RSRC_NAME 0xBFFF0002u
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

#ifdef __cplusplus
}
#endif

#endif
