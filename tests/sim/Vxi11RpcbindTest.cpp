// The VXI-11 server registered with the system portmapper (rpcbind on port
// 111), found by the VISA layer the standard way. Needs rpcbind running
// (tools/start-services.sh); holds port 111 while it runs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <rpc/rpc.h>
// after rpc.h, which it needs
#include <rpc/pmap_clnt.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "sim/MeterModel.h"
#include "sim/ServedInstrument.h"
#include "sim/Vxi11Server.h"
#include "visa/visa.h"
#include "visa/vxi11.h"

namespace {

u_short RegisteredCorePort() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return pmap_getport(&address, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
}

TEST(Vxi11Rpcbind, TheServerRegistersAndTheClientFindsItOnPort111) {
    unsetenv("KORVATA_VISA_PORTMAPPER_PORT");
    auto model = std::make_shared<kvt::sim::MeterModel>();
    kvt::sim::ServedInstrument instrument(model, {}, nullptr);
    kvt::sim::Vxi11Server server(instrument);
    std::string error;
    ASSERT_TRUE(server.Start(std::nullopt, error)) << error;
    if (server.PortmapperPort() == 0) {
        EXPECT_EQ(RegisteredCorePort(), server.CorePort());
    } else {
        // No rpcbind here: the built-in portmapper took port 111 instead.
        EXPECT_EQ(server.PortmapperPort(), 111);
    }

    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpen(rm, "TCPIP::127.0.0.1::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ViUInt32 n = 0;
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?"), 5, &n), VI_SUCCESS);
    char reply[256] = {};
    ASSERT_EQ(viRead(vi, reinterpret_cast<ViBuf>(reply), sizeof(reply) - 1, &n), VI_SUCCESS);
    EXPECT_EQ(std::string(reply, n), std::string(kvt::sim::MeterModel::kIdentity) + "\n");
    viClose(rm);

    bool registered = server.PortmapperPort() == 0;
    server.Stop();
    if (registered) {
        EXPECT_EQ(RegisteredCorePort(), 0) << "the registration outlived the server";
    }
}

}  // namespace
