// USB488 on a USBTMC session: the status byte by READ_STATUS_BYTE (in the
// control reply, or on the interrupt-IN endpoint), TRIGGER, device clear.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/MeterModel.h"
#include "tests/visa/UsbtmcTestBench.h"
#include "visa/UsbtmcSession.h"

namespace kvt::visa {
namespace {

constexpr uint8_t kReadStatusByte = 128, kTrigger = 128;

class Usb488Test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        UsbDeviceInfo info = MakeUsbInfo(1, {2}, 0x1234, 0x5678, "SN1");
        if (!GetParam()) {
            info.interruptInEndpoint = 0;  // the byte comes in the control reply
        }
        m_device = std::make_shared<SimulatedUsbtmcDevice>(m_meter, info);
        m_backend.Attach(m_device);
        std::unique_ptr<UsbTransport> transport;
        ASSERT_EQ(m_backend.Open(m_device->Info(), transport), UsbStatus::Ok);
        m_session = std::make_unique<UsbtmcSession>("USB0::0x1234::0x5678::SN1::INSTR", 0,
                                                    m_device->Info(), std::move(transport));
        ASSERT_EQ(m_session->Start(), VI_SUCCESS);
    }

    void Write(const std::string& text) {
        ViUInt32 n = 0;
        ASSERT_EQ(m_session->Write(reinterpret_cast<const ViByte*>(text.data()),
                                   static_cast<ViUInt32>(text.size()), n),
                  VI_SUCCESS);
    }

    std::shared_ptr<sim::MeterModel> m_meter = std::make_shared<sim::MeterModel>(1);
    SimulatedUsbBackend m_backend;
    std::shared_ptr<SimulatedUsbtmcDevice> m_device;
    std::unique_ptr<UsbtmcSession> m_session;
};

TEST_P(Usb488Test, StatusByteShowsTheWaitingReplyUntilClearDropsIt) {
    ViUInt16 stb = 0xFFFF;
    ASSERT_EQ(m_session->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);
    Write("*IDN?\n");
    ASSERT_EQ(m_session->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x10, 0x10);  // MAV
    Write("NOT:A:COMMAND\n");
    ASSERT_EQ(m_session->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x04, 0x04);  // the error queued

    ASSERT_EQ(m_session->Clear(), VI_SUCCESS);
    Write("*CLS\n");
    ASSERT_EQ(m_session->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);

    // Successive requests carry successive bTags within 2..127.
    std::vector<uint8_t> requests = m_device->ControlRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), kReadStatusByte), 4);
    for (int i = 0; i < 130; ++i) {
        ASSERT_EQ(m_session->ReadStatusByte(stb), VI_SUCCESS)
            << i;  // the device rejects 0, 1, 128+
    }
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_P(Usb488Test, TriggerIsOneBulkOutHeader) {
    ASSERT_EQ(m_session->AssertTrigger(), VI_SUCCESS);
    EXPECT_EQ(m_device->Triggers(), 1u);
    auto headers = m_device->OutHeaders();
    ASSERT_FALSE(headers.empty());
    EXPECT_EQ(headers.back().msgId, kTrigger);
    EXPECT_EQ(headers.back().length, 12u);
    // The session goes on with the next bTag.
    Write("ECHO? after\n");
    EXPECT_NE(m_device->OutHeaders().back().tag, headers.back().tag);
}

TEST_P(Usb488Test, UnpluggedDeviceLosesTheConnection) {
    m_device->Unplug();
    ViUInt16 stb = 0;
    EXPECT_EQ(m_session->ReadStatusByte(stb), VI_ERROR_CONN_LOST);
    EXPECT_EQ(m_session->AssertTrigger(), VI_ERROR_CONN_LOST);
    EXPECT_EQ(m_session->Clear(), VI_ERROR_CONN_LOST);
}

INSTANTIATE_TEST_SUITE_P(InterruptEndpoint, Usb488Test, ::testing::Bool());

}  // namespace
}  // namespace kvt::visa
