#include "visa/StatusDescription.h"

namespace kvt::visa {
namespace {

struct Description {
    ViStatus status;
    const char* text;
};

constexpr Description kDescriptions[] = {
    {VI_SUCCESS, "VI_SUCCESS: Operation completed successfully."},
    {VI_SUCCESS_EVENT_EN, "VI_SUCCESS_EVENT_EN: The event was already enabled."},
    {VI_SUCCESS_EVENT_DIS, "VI_SUCCESS_EVENT_DIS: The event was already disabled."},
    {VI_SUCCESS_QUEUE_EMPTY, "VI_SUCCESS_QUEUE_EMPTY: The event queue was empty."},
    {VI_SUCCESS_TERM_CHAR,
     "VI_SUCCESS_TERM_CHAR: The termination character was read; the read ended there."},
    {VI_SUCCESS_MAX_CNT,
     "VI_SUCCESS_MAX_CNT: The number of bytes read equals the count asked for."},
    {VI_SUCCESS_DEV_NPRESENT,
     "VI_SUCCESS_DEV_NPRESENT: The session opened, but the device does not respond."},
    {VI_SUCCESS_NESTED_SHARED,
     "VI_SUCCESS_NESTED_SHARED: The session holds a shared lock, now nested."},
    {VI_SUCCESS_NESTED_EXCLUSIVE,
     "VI_SUCCESS_NESTED_EXCLUSIVE: The session holds an exclusive lock, now nested."},
    {VI_WARN_NSUP_ATTR_STATE,
     "VI_WARN_NSUP_ATTR_STATE: The attribute state is not supported by this resource."},
    {VI_WARN_UNKNOWN_STATUS, "VI_WARN_UNKNOWN_STATUS: The status code is not known."},
    {VI_WARN_NSUP_BUF, "VI_WARN_NSUP_BUF: The buffer is not supported by this resource."},
    {VI_ERROR_SYSTEM_ERROR, "VI_ERROR_SYSTEM_ERROR: Unknown system error."},
    {VI_ERROR_INV_OBJECT, "VI_ERROR_INV_OBJECT: The session or object reference is invalid."},
    {VI_ERROR_RSRC_LOCKED,
     "VI_ERROR_RSRC_LOCKED: The resource is locked by another session for this kind of access."},
    {VI_ERROR_INV_EXPR, "VI_ERROR_INV_EXPR: Invalid search expression."},
    {VI_ERROR_RSRC_NFOUND,
     "VI_ERROR_RSRC_NFOUND: Insufficient location information, or the resource is not present."},
    {VI_ERROR_INV_RSRC_NAME, "VI_ERROR_INV_RSRC_NAME: Invalid resource name."},
    {VI_ERROR_INV_ACC_MODE, "VI_ERROR_INV_ACC_MODE: Invalid access mode."},
    {VI_ERROR_TMO, "VI_ERROR_TMO: Timeout expired before the operation completed."},
    {VI_ERROR_NSUP_ATTR, "VI_ERROR_NSUP_ATTR: The attribute is not supported by this resource."},
    {VI_ERROR_NSUP_ATTR_STATE,
     "VI_ERROR_NSUP_ATTR_STATE: The attribute state is not supported by this resource."},
    {VI_ERROR_ATTR_READONLY, "VI_ERROR_ATTR_READONLY: The attribute is read-only."},
    {VI_ERROR_INV_LOCK_TYPE, "VI_ERROR_INV_LOCK_TYPE: Invalid lock type."},
    {VI_ERROR_INV_ACCESS_KEY,
     "VI_ERROR_INV_ACCESS_KEY: The access key does not open the lock held on the resource."},
    {VI_ERROR_INV_EVENT, "VI_ERROR_INV_EVENT: The event type is not supported by this resource."},
    {VI_ERROR_INV_MECH, "VI_ERROR_INV_MECH: Invalid event mechanism."},
    {VI_ERROR_OUTP_PROT_VIOL,
     "VI_ERROR_OUTP_PROT_VIOL: The device reported an output protocol error."},
    {VI_ERROR_INP_PROT_VIOL,
     "VI_ERROR_INP_PROT_VIOL: The device reported an input protocol error."},
    {VI_ERROR_INV_SETUP, "VI_ERROR_INV_SETUP: The attributes are set to an inconsistent state."},
    {VI_ERROR_ALLOC, "VI_ERROR_ALLOC: Insufficient system resources."},
    {VI_ERROR_INV_MASK, "VI_ERROR_INV_MASK: Invalid buffer mask."},
    {VI_ERROR_IO, "VI_ERROR_IO: An I/O error occurred during the transfer."},
    {VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER: The operation is not supported by this session."},
    {VI_ERROR_USER_BUF, "VI_ERROR_USER_BUF: The user buffer is not valid."},
    {VI_ERROR_RSRC_BUSY, "VI_ERROR_RSRC_BUSY: The resource is valid but cannot be used now."},
    {VI_ERROR_INV_PARAMETER, "VI_ERROR_INV_PARAMETER: A parameter value is invalid."},
    {VI_ERROR_INV_PROT, "VI_ERROR_INV_PROT: The protocol is invalid."},
    {VI_ERROR_INV_SIZE, "VI_ERROR_INV_SIZE: Invalid size."},
    {VI_ERROR_SESN_NLOCKED, "VI_ERROR_SESN_NLOCKED: The session holds no lock on the resource."},
    {VI_ERROR_LIBRARY_NFOUND,
     "VI_ERROR_LIBRARY_NFOUND: A code library needed by VISA could not be loaded."},
    {VI_ERROR_CONN_LOST, "VI_ERROR_CONN_LOST: The connection for the session has been lost."},
};

}  // namespace

const char* StatusDescription(ViStatus status) {
    for (const Description& d : kDescriptions) {
        if (d.status == status) {
            return d.text;
        }
    }
    return nullptr;
}

}  // namespace kvt::visa
