#include "visa/ResourceName.h"

#include <gtest/gtest.h>

namespace kvt::visa {
namespace {

struct Canonical {
    const char* input;
    const char* canonical;
};

TEST(ResourceName, ParsesAndCanonicalises) {
    const Canonical cases[] = {
        {"TCPIP::10.1.2.3::INSTR", "TCPIP0::10.1.2.3::inst0::INSTR"},
        {"tcpip0::10.1.2.3::inst0::instr", "TCPIP0::10.1.2.3::inst0::INSTR"},
        {"TCPIP::meter.lab.example", "TCPIP0::meter.lab.example::inst0::INSTR"},
        {"TCPIP3::localhost::gpib0,5::INSTR", "TCPIP3::localhost::gpib0,5::INSTR"},
        {"TCPIP0::127.0.0.1::5025::SOCKET", "TCPIP0::127.0.0.1::5025::SOCKET"},
        {"tcpip::127.0.0.1::5025::socket", "TCPIP0::127.0.0.1::5025::SOCKET"},
        {"USB::0x1209::0x4b56::SN42::INSTR", "USB0::0x1209::0x4B56::SN42::INSTR"},
        {"usb1::4617::19286::SN42", "USB1::0x1209::0x4B56::SN42::INSTR"},
        {"USB0::0x1209::0x4B56::SN42::2::INSTR", "USB0::0x1209::0x4B56::SN42::2::INSTR"},
    };
    for (const Canonical& c : cases) {
        auto name = ResourceName::Parse(c.input);
        ASSERT_TRUE(name.has_value()) << c.input;
        EXPECT_EQ(name->Canonical(), c.canonical) << c.input;
    }
}

TEST(ResourceName, KeepsTheParts) {
    auto tcp = ResourceName::Parse("TCPIP2::192.168.0.9::hislip0::INSTR");
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->kind, InterfaceKind::Tcpip);
    EXPECT_EQ(tcp->board, 2u);
    EXPECT_EQ(tcp->host, "192.168.0.9");
    EXPECT_EQ(tcp->lanDevice, "hislip0");
    EXPECT_EQ(tcp->resourceClass, ResourceClass::Instr);

    auto sock = ResourceName::Parse("TCPIP::host-1::65535::SOCKET");
    ASSERT_TRUE(sock);
    EXPECT_EQ(sock->resourceClass, ResourceClass::Socket);
    EXPECT_EQ(sock->port, 65535);

    auto usb = ResourceName::Parse("USB::0x0957::0x0607::MY123::INSTR");
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->vendorId, 0x0957);
    EXPECT_EQ(usb->productId, 0x0607);
    EXPECT_EQ(usb->serial, "MY123");
    EXPECT_EQ(usb->usbInterface, -1);
}

TEST(ResourceName, RejectsMalformedNames) {
    const char* bad[] = {
        "",
        "TCPIP",
        "TCPIP::",
        "TCPIPx::host::INSTR",
        "TCPIP::host::inst0::extra::INSTR",
        "TCPIP::host::SOCKET",
        "TCPIP::host::0::SOCKET",
        "TCPIP::host::65536::SOCKET",
        "TCPIP::host::port::SOCKET",
        "TCPIP::bad host::INSTR",
        "USB::0x1209::0x4B56::INSTR",
        "USB::0x12345::0x4B56::SN::INSTR",
        "USB::0xZZ::0x4B56::SN::INSTR",
        "USB::0x1209::0x4B56::SN::300::INSTR",
        "GPIB::5::INSTR",
        "ASRL1::INSTR",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(ResourceName::Parse(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace kvt::visa
