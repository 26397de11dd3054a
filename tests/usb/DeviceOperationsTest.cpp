// The per-device operations on an attached fake device: transfers with their fields,
// time-outs and bytes done; interface selection and the cached DeviceInfo.
#include "tests/usb/LibraryFixture.h"

namespace usbtest {
namespace {

constexpr uint16_t kProduct = 0x7616;

class DeviceOperationsTest : public LibraryTest {
  protected:
    // A device with interfaces 0 and 1 (1 has two alternate settings), attached and
    // taken; `device_` is the handle of interface 1.
    void SetUp() override {
        LibraryTest::SetUp();
        recorder_ = &NewRecorder();
        const std::vector<usb::MatchEntry> table{{kVendor, kProduct, {}}};
        ASSERT_EQ(Init(&handle_, table, recorder_->Table()), 0u);
        fake_ = Plug(kProduct, {FakeInterface{0, 1}, FakeInterface{1, 2}});
        ASSERT_TRUE(recorder_->WaitForCount(2));
        device_ = recorder_->Records()[1].device;
        info_ = device_->deviceInfo;
    }

    Recorder* recorder_ = nullptr;
    usb::DriverContext* handle_ = nullptr;
    std::shared_ptr<FakeDevice> fake_;
    usb::DeviceContext* device_ = nullptr;
    usb::DeviceInfo* info_ = nullptr;
};

TEST_F(DeviceOperationsTest, TransfersReachTheDeviceWithTheirFields) {
    uint8_t out[5] = {1, 2, 3, 4, 5};
    uint8_t in[18] = {};
    uint32_t done = 0;
    const uint8_t setup[8] = {0x80, 6, 0, 1, 0, 0, 18, 0};
    EXPECT_EQ(usb::WDU_PipeTransfer(device_, 0x01, 0, 0, out, sizeof(out), &done, nullptr, 30000),
              0u);
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(usb::WDU_ControlTransfer(device_, 1, 0, in, sizeof(in), &done, setup, 10000), 0u);
    EXPECT_EQ(done, 18u);
    EXPECT_EQ(in[17], 0xA5);

    const auto transfers = fake_->Transfers();
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(transfers[0].interfaceNumber, 1u);
    EXPECT_EQ(transfers[0].pipe, 0x01u);
    EXPECT_FALSE(transfers[0].read);
    EXPECT_EQ(transfers[0].length, 5u);
    EXPECT_EQ(transfers[0].setup, std::vector<uint8_t>(8, 0)) << "no setup packet: zeros";
    EXPECT_EQ(transfers[0].timeoutMs, 30000u);
    EXPECT_EQ(transfers[1].pipe, 0u);
    EXPECT_TRUE(transfers[1].read);
    EXPECT_EQ(transfers[1].setup, std::vector<uint8_t>(setup, setup + 8));
    EXPECT_EQ(transfers[1].timeoutMs, 10000u);
}

TEST_F(DeviceOperationsTest, FailedTransfersStillReportTheBytesDone) {
    struct Case {
        const char* name;
        uint32_t status;
        uint32_t done;
    };
    for (const Case& c : {Case{"time-out", drv::kTimeout, 3}, Case{"cancelled", drv::kCancelled, 0},
                          Case{"stall", drv::kUsbdStall, 7}}) {
        SCOPED_TRACE(c.name);
        fake_->AnswerTransfers(c.status, c.done);
        uint8_t in[64];
        uint32_t done = 0xFFFF;
        EXPECT_EQ(usb::WDU_PipeTransfer(device_, 0x81, 1, 0, in, sizeof(in), &done, nullptr, 30000),
                  c.status);
        EXPECT_EQ(done, c.done);
    }
}

TEST_F(DeviceOperationsTest, SetInterfaceMovesTheActiveSettingOnlyWhenTheDriverAgrees) {
    usb::InterfaceInfo& interface = info_->activeInterfaces[0];
    ASSERT_EQ(interface.alternateSettingCount, 2u);
    ASSERT_EQ(interface.activeAlternateSetting, &interface.alternateSettings[0]);

    fake_->AnswerSetInterface(drv::kInvalidParameter);
    EXPECT_EQ(usb::WDU_SetInterface(device_, 1, 1), drv::kInvalidParameter);
    EXPECT_EQ(interface.activeAlternateSetting, &interface.alternateSettings[0]) << "unchanged";

    fake_->AnswerSetInterface(drv::kSuccess);
    EXPECT_EQ(usb::WDU_SetInterface(device_, 1, 1), 0u);
    EXPECT_EQ(interface.activeAlternateSetting, &interface.alternateSettings[1]);
    EXPECT_EQ(interface.activeAlternateSetting->descriptor.bAlternateSetting, 1);

    // A fresh block from the driver reports the setting now in use.
    usb::DeviceInfo* fresh = nullptr;
    ASSERT_EQ(usb::WDU_GetDeviceInfo(device_, &fresh), 0u);
    EXPECT_EQ(fresh->activeInterfaces[0].activeAlternateSetting->descriptor.bAlternateSetting, 1);
    usb::WDU_ReleaseDeviceInfo(fresh);

    const auto calls = fake_->SetInterfaceCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], std::make_pair(1u, 1u));
}

TEST_F(DeviceOperationsTest, SetInterfaceToASettingTheBlockLacksKeepsTheBlockValid) {
    usb::InterfaceInfo& interface = info_->activeInterfaces[0];
    EXPECT_EQ(usb::WDU_SetInterface(device_, 1, 5), 0u) << "the fake device accepts anything";
    EXPECT_EQ(interface.activeAlternateSetting, &interface.alternateSettings[0]);
}

TEST_F(DeviceOperationsTest, DeviceInfoIsOneSelfContainedBlockFromTheDescriptors) {
    drv::DeviceDataRecord size{};
    size.dwUniqueID = device_->dwUniqueID;
    ASSERT_EQ(
        drv::DrvCall(drv::DrvGetDeviceData, handle_->driverHandle, &size, sizeof(size), false), 0u);
    const auto* begin = reinterpret_cast<const uint8_t*>(info_);
    const auto* end = begin + size.size;
    auto inside = [&](const void* p) {
        const auto* b = static_cast<const uint8_t*>(p);
        return b >= begin && b < end;
    };
    EXPECT_EQ(info_->deviceDescriptor.idVendor, kVendor);
    EXPECT_EQ(info_->deviceDescriptor.idProduct, kProduct);
    EXPECT_EQ(info_->deviceDescriptor.iSerialNumber, 3);
    ASSERT_EQ(info_->activeInterfaceCount, 1u);
    ASSERT_TRUE(inside(info_->activeInterfaces));
    const usb::InterfaceInfo& interface = info_->activeInterfaces[0];
    for (uint32_t i = 0; i < interface.alternateSettingCount; ++i) {
        const usb::AlternateSetting& alternate = interface.alternateSettings[i];
        ASSERT_TRUE(inside(&alternate));
        EXPECT_EQ(alternate.descriptor.bInterfaceNumber, 1);
        EXPECT_EQ(alternate.descriptor.bAlternateSetting, i);
        ASSERT_EQ(alternate.endpointCount, 2u);
        ASSERT_TRUE(inside(alternate.endpoints));
        EXPECT_EQ(alternate.endpoints[0].bEndpointAddress, 0x01);
        EXPECT_EQ(alternate.endpoints[1].bEndpointAddress, 0x81);
        const uint16_t maxPacketSize = alternate.endpoints[1].wMaxPacketSize;  // packed field
        EXPECT_EQ(maxPacketSize, 64);
    }
}

}  // namespace
}  // namespace usbtest
