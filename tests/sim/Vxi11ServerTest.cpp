// The simulated meter's VXI-11 server and built-in portmapper, spoken to
// with plain RPC calls on loopback: links, locks, reasons, the abort
// channel, and the portmapper's answers over TCP and UDP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <rpc/rpc.h>
// after rpc.h, which they need
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/ServedInstrument.h"
#include "sim/Vxi11Server.h"
#include "tests/sim/EchoDevice.h"
#include "visa/RpcConnection.h"
#include "visa/vxi11.h"

namespace {

using kvt::visa::RpcConnection;

template <typename F>
xdrproc_t Xdr(F function) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(function));
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

auto Deadline() {
    return RpcConnection::Clock::now() + std::chrono::seconds(2);
}

class Vxi11ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_instrument = std::make_unique<kvt::sim::ServedInstrument>(
            m_device, kvt::sim::FaultSettings{}, nullptr);
        m_server = std::make_unique<kvt::sim::Vxi11Server>(*m_instrument);
        std::string error;
        ASSERT_TRUE(m_server->Start(uint16_t{0}, error)) << error;
    }

    // A connection to the core channel with a link created on it.
    long Link(RpcConnection& core) {
        EXPECT_EQ(core.Connect(Loopback(m_server->CorePort()), DEVICE_CORE, DEVICE_CORE_VERSION,
                               Deadline()),
                  VI_SUCCESS);
        Create_LinkParms parms{};
        parms.device = const_cast<char*>("inst0");
        Create_LinkResp reply{};
        EXPECT_EQ(core.Call(create_link, Xdr(xdr_Create_LinkParms), &parms,
                            Xdr(xdr_Create_LinkResp), &reply, 2000),
                  RPC_SUCCESS);
        EXPECT_EQ(reply.error, 0);
        EXPECT_EQ(reply.abortPort, m_server->AbortPort());
        EXPECT_EQ(reply.maxRecvSize, kvt::sim::Vxi11Server::kMaxRecvSize);
        return reply.lid;
    }

    static long Write(RpcConnection& core, long link, std::string text) {
        Device_WriteParms parms{};
        parms.lid = link;
        parms.io_timeout = 1000;
        parms.flags = VXI11_FLAG_END;
        parms.data.data_len = static_cast<u_int>(text.size());
        parms.data.data_val = text.data();
        Device_WriteResp reply{};
        EXPECT_EQ(core.Call(device_write, Xdr(xdr_Device_WriteParms), &parms,
                            Xdr(xdr_Device_WriteResp), &reply, 2000),
                  RPC_SUCCESS);
        return reply.error;
    }

    static long Read(RpcConnection& core, long link, u_long size, std::string& data, long& reason,
                     u_long ioTimeout = 1000) {
        Device_ReadParms parms{};
        parms.lid = link;
        parms.requestSize = size;
        parms.io_timeout = ioTimeout;
        Device_ReadResp reply{};
        EXPECT_EQ(core.Call(device_read, Xdr(xdr_Device_ReadParms), &parms,
                            Xdr(xdr_Device_ReadResp), &reply, 3000),
                  RPC_SUCCESS);
        data.assign(reply.data.data_val, reply.data.data_len);
        reason = reply.reason;
        long error = reply.error;
        core.FreeResult(Xdr(xdr_Device_ReadResp), &reply);
        return error;
    }

    static long ByLink(RpcConnection& core, rpcproc_t procedure, long link) {
        Device_Link lid = link;
        Device_Error reply{};
        EXPECT_EQ(
            core.Call(procedure, Xdr(xdr_Device_Link), &lid, Xdr(xdr_Device_Error), &reply, 2000),
            RPC_SUCCESS);
        return reply.error;
    }

    static long Generic(RpcConnection& core, rpcproc_t procedure, long link) {
        Device_GenericParms parms{};
        parms.lid = link;
        Device_Error reply{};
        EXPECT_EQ(core.Call(procedure, Xdr(xdr_Device_GenericParms), &parms, Xdr(xdr_Device_Error),
                            &reply, 2000),
                  RPC_SUCCESS);
        return reply.error;
    }

    static long Lock(RpcConnection& core, long link) {
        Device_LockParms parms{};
        parms.lid = link;
        Device_Error reply{};
        EXPECT_EQ(core.Call(device_lock, Xdr(xdr_Device_LockParms), &parms, Xdr(xdr_Device_Error),
                            &reply, 2000),
                  RPC_SUCCESS);
        return reply.error;
    }

    std::shared_ptr<kvt::test::EchoDevice> m_device = std::make_shared<kvt::test::EchoDevice>();
    std::unique_ptr<kvt::sim::ServedInstrument> m_instrument;
    std::unique_ptr<kvt::sim::Vxi11Server> m_server;
};

TEST_F(Vxi11ServerTest, ReadsReportTheirReason) {
    RpcConnection core;
    long link = Link(core);
    ASSERT_EQ(Write(core, link, "abcdef\n"), 0);
    std::string data;
    long reason = 0;
    ASSERT_EQ(Read(core, link, 4, data, reason), 0);
    EXPECT_EQ(data, "abcd");
    EXPECT_EQ(reason, VXI11_REASON_REQCNT);
    ASSERT_EQ(Read(core, link, 100, data, reason), 0);
    EXPECT_EQ(data, "ef\n");
    EXPECT_EQ(reason, VXI11_REASON_END);
    // Nothing pending: error 15 after io_timeout.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(core, link, 100, data, reason, 200), VXI11_ERR_IO_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
    EXPECT_EQ(ByLink(core, destroy_link, link), 0);
    EXPECT_EQ(Write(core, link, "gone"), VXI11_ERR_INVALID_LINK);
    EXPECT_EQ(ByLink(core, destroy_link, link), VXI11_ERR_INVALID_LINK);
}

TEST_F(Vxi11ServerTest, ALockKeepsOtherLinksOut) {
    RpcConnection first;
    RpcConnection second;
    long a = Link(first);
    long b = Link(second);
    EXPECT_EQ(Lock(first, a), 0);
    EXPECT_EQ(Write(second, b, "blocked"), VXI11_ERR_LOCKED);
    EXPECT_EQ(Lock(second, b), VXI11_ERR_LOCKED);
    EXPECT_EQ(ByLink(second, device_unlock, b), VXI11_ERR_NO_LOCK);
    EXPECT_EQ(Write(first, a, "mine"), 0);
    EXPECT_EQ(ByLink(first, device_unlock, a), 0);
    EXPECT_EQ(Write(second, b, "free"), 0);
    // A lock dies with its connection.
    EXPECT_EQ(Lock(second, b), 0);
    second.Close();
    std::string data;
    long reason = 0;
    EXPECT_EQ(Lock(first, a), 0);
    EXPECT_EQ(Read(first, a, 100, data, reason), 0);
    EXPECT_EQ(data, "mine");
}

TEST_F(Vxi11ServerTest, StatusByteClearAndAbort) {
    RpcConnection core;
    long link = Link(core);
    Device_GenericParms parms{};
    parms.lid = link;
    Device_ReadStbResp stb{};
    ASSERT_EQ(core.Call(device_readstb, Xdr(xdr_Device_GenericParms), &parms,
                        Xdr(xdr_Device_ReadStbResp), &stb, 2000),
              RPC_SUCCESS);
    EXPECT_EQ(stb.error, 0);
    EXPECT_EQ(stb.stb, 0x10);

    ASSERT_EQ(Write(core, link, "pending"), 0);
    EXPECT_EQ(Generic(core, device_clear, link), 0);
    EXPECT_EQ(m_device->Clears(), 1);
    std::string data;
    long reason = 0;
    EXPECT_EQ(Read(core, link, 100, data, reason, 50), VXI11_ERR_IO_TIMEOUT);
    EXPECT_EQ(Generic(core, device_trigger, link), 0);
    EXPECT_EQ(Generic(core, device_remote, 999), VXI11_ERR_INVALID_LINK);

    RpcConnection abort;
    ASSERT_EQ(abort.Connect(Loopback(m_server->AbortPort()), DEVICE_ASYNC, DEVICE_ASYNC_VERSION,
                            Deadline()),
              VI_SUCCESS);
    EXPECT_EQ(ByLink(abort, device_abort, link), 0);
    EXPECT_EQ(ByLink(abort, device_abort, 999), VXI11_ERR_INVALID_LINK);
}

TEST_F(Vxi11ServerTest, PortmapperAnswersOverTcpAndUdp) {
    sockaddr_in portmapper = Loopback(m_server->PortmapperPort());
    RpcConnection v2;
    ASSERT_EQ(v2.Connect(portmapper, PMAPPROG, PMAPVERS, Deadline()), VI_SUCCESS);
    pmap query{DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, 0};
    u_long port = 0;
    ASSERT_EQ(v2.Call(PMAPPROC_GETPORT, Xdr(xdr_pmap), &query, Xdr(xdr_u_long), &port, 2000),
              RPC_SUCCESS);
    EXPECT_EQ(port, m_server->CorePort());
    query.pm_prog = 0x0607B1;  // not served
    ASSERT_EQ(v2.Call(PMAPPROC_GETPORT, Xdr(xdr_pmap), &query, Xdr(xdr_u_long), &port, 2000),
              RPC_SUCCESS);
    EXPECT_EQ(port, 0u);

    int socket = RPC_ANYSOCK;
    timeval wait{1, 0};
    CLIENT* udp = clntudp_create(&portmapper, PMAPPROG, PMAPVERS, wait, &socket);
    ASSERT_NE(udp, nullptr);
    query.pm_prog = DEVICE_CORE;
    ASSERT_EQ(clnt_call(udp, PMAPPROC_GETPORT, Xdr(xdr_pmap), reinterpret_cast<caddr_t>(&query),
                        Xdr(xdr_u_long), reinterpret_cast<caddr_t>(&port), wait),
              RPC_SUCCESS);
    EXPECT_EQ(port, m_server->CorePort());
    clnt_destroy(udp);

    std::string expected = "127.0.0.1." + std::to_string(m_server->CorePort() >> 8) + "." +
                           std::to_string(m_server->CorePort() & 0xFF);
    for (rpcvers_t version : {rpcvers_t{3}, rpcvers_t{4}}) {
        RpcConnection rpcb;
        ASSERT_EQ(rpcb.Connect(portmapper, PMAPPROG, version, Deadline()), VI_SUCCESS);
        RPCB request{};
        request.r_prog = DEVICE_CORE;
        request.r_vers = DEVICE_CORE_VERSION;
        request.r_netid = const_cast<char*>("tcp");
        request.r_addr = const_cast<char*>("");
        request.r_owner = const_cast<char*>("");
        char* address = nullptr;
        ASSERT_EQ(rpcb.Call(RPCBPROC_GETADDR, Xdr(xdr_rpcb), &request, Xdr(xdr_wrapstring),
                            &address, 2000),
                  RPC_SUCCESS);
        EXPECT_EQ(std::string(address), expected) << "version " << version;
        rpcb.FreeResult(Xdr(xdr_wrapstring), &address);
        request.r_netid = const_cast<char*>("tcp6");
        ASSERT_EQ(rpcb.Call(RPCBPROC_GETADDR, Xdr(xdr_rpcb), &request, Xdr(xdr_wrapstring),
                            &address, 2000),
                  RPC_SUCCESS);
        EXPECT_EQ(std::string(address), "");
        rpcb.FreeResult(Xdr(xdr_wrapstring), &address);
    }
}

// An echo device that tells when the server has taken a response from it.
class WatchedEchoDevice : public kvt::test::EchoDevice {
public:
    std::string TakeResponse() override {
        std::string response = EchoDevice::TakeResponse();
        if (!response.empty()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_taken = true;
            m_changed.notify_all();
        }
        return response;
    }
    bool WaitUntilTaken(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_taken; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_taken = false;
};

TEST_F(Vxi11ServerTest, StopDoesNotWaitOutADelayedReply) {
    m_server.reset();
    auto device = std::make_shared<WatchedEchoDevice>();
    kvt::sim::FaultSettings faults;
    faults.delayMs = 5000;
    m_instrument = std::make_unique<kvt::sim::ServedInstrument>(device, faults, nullptr);
    m_server = std::make_unique<kvt::sim::Vxi11Server>(*m_instrument);
    std::string error;
    ASSERT_TRUE(m_server->Start(uint16_t{0}, error)) << error;
    RpcConnection core;
    long link = Link(core);
    ASSERT_EQ(Write(core, link, "late"), 0);

    // What the pending read got: the call failed, or the device reported an error.
    bool readFailed = false;
    std::thread reader([&] {
        Device_ReadParms parms{};
        parms.lid = link;
        parms.requestSize = 100;
        parms.io_timeout = 10000;
        Device_ReadResp reply{};
        if (core.Call(device_read, Xdr(xdr_Device_ReadParms), &parms, Xdr(xdr_Device_ReadResp),
                      &reply, 10000) != RPC_SUCCESS) {
            readFailed = true;
            return;
        }
        readFailed = reply.error != 0 && reply.data.data_len == 0;
        core.FreeResult(Xdr(xdr_Device_ReadResp), &reply);
    });
    // The server now holds the reply back for the delay.
    bool taken = device->WaitUntilTaken(std::chrono::seconds(5));
    auto start = std::chrono::steady_clock::now();
    m_server->Stop();
    auto stopping = std::chrono::steady_clock::now() - start;
    reader.join();
    ASSERT_TRUE(taken);
    EXPECT_LT(stopping, std::chrono::seconds(1));
    EXPECT_TRUE(readFailed);
}

TEST_F(Vxi11ServerTest, OnlyOneServerRunsInAProcessAndItRestarts) {
    kvt::sim::Vxi11Server other(*m_instrument);
    std::string error;
    EXPECT_FALSE(other.Start(uint16_t{0}, error));
    EXPECT_FALSE(error.empty());
    m_server->Stop();
    ASSERT_TRUE(other.Start(uint16_t{0}, error)) << error;
    RpcConnection core;
    ASSERT_EQ(
        core.Connect(Loopback(other.CorePort()), DEVICE_CORE, DEVICE_CORE_VERSION, Deadline()),
        VI_SUCCESS);
    Create_LinkParms parms{};
    parms.device = const_cast<char*>("inst0");
    Create_LinkResp reply{};
    EXPECT_EQ(core.Call(create_link, Xdr(xdr_Create_LinkParms), &parms, Xdr(xdr_Create_LinkResp),
                        &reply, 2000),
              RPC_SUCCESS);
    EXPECT_EQ(reply.error, 0);
    other.Stop();
}

}  // namespace
