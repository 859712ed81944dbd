// USBTMC sessions against a simulated device at the transport seam: message
// framing over several packets and transfers, partial reads, termination
// character, and recovery from timeouts, malformed replies, stalls and unplugging.
#include "visa/UsbtmcSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>

#include "sim/MeterModel.h"
#include "tests/visa/UsbtmcTestBench.h"

namespace kvt::visa {
namespace {

constexpr uint8_t kAbortIn = 3, kAbortOut = 1, kCheckAbortIn = 4, kClear = 5;

// 52 bytes: with the 12-byte header the reply fills one 64-byte packet.
const std::string kIdentity = "ACME INSTRUMENTS,DMM-4052 DIGITAL METER,KV0001234,1\n";

// size bytes of letters, the last one a newline.
std::string Pattern(size_t size) {
    std::string text(size, '\n');
    for (size_t i = 0; i + 1 < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

size_t Count(const std::vector<uint8_t>& requests, uint8_t request) {
    return static_cast<size_t>(std::count(requests.begin(), requests.end(), request));
}

// A host that takes the standard at its word: one REQUEST_DEV_DEP_MSG_IN
// per read, one bulk-IN transfer into a buffer sized for what it asked for
// (ended by a short packet), the reply complete at EOM, and no abort after
// a timeout. Run against a quirky device it shows the hang or the lost data
// that our session has to avoid.
class NaiveHost {
public:
    struct Reply {
        UsbStatus status = UsbStatus::Error;
        bool valid = false;  // a DEV_DEP_MSG_IN header answering this request
        uint32_t announced = 0;
        std::string data;
        bool eom = false;
    };

    explicit NaiveHost(SimulatedUsbtmcDevice& usb) : m_usb(usb) {}

    UsbStatus Send(std::string_view message) {
        return Out(usbtmc::DevDepMsgOut(m_tags.Next(), message, true));
    }

    Reply Request(uint32_t size, unsigned timeoutMs = 100) {
        uint8_t tag = m_tags.Next();
        Reply reply;
        reply.status = Out(usbtmc::RequestDevDepMsgIn(tag, size, false, 0));
        if (reply.status != UsbStatus::Ok) {
            return reply;
        }
        size_t packet = m_usb.Info().bulkInMaxPacket;
        std::vector<uint8_t> in((usbtmc::kHeaderSize + size + packet - 1) / packet * packet);
        size_t got = 0;
        reply.status = m_usb.BulkIn(in.data(), in.size(), timeoutMs, got);
        usbtmc::BulkHeader header;
        if (usbtmc::DecodeHeader(in.data(), got, header) && header.msgId == usbtmc::kDevDepMsgIn &&
            header.tag == tag) {
            reply.valid = true;
            reply.announced = header.transferSize;
            reply.data.assign(reinterpret_cast<const char*>(in.data()) + usbtmc::kHeaderSize,
                              std::min<size_t>(header.transferSize, got - usbtmc::kHeaderSize));
            reply.eom = (header.attributes & usbtmc::kAttrEom) != 0;
        }
        return reply;
    }

    // A class request to the bulk-IN endpoint; its USBTMC_status and the byte after it.
    std::pair<uint8_t, uint8_t> BulkInRequest(uint8_t request, uint16_t value, uint16_t length) {
        uint8_t reply[8] = {};
        size_t got = 0;
        EXPECT_EQ(m_usb.ControlIn(usbtmc::kRequestToEndpoint, request, value,
                                  m_usb.Info().bulkInEndpoint, reply, length, 100, got),
                  UsbStatus::Ok);
        return {reply[0], reply[1]};
    }

    uint8_t LastTag() const { return m_tags.Last(); }

private:
    UsbStatus Out(const std::string& transfer) {
        size_t sent = 0;
        return m_usb.BulkOut(reinterpret_cast<const uint8_t*>(transfer.data()), transfer.size(),
                             100, sent);
    }

    SimulatedUsbtmcDevice& m_usb;
    usbtmc::TagSequence m_tags;
};

class UsbtmcSessionTest : public ::testing::Test {
protected:
    void Open(uint16_t maxPacket = 64, bool termCharCapable = true,
              std::shared_ptr<MessageDevice> instrument = nullptr) {
        if (!instrument) {
            instrument = m_script;
        }
        m_device = std::make_shared<SimulatedUsbtmcDevice>(
            instrument, MakeUsbInfo(1, {2}, 0x1234, 0x5678, "SN1", 0, maxPacket), termCharCapable);
        m_backend.Attach(m_device);
        std::unique_ptr<UsbTransport> transport;
        ASSERT_EQ(m_backend.Open(m_device->Info(), transport), UsbStatus::Ok);
        m_session = std::make_unique<UsbtmcSession>("USB0::0x1234::0x5678::SN1::INSTR", 0,
                                                    m_device->Info(), std::move(transport));
        ASSERT_EQ(m_session->Start(), VI_SUCCESS);
    }

    ViStatus Write(const std::string& text) {
        ViUInt32 n = 0;
        ViStatus s = m_session->Write(reinterpret_cast<const ViByte*>(text.data()),
                                      static_cast<ViUInt32>(text.size()), n);
        if (s == VI_SUCCESS) {
            EXPECT_EQ(n, text.size());
        }
        return s;
    }

    std::string Read(ViUInt32 size, ViStatus& status) {
        std::string buffer(size, '\0');
        ViUInt32 n = 0;
        status = m_session->Read(reinterpret_cast<ViByte*>(buffer.data()), size, n);
        EXPECT_LE(n, size);
        buffer.resize(n);
        return buffer;
    }

    // A query that must work: the device is in a clean state.
    void ExpectCleanQuery(const std::string& reply) {
        m_script->WillReply(reply);
        ASSERT_EQ(Write("Q?"), VI_SUCCESS);
        ViStatus status = VI_ERROR_IO;
        EXPECT_EQ(Read(1024, status), reply);
        EXPECT_EQ(status, VI_SUCCESS);
    }

    // *IDN? works: the device and the session are ready for the next exchange.
    void ExpectIdentity() {
        m_script->WillReply(kIdentity);
        ASSERT_EQ(Write("*IDN?"), VI_SUCCESS);
        ViStatus status = VI_ERROR_IO;
        EXPECT_EQ(Read(1024, status), kIdentity);
        EXPECT_EQ(status, VI_SUCCESS);
    }

    // A second device with its own instrument, for a naive host to talk to.
    struct Spare {
        std::shared_ptr<ScriptedDevice> script = std::make_shared<ScriptedDevice>();
        std::shared_ptr<SimulatedUsbtmcDevice> device;
        explicit Spare(uint16_t maxPacket)
            : device(std::make_shared<SimulatedUsbtmcDevice>(
                  script, MakeUsbInfo(1, {3}, 0x1234, 0x5678, "SN2", 0, maxPacket))) {}
    };

    void SetTimeout(ViUInt32 ms) {
        ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TMO_VALUE, ms), VI_SUCCESS);
    }

    std::shared_ptr<ScriptedDevice> m_script = std::make_shared<ScriptedDevice>();
    SimulatedUsbBackend m_backend;
    std::shared_ptr<SimulatedUsbtmcDevice> m_device;
    std::unique_ptr<UsbtmcSession> m_session;
};

TEST_F(UsbtmcSessionTest, QueriesTheMeterModel) {
    Open(64, true, std::make_shared<sim::MeterModel>());
    ASSERT_EQ(Write("*IDN?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(256, status), std::string(sim::MeterModel::kIdentity) + "\n");
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_EQ(m_device->Rejected(), 0u);
    EXPECT_EQ(m_device->Messages(), std::vector<std::string>{"*IDN?"});

    // The write (one DEV_DEP_MSG_OUT with EOM) and the request for the
    // caller's size (no TermChar) took consecutive tags.
    auto headers = m_device->OutHeaders();
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[0].msgId, 1);
    EXPECT_EQ(headers[0].tag, 1);
    EXPECT_EQ(headers[0].attributes, 1);
    EXPECT_EQ(headers[0].length, 20u);
    EXPECT_EQ(headers[1].msgId, 2);
    EXPECT_EQ(headers[1].tag, 2);
    EXPECT_EQ(headers[1].transferSize, 256u);
    EXPECT_EQ(headers[1].attributes, 0);
    EXPECT_TRUE(m_session->DeviceCapabilities().termChar);
}

TEST_F(UsbtmcSessionTest, TagsWrapFrom255ToOneAcrossManyExchanges) {
    Open();
    for (int i = 0; i < 200; ++i) {
        ExpectCleanQuery("r" + std::to_string(i) + "\n");
    }
    auto headers = m_device->OutHeaders();
    ASSERT_EQ(headers.size(), 400u);
    for (size_t i = 1; i < headers.size(); ++i) {
        uint8_t expected = headers[i - 1].tag == 255 ? 1 : headers[i - 1].tag + 1;
        ASSERT_EQ(headers[i].tag, expected) << i;
    }
    EXPECT_EQ(headers[254].tag, 255);
    EXPECT_EQ(headers[255].tag, 1);
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, LongMessagesSpanPacketsAndTransfers) {
    Open(64);
    // 150,000 bytes go out as three DEV_DEP_MSG_OUT transfers, EOM on the last only.
    std::string command = "DATA " + std::string(150000 - 5, 'c');
    std::string reply(40000, 'r');
    for (size_t i = 0; i < reply.size(); i += 97) {
        reply[i] = static_cast<char>('a' + i % 26);
    }
    reply += "\n";
    m_script->WillReply(reply);
    ASSERT_EQ(Write(command), VI_SUCCESS);
    EXPECT_EQ(m_device->Messages(), std::vector<std::string>{command});
    auto headers = m_device->OutHeaders();
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(headers[0].attributes, 0);
    EXPECT_EQ(headers[1].attributes, 0);
    EXPECT_EQ(headers[2].attributes, 1);
    size_t sum = headers[0].transferSize + headers[1].transferSize + headers[2].transferSize;
    EXPECT_EQ(sum, command.size());
    size_t packets = 0;
    for (const auto& h : headers) {
        packets += (h.length + 63) / 64;
    }
    EXPECT_EQ(m_device->BulkOutPackets(), packets);

    // The reply arrives in hundreds of 64-byte packets and several bulk-IN calls.
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(100000, status), reply);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_EQ(m_device->BulkInPackets(), (12 + reply.size() + 3) / 64 + 1);
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, EightBytePacketsSplitEvenTheHeader) {
    Open(8);
    ExpectCleanQuery("x\n");  // 12 + 2 + 2 padding: two full packets
    ExpectCleanQuery("eight-byte packets carry this reply\n");
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, ShortPacketsAndZeroLengthPacketsEndTransfers) {
    Open(64);
    // 12 + 52 = 64: the reply fills one packet exactly, so a zero-length packet ends it.
    std::string exact(51, 'e');
    exact += "\n";
    ExpectCleanQuery(exact);
    ExpectCleanQuery("after\n");
    // The same without the zero-length packet: the header's size ends it.
    m_device->SetZeroLengthPacketAfterFullEnd(false);
    ExpectCleanQuery(exact);
    ExpectCleanQuery("after\n");
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, ASmallBufferGetsMaxCountAndTheRestStaysReadable) {
    Open();
    m_script->WillReply("0123456789\n");
    ASSERT_EQ(Write("ECHO?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(4, status), "0123");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(4, status), "4567");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(4, status), "89\n");
    EXPECT_EQ(status, VI_SUCCESS);
    // Each read asked for no more than the caller could take.
    auto headers = m_device->OutHeaders();
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[1].transferSize, 4u);
    EXPECT_EQ(headers[3].transferSize, 4u);
    // Nothing is left: the next read times out.
    SetTimeout(30);
    EXPECT_EQ(Read(4, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
}

TEST_F(UsbtmcSessionTest, AReplySplitByTheDeviceIsJoinedUpToEom) {
    Open();
    m_device->SetMaxReplySize(5);
    m_script->WillReply("abcdefghijklm\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(100, status), "abcdefghijklm\n");
    EXPECT_EQ(status, VI_SUCCESS);
    // Each further request asked only for what the buffer could still take.
    auto headers = m_device->OutHeaders();
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[1].transferSize, 100u);
    EXPECT_EQ(headers[2].transferSize, 95u);
    EXPECT_EQ(headers[3].transferSize, 90u);
}

TEST_F(UsbtmcSessionTest, TerminationCharacterEndsReads) {
    Open(64, true);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    m_script->WillReply("1,2,3\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(64, status), "1,");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(64, status), "2,");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(64, status), "3\n");
    EXPECT_EQ(status, VI_SUCCESS);
    // The device was asked to stop at the character.
    auto headers = m_device->OutHeaders();
    ASSERT_GE(headers.size(), 2u);
    EXPECT_EQ(headers[1].attributes, 2);
    EXPECT_EQ(headers[1].termChar, ',');
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, TerminationCharacterWithADeviceThatCannotStopAtIt) {
    Open(64, false);
    EXPECT_FALSE(m_session->DeviceCapabilities().termChar);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    m_script->WillReply("1,2\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(64, status), "1,");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(64, status), "2\n");
    EXPECT_EQ(status, VI_SUCCESS);
    // TermCharEnabled was never set in a request (the device would reject it).
    EXPECT_EQ(m_device->Rejected(), 0u);
    EXPECT_EQ(m_device->OutHeaders()[1].attributes, 0);
}

TEST_F(UsbtmcSessionTest, ReadTimeoutAbortsTheTransferAndTheNextExchangeIsClean) {
    Open();
    SetTimeout(50);
    m_device->SetStatusPolls(2);
    m_script->WillReply("stale reply\n");
    m_device->IgnoreNextRequest();
    ASSERT_EQ(Write("SLOW?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(64, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    auto requests = m_device->ControlRequests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), kAbortIn), requests.end());
    EXPECT_EQ(std::find(requests.begin(), requests.end(), kClear), requests.end());
    // The stale reply is gone; the next query gets its own.
    ExpectCleanQuery("fresh\n");
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, TimeoutMidReplyLeavesNoPacketsForTheNextRead) {
    Open(64);
    SetTimeout(50);
    m_device->PauseAfterInPackets(3);
    m_script->WillReply(std::string(1000, 'p') + "\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    Read(2000, status);
    EXPECT_EQ(status, VI_ERROR_TMO);
    // Without the abort the rest of that reply would be read as the next one.
    ExpectCleanQuery("next\n");
    EXPECT_EQ(m_device->Rejected(), 0u);
}

TEST_F(UsbtmcSessionTest, ARefusedAbortFallsBackToADeviceClear) {
    Open(64);
    SetTimeout(50);
    m_device->PauseAfterInPackets(2);
    m_device->RefuseNextAbort();
    m_script->WillReply(std::string(500, 'p') + "\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    Read(2000, status);
    EXPECT_EQ(status, VI_ERROR_TMO);
    auto requests = m_device->ControlRequests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), kClear), requests.end());
    EXPECT_EQ(m_script->Clears(), 1);
    SetTimeout(2000);
    ExpectCleanQuery("cleared\n");
}

TEST_F(UsbtmcSessionTest, WriteTimeoutAbortsTheTransferAndClearsTheHalt) {
    Open(64);
    SetTimeout(50);
    m_device->AcceptOnlyNextOut(128);
    ASSERT_EQ(Write("LONG " + std::string(1000, 'x')), VI_ERROR_TMO);
    auto requests = m_device->ControlRequests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), kAbortOut), requests.end());
    EXPECT_EQ(m_device->ClearedHalts(), std::vector<uint8_t>{0x02});
    // The half-sent message never reached the instrument; the next one is whole.
    ExpectCleanQuery("ok\n");
    EXPECT_EQ(m_device->Messages(), std::vector<std::string>{"Q?"});
}

TEST_F(UsbtmcSessionTest, WrongTagOrTruncatedHeaderIsAnErrorAndRecovered) {
    Open();
    m_device->AnswerWrongTagOnce();
    m_script->WillReply("wrong tag\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(64, status), "");
    EXPECT_EQ(status, VI_ERROR_IO);
    ExpectCleanQuery("next\n");

    m_device->TruncateNextReply(7);
    m_script->WillReply("truncated\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    EXPECT_EQ(Read(64, status), "");
    EXPECT_EQ(status, VI_ERROR_IO);
    ExpectCleanQuery("next again\n");

    // A header that promises more data than the transfer holds.
    m_device->TruncateNextReply(16);
    m_script->WillReply("cut short in the middle\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    EXPECT_EQ(Read(64, status), "");
    EXPECT_EQ(status, VI_ERROR_IO);
    ExpectCleanQuery("and again\n");
}

TEST_F(UsbtmcSessionTest, AReplyLargerThanRequestedIsKeptButAnAbsurdSizeIsRefused) {
    Open();
    // The device sends 40 bytes where 8 were asked for: the caller gets 8,
    // nothing lands beyond its buffer, and the rest waits for the next read.
    m_device->IgnoreRequestedSize(true);
    m_script->WillReply(std::string(40, 'o'));
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    std::string buffer(16, '#');
    ViUInt32 n = 99;
    EXPECT_EQ(m_session->Read(reinterpret_cast<ViByte*>(buffer.data()), 8, n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(buffer, std::string(8, 'o') + std::string(8, '#'));
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(64, status), std::string(32, 'o'));
    EXPECT_EQ(status, VI_SUCCESS);
    m_device->IgnoreRequestedSize(false);

    // A header announcing more than 16 MiB is not believed: nothing is copied.
    m_device->AnnounceTransferSizeOnce((16u << 20) + 1);
    m_script->WillReply(std::string(40, 'o'));
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    buffer.assign(16, '#');
    n = 99;
    EXPECT_EQ(m_session->Read(reinterpret_cast<ViByte*>(buffer.data()), 8, n), VI_ERROR_IO);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buffer, std::string(16, '#'));
    ExpectCleanQuery("fine\n");
}

TEST_F(UsbtmcSessionTest, StalledEndpointsAreClearedAndReported) {
    Open();
    m_device->StallNextBulkOut();
    EXPECT_EQ(Write("Q?"), VI_ERROR_IO);
    ExpectCleanQuery("out ok\n");
    m_device->StallNextBulkIn();
    m_script->WillReply("lost\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    Read(64, status);
    EXPECT_EQ(status, VI_ERROR_IO);
    ExpectCleanQuery("in ok\n");
    auto halts = m_device->ClearedHalts();
    EXPECT_NE(std::find(halts.begin(), halts.end(), 0x02), halts.end());
    EXPECT_NE(std::find(halts.begin(), halts.end(), 0x81), halts.end());
}

TEST_F(UsbtmcSessionTest, DeviceClearEmptiesBothSides) {
    Open();
    m_device->SetStatusPolls(3);
    m_script->WillReply("0123456789\n");
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(4, status), "0123");
    EXPECT_EQ(m_session->Clear(), VI_SUCCESS);
    EXPECT_EQ(m_script->Clears(), 1);
    // Neither the session's buffer nor the device holds the rest any more.
    SetTimeout(30);
    EXPECT_EQ(Read(64, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    SetTimeout(2000);
    ExpectCleanQuery("clean\n");  // the bulk-OUT halt of the clear was cleared
}

TEST_F(UsbtmcSessionTest, UnplugMidReplyLosesTheConnection) {
    Open(64);
    m_device->UnplugAfterInPackets(3);
    m_script->WillReply(std::string(1000, 'u'));
    ASSERT_EQ(Write("Q?"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    Read(2000, status);
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(Write("Q?"), VI_ERROR_CONN_LOST);
    Read(10, status);
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(m_session->Clear(), VI_ERROR_CONN_LOST);
    m_session.reset();  // closing a vanished device is harmless
    EXPECT_FALSE(m_device->Claimed());
}

TEST_F(UsbtmcSessionTest, UnplugWhileAReadWaitsEndsItAtOnce) {
    Open();
    SetTimeout(60000);
    ASSERT_EQ(Write("NOREPLY"), VI_SUCCESS);
    auto read = std::async(std::launch::async, [&] {
        ViStatus status = VI_SUCCESS;
        Read(64, status);
        return status;
    });
    ASSERT_TRUE(m_device->WaitForBlockedBulkIn(5000));
    m_device->Unplug();
    ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(read.get(), VI_ERROR_CONN_LOST);
}

TEST_F(UsbtmcSessionTest, AbortIoEndsAWaitingReadAtOnceAndSendsNothingMore) {
    Open();
    SetTimeout(60000);
    ASSERT_EQ(Write("NOREPLY"), VI_SUCCESS);
    const size_t requestsBefore = m_device->ControlRequests().size();
    auto read = std::async(std::launch::async, [&] {
        ViStatus status = VI_SUCCESS;
        Read(64, status);
        return status;
    });
    ASSERT_TRUE(m_device->WaitForBlockedBulkIn(5000));
    m_session->AbortIo();
    ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ViStatus status = read.get();
    EXPECT_LT(status, VI_SUCCESS);
    EXPECT_NE(status, VI_ERROR_TMO);
    // No abort or clear requests for the cancelled transfer, and later
    // calls fail without reaching the device.
    EXPECT_LT(Write("AFTER"), VI_SUCCESS);
    Read(64, status);
    EXPECT_LT(status, VI_SUCCESS);
    EXPECT_EQ(m_device->ControlRequests().size(), requestsBefore);
    EXPECT_EQ(m_device->CallsAfterCancel(), 0u);
    EXPECT_EQ(m_device->Messages(), std::vector<std::string>{"NOREPLY"});
}

TEST_F(UsbtmcSessionTest, AnEmptyWriteSendsNothing) {
    Open();
    EXPECT_EQ(Write(""), VI_SUCCESS);
    EXPECT_TRUE(m_device->OutHeaders().empty());
}

TEST_F(UsbtmcSessionTest, WithoutSendEndTheMessageContinues) {
    Open();
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_SEND_END_EN, VI_FALSE), VI_SUCCESS);
    ASSERT_EQ(Write("PART1;"), VI_SUCCESS);
    EXPECT_TRUE(m_device->Messages().empty());
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_SEND_END_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(Write("PART2"), VI_SUCCESS);
    EXPECT_EQ(m_device->Messages(), std::vector<std::string>{"PART1;PART2"});
}

TEST_F(UsbtmcSessionTest, UsbAttributes) {
    Open();
    ViUInt16 vid = 0, pid = 0;
    ViInt16 intf = -1;
    char serial[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(m_session->GetAttribute(VI_ATTR_MANF_ID, &vid), VI_SUCCESS);
    ASSERT_EQ(m_session->GetAttribute(VI_ATTR_MODEL_CODE, &pid), VI_SUCCESS);
    ASSERT_EQ(m_session->GetAttribute(VI_ATTR_USB_INTFC_NUM, &intf), VI_SUCCESS);
    ASSERT_EQ(m_session->GetAttribute(VI_ATTR_USB_SERIAL_NUM, serial), VI_SUCCESS);
    EXPECT_EQ(vid, 0x1234);
    EXPECT_EQ(pid, 0x5678);
    EXPECT_EQ(intf, 0);
    EXPECT_STREQ(serial, "SN1");
    ViUInt16 type = 0;
    ASSERT_EQ(m_session->GetAttribute(VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_USB);
}

size_t InRequests(SimulatedUsbtmcDevice& device) {
    auto headers = device.OutHeaders();
    return static_cast<size_t>(std::count_if(headers.begin(), headers.end(), [](const auto& h) {
        return h.msgId == usbtmc::kRequestDevDepMsgIn;
    }));
}

// Devices that put a long reply into one transfer whatever TransferSize the
// host asked for, the header only in its first packet.
TEST_F(UsbtmcSessionTest, ADeviceThatIgnoresTheRequestedSizeLosesNothing) {
    const std::string reply = Pattern(1001);

    // A naive host sizes its buffer for the 100 bytes it asked for: the
    // rest of the transfer stays on the endpoint, and what it reads as the
    // next reply is the tail of this one.
    Spare spare(64);
    spare.device->IgnoreRequestedSize(true);
    spare.script->WillReply(reply);
    spare.script->WillReply(kIdentity);
    NaiveHost naive(*spare.device);
    ASSERT_EQ(naive.Send("DATA?"), UsbStatus::Ok);
    NaiveHost::Reply first = naive.Request(100);
    EXPECT_TRUE(first.valid);
    EXPECT_EQ(first.announced, reply.size());
    ASSERT_EQ(naive.Send("*IDN?"), UsbStatus::Ok);
    EXPECT_FALSE(naive.Request(1024).valid);

    // Ours takes the whole transfer, hands out what fits and keeps the rest.
    Open(64);
    m_device->IgnoreRequestedSize(true);
    for (ViUInt32 size : {1u, 100u, 1000u}) {
        m_script->WillReply(reply);
        ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
        std::string got;
        ViStatus status = VI_SUCCESS_MAX_CNT;
        while (status == VI_SUCCESS_MAX_CNT) {
            got += Read(size, status);
        }
        EXPECT_EQ(status, VI_SUCCESS) << size;
        EXPECT_EQ(got, reply) << size;
        ExpectIdentity();
    }
    // One request per message: the rest of each reply came from what was kept.
    EXPECT_EQ(InRequests(*m_device), 6u);

    // More than the largest request (1 MiB): the buffer grows to the transfer.
    const std::string large = Pattern((2u << 20) + 3);
    m_script->WillReply(large);
    ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    std::string got = Read(4096, status);
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    got += Read(4u << 20, status);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_TRUE(got == large);
    ExpectIdentity();
    EXPECT_EQ(m_device->Rejected(), 0u);
}

// Replies framed loosely: transfers capped at 500 bytes whatever the host
// asked for (EOM on the last), and transfers that end on a full packet with
// no zero-length packet behind them.
struct FramingCase {
    const char* name;
    uint16_t maxPacket;
    size_t replySize;
    uint32_t cap;  // 0: none
    bool zeroLengthPacket;
};

class UsbtmcFramingTest : public UsbtmcSessionTest,
                          public ::testing::WithParamInterface<FramingCase> {};

TEST_P(UsbtmcFramingTest, EveryReplyArrivesWholeAndTheNextExchangeWorks) {
    const FramingCase& c = GetParam();
    const std::string reply = c.replySize == kIdentity.size() ? kIdentity : Pattern(c.replySize);
    const size_t piece = c.cap == 0 ? reply.size() : std::min<size_t>(c.cap, reply.size());
    const size_t firstTransfer = usbtmc::Aligned(usbtmc::kHeaderSize + piece);
    auto quirks = [&](SimulatedUsbtmcDevice& device) {
        if (c.cap != 0) {
            device.SetMaxReplySize(c.cap);
        }
        device.SetZeroLengthPacketAfterFullEnd(c.zeroLengthPacket);
    };

    // A naive host waits for a short packet that never comes, or takes the
    // first piece for the whole reply.
    Spare spare(c.maxPacket);
    quirks(*spare.device);
    spare.script->WillReply(reply);
    NaiveHost naive(*spare.device);
    ASSERT_EQ(naive.Send("DATA?"), UsbStatus::Ok);
    NaiveHost::Reply naiveReply = naive.Request(8192);
    if (firstTransfer % c.maxPacket == 0 && !c.zeroLengthPacket) {
        EXPECT_EQ(naiveReply.status, UsbStatus::Timeout);
    } else {
        EXPECT_EQ(naiveReply.status, UsbStatus::Ok);
        EXPECT_EQ(naiveReply.data, reply.substr(0, piece));
        EXPECT_EQ(naiveReply.eom, piece == reply.size());
    }

    Open(c.maxPacket);
    quirks(*m_device);
    for (int round = 0; round < 2; ++round) {
        m_script->WillReply(reply);
        ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
        ViStatus status = VI_ERROR_IO;
        EXPECT_EQ(Read(8192, status), reply);
        EXPECT_EQ(status, VI_SUCCESS);
        ExpectIdentity();
    }
    const size_t pieces = (reply.size() + piece - 1) / piece;
    EXPECT_EQ(InRequests(*m_device), 2 * (pieces + 1));
    EXPECT_EQ(m_device->Rejected(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    LooseDevices, UsbtmcFramingTest,
    ::testing::Values(FramingCase{"IdentityFillsOnePacket", 64, 52, 0, false},
                      FramingCase{"SixtyFourDataBytes", 64, 64, 0, false},
                      FramingCase{"TwoFullPackets", 64, 116, 0, false},
                      FramingCase{"CappedAt500", 64, 5000, 500, true},
                      FramingCase{"CappedAt500WithoutZeroLengthPackets", 64, 5000, 500, false},
                      FramingCase{"CappedAt500HighSpeed", 512, 5000, 500, false}),
    [](const auto& test) { return std::string(test.param.name); });

// A device that sets EOM on every transfer, also on the pieces of a reply
// it splits at 500 bytes.
TEST_F(UsbtmcSessionTest, EomOnEveryPieceEndsAReadOnlyWithoutTheTerminationCharacter) {
    const std::string reply = Pattern(5000);
    auto quirks = [](SimulatedUsbtmcDevice& device) {
        device.SetMaxReplySize(500);
        device.SetEomOnEveryTransfer(true);
    };

    // A host that trusts EOM gets the first tenth of the reply.
    Spare spare(64);
    quirks(*spare.device);
    spare.script->WillReply(reply);
    NaiveHost naive(*spare.device);
    ASSERT_EQ(naive.Send("DATA?"), UsbStatus::Ok);
    NaiveHost::Reply naiveReply = naive.Request(8192);
    EXPECT_TRUE(naiveReply.eom);
    EXPECT_EQ(naiveReply.data, reply.substr(0, 500));

    Open(64);
    quirks(*m_device);
    // Without the termination character EOM ends the read, as the standard says.
    m_script->WillReply(reply);
    ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(8192, status), reply.substr(0, 500));
    EXPECT_EQ(status, VI_SUCCESS);
    ExpectIdentity();  // the new message made the device drop the rest

    // With it, the pieces are joined until the data end with it.
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR, '\n'), VI_SUCCESS);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    m_script->WillReply(reply);
    ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
    const size_t before = InRequests(*m_device);
    EXPECT_EQ(Read(8192, status), reply);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_EQ(InRequests(*m_device) - before, 10u);  // nothing asked for after the last piece
    ExpectIdentity();
    EXPECT_EQ(Count(m_device->ControlRequests(), kAbortIn), 0u);
    EXPECT_EQ(m_device->Rejected(), 0u);
}

// With the termination character enabled, a message that does not end with
// it is whole once the device has nothing more: it answers the next request
// with an empty transfer (true), or not at all for a moment (false).
class UsbtmcMessageEndTest : public UsbtmcSessionTest,
                             public ::testing::WithParamInterface<bool> {};

TEST_P(UsbtmcMessageEndTest, AMessageWithoutTheTerminationCharacterEndsWhenNoMoreComes) {
    const bool answersEmpty = GetParam();
    Open(64);
    m_device->SetMaxReplySize(500);
    m_device->SetEomOnEveryTransfer(true);
    m_device->AnswerIdleRequestsEmpty(answersEmpty);
    SetTimeout(10000);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    const std::string reply(1200, 'x');
    m_script->WillReply(reply);
    ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
    const auto start = std::chrono::steady_clock::now();
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(8192, status), reply);
    EXPECT_EQ(status, VI_SUCCESS);
    // Far less than the session's timeout was spent waiting for more.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(Count(m_device->ControlRequests(), kAbortIn), answersEmpty ? 0u : 1u);
    ExpectIdentity();
    EXPECT_EQ(m_device->Rejected(), 0u);
}

INSTANTIATE_TEST_SUITE_P(AnswersIdleRequestsEmpty, UsbtmcMessageEndTest, ::testing::Bool());

// The brief wait after EOM is for the next piece to begin; once it has, a
// slow device gets the session's whole timeout to finish it.
TEST_F(UsbtmcSessionTest, APieceAfterEomThatBeganIsReadToItsEndHoweverSlow) {
    Open(64);
    m_device->SetMaxReplySize(500);
    m_device->SetEomOnEveryTransfer(true);
    SetTimeout(10000);
    ASSERT_EQ(m_session->SetAttribute(VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    const std::string reply = Pattern(1200);
    // The first piece is 8 full packets; the device stalls 2 packets into the second.
    m_device->DelayAfterInPackets(10, 600);
    m_script->WillReply(reply);
    ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
    ViStatus status = VI_ERROR_IO;
    EXPECT_EQ(Read(8192, status), reply);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_EQ(Count(m_device->ControlRequests(), kAbortIn), 0u);
    ExpectIdentity();
}

// A read that times out mid-reply is aborted as the standard lays down:
// INITIATE_ABORT_BULK_IN, bulk-IN read up to a short packet, then
// CHECK_ABORT_BULK_IN_STATUS until it is no longer PENDING (reading again
// while it reports data queued).
struct AbortCase {
    const char* name;
    bool keepQueued;
    bool zeroLengthPacket;
    unsigned pendingPolls;
    size_t replySize;
};

class UsbtmcAbortTest : public UsbtmcSessionTest,
                        public ::testing::WithParamInterface<AbortCase> {};

TEST_P(UsbtmcAbortTest, TheAbortCompletesAndTheNextIdentityQueryWorks) {
    const AbortCase& c = GetParam();
    auto quirks = [&](SimulatedUsbtmcDevice& device) {
        device.KeepQueuedDataOnAbort(c.keepQueued);
        device.SetZeroLengthPacketAfterFullEnd(c.zeroLengthPacket);
        device.SetStatusPolls(c.pendingPolls);
        device.PauseAfterInPackets(3);
    };

    if (c.keepQueued) {
        // A naive host that aborts but does not read bulk-IN is kept waiting,
        // and then reads the stale data as the next reply.
        Spare spare(64);
        quirks(*spare.device);
        spare.script->WillReply(std::string(c.replySize, 'p'));
        spare.script->WillReply(kIdentity);
        NaiveHost naive(*spare.device);
        ASSERT_EQ(naive.Send("DATA?"), UsbStatus::Ok);
        EXPECT_EQ(naive.Request(2000, 30).status, UsbStatus::Timeout);
        EXPECT_EQ(naive.BulkInRequest(kAbortIn, naive.LastTag(), 2).first, usbtmc::kStatusSuccess);
        for (int poll = 0; poll < 10; ++poll) {
            EXPECT_EQ(naive.BulkInRequest(kCheckAbortIn, 0, 8),
                      std::make_pair(usbtmc::kStatusPending, uint8_t{1}));
        }
        ASSERT_EQ(naive.Send("*IDN?"), UsbStatus::Ok);
        EXPECT_FALSE(naive.Request(1024).valid);
    }

    Open(64);
    quirks(*m_device);
    SetTimeout(50);
    m_script->WillReply(std::string(c.replySize, 'p'));
    ASSERT_EQ(Write("DATA?"), VI_SUCCESS);
    const auto start = std::chrono::steady_clock::now();
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(2000, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    // The abort sufficed well within the time allowed for recovery.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    auto requests = m_device->ControlRequests();
    EXPECT_EQ(Count(requests, kAbortIn), 1u);
    EXPECT_EQ(Count(requests, kCheckAbortIn), c.pendingPolls + 1);
    EXPECT_EQ(Count(requests, kClear), 0u);
    EXPECT_EQ(m_script->Clears(), 0);
    SetTimeout(2000);
    ExpectIdentity();
    EXPECT_EQ(m_device->Rejected(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    LooseDevices, UsbtmcAbortTest,
    ::testing::Values(AbortCase{"DataQueued", true, true, 0, 1000},
                      AbortCase{"PendingSeveralTimes", false, true, 4, 1000},
                      AbortCase{"DataQueuedAndPending", true, true, 3, 1000},
                      // 12 + 1012 bytes: the queued packets all full, no short one after.
                      AbortCase{"DataQueuedWithoutShortPacket", true, false, 2, 1012}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kvt::visa
