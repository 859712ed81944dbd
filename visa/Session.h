#pragma once

#include <mutex>
#include <string>

#include "visa/visa.h"

namespace kvt::visa {

// Attributes every instrument session keeps, with the VISA defaults.
struct SessionAttributes {
    ViUInt32 timeoutMs = 2000;
    ViUInt8 termChar = '\n';
    bool termCharEnabled = false;
    bool sendEndEnabled = true;
    ViUInt16 ioProtocol = VI_PROT_NORMAL;
};

// One open instrument session. Each interface (VXI-11, raw socket, USBTMC,
// the in-process simulation) supplies a subclass. Calls on one session are
// serialised by the caller through IoMutex().
class Session {
public:
    Session(std::string resourceName, ViUInt16 interfaceType, unsigned board);
    virtual ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Sends one message; END is asserted with the last byte when SEND_END_EN is set.
    virtual ViStatus Write(const ViByte* data, ViUInt32 count, ViUInt32& written) = 0;
    // Reads at most count bytes. VI_SUCCESS when END ended the message,
    // VI_SUCCESS_TERM_CHAR when the enabled termination character did,
    // VI_SUCCESS_MAX_CNT when the buffer filled first (the rest stays readable).
    virtual ViStatus Read(ViByte* data, ViUInt32 count, ViUInt32& received) = 0;

    // Attribute access. The base handles the common attributes; interfaces
    // override to add their own and call the base for the rest.
    virtual ViStatus GetAttribute(ViAttr attribute, void* value) const;
    virtual ViStatus SetAttribute(ViAttr attribute, ViAttrState value);

    // Device clear: the instrument drops its pending input and output, and
    // the session what it had buffered.
    virtual ViStatus Clear() { return VI_ERROR_NSUP_OPER; }
    // The instrument's IEEE 488.2 status byte.
    virtual ViStatus ReadStatusByte(ViUInt16& status);
    // A software trigger (GET, USB488 TRIGGER, "*TRG").
    virtual ViStatus AssertTrigger() { return VI_ERROR_NSUP_OPER; }
    // Drops what was received but not read yet.
    virtual void DiscardInput() {}
    // Takes and releases the instrument's own lock, for interfaces whose
    // instruments keep one (VXI-11). Called for a session's exclusive lock.
    virtual ViStatus LockDevice(ViUInt32 /*timeoutMs*/) { return VI_SUCCESS; }
    virtual ViStatus UnlockDevice() { return VI_SUCCESS; }

    // Called when the attributes change, so a transport can pass a new
    // timeout on (VXI-11 io_timeout, socket options).
    virtual void AttributesChanged() {}

    // Makes a read or write in progress on another thread return at once
    // with an error, and every later one fail; sends nothing to the
    // instrument. For a program that ends while a thread waits for an
    // instrument that has stopped answering. Thread-safe; interfaces whose
    // calls cannot be cut short keep this default, which does nothing.
    virtual void AbortIo() {}

    const std::string& ResourceName() const { return m_resourceName; }
    // "INSTR" or "SOCKET", from the canonical name.
    std::string ResourceClassName() const;
    ViUInt16 InterfaceType() const { return m_interfaceType; }
    unsigned Board() const { return m_board; }
    const SessionAttributes& Attributes() const { return m_attributes; }
    SessionAttributes& MutableAttributes() { return m_attributes; }
    std::mutex& IoMutex() { return m_ioMutex; }

protected:
    // Whether VI_ATTR_IO_PROT may take this value here; VI_PROT_NORMAL only
    // unless an interface knows more.
    virtual bool SupportsIoProtocol(ViUInt16 protocol) const { return protocol == VI_PROT_NORMAL; }
    // A status byte asked for with "*STB?", for sessions that speak 488.2
    // strings (VI_PROT_4882_STRS).
    ViStatus QueryStatusByte(ViUInt16& status);

private:
    std::string m_resourceName;
    ViUInt16 m_interfaceType;
    unsigned m_board;
    SessionAttributes m_attributes;
    std::mutex m_ioMutex;
};

}  // namespace kvt::visa
