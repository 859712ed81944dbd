// The simulated meter's VXI-11 server and built-in portmapper, spoken to
// with plain RPC calls on loopback: links, locks, reasons, the abort
// channel, and the portmapper's answers over TCP and UDP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <rpc/rpc.h>
// after rpc.h, which they need
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    void SetUp() override { Restart(""); }

    // The server anew, with the quirks named.
    void Restart(const char* quirkNames) {
        m_server.reset();
        kvt::sim::QuirkSettings quirks;
        std::string error;
        ASSERT_TRUE(*quirkNames == '\0' || quirks.Apply(quirkNames, error)) << error;
        m_instrument = std::make_unique<kvt::sim::ServedInstrument>(
            m_device, kvt::sim::FaultSettings{}, nullptr);
        m_server = std::make_unique<kvt::sim::Vxi11Server>(*m_instrument, quirks);
        ASSERT_TRUE(m_server->Start(uint16_t{0}, error)) << error;
    }

    // create_link on a connection to the core channel (made when not yet).
    long CreateLink(RpcConnection& core, long& link, u_long lockTimeout = 0) {
        if (!core.Connected()) {
            EXPECT_EQ(core.Connect(Loopback(m_server->CorePort()), DEVICE_CORE, DEVICE_CORE_VERSION,
                                   Deadline()),
                      VI_SUCCESS);
        }
        Create_LinkParms parms{};
        parms.lock_timeout = lockTimeout;
        parms.device = const_cast<char*>("inst0");
        Create_LinkResp reply{};
        EXPECT_EQ(core.Call(create_link, Xdr(xdr_Create_LinkParms), &parms,
                            Xdr(xdr_Create_LinkResp), &reply, 2000),
                  RPC_SUCCESS);
        EXPECT_EQ(reply.abortPort, m_server->AbortPort());
        EXPECT_EQ(reply.maxRecvSize, m_server->MaxRecvSize());
        link = reply.lid;
        return reply.error;
    }

    // A connection to the core channel with a link created on it.
    long Link(RpcConnection& core) {
        long link = 0;
        EXPECT_EQ(CreateLink(core, link), 0);
        return link;
    }

    static long Write(RpcConnection& core, long link, std::string text, u_long lockTimeout = 0) {
        Device_WriteParms parms{};
        parms.lid = link;
        parms.io_timeout = 1000;
        parms.lock_timeout = lockTimeout;
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
                     u_long ioTimeout = 1000, long flags = 0, char termChar = '\0') {
        Device_ReadParms parms{};
        parms.lid = link;
        parms.requestSize = size;
        parms.io_timeout = ioTimeout;
        parms.flags = flags;
        parms.termChar = termChar;
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

// One device_read reply as the tests below expect it.
struct Piece {
    std::string data;
    long reason;
};

struct ShapeCase {
    const char* quirks;
    u_long requestSize;
    char termChar;  // asked for when not '\0'
    std::vector<Piece> pieces;
};

TEST_F(Vxi11ServerTest, QuirksShapeTheReadReplies) {
    const std::string message = "0123456789,abcdefghijklmnopqrstuvwxyz" + std::string(63, '.');
    ASSERT_EQ(message.size(), 100u);
    auto at = [&](size_t from, size_t length) { return message.substr(from, length); };
    const long reqcnt = VXI11_REASON_REQCNT;
    const long chr = VXI11_REASON_CHR;
    const long end = VXI11_REASON_END;
    const std::vector<ShapeCase> cases = {
        {"", 1000, '\0', {{message, end}}},
        {"", 100, '\0', {{message, end | reqcnt}}},
        {"", 1000, ',', {{at(0, 11), chr}, {at(11, 89), end}}},
        {"pieces-40", 1000, '\0', {{at(0, 40), reqcnt}, {at(40, 40), reqcnt}, {at(80, 20), end}}},
        {"pieces-40", 40, '\0', {{at(0, 40), reqcnt}, {at(40, 40), reqcnt}, {at(80, 20), end}}},
        {"pieces-40-bare", 1000, '\0', {{at(0, 40), 0}, {at(40, 40), 0}, {at(80, 20), end}}},
        {"pieces-40,pieces-40-bare",
         1000,
         '\0',
         {{at(0, 40), reqcnt}, {at(40, 40), 0}, {at(80, 20), end}}},
        {"ignore-termchar", 1000, ',', {{message, end}}},
        {"late-end", 1000, '\0', {{message, 0}, {"", end}}},
        {"late-end", 100, '\0', {{message, reqcnt}, {"", end}}},
        {"empty-reads", 1000, '\0', {{"", 0}, {message, end}}},
        {"empty-reads,pieces-40-bare,late-end",
         1000,
         '\0',
         {{"", 0}, {at(0, 40), 0}, {"", 0}, {at(40, 40), 0}, {"", 0}, {at(80, 20), 0}, {"", end}}},
    };
    for (const ShapeCase& c : cases) {
        Restart(c.quirks);
        RpcConnection core;
        long link = Link(core);
        ASSERT_EQ(Write(core, link, message), 0) << c.quirks;
        long flags = c.termChar != '\0' ? VXI11_FLAG_TERMCHRSET : 0;
        for (size_t i = 0; i < c.pieces.size(); ++i) {
            std::string data;
            long reason = -1;
            ASSERT_EQ(Read(core, link, c.requestSize, data, reason, 1000, flags, c.termChar), 0);
            EXPECT_EQ(data, c.pieces[i].data) << c.quirks << " " << c.requestSize << " #" << i;
            EXPECT_EQ(reason, c.pieces[i].reason) << c.quirks << " " << c.requestSize << " #" << i;
        }
        // Nothing more: the next read waits for another reply.
        std::string data;
        long reason = 0;
        EXPECT_EQ(Read(core, link, c.requestSize, data, reason, 10), VXI11_ERR_IO_TIMEOUT)
            << c.quirks;
    }
}

TEST_F(Vxi11ServerTest, ALateEndIsDroppedByTheNextCommand) {
    Restart("late-end");
    RpcConnection core;
    long link = Link(core);
    ASSERT_EQ(Write(core, link, "first"), 0);
    std::string data;
    long reason = 0;
    ASSERT_EQ(Read(core, link, 100, data, reason), 0);
    EXPECT_EQ(data, "first");
    EXPECT_EQ(reason, 0);
    ASSERT_EQ(Write(core, link, "second"), 0);
    ASSERT_EQ(Read(core, link, 100, data, reason), 0);
    EXPECT_EQ(data, "second");
}

TEST_F(Vxi11ServerTest, ASmallReceiveSizeRefusesLongerWrites) {
    for (const char* quirk : {"max-recv-1024", "max-recv-128"}) {
        Restart(quirk);
        const size_t limit = m_server->MaxRecvSize();
        EXPECT_EQ(limit, std::string(quirk) == "max-recv-128" ? 128u : 1024u);
        RpcConnection core;
        long link = Link(core);  // reports the size
        EXPECT_EQ(Write(core, link, std::string(limit + 1, 'x')), VXI11_ERR_PARAMETER) << quirk;
        EXPECT_EQ(Write(core, link, std::string(limit, 'y')), 0) << quirk;
        std::string data;
        long reason = 0;
        ASSERT_EQ(Read(core, link, 4096, data, reason), 0);
        EXPECT_EQ(data, std::string(limit, 'y')) << quirk;  // the refused one took nothing
    }
}

TEST_F(Vxi11ServerTest, NoLockWaitRefusesCallsThatWouldWaitForALock) {
    Restart("no-lock-wait");
    RpcConnection core;
    long link = 0;
    EXPECT_EQ(CreateLink(core, link, 1000), VXI11_ERR_NOT_SUPPORTED);
    ASSERT_EQ(CreateLink(core, link, 0), 0);
    EXPECT_EQ(Write(core, link, "waits", 1000), VXI11_ERR_NOT_SUPPORTED);
    ASSERT_EQ(Write(core, link, "at once"), 0);
    std::string data;
    long reason = 0;
    EXPECT_EQ(Read(core, link, 100, data, reason, 1000, VXI11_FLAG_WAITLOCK),
              VXI11_ERR_NOT_SUPPORTED);
    ASSERT_EQ(Read(core, link, 100, data, reason), 0);
    EXPECT_EQ(data, "at once");
    // device_lock itself may still wait.
    Device_LockParms lock{};
    lock.lid = link;
    lock.flags = VXI11_FLAG_WAITLOCK;
    lock.lock_timeout = 1000;
    Device_Error reply{};
    ASSERT_EQ(core.Call(device_lock, Xdr(xdr_Device_LockParms), &lock, Xdr(xdr_Device_Error),
                        &reply, 2000),
              RPC_SUCCESS);
    EXPECT_EQ(reply.error, 0);
}

TEST_F(Vxi11ServerTest, OneLinkKeepsALinkUntilItIsDestroyed) {
    Restart("one-link");
    RpcConnection first;
    long a = Link(first);
    EXPECT_EQ(m_server->LiveLinks(), 1u);
    RpcConnection second;
    long b = 0;
    EXPECT_EQ(CreateLink(second, b), VXI11_ERR_LOCKED);
    // The connection goes; its link stays and still keeps others out.
    first.Close();
    EXPECT_EQ(CreateLink(second, b), VXI11_ERR_LOCKED);
    EXPECT_EQ(m_server->LiveLinks(), 1u);
    // Destroyed from another connection, it makes room.
    EXPECT_EQ(ByLink(second, destroy_link, a), 0);
    EXPECT_EQ(m_server->LiveLinks(), 0u);
    EXPECT_EQ(CreateLink(second, b), 0);
    EXPECT_EQ(m_server->LiveLinks(), 1u);
}

TEST_F(Vxi11ServerTest, LinksOfAClosedConnectionAreForgottenWithoutOneLink) {
    RpcConnection core;
    Link(core);
    Link(core);
    EXPECT_EQ(m_server->LiveLinks(), 2u);
    core.Close();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_server->LiveLinks() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(m_server->LiveLinks(), 0u);
}

// Reads exactly `size` bytes from a plain socket (bounded).
bool ReadExactly(int fd, char* into, size_t size) {
    while (size > 0) {
        pollfd p{fd, POLLIN, 0};
        ssize_t n = ::poll(&p, 1, 2000) > 0 ? ::recv(fd, into, size, 0) : -1;
        if (n <= 0) {
            return false;
        }
        into += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

TEST_F(Vxi11ServerTest, FragmentsSplitEachReplyRecord) {
    for (const char* quirks : {"", "fragments"}) {
        Restart(quirks);
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in core = Loopback(m_server->CorePort());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&core), sizeof core), 0);
        // A NULLPROC call in one record: xid, CALL, RPC version 2, program,
        // version, procedure 0, and two empty AUTH_NONE.
        const uint32_t xid = 0x4B565431;
        std::vector<uint32_t> call = {
            0x80000000u | 40, xid, 0, 2, DEVICE_CORE, DEVICE_CORE_VERSION, 0, 0, 0, 0, 0};
        for (uint32_t& word : call) {
            word = htonl(word);
        }
        ASSERT_EQ(::send(fd, call.data(), call.size() * 4, MSG_NOSIGNAL), 44);
        std::string record;
        int fragments = 0;
        for (bool last = false; !last;) {
            uint32_t mark = 0;
            ASSERT_TRUE(ReadExactly(fd, reinterpret_cast<char*>(&mark), 4)) << quirks;
            mark = ntohl(mark);
            last = (mark & 0x80000000u) != 0;
            std::string body(mark & 0x7FFFFFFFu, '\0');
            ASSERT_TRUE(ReadExactly(fd, body.data(), body.size())) << quirks;
            record += body;
            ++fragments;
        }
        ::close(fd);
        // The reply: xid, REPLY, accepted, AUTH_NONE, SUCCESS, no results.
        ASSERT_EQ(record.size(), 24u) << quirks;
        std::vector<uint32_t> words(6);
        std::memcpy(words.data(), record.data(), record.size());
        EXPECT_EQ(ntohl(words[0]), xid) << quirks;
        EXPECT_EQ(ntohl(words[1]), 1u) << quirks;
        EXPECT_EQ(ntohl(words[5]), 0u) << quirks;
        EXPECT_EQ(fragments, *quirks == '\0' ? 1 : 3) << quirks;
    }
}

}  // namespace
