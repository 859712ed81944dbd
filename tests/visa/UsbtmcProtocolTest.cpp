// The USBTMC bulk headers byte for byte, bTag sequencing and the
// capabilities reply, against the tables of USBTMC 1.0.
#include "visa/UsbtmcProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvt::visa::usbtmc {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(UsbtmcHeaders, DevDepMsgOutWithEomAndPadding) {
    // "*IDN?" is 5 bytes: 12 + 5 = 17, padded to 20.
    EXPECT_EQ(Bytes(DevDepMsgOut(0x2A, "*IDN?", true)),
              (std::vector<uint8_t>{0x01, 0x2A, 0xD5, 0x00, 0x05, 0x00, 0x00, 0x00, 0x01, 0x00,
                                    0x00, 0x00, '*',  'I',  'D',  'N',  '?',  0x00, 0x00, 0x00}));
    // Without EOM, and a size that needs no padding; TransferSize is little-endian.
    std::string data(0x0104, 'x');
    std::vector<uint8_t> transfer = Bytes(DevDepMsgOut(0xFF, data, false));
    ASSERT_EQ(transfer.size(), 12u + 0x104u);
    EXPECT_EQ(std::vector<uint8_t>(transfer.begin(), transfer.begin() + 12),
              (std::vector<uint8_t>{0x01, 0xFF, 0x00, 0x00, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00,
                                    0x00, 0x00}));
}

TEST(UsbtmcHeaders, PaddingKeepsEveryTransferAligned) {
    for (size_t n = 1; n <= 9; ++n) {
        std::string transfer = DevDepMsgOut(1, std::string(n, 'a'), true);
        EXPECT_EQ(transfer.size() % 4, 0u) << n;
        EXPECT_GE(transfer.size(), 12 + n);
        EXPECT_LT(transfer.size(), 12 + n + 4);
        // Alignment bytes are zero.
        for (size_t i = 12 + n; i < transfer.size(); ++i) {
            EXPECT_EQ(transfer[i], '\0');
        }
    }
    EXPECT_EQ(Aligned(12), 12u);
    EXPECT_EQ(Aligned(13), 16u);
    EXPECT_EQ(Aligned(15), 16u);
}

TEST(UsbtmcHeaders, RequestDevDepMsgInCarriesSizeAndTermChar) {
    EXPECT_EQ(Bytes(RequestDevDepMsgIn(0x07, 0x00012345, false, '\n')),
              (std::vector<uint8_t>{0x02, 0x07, 0xF8, 0x00, 0x45, 0x23, 0x01, 0x00, 0x00, 0x00,
                                    0x00, 0x00}));
    EXPECT_EQ(Bytes(RequestDevDepMsgIn(0x80, 256, true, '\n')),
              (std::vector<uint8_t>{0x02, 0x80, 0x7F, 0x00, 0x00, 0x01, 0x00, 0x00, 0x02, 0x0A,
                                    0x00, 0x00}));
}

TEST(UsbtmcHeaders, DecodesADevDepMsgInReply) {
    const uint8_t reply[] = {0x02, 0x11, 0xEE, 0x00, 0x10, 0x27, 0x00,
                             0x00, 0x03, 0x00, 0x00, 0x00, 'a',  'b'};
    BulkHeader h;
    ASSERT_TRUE(DecodeHeader(reply, sizeof reply, h));
    EXPECT_EQ(h.msgId, kDevDepMsgIn);
    EXPECT_EQ(h.tag, 0x11);
    EXPECT_EQ(h.transferSize, 10000u);
    EXPECT_EQ(h.attributes, kAttrEom | kAttrTermChar);

    // Too short, or bTagInverse not the complement of bTag.
    EXPECT_FALSE(DecodeHeader(reply, 11, h));
    uint8_t bad[12];
    std::copy(reply, reply + 12, bad);
    bad[2] = 0xEF;
    EXPECT_FALSE(DecodeHeader(bad, sizeof bad, h));
}

TEST(UsbtmcHeaders, EncodeAndDecodeAgree) {
    BulkHeader in{kDevDepMsgIn, 0xC3, 0xDEADBEEF, kAttrEom, 0};
    uint8_t bytes[kHeaderSize];
    EncodeHeader(in, bytes);
    EXPECT_EQ(bytes[2], 0x3C);
    EXPECT_EQ(bytes[4], 0xEF);
    EXPECT_EQ(bytes[7], 0xDE);
    BulkHeader out;
    ASSERT_TRUE(DecodeHeader(bytes, sizeof bytes, out));
    EXPECT_EQ(out.tag, in.tag);
    EXPECT_EQ(out.transferSize, in.transferSize);
    EXPECT_EQ(out.attributes, in.attributes);
}

TEST(UsbtmcTags, RunFromOneTo255AndSkipZero) {
    TagSequence tags;
    EXPECT_EQ(tags.Next(), 1);
    EXPECT_EQ(tags.Next(), 2);
    TagSequence nearEnd(254);
    EXPECT_EQ(nearEnd.Next(), 255);
    EXPECT_EQ(nearEnd.Next(), 1);
    EXPECT_EQ(nearEnd.Last(), 1);
    // A full cycle visits every value but 0 once.
    std::vector<int> seen(256, 0);
    for (int i = 0; i < 255; ++i) {
        ++seen[tags.Next()];
    }
    EXPECT_EQ(seen[0], 0);
    for (int v = 1; v < 256; ++v) {
        EXPECT_EQ(seen[v], 1) << v;
    }
}

TEST(UsbtmcCapabilities, ReadsTermCharSupportAndUsb488) {
    uint8_t reply[kCapabilitiesLength] = {kStatusSuccess, 0, 0x00, 0x01, 0x00, 0x01};
    reply[12] = 0x00;
    reply[13] = 0x01;
    Capabilities caps;
    ASSERT_TRUE(DecodeCapabilities(reply, sizeof reply, caps));
    EXPECT_EQ(caps.bcdUsbtmc, 0x0100);
    EXPECT_TRUE(caps.termChar);
    EXPECT_TRUE(caps.usb488);

    reply[5] = 0x00;
    ASSERT_TRUE(DecodeCapabilities(reply, 6, caps));
    EXPECT_FALSE(caps.termChar);
    EXPECT_FALSE(caps.usb488);  // too short to carry the USB488 block

    reply[0] = kStatusFailed;
    EXPECT_FALSE(DecodeCapabilities(reply, sizeof reply, caps));
    reply[0] = kStatusSuccess;
    EXPECT_FALSE(DecodeCapabilities(reply, 5, caps));
}

}  // namespace
}  // namespace kvt::visa::usbtmc
