#include "visa/UsbtmcProtocol.h"

#include <cstring>

namespace kvt::visa::usbtmc {
namespace {

void PutLittleEndian32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetLittleEndian32(const uint8_t* in) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

std::string WithHeader(const BulkHeader& header, std::string_view data) {
    std::string transfer(Aligned(kHeaderSize + data.size()), '\0');
    EncodeHeader(header, reinterpret_cast<uint8_t*>(transfer.data()));
    if (!data.empty()) {
        std::memcpy(transfer.data() + kHeaderSize, data.data(), data.size());
    }
    return transfer;
}

}  // namespace

void EncodeHeader(const BulkHeader& header, uint8_t* out) {
    std::memset(out, 0, kHeaderSize);
    out[0] = header.msgId;
    out[1] = header.tag;
    out[2] = static_cast<uint8_t>(~header.tag);
    PutLittleEndian32(out + 4, header.transferSize);
    out[8] = header.attributes;
    if (header.msgId == kRequestDevDepMsgIn) {
        out[9] = header.termChar;
    }
}

bool DecodeHeader(const uint8_t* data, size_t length, BulkHeader& header) {
    if (length < kHeaderSize || data[2] != static_cast<uint8_t>(~data[1])) {
        return false;
    }
    header.msgId = data[0];
    header.tag = data[1];
    header.transferSize = GetLittleEndian32(data + 4);
    header.attributes = data[8];
    header.termChar = data[9];
    return true;
}

std::string DevDepMsgOut(uint8_t tag, std::string_view data, bool endOfMessage) {
    BulkHeader header;
    header.msgId = kDevDepMsgOut;
    header.tag = tag;
    header.transferSize = static_cast<uint32_t>(data.size());
    header.attributes = endOfMessage ? kAttrEom : 0;
    return WithHeader(header, data);
}

std::string TriggerMessage(uint8_t tag) {
    BulkHeader header;
    header.msgId = kTrigger;
    header.tag = tag;
    return WithHeader(header, {});
}

std::string RequestDevDepMsgIn(uint8_t tag, uint32_t maxSize, bool termCharEnabled,
                               uint8_t termChar) {
    BulkHeader header;
    header.msgId = kRequestDevDepMsgIn;
    header.tag = tag;
    header.transferSize = maxSize;
    header.attributes = termCharEnabled ? kAttrTermChar : 0;
    header.termChar = termCharEnabled ? termChar : 0;
    return WithHeader(header, {});
}

bool DecodeCapabilities(const uint8_t* data, size_t length, Capabilities& capabilities) {
    // USBTMC_status, reserved, bcdUSBTMC, interface and device capabilities.
    if (length < 6 || data[0] != kStatusSuccess) {
        return false;
    }
    capabilities.bcdUsbtmc = static_cast<uint16_t>(data[2] | (data[3] << 8));
    capabilities.termChar = (data[5] & 0x01) != 0;
    capabilities.usb488 = length >= 16 && (data[12] != 0 || data[13] != 0);
    capabilities.trigger = capabilities.usb488 && (data[14] & 0x01) != 0;
    return true;
}

}  // namespace kvt::visa::usbtmc
