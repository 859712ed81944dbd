// The C calls against the in-process simulated meter: handles, find lists,
// attributes and the read rules, with no network involved.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "sim/MeterModel.h"
#include "sim/SimulatedMeter.h"
#include "tests/support/VisaRead.h"
#include "visa/visa.h"

namespace {

using kvt::test::Read;

class SimulatedVisa : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        kvt::sim::InstallSimulatedMeter();
        ASSERT_EQ(viOpenDefaultRM(&m_rm), VI_SUCCESS);
    }
    void TearDown() override {
        if (m_rm != VI_NULL) {
            viClose(m_rm);
        }
        unsetenv("KORVATA_VISA_SIMULATE");
    }

    ViStatus Write(ViSession vi, const std::string& text) {
        ViUInt32 n = 0;
        ViStatus s = viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()),
                             static_cast<ViUInt32>(text.size()), &n);
        EXPECT_EQ(n, s < VI_SUCCESS ? 0u : text.size());
        return s;
    }

    ViSession m_rm = VI_NULL;
};

TEST_F(SimulatedVisa, FindsTheSimulatedUsbMeter) {
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viFindRsrc(m_rm, "USB?*INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(desc, "USB0::0x1209::0x4B56::KVSIM0001::INSTR");
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(viClose(list), VI_SUCCESS);
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_INV_OBJECT);

    EXPECT_EQ(viFindRsrc(m_rm, "GPIB?*INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(viFindRsrc(m_rm, "*bad", &list, &count, desc), VI_ERROR_INV_EXPR);
}

TEST_F(SimulatedVisa, NothingIsFoundWithoutSimulation) {
    unsetenv("KORVATA_VISA_SIMULATE");
    ViFindList list = VI_NULL;
    ViUInt32 count = 7;
    char desc[VI_FIND_BUFLEN] = {};
    EXPECT_EQ(viFindRsrc(m_rm, "USB0::0x1209::0x4B56::KVSIM0001::INSTR", &list, &count, desc),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);
}

TEST_F(SimulatedVisa, QueriesTheMeterOverUsbAndTcpipNames) {
    for (const char* name : {"USB0::0x1209::0x4B56::KVSIM0001::INSTR",
                             "TCPIP0::192.0.2.1::inst0::INSTR", "TCPIP::meter::INSTR"}) {
        ViSession vi = VI_NULL;
        ASSERT_EQ(viOpen(m_rm, name, VI_NO_LOCK, 0, &vi), VI_SUCCESS) << name;
        ASSERT_EQ(Write(vi, "*IDN?"), VI_SUCCESS);
        ViStatus status = VI_ERROR_IO;
        EXPECT_EQ(Read(vi, 256, status), std::string(kvt::sim::MeterModel::kIdentity) + "\n");
        EXPECT_EQ(status, VI_SUCCESS);
        EXPECT_EQ(viClose(vi), VI_SUCCESS);
    }
}

TEST_F(SimulatedVisa, ReadIntoASmallBufferLeavesTheRestReadable) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpen(m_rm, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "ECHO? 0123456789"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(vi, 4, status), "0123");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(vi, 4, status), "4567");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(vi, 4, status), "89\n");
    EXPECT_EQ(status, VI_SUCCESS);
    // Nothing more pending: the read times out rather than returning stale bytes.
    EXPECT_EQ(Read(vi, 4, status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
}

TEST_F(SimulatedVisa, TerminationCharacterAttribute) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpen(m_rm, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ViUInt32 timeout = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
    EXPECT_EQ(timeout, 2000u);
    ViBoolean enabled = VI_TRUE;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &enabled), VI_SUCCESS);
    EXPECT_EQ(enabled, VI_FALSE);

    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(Write(vi, "ECHO? a,b"), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(Read(vi, 32, status), "a,");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(Read(vi, 32, status), "b\n");
    EXPECT_EQ(status, VI_SUCCESS);

    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 500), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
    EXPECT_EQ(timeout, 500u);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, 0x100), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, 0x3FFF0FFF, 1), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_INTF_TYPE, 1), VI_ERROR_ATTR_READONLY);

    char name[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
    EXPECT_STREQ(name, "TCPIP0::h::inst0::INSTR");
    ViUInt16 type = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_TCPIP);
}

TEST_F(SimulatedVisa, BadAndClosedHandles) {
    ViSession vi = VI_NULL;
    EXPECT_EQ(viOpen(m_rm, "not a resource", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_EQ(viOpen(12345, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_OBJECT);

    ASSERT_EQ(viOpen(m_rm, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ASSERT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(viClose(vi), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(Write(vi, "*IDN?"), VI_ERROR_INV_OBJECT);
    ViStatus status = VI_SUCCESS;
    Read(vi, 8, status);
    EXPECT_EQ(status, VI_ERROR_INV_OBJECT);
    ViUInt32 timeout = 0;
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_ERROR_INV_OBJECT);
    // A session handle is not a resource manager.
    ASSERT_EQ(viOpen(m_rm, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ViSession other = VI_NULL;
    EXPECT_EQ(viOpen(vi, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &other), VI_ERROR_INV_OBJECT);
}

TEST_F(SimulatedVisa, ClosingTheManagerClosesItsSessionsAndLists) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpen(m_rm, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viFindRsrc(m_rm, "USB?*INSTR", &list, &count, desc), VI_SUCCESS);

    ViSession otherRm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&otherRm), VI_SUCCESS);
    ViSession survivor = VI_NULL;
    ASSERT_EQ(viOpen(otherRm, "TCPIP::h::INSTR", VI_NO_LOCK, 0, &survivor), VI_SUCCESS);

    ASSERT_EQ(viClose(m_rm), VI_SUCCESS);
    m_rm = VI_NULL;
    EXPECT_EQ(Write(vi, "*IDN?"), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(Write(survivor, "*IDN?"), VI_SUCCESS);
    EXPECT_EQ(viClose(otherRm), VI_SUCCESS);
    EXPECT_EQ(viClose(survivor), VI_ERROR_INV_OBJECT);
}

}  // namespace
