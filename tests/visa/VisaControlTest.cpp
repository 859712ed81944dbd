// The C calls around messages against the in-process simulated meter:
// parsing names, status texts, clear, status byte, trigger, flush and
// buffers, events, and locks between sessions.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <future>
#include <string>

#include "sim/SimulatedMeter.h"
#include "visa/visa.h"

namespace {

constexpr const char* kMeter = "USB0::0x1209::0x4B56::KVSIM0001::INSTR";

class VisaControl : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        kvt::sim::InstallSimulatedMeter();
        ASSERT_EQ(viOpenDefaultRM(&m_rm), VI_SUCCESS);
    }
    void TearDown() override {
        viClose(m_rm);
        unsetenv("KORVATA_VISA_SIMULATE");
    }
    ViSession Open(ViAccessMode mode = VI_NO_LOCK, ViUInt32 timeout = 0) {
        ViSession vi = VI_NULL;
        EXPECT_EQ(viOpen(m_rm, kMeter, mode, timeout, &vi), VI_SUCCESS);
        return vi;
    }
    static ViStatus Write(ViSession vi, const char* text) {
        ViUInt32 n = 0;
        return viWrite(vi, reinterpret_cast<ViConstBuf>(text),
                       static_cast<ViUInt32>(std::strlen(text)), &n);
    }
    static std::string Read(ViSession vi, ViStatus& status) {
        char buffer[256] = {};
        ViUInt32 n = 0;
        status = viRead(vi, reinterpret_cast<ViBuf>(buffer), sizeof buffer, &n);
        return std::string(buffer, n);
    }

    ViSession m_rm = VI_NULL;
};

TEST_F(VisaControl, ParsesResourceNamesWithoutOpeningThem) {
    ViUInt16 type = 0, board = 0;
    char cls[VI_FIND_BUFLEN], full[VI_FIND_BUFLEN], alias[VI_FIND_BUFLEN] = "x";
    ASSERT_EQ(
        viParseRsrcEx(m_rm, "tcpip3::10.0.0.9::5025::socket", &type, &board, cls, full, alias),
        VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_TCPIP);
    EXPECT_EQ(board, 3);
    EXPECT_STREQ(cls, "SOCKET");
    EXPECT_STREQ(full, "TCPIP3::10.0.0.9::5025::SOCKET");
    EXPECT_STREQ(alias, "");
    ASSERT_EQ(viParseRsrc(m_rm, "USB::0x1209::0x4B56::KVSIM0001", &type, &board), VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_USB);
    EXPECT_EQ(board, 0);
    EXPECT_EQ(viParseRsrc(m_rm, "TCPIP::", &type, &board), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viParseRsrc(m_rm, nullptr, &type, &board), VI_ERROR_INV_RSRC_NAME);
    ViSession vi = Open();
    EXPECT_EQ(viParseRsrc(vi, kMeter, &type, &board), VI_ERROR_INV_OBJECT);  // not a manager
}

TEST_F(VisaControl, DescribesStatusValues) {
    char text[256];
    ASSERT_EQ(viStatusDesc(m_rm, VI_ERROR_TMO, text), VI_SUCCESS);
    EXPECT_EQ(std::string(text).rfind("VI_ERROR_TMO:", 0), 0u) << text;
    ASSERT_EQ(viStatusDesc(m_rm, VI_SUCCESS_TERM_CHAR, text), VI_SUCCESS);
    EXPECT_NE(std::strstr(text, "termination character"), nullptr) << text;
    EXPECT_EQ(viStatusDesc(m_rm, static_cast<ViStatus>(0xBFFF0F00u), text), VI_WARN_UNKNOWN_STATUS);
    EXPECT_NE(std::strstr(text, "0xBFFF0F00"), nullptr) << text;
    EXPECT_EQ(viStatusDesc(m_rm, VI_SUCCESS, nullptr), VI_ERROR_INV_PARAMETER);
}

TEST_F(VisaControl, StatusByteAndClearFollowTheOutputQueue) {
    ViSession vi = Open();
    // The in-process meter is one for the whole test program: an earlier
    // test may have left a reply unread.
    ASSERT_EQ(viClear(vi), VI_SUCCESS);
    ViUInt16 stb = 0xFFFF;
    ASSERT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x10, 0);
    ASSERT_EQ(Write(vi, "*IDN?\n"), VI_SUCCESS);
    ASSERT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x10, 0x10);
    ASSERT_EQ(viClear(vi), VI_SUCCESS);
    ASSERT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
    EXPECT_EQ(stb & 0x10, 0);
    ViStatus status = VI_SUCCESS;
    Read(vi, status);
    EXPECT_EQ(status, VI_ERROR_TMO);  // the reply is gone
    ASSERT_EQ(Write(vi, "ECHO? next\n"), VI_SUCCESS);
    EXPECT_EQ(Read(vi, status), "next\n");
    EXPECT_EQ(viReadSTB(vi, nullptr), VI_ERROR_INV_PARAMETER);
    EXPECT_EQ(viReadSTB(m_rm, &stb), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viClear(m_rm), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaControl, FlushAndBuffersCheckTheirMasks) {
    ViSession vi = Open();
    ASSERT_EQ(Write(vi, "ECHO? dropped\n"), VI_SUCCESS);
    char one = 0;
    ViUInt32 n = 0;
    ASSERT_EQ(viRead(vi, reinterpret_cast<ViBuf>(&one), 1, &n), VI_SUCCESS_MAX_CNT);
    ASSERT_EQ(viFlush(vi, VI_READ_BUF_DISCARD), VI_SUCCESS);  // drops "ropped\n"
    ViStatus status = VI_SUCCESS;
    Read(vi, status);
    EXPECT_EQ(status, VI_ERROR_TMO);
    EXPECT_EQ(viFlush(vi, VI_READ_BUF | VI_READ_BUF_DISCARD), VI_ERROR_INV_MASK);
    EXPECT_EQ(viFlush(vi, 0), VI_ERROR_INV_MASK);
    EXPECT_EQ(viFlush(vi, 0x100), VI_ERROR_INV_MASK);
    EXPECT_EQ(viFlush(vi, VI_WRITE_BUF | VI_IO_OUT_BUF), VI_SUCCESS);
    EXPECT_EQ(viSetBuf(vi, VI_READ_BUF | VI_WRITE_BUF, 4096), VI_WARN_NSUP_BUF);
    EXPECT_EQ(viSetBuf(vi, VI_READ_BUF_DISCARD, 4096), VI_ERROR_INV_MASK);
    EXPECT_EQ(viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
    EXPECT_EQ(viAssertTrigger(vi, 5), VI_ERROR_INV_PROT);
}

TEST_F(VisaControl, NoEventsAreDelivered) {
    ViSession vi = Open();
    EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS_EVENT_DIS);
    EXPECT_EQ(viDiscardEvents(vi, VI_ALL_ENABLED_EVENTS, VI_QUEUE), VI_SUCCESS_QUEUE_EMPTY);
    EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, 0x40), VI_ERROR_INV_MECH);
    EXPECT_EQ(viDisableEvent(vi, VI_EVENT_IO_COMPLETION, VI_QUEUE), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viDisableEvent(VI_NULL, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaControl, AttributesDescribeTheResource) {
    ViSession vi = Open();
    char text[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_CLASS, text), VI_SUCCESS);
    EXPECT_STREQ(text, "INSTR");
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_USB_SERIAL_NUM, text), VI_SUCCESS);
    EXPECT_STREQ(text, "KVSIM0001");
    ViUInt16 id = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_MANF_ID, &id), VI_SUCCESS);
    EXPECT_EQ(id, 0x1209);
    ViSession manager = VI_NULL;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RM_SESSION, &manager), VI_SUCCESS);
    EXPECT_EQ(manager, m_rm);
    ViUInt16 protocol = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_IO_PROT, &protocol), VI_SUCCESS);
    EXPECT_EQ(protocol, VI_PROT_NORMAL);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_IO_PROT, VI_PROT_4882_STRS), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_RSRC_CLASS, 0), VI_ERROR_ATTR_READONLY);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_RSRC_LOCK_STATE, VI_EXCLUSIVE_LOCK),
              VI_ERROR_ATTR_READONLY);
}

TEST_F(VisaControl, ExclusiveLockShutsOtherSessionsOut) {
    ViSession a = Open(), b = Open();
    ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS_NESTED_EXCLUSIVE);
    ViAccessMode state = VI_NO_LOCK;
    ASSERT_EQ(viGetAttribute(b, VI_ATTR_RSRC_LOCK_STATE, &state), VI_SUCCESS);
    EXPECT_EQ(state, static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK));
    EXPECT_EQ(Write(b, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);
    ViUInt16 stb = 0;
    EXPECT_EQ(viReadSTB(b, &stb), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viClear(b), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 0, VI_NULL, nullptr), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viUnlock(b), VI_ERROR_SESN_NLOCKED);
    EXPECT_EQ(Write(a, "*IDN?\n"), VI_SUCCESS);

    // b waits for the lock and gets it once a lets go of both levels.
    auto waiting = std::async(
        std::launch::async, [b] { return viLock(b, VI_EXCLUSIVE_LOCK, 10'000, VI_NULL, VI_NULL); });
    EXPECT_EQ(viUnlock(a), VI_SUCCESS_NESTED_EXCLUSIVE);
    EXPECT_EQ(viUnlock(a), VI_SUCCESS);
    EXPECT_EQ(waiting.get(), VI_SUCCESS);
    EXPECT_EQ(Write(a, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);
    // Closing the holder releases its lock.
    ASSERT_EQ(viClose(b), VI_SUCCESS);
    EXPECT_EQ(Write(a, "*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(viLock(a, 7, 0, VI_NULL, VI_NULL), VI_ERROR_INV_LOCK_TYPE);
}

TEST_F(VisaControl, SharedLockAdmitsOnlyItsKeyHolders) {
    ViSession a = Open(), b = Open(), c = Open();
    char key[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viLock(a, VI_SHARED_LOCK, 0, VI_NULL, key), VI_SUCCESS);
    ASSERT_NE(key[0], '\0');
    char same[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viLock(b, VI_SHARED_LOCK, 0, key, same), VI_SUCCESS);
    EXPECT_STREQ(same, key);
    EXPECT_EQ(viLock(c, VI_SHARED_LOCK, 0, "another key", same), VI_ERROR_INV_ACCESS_KEY);
    EXPECT_EQ(Write(a, "*CLS\n"), VI_SUCCESS);
    EXPECT_EQ(Write(b, "*CLS\n"), VI_SUCCESS);
    EXPECT_EQ(Write(c, "*CLS\n"), VI_ERROR_RSRC_LOCKED);
    // A sharer cannot take it exclusively while another shares it.
    EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viLock(a, VI_SHARED_LOCK, 0, VI_NULL, same), VI_SUCCESS_NESTED_SHARED);
    EXPECT_EQ(viUnlock(a), VI_SUCCESS_NESTED_SHARED);
    EXPECT_EQ(viUnlock(a), VI_SUCCESS);
    EXPECT_EQ(viUnlock(b), VI_SUCCESS);
    EXPECT_EQ(Write(c, "*CLS\n"), VI_SUCCESS);
}

TEST_F(VisaControl, OpeningWithALockWaitsForIt) {
    ViSession holder = Open(VI_EXCLUSIVE_LOCK);
    ViSession other = VI_NULL;
    EXPECT_EQ(viOpen(m_rm, kMeter, VI_EXCLUSIVE_LOCK, 0, &other), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viOpen(m_rm, kMeter, VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK, 0, &other),
              VI_ERROR_INV_ACC_MODE);
    EXPECT_EQ(other, static_cast<ViSession>(VI_NULL));
    ASSERT_EQ(viUnlock(holder), VI_SUCCESS);
    ASSERT_EQ(viOpen(m_rm, kMeter, VI_SHARED_LOCK, 0, &other), VI_SUCCESS);
    EXPECT_EQ(Write(holder, "*CLS\n"), VI_ERROR_RSRC_LOCKED);
    // Closing the manager closes its sessions and their locks.
    ASSERT_EQ(viClose(m_rm), VI_SUCCESS);
    ASSERT_EQ(viOpenDefaultRM(&m_rm), VI_SUCCESS);
    ViSession fresh = Open(VI_EXCLUSIVE_LOCK);
    EXPECT_EQ(Write(fresh, "*CLS\n"), VI_SUCCESS);
}

}  // namespace
