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
        device_ = std::make_shared<SimulatedUsbtmcDevice>(meter_, info);
        backend_.Attach(device_);
        std::unique_ptr<UsbTransport> transport;
        ASSERT_EQ(backend_.Open(device_->Info(), transport), UsbStatus::Ok);
        session_ = std::make_unique<UsbtmcSession>("USB0::0x1234::0x5678::SN1::INSTR", 0,
                                                   device_->Info(), std::move(transport));
        ASSERT_EQ(session_->Start(), VI_SUCCESS);
    }

    void Write(const std::string& text) {
        ViUInt32 n = 0;
        ASSERT_EQ(session_->Write(reinterpret_cast<const ViByte*>(text.data()),
                                  static_cast<ViUInt32>(text.size()), n),
                  VI_SUCCESS);
    }

    std::shared_ptr<sim::MeterModel> meter_ = std::make_shared<sim::MeterModel>(1);
    SimulatedUsbBackend backend_;
    std::shared_ptr<SimulatedUsbtmcDevice> device_;
    std::unique_ptr<UsbtmcSession> session_;
};

TEST_P(Usb488Test, StatusByteShowsTheWaitingReplyUntilClearDropsIt) {
    ViUInt16 stb = 0xFFFF;
    ASSERT_EQ(session_->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);
    Write("*IDN?\n");
    ASSERT_EQ(session_->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x10, 0x10);  // MAV
    Write("NOT:A:COMMAND\n");
    ASSERT_EQ(session_->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x04, 0x04);  // the error queued

    ASSERT_EQ(session_->Clear(), VI_SUCCESS);
    Write("*CLS\n");
    ASSERT_EQ(session_->ReadStatusByte(stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);

    // Successive requests carry successive bTags within 2..127.
    std::vector<uint8_t> requests = device_->ControlRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), kReadStatusByte), 4);
    for (int i = 0; i < 130; ++i) {
        ASSERT_EQ(session_->ReadStatusByte(stb), VI_SUCCESS) << i;  // the device rejects 0, 1, 128+
    }
    EXPECT_EQ(device_->Rejected(), 0u);
}

TEST_P(Usb488Test, TriggerIsOneBulkOutHeader) {
    ASSERT_EQ(session_->AssertTrigger(), VI_SUCCESS);
    EXPECT_EQ(device_->Triggers(), 1u);
    auto headers = device_->OutHeaders();
    ASSERT_FALSE(headers.empty());
    EXPECT_EQ(headers.back().msgId, kTrigger);
    EXPECT_EQ(headers.back().length, 12u);
    // The session goes on with the next bTag.
    Write("ECHO? after\n");
    EXPECT_NE(device_->OutHeaders().back().tag, headers.back().tag);
}

TEST_P(Usb488Test, UnpluggedDeviceLosesTheConnection) {
    device_->Unplug();
    ViUInt16 stb = 0;
    EXPECT_EQ(session_->ReadStatusByte(stb), VI_ERROR_CONN_LOST);
    EXPECT_EQ(session_->AssertTrigger(), VI_ERROR_CONN_LOST);
    EXPECT_EQ(session_->Clear(), VI_ERROR_CONN_LOST);
}

INSTANTIATE_TEST_SUITE_P(InterruptEndpoint, Usb488Test, ::testing::Bool());

}  // namespace
}  // namespace kvt::visa
