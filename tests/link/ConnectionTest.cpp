// The USB connection against the driver core, the USB library and virtual projectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "link/UsbConfig.h"
#include "platform/drv/DriverCore.h"
#include "tests/link/LinkFixture.h"
#include "tests/link/ScriptedDevice.h"

namespace linktest {
namespace {

using ConnectionTest = LinkTest;

// The driver's log keeps each line without its final line breaks.
std::string Logged(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

bool TraceContains(const std::string& text) {
    const auto log = drv::DebugLog();
    return std::find(log.begin(), log.end(), Logged(text)) != log.end();
}

bool TraceStartsWith(const std::string& start) {
    const auto log = drv::DebugLog();
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

TEST_F(ConnectionTest, MissingUsbFileShowsItsBoxAndOpensNothing) {
    EXPECT_FALSE(lnk::myUSBopen());
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "No INI file found! USB will not work!");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "INI open error");
    EXPECT_EQ(boxes_.Boxes()[0].kind, vcl::BoxKind::Plain);
    EXPECT_FALSE(lnk::driverOpen);
    EXPECT_FALSE(lnk::usbOpen);
    EXPECT_TRUE(lnk::myDevice[0].IsFree());
}

TEST_F(ConnectionTest, OneKeyFillsTheFirstEntry) {
    WriteUsbFile("[USB]\nVID=1501\n[PID_DMD]\n7616=WXGA\n");
    ASSERT_TRUE(lnk::myUSBopen());
    EXPECT_TRUE(lnk::driverOpen);
    EXPECT_TRUE(lnk::usbOpen);
    EXPECT_EQ(lnk::myDevice[0].vendorId, 0x1501);
    EXPECT_EQ(lnk::myDevice[0].productId, 0x7616);
    EXPECT_STREQ(lnk::myDevice[0].name, "WXGA");
    EXPECT_TRUE(lnk::myDevice[1].IsFree());
    EXPECT_STREQ(lnk::myDevice[1].name, "NEW USB Device           ");
}

TEST_F(ConnectionTest, DefaultsLongDescriptionsAndOddIds) {
    WriteUsbFile("[PID_DMD]\n7616=\n0x1234=a description longer than twenty-five\nXGA=zz\n");
    ASSERT_TRUE(lnk::myUSBopen());
    EXPECT_EQ(lnk::myDevice[0].vendorId, 0x1501) << "VID defaults to 1501";
    EXPECT_STREQ(lnk::myDevice[0].name, "") << "an empty value is a value";
    EXPECT_EQ(lnk::myDevice[1].productId, 0x1234);
    EXPECT_STREQ(lnk::myDevice[1].name, "a description longer than");
    EXPECT_EQ(lnk::myDevice[2].productId, 0x0) << "no leading hex digits";
}

TEST(ParseHexId, ReadsAtMostFourLeadingDigits) {
    const std::pair<const char*, uint16_t> cases[] = {
        {"1501", 0x1501},  {"7616", 0x7616}, {"beef", 0xBEEF}, {" 0x1502", 0x1502},
        {"12345", 0x1234}, {"12g4", 0x12},   {"zz", 0},        {"", 0},
        {"0x", 0},         {"0xg", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(lnk::ParseHexId(text), value) << '"' << text << '"';
    }
}

TEST_F(ConnectionTest, MoreKeysThanFreeEntriesTakeOnlyThoseThatFit) {
    for (size_t i = 0; i < 30; ++i) {
        lnk::myDevice[i].vendorId = 0x1111;
        lnk::myDevice[i].productId = static_cast<uint16_t>(i);
    }
    WriteUsbFile("[USB]\nVID=1501\n[PID_DMD]\nA001=a\nA002=b\nA003=c\nA004=d\n");
    ASSERT_TRUE(lnk::myUSBopen());
    EXPECT_EQ(lnk::myDevice[30].productId, 0xA001);
    EXPECT_EQ(lnk::myDevice[31].productId, 0xA002);
    EXPECT_EQ(lnk::myDevice[29].productId, 29);
}

TEST_F(ConnectionTest, FullTableAddsNothing) {
    for (auto& entry : lnk::myDevice) {
        entry.vendorId = 0x1111;
    }
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    EXPECT_TRUE(std::all_of(lnk::myDevice.begin(), lnk::myDevice.end(),
                            [](const lnk::DeviceEntry& e) { return e.vendorId == 0x1111; }));
}

TEST_F(ConnectionTest, ReopenAppendsTheSameKeysAndStillMatchesTheFirst) {
    OpenAttached();
    EXPECT_EQ(lnk::matchIndex, 0);
    lnk::MyUSBclose();
    EXPECT_FALSE(lnk::attached);
    EXPECT_FALSE(lnk::usbOpen);
    EXPECT_FALSE(lnk::driverOpen);
    EXPECT_EQ(lnk::myDevice[0].productId, 0x5010) << "entries are kept when closing";

    ASSERT_TRUE(lnk::myUSBopen());
    EXPECT_EQ(lnk::myDevice[2].productId, 0x5010);
    EXPECT_EQ(lnk::myDevice[3].productId, 0x7616);
    EXPECT_TRUE(lnk::myDevice[4].IsFree());
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); })) << "the projector is still in";
    EXPECT_EQ(lnk::matchIndex, 0);
}

TEST_F(ConnectionTest, OpenWhileOpenChangesNothing) {
    OpenAttached();
    EXPECT_TRUE(lnk::myUSBopen());
    EXPECT_TRUE(lnk::myDevice[2].IsFree());
    EXPECT_TRUE(lnk::attached);
}

TEST_F(ConnectionTest, NormalAttachReadsTheIdentity) {
    sim::ProjectorConfig config;
    config.identity.manufacturer = "Maker";
    config.identity.product = "Beamer 3000";
    drv::ClearDebugLog();
    lnk::identityShown = true;
    OpenAttached(config);
    EXPECT_FALSE(lnk::identityShown);
    EXPECT_FALSE(lnk::ostrelMode);
    EXPECT_EQ(lnk::attachedVendorId, 0x1501);
    EXPECT_EQ(lnk::attachedProductId, 0x5010);
    EXPECT_EQ(lnk::serialNumberIndex, 0);
    EXPECT_EQ(lnk::interfaceNumber, 0);
    EXPECT_EQ(lnk::AttachedDescription(), "XGA");
    const lnk::IdentityStrings strings = lnk::AttachedStrings();
    EXPECT_EQ(strings.manufacturer, "Maker");
    EXPECT_EQ(strings.product, "Beamer 3000");
    // Index 0 is requested like any other and answers the language list (0x0409).
    EXPECT_EQ(strings.serial, "\x09");
    EXPECT_NE(lnk::currentDevice.handle.load(), nullptr);
    EXPECT_EQ(lnk::ConnectionRecords().size(), 1u);

    EXPECT_TRUE(TraceContains("\n<USBMain:DeviceAttach>\n"));
    EXPECT_TRUE(TraceStartsWith(
        "DeviceAttach: received and accepted attach for\nVID:0x1501, PID:0x5010, interface 0, "
        "device handle "));
    EXPECT_TRUE(TraceStartsWith("DeviceAttach: DeviceCount:1 Handle keeps as "));
    EXPECT_TRUE(TraceStartsWith("\nDeviceAttach: Active Device "));
    EXPECT_TRUE(TraceStartsWith("\nDeviceAttach: Set Interface 0 at handle "));
}

TEST_F(ConnectionTest, OstrelModeNamesSerialIndexThreeAndInterfaceOneIsRefused) {
    for (const auto layout :
         {sim::InterfaceLayout::Interface0Then1, sim::InterfaceLayout::Interface1Then0}) {
        SCOPED_TRACE(static_cast<int>(layout));
        sim::ProjectorConfig config;
        config.startMode = sim::Mode::Bootloader;
        config.identity.bootloaderLayout = layout;
        config.identity.serial = "SN-42";
        drv::ClearDebugLog();
        OpenAttached(config);
        ASSERT_TRUE(WaitUntil([] { return TraceContains("\nDeviceAttach: SetInterface 0\n"); }));
        ASSERT_TRUE(WaitUntil([] { return lnk::ConnectionRecords().size() == 1; }));
        EXPECT_TRUE(lnk::attached) << "an Ostrel-mode projector counts as attached";
        EXPECT_TRUE(lnk::ostrelMode);
        EXPECT_EQ(lnk::serialNumberIndex, 3);
        EXPECT_EQ(lnk::interfaceNumber, 0) << "the refused interface is kept as 0";
        EXPECT_TRUE(TraceStartsWith(
            "DeviceAttach: received but REJECTED attach for\nVID:0x1501, PID:0x5010, "
            "interface 1, device handle "));
        EXPECT_EQ(lnk::AttachedStrings().serial, "SN-42");
        EXPECT_EQ(lnk::ConnectionRecords()[0].interfaceNumber, 0u);
        lnk::MyUSBclose();
        projector_.reset();
    }
}

TEST_F(ConnectionTest, InterfaceOneOfANormalProjectorLeavesItDetached) {
    sim::ProjectorConfig config;
    config.identity.applicationLayout = sim::InterfaceLayout::Interface0Then1;
    drv::ClearDebugLog();
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    Projector(config).PlugInto(drv::TheVirtualBus());
    ASSERT_TRUE(WaitUntil([] { return TraceContains("\nDeviceAttach: SetInterface 0\n"); }));
    EXPECT_FALSE(lnk::attached);
    EXPECT_FALSE(lnk::ostrelMode);
}

TEST_F(ConnectionTest, UnknownProjectorIsRefusedWithItsTrace) {
    WriteUsbFile("[USB]\nVID=1501\n[PID_DMD]\n1234=XGA\n");
    ASSERT_TRUE(lnk::myUSBopen());
    drv::ClearDebugLog();
    // Only matching devices are reported by the library; call the callback as it would
    // for a device that is not in the table.
    usb::InterfaceDescriptor interface { 9, 4, 0, 0, 2, 0xFF, 0, 0, 0 };
    usb::AlternateSetting setting{interface, 0, nullptr};
    usb::InterfaceInfo info0{1, &setting, &setting};
    usb::DeviceInfo info{};
    info.deviceDescriptor.idVendor = 0x1501;
    info.deviceDescriptor.idProduct = 0x9999;
    info.activeInterfaceCount = 1;
    info.activeInterfaces = &info0;
    EXPECT_EQ(lnk::DeviceAttach(nullptr, &info, &lnk::LinkContext), 0);
    EXPECT_TRUE(TraceContains("\nDeviceAttach: VID=0x1501 PID=0x9999 but not in myDevice list!\n"));
    EXPECT_TRUE(lnk::ConnectionRecords().empty());
    EXPECT_FALSE(lnk::attached);
}

TEST_F(ConnectionTest, StringsAreBoundedAndMalformedOnesKeepTheOldText) {
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    auto device = std::make_shared<ScriptedDevice>(0x1501, 0x5010, 3);
    device->SetString(1, StringDescriptor(std::string(40, 'M')));  // longer than one read
    device->SetString(2, {1});                                     // a lone byte
    device->SetString(3, {6, 2, 'x', 0, 'y', 0});                  // not a string
    lnk::SetAttachedString(&lnk::IdentityStrings::product, "old product");
    lnk::SetAttachedString(&lnk::IdentityStrings::serial, "old serial");
    drv::TheVirtualBus().Plug(device);
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    const auto strings = lnk::AttachedStrings();
    EXPECT_EQ(strings.manufacturer, std::string(31, 'M'));
    EXPECT_EQ(strings.product, "old product");
    EXPECT_EQ(strings.serial, "old serial");
    EXPECT_TRUE(lnk::ostrelMode);
}

TEST_F(ConnectionTest, FailedDescriptorReadLeavesTheRecordButNotAttached) {
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    for (const int failAt : {0, 2}) {  // the device descriptor, the product string
        SCOPED_TRACE(failAt);
        auto device = std::make_shared<ScriptedDevice>(0x1501, 0x5010, 0);
        device->FailControlFrom(failAt);
        device->SetString(1, StringDescriptor("First"));
        lnk::SetAttachedString(&lnk::IdentityStrings::manufacturer, "before");
        const size_t before = lnk::ConnectionRecords().size();
        drv::TheVirtualBus().Plug(device);
        ASSERT_TRUE(WaitUntil([&] {
            const auto records = lnk::ConnectionRecords();
            return records.size() == before + 1 && records.back().refused;
        }));
        EXPECT_FALSE(lnk::attached);
        EXPECT_EQ(lnk::AttachedStrings().manufacturer, failAt == 0 ? "before" : "First")
            << "strings read before the failure stay";
        EXPECT_TRUE(lnk::ConnectionRecords().back().refused);
        drv::TheVirtualBus().Unplug(device);
    }
    EXPECT_EQ(lnk::ConnectionRecords().size(), 2u) << "no detach comes for a refused device";

    // A projector that attaches afterwards becomes the active device, and its detach
    // still tells the window it has gone.
    Projector().PlugInto(drv::TheVirtualBus());
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    projector_->Unplug();
    EXPECT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
}

TEST_F(ConnectionTest, UnplugFallsBackAndTransfersFindNoDevice) {
    sim::Projector& projector = OpenAttached();
    drv::ClearDebugLog();
    projector.Unplug();
    ASSERT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
    EXPECT_TRUE(lnk::ConnectionRecords().empty());
    EXPECT_NE(lnk::currentDevice.handle.load(), nullptr) << "detach keeps the current device";
    EXPECT_TRUE(TraceStartsWith("\nDeviceDetach: receive detach for device handle "));
    EXPECT_TRUE(TraceStartsWith("\nDeviceDetach: active device "));
    EXPECT_TRUE(TraceStartsWith("DeviceDetach: received detach for device handle "));
    uint8_t buffer[64];
    uint32_t received = 99;
    EXPECT_EQ(lnk::USBReadPipe(lnk::kReadPipe, buffer, &received), drv::kDeviceNotFound);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(lnk::USBWritePipe(lnk::kWritePipe, buffer, 9), drv::kDeviceNotFound);

    projector.Plug();
    EXPECT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
}

TEST_F(ConnectionTest, DetachOfAnUnknownHandleIsIgnored) {
    OpenAttached();
    const auto records = lnk::ConnectionRecords();
    int stranger = 0;
    lnk::DeviceDetach(reinterpret_cast<usb::DeviceContext*>(&stranger), &lnk::LinkContext);
    EXPECT_TRUE(lnk::attached);
    ASSERT_EQ(lnk::ConnectionRecords().size(), records.size());
    EXPECT_EQ(lnk::ConnectionRecords()[0].handle, records[0].handle);
}

TEST_F(ConnectionTest, CloseStopsTheCallbacksBeforeClosingTheirLock) {
    OpenAttached();
    drv::ClearDebugLog();
    lnk::MyUSBclose();
    EXPECT_EQ(lnk::LinkContext.event, nullptr);
    EXPECT_EQ(lnk::LinkContext.lock, nullptr);
    EXPECT_TRUE(lnk::ConnectionRecords().empty()) << "the records of the open are freed";
    EXPECT_FALSE(lnk::attached);
    // The driver handle is closed last, so both close traces still reach the log.
    const auto log = drv::DebugLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0],
              Logged("\n<USBmain:MyUSBclose WDU_Uninit> WDU uninstalled!----------------\n"));
    EXPECT_EQ(log[1],
              Logged("\n<USBmain:MyUSBclose OsEventClose> Eventtable removed!-----------\n"));
    // A projector that comes and goes afterwards reaches no callback.
    projector_->Unplug();
    projector_->Plug();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(lnk::attached);
    EXPECT_TRUE(drv::DebugLog().size() == 2u);
}

TEST_F(ConnectionTest, CloseAfterAFailedOpenClosesOnlyWhatExists) {
    lnk::MyUSBclose();  // nothing open at all
    drv::SetReportedVersion(600);
    WriteUsbFile(kOneProjector);
    EXPECT_FALSE(lnk::myUSBopen()) << "the library refuses an old driver";
    EXPECT_TRUE(lnk::driverOpen);
    EXPECT_FALSE(lnk::usbOpen);
    EXPECT_TRUE(lnk::MyUSBclose());
    EXPECT_FALSE(lnk::driverOpen);
    drv::SetReportedVersion(drv::kMinimumVersion);
    EXPECT_TRUE(lnk::myUSBopen());
}

TEST_F(ConnectionTest, TraceNeedsTheOpenDriverHandleAndIsBounded) {
    drv::ClearDebugLog();
    lnk::DriverTrace("before open");
    EXPECT_TRUE(drv::DebugLog().empty());
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    lnk::DriverTrace(std::string(300, 'x'));
    ASSERT_FALSE(drv::DebugLog().empty());
    EXPECT_EQ(drv::DebugLog().back(), std::string(255, 'x'));
}

TEST_F(ConnectionTest, MissingDriverEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WriteUsbFile(kOneProjector);
    drv::SetUnopenable(true);
    struct PrintingBoxes final : vcl::MessageBoxBackend {
        int Show(const vcl::MessageRecord& box) override {
            std::fprintf(stderr, "%s in %s\n", box.text.c_str(), box.caption.c_str());
            return vcl::idOK;
        }
    };
    EXPECT_EXIT(
        {
            PrintingBoxes printing;
            vcl::SetMessageBoxBackend(&printing);
            lnk::myUSBopen();
        },
        ::testing::ExitedWithCode(1), "USB WinDriver not installed! in myUSBopen");
    drv::SetUnopenable(false);
}

}  // namespace
}  // namespace linktest
