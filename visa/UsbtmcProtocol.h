#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// USBTMC 1.0 and USB488 message formats: the 12-byte bulk headers, the
// class requests and their status values.
namespace kvt::visa::usbtmc {

inline constexpr uint8_t kInterfaceClass = 0xFE;
inline constexpr uint8_t kInterfaceSubclass = 0x03;
inline constexpr uint8_t kProtocolUsb488 = 0x01;

inline constexpr size_t kHeaderSize = 12;

// MsgID of a bulk header.
inline constexpr uint8_t kDevDepMsgOut = 1;
inline constexpr uint8_t kRequestDevDepMsgIn = 2;
inline constexpr uint8_t kDevDepMsgIn = 2;
inline constexpr uint8_t kTrigger = 128;  // USB488

// bmTransferAttributes.
inline constexpr uint8_t kAttrEom = 0x01;       // last byte of the message
inline constexpr uint8_t kAttrTermChar = 0x02;  // request: stop at TermChar; reply: stopped there

// Class-specific requests (bRequest).
inline constexpr uint8_t kInitiateAbortBulkOut = 1;
inline constexpr uint8_t kCheckAbortBulkOutStatus = 2;
inline constexpr uint8_t kInitiateAbortBulkIn = 3;
inline constexpr uint8_t kCheckAbortBulkInStatus = 4;
inline constexpr uint8_t kInitiateClear = 5;
inline constexpr uint8_t kCheckClearStatus = 6;
inline constexpr uint8_t kGetCapabilities = 7;
inline constexpr uint8_t kReadStatusByte = 128;  // USB488

// bmRequestType of the class requests: device-to-host, class, to the
// interface or to an endpoint.
inline constexpr uint8_t kRequestToInterface = 0xA1;
inline constexpr uint8_t kRequestToEndpoint = 0xA2;

// USBTMC_status values.
inline constexpr uint8_t kStatusSuccess = 0x01;
inline constexpr uint8_t kStatusPending = 0x02;
inline constexpr uint8_t kStatusFailed = 0x80;
inline constexpr uint8_t kStatusTransferNotInProgress = 0x81;

inline constexpr uint16_t kCapabilitiesLength = 0x18;

// A bulk-OUT or bulk-IN header. termChar is only meaningful in a
// REQUEST_DEV_DEP_MSG_IN.
struct BulkHeader {
    uint8_t msgId = 0;
    uint8_t tag = 0;
    uint32_t transferSize = 0;
    uint8_t attributes = 0;
    uint8_t termChar = 0;
};

// Writes the 12 header bytes: bTagInverse filled in, reserved bytes zero.
void EncodeHeader(const BulkHeader& header, uint8_t* out);

// Reads a header; false when fewer than 12 bytes are given or bTagInverse
// does not match bTag.
bool DecodeHeader(const uint8_t* data, size_t length, BulkHeader& header);

// Length rounded up to the 4-byte alignment every bulk transfer keeps.
constexpr size_t Aligned(size_t length) {
    return (length + 3) & ~size_t{3};
}

// One DEV_DEP_MSG_OUT transfer: header, the data, zero padding.
std::string DevDepMsgOut(uint8_t tag, std::string_view data, bool endOfMessage);

// One USB488 TRIGGER transfer: a header and nothing else.
std::string TriggerMessage(uint8_t tag);

// One REQUEST_DEV_DEP_MSG_IN transfer.
std::string RequestDevDepMsgIn(uint8_t tag, uint32_t maxSize, bool termCharEnabled,
                               uint8_t termChar);

// What GET_CAPABILITIES reports that the host uses.
struct Capabilities {
    uint16_t bcdUsbtmc = 0;
    bool termChar = false;  // the device can end a bulk-IN transfer at TermChar
    bool usb488 = false;    // a USB488 capabilities block follows
    bool trigger = false;   // USB488: the device accepts TRIGGER
};

// Reads a GET_CAPABILITIES reply; false unless it reports success and is
// long enough to hold the USBTMC fields.
bool DecodeCapabilities(const uint8_t* data, size_t length, Capabilities& capabilities);

// bTag values for successive bulk-OUT messages: 1 to 255, then 1 again;
// 0 is never used.
class TagSequence {
public:
    explicit TagSequence(uint8_t last = 0) : m_last(last) {}
    uint8_t Next() {
        m_last = m_last == 255 ? uint8_t{1} : static_cast<uint8_t>(m_last + 1);
        return m_last;
    }
    uint8_t Last() const { return m_last; }

private:
    uint8_t m_last;
};

}  // namespace kvt::visa::usbtmc
