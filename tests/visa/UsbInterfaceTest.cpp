// The USB interface provider: what it lists and in which order, how it
// opens and reports failures, and how it sits beside the in-process
// simulation in the resource manager.
#include "visa/UsbInterface.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "sim/MeterModel.h"
#include "sim/SimulatedMeter.h"
#include "tests/visa/UsbtmcTestBench.h"
#include "visa/ResourceManager.h"
#include "visa/SimulatedInterface.h"

namespace kvt::visa {
namespace {

std::shared_ptr<SimulatedUsbtmcDevice> Meter(UsbDeviceInfo info) {
    return std::make_shared<SimulatedUsbtmcDevice>(std::make_shared<sim::MeterModel>(),
                                                   std::move(info));
}

ResourceName Name(const std::string& text) {
    std::optional<ResourceName> name = ResourceName::Parse(text);
    EXPECT_TRUE(name.has_value()) << text;
    return name.value_or(ResourceName{});
}

TEST(UsbInterface, ListsUsbtmcInterfacesInBusAndPortOrder) {
    auto backend = std::make_shared<SimulatedUsbBackend>();
    backend->Attach(Meter(MakeUsbInfo(2, {1}, 0x1234, 0x0001, "LAST")));
    backend->Attach(Meter(MakeUsbInfo(1, {3, 1}, 0x1234, 0x0002, "HUB 1")));  // space
    backend->Attach(Meter(MakeUsbInfo(1, {3}, 0xF00D, 0x0003, "TWO", 1)));
    backend->Attach(Meter(MakeUsbInfo(1, {3}, 0xF00D, 0x0003, "TWO", 0)));
    backend->Attach(Meter(MakeUsbInfo(1, {4}, 0x1234, 0x0004, "")));
    UsbInterface usb(backend);
    EXPECT_EQ(usb.ListResources(),
              (std::vector<std::string>{
                  "USB0::0xF00D::0x0003::TWO::INSTR", "USB0::0xF00D::0x0003::TWO::1::INSTR",
                  "USB0::0x1234::0x0002::HUB_1::INSTR", "USB0::0x1234::0x0004::0::INSTR",
                  "USB0::0x1234::0x0001::LAST::INSTR"}));
    // Every listed name opens its own device.
    for (const std::string& listed : usb.ListResources()) {
        std::unique_ptr<Session> session;
        ASSERT_EQ(usb.Open(Name(listed), 2000, session), VI_SUCCESS) << listed;
        EXPECT_EQ(session->ResourceName(), listed);
    }
}

TEST(UsbInterface, OpenFailuresAreReportedAsVisaErrors) {
    auto backend = std::make_shared<SimulatedUsbBackend>();
    auto device = Meter(MakeUsbInfo(1, {1}, 0x1234, 0x5678, "SN1"));
    backend->Attach(device);
    UsbInterface usb(backend);
    std::unique_ptr<Session> session;
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::OTHER::INSTR"), 2000, session),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::3::INSTR"), 2000, session),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x9999::SN1::INSTR"), 2000, session),
              VI_ERROR_RSRC_NFOUND);

    // Held by another session (or another program).
    ASSERT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::INSTR"), 2000, session), VI_SUCCESS);
    EXPECT_TRUE(device->Claimed());
    std::unique_ptr<Session> second;
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::INSTR"), 2000, second), VI_ERROR_RSRC_BUSY);
    session.reset();
    EXPECT_FALSE(device->Claimed());  // released, and so given back to the kernel driver

    backend->FailOpen(UsbStatus::AccessDenied);
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::INSTR"), 2000, session),
              VI_ERROR_INV_SETUP);
    backend->FailOpen(UsbStatus::Busy);
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::INSTR"), 2000, session),
              VI_ERROR_RSRC_BUSY);
    backend->FailEnumeration(UsbStatus::Unavailable);
    EXPECT_TRUE(usb.ListResources().empty());
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::INSTR"), 2000, session),
              VI_ERROR_INV_SETUP);
    EXPECT_EQ(session, nullptr);
}

TEST(UsbInterface, AnInterfaceHeldByADriverOrProgramSaysWhatToDo) {
    auto backend = std::make_shared<SimulatedUsbBackend>();
    // A composite device whose USBTMC interface is number 2, beside a plain one.
    backend->Attach(Meter(MakeUsbInfo(1, {4}, 0x1234, 0x5678, "COMPOSITE", 2)));
    backend->Attach(Meter(MakeUsbInfo(1, {5}, 0x1234, 0x5678, "PLAIN", 0)));
    backend->FailOpenOfInterface(2, UsbStatus::DriverAttached);
    UsbInterface usb(backend);
    std::unique_ptr<Session> session;
    testing::internal::CaptureStderr();
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::COMPOSITE::2::INSTR"), 2000, session),
              VI_ERROR_RSRC_BUSY);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("interface 2 of the USBTMC device 0x1234:0x5678 at USB 1-4"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("sudo rmmod usbtmc"), std::string::npos) << said;
    EXPECT_NE(said.find("70-korvata-usbtmc.rules"), std::string::npos) << said;
    EXPECT_EQ(session, nullptr);

    // The other device's interface 0 is not held.
    testing::internal::CaptureStderr();
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::PLAIN::INSTR"), 2000, session), VI_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    session.reset();

    // Held by another program (or by a driver libusb could not tell apart).
    backend->FailOpenOfInterface(0, UsbStatus::Busy);
    testing::internal::CaptureStderr();
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::PLAIN::INSTR"), 2000, session),
              VI_ERROR_RSRC_BUSY);
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("interface 0 of the USBTMC device 0x1234:0x5678 at USB 1-5"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("another program"), std::string::npos) << said;
    EXPECT_NE(said.find("sudo rmmod usbtmc"), std::string::npos) << said;
}

TEST(UsbInterface, ADeviceWeMayNotOpenIsNotListedAndSaysWhy) {
    auto backend = std::make_shared<SimulatedUsbBackend>();
    UsbDeviceInfo locked = MakeUsbInfo(1, {5}, 0x1234, 0x5678, "");
    locked.accessDenied = true;
    backend->Attach(Meter(locked));
    backend->Attach(Meter(MakeUsbInfo(1, {6}, 0x1234, 0x5678, "OPEN")));
    UsbInterface usb(backend);
    EXPECT_EQ(usb.ListResources(), std::vector<std::string>{"USB0::0x1234::0x5678::OPEN::INSTR"});
    std::unique_ptr<Session> session;
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::HIDDEN::INSTR"), 2000, session),
              VI_ERROR_INV_SETUP);
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::OPEN::INSTR"), 2000, session), VI_SUCCESS);
}

TEST(UsbInterface, AnUnpluggedDeviceIsNotOpened) {
    auto backend = std::make_shared<SimulatedUsbBackend>();
    auto device = Meter(MakeUsbInfo(1, {1}, 0x1234, 0x5678, "SN1"));
    backend->Attach(device);
    device->Unplug();
    UsbInterface usb(backend);
    std::unique_ptr<Session> session;
    EXPECT_EQ(usb.Open(Name("USB0::0x1234::0x5678::SN1::INSTR"), 2000, session),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_FALSE(device->Claimed());
}

TEST(UsbInterface, APowerCycledMeterOnAnotherPortIsFoundByItsSerial) {
    // Two meters of one model; the first is opened by the name a search
    // gave, then power-cycled and plugged in elsewhere, after the second.
    auto backend = std::make_shared<SimulatedUsbBackend>();
    auto first = Meter(MakeUsbInfo(1, {1}, 0x1234, 0x5678, "SN1"));
    auto second = Meter(MakeUsbInfo(1, {2}, 0x1234, 0x5678, "SN2"));
    backend->Attach(first);
    backend->Attach(second);
    UsbInterface usb(backend);
    const std::string name = usb.ListResources().front();
    ASSERT_EQ(name, "USB0::0x1234::0x5678::SN1::INSTR");
    std::unique_ptr<Session> session;
    ASSERT_EQ(usb.Open(Name(name), 2000, session), VI_SUCCESS);
    EXPECT_TRUE(first->Claimed());
    session.reset();
    first->Unplug();
    auto back = Meter(MakeUsbInfo(2, {4}, 0x1234, 0x5678, "SN1"));
    backend->Attach(back);
    ASSERT_EQ(usb.ListResources().back(), name);

    ASSERT_EQ(usb.Open(Name(name), 2000, session), VI_SUCCESS);
    EXPECT_EQ(session->ResourceName(), name);
    EXPECT_TRUE(back->Claimed());
    EXPECT_FALSE(second->Claimed());
}

TEST(UsbInterface, TheHostsBusHasNoSuchDevice) {
    // The libusb backend on this host: every name it lists is a USB name,
    // and a device that is not attached is not found.
    UsbInterface usb;
    for (const std::string& listed : usb.ListResources()) {
        EXPECT_EQ(Name(listed).kind, InterfaceKind::Usb);
    }
    std::unique_ptr<Session> session;
    EXPECT_EQ(usb.Open(Name("USB0::0xFFFF::0xFFFE::KVNOSUCH::INSTR"), 2000, session),
              VI_ERROR_RSRC_NFOUND);
}

class UsbBesideSimulation : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        sim::InstallSimulatedMeter();
        m_device = Meter(MakeUsbInfo(3, {1, 2}, 0x0AAD, 0x01BB, "REAL42"));
        auto backend = std::make_shared<SimulatedUsbBackend>();
        backend->Attach(m_device);
        std::vector<std::unique_ptr<InterfaceProvider>> providers;
        providers.push_back(std::make_unique<SimulatedInterface>());
        providers.push_back(std::make_unique<UsbInterface>(backend));
        m_manager = std::make_unique<ResourceManager>(std::move(providers));
        ASSERT_EQ(m_manager->OpenDefaultRM(&m_rm), VI_SUCCESS);
    }
    void TearDown() override { unsetenv("KORVATA_VISA_SIMULATE"); }

    std::vector<std::string> Find(const char* expression) {
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        char desc[VI_FIND_BUFLEN] = {};
        std::vector<std::string> found;
        if (m_manager->FindRsrc(m_rm, expression, &list, &count, desc) != VI_SUCCESS) {
            return found;
        }
        found.push_back(desc);
        while (m_manager->FindNext(list, desc) == VI_SUCCESS) {
            found.push_back(desc);
        }
        EXPECT_EQ(found.size(), count);
        return found;
    }

    std::shared_ptr<SimulatedUsbtmcDevice> m_device;
    std::unique_ptr<ResourceManager> m_manager;
    ViSession m_rm = VI_NULL;
};

TEST_F(UsbBesideSimulation, TheSimulatedMeterIsListedBesideRealOnes) {
    EXPECT_EQ(Find("USB?*INSTR"),
              (std::vector<std::string>{"USB0::0x1209::0x4B56::KVSIM0001::INSTR",
                                        "USB0::0x0AAD::0x01BB::REAL42::INSTR"}));
    EXPECT_EQ(Find("USB?*::0x0AAD::?*"),
              std::vector<std::string>{"USB0::0x0AAD::0x01BB::REAL42::INSTR"});
    unsetenv("KORVATA_VISA_SIMULATE");
    EXPECT_EQ(Find("USB?*INSTR"), std::vector<std::string>{"USB0::0x0AAD::0x01BB::REAL42::INSTR"});
}

TEST_F(UsbBesideSimulation, TheFirstMatchOpensAndAnswersThroughTheManager) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(m_manager->Open(m_rm, "usb0::0x0aad::0x01bb::REAL42::instr", VI_NO_LOCK, 0, &vi),
              VI_SUCCESS);
    EXPECT_TRUE(m_device->Claimed());
    const std::string command = "*IDN?";
    ViUInt32 n = 0;
    ASSERT_EQ(m_manager->Write(vi, reinterpret_cast<ViConstBuf>(command.data()),
                               static_cast<ViUInt32>(command.size()), &n),
              VI_SUCCESS);
    std::string identity = std::string(sim::MeterModel::kIdentity) + "\n";
    char buffer[8] = {};
    ASSERT_EQ(m_manager->Read(vi, reinterpret_cast<ViBuf>(buffer), sizeof buffer, &n),
              VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(std::string(buffer, n), identity.substr(0, 8));
    char rest[256] = {};
    ASSERT_EQ(m_manager->Read(vi, reinterpret_cast<ViBuf>(rest), sizeof rest, &n), VI_SUCCESS);
    EXPECT_EQ(std::string(rest, n), identity.substr(8));

    char name[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(m_manager->GetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
    EXPECT_STREQ(name, "USB0::0x0AAD::0x01BB::REAL42::INSTR");
    ASSERT_EQ(m_manager->Close(m_rm), VI_SUCCESS);  // closes the session too
    EXPECT_FALSE(m_device->Claimed());
    EXPECT_EQ(m_device->Rejected(), 0u);
}

}  // namespace
}  // namespace kvt::visa
