// The shared VISA library, loaded the way the program loads a vendor VISA.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "visa/ExternalLibrary.h"
#include "visa/visa.h"

namespace {

TEST(SharedVisaLibrary, ProgramCallsReachTheLoadedLibrary) {
    // Nothing is installed in this process's own layer: the simulated meter
    // can only answer if the calls are forwarded to the shared library.
    setenv("KORVATA_VISA_LIBRARY", KVT_SHARED_VISA_PATH, 1);
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    ASSERT_NE(kvt::visa::ExternalLibrary(), nullptr);
    EXPECT_EQ(kvt::visa::ExternalLibraryError(), "");

    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viFindRsrc(rm, "USB?*INSTR", &list, &count, desc), VI_SUCCESS);
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpen(rm, desc, VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    const char* command = "*IDN?";
    ViUInt32 n = 0;
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>(command), 5, &n), VI_SUCCESS);
    char reply[128] = {};
    ASSERT_EQ(viRead(vi, reinterpret_cast<ViBuf>(reply), sizeof reply - 1, &n), VI_SUCCESS);
    EXPECT_EQ(std::string(reply, n).rfind("KORVATA,", 0), 0u) << reply;
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1234), VI_SUCCESS);
    ViUInt32 timeout = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
    EXPECT_EQ(timeout, 1234u);
    EXPECT_EQ(viClose(rm), VI_SUCCESS);
}

TEST(SharedVisaLibrary, AMissingLibraryFailsEveryCall) {
    setenv("KORVATA_VISA_LIBRARY", "/nonexistent/libvisa.so", 1);
    ViSession rm = VI_NULL;
    EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_NE(kvt::visa::ExternalLibraryError().find("/nonexistent/libvisa.so"), std::string::npos);
}

TEST(SharedVisaLibrary, AMissingSymbolIsNamed) {
    kvt::visa::VisaFunctions functions{};
    std::string error;
    EXPECT_FALSE(kvt::visa::LoadVisaLibrary(KVT_PARTIAL_VISA_PATH, functions, error));
    EXPECT_NE(error.find("viFindRsrc"), std::string::npos) << error;
}

}  // namespace
