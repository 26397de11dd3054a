// The socket bus of the driver against the simulator's socket server, in one process:
// devices come and go with the server, transfers cross in both directions, several at
// a time, and a peer that breaks the protocol is sent away without harm.
#include <sys/stat.h>

#include <fstream>
#include <future>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "platform/drv/SocketBus.h"
#include "sim/Frame.h"
#include "sim/Projector.h"
#include "sim/cli/SocketServer.h"
#include "tests/socket/SocketFixture.h"

namespace socktest {
namespace {

const std::vector<uint8_t> kReadStatus = {0x04, 0x01, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, 0x3a};

// Writes a command packet and returns the answer the device queued for it.
uint32_t Write(drv::BusDevice& device, const std::vector<uint8_t>& packet) {
    std::vector<uint8_t> bytes = packet;
    uint32_t done = 0;
    const uint32_t status =
        device.Transfer(0, sim::kBulkOut, false, bytes.data(), static_cast<uint32_t>(bytes.size()),
                        &done, nullptr, 30000);
    EXPECT_EQ(done, status == drv::kSuccess ? bytes.size() : done);
    return status;
}

struct ReadResult {
    uint32_t status = 0;
    std::vector<uint8_t> bytes;
};

ReadResult Read(drv::BusDevice& device, uint32_t timeoutMs = 30000) {
    ReadResult result;
    result.bytes.resize(64);
    uint32_t done = 0;
    result.status =
        device.Transfer(0, sim::kBulkIn, true, result.bytes.data(), 64, &done, nullptr, timeoutMs);
    result.bytes.resize(done);
    return result;
}

// The status word of a ReadStatus answer (its last two payload bytes, high first).
uint16_t StatusWord(const ReadResult& answer) {
    const auto frame = sim::ParseFrame(answer.bytes);
    if (!frame || frame->payload.size() < 2) {
        return 0xFFFF;
    }
    const auto& p = frame->payload;
    return static_cast<uint16_t>(p[p.size() - 2] << 8 | p[p.size() - 1]);
}

class SocketBusTest : public ::testing::Test {
  protected:
    void SetUp() override { plat::SetClockSpeed(100.0); }

    void TearDown() override {
        bus_.Stop();
        projector_.reset();
        server_.reset();
    }

    sim::cli::SocketServer& Serve() {
        server_ = std::make_unique<sim::cli::SocketServer>(path_);
        std::string error;
        EXPECT_TRUE(server_->Start(error)) << error;
        return *server_;
    }

    sim::Projector& PlugProjector(sim::ProjectorConfig config = {}) {
        projector_ = std::make_unique<sim::Projector>(config);
        projector_->PlugInto(*server_);
        return *projector_;
    }

    // Serves a projector and connects the bus to it.
    std::shared_ptr<drv::BusDevice> Connected() {
        Serve();
        PlugProjector();
        bus_.Start(listener_);
        EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
        auto present = listener_.Present();
        return present.empty() ? nullptr : present[0];
    }

    TempFolder folder_;
    std::string path_ = folder_ / "sim.sock";
    RecordingListener listener_;
    drv::SocketBus bus_{path_};
    std::unique_ptr<sim::cli::SocketServer> server_;
    std::unique_ptr<sim::Projector> projector_;
};

TEST_F(SocketBusTest, NoSimulatorMeansNoDevicesAndAQuickStop) {
    bus_.Start(listener_);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // ten looks at the socket
    EXPECT_EQ(listener_.Arrivals(), 0);
    EXPECT_FALSE(bus_.Connected());
    const auto before = std::chrono::steady_clock::now();
    bus_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

TEST_F(SocketBusTest, TheProjectorArrivesAndAnswersThroughTheSocket) {
    const auto device = Connected();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->DeviceDescriptor(), projector_->Device()->DeviceDescriptor());
    EXPECT_EQ(device->ConfigurationDescriptor(), projector_->Device()->ConfigurationDescriptor());

    EXPECT_EQ(device->SetInterface(0, 0), drv::kSuccess);
    EXPECT_EQ(device->SetInterface(7, 0), drv::kInvalidParameter) << "the device's own answer";

    ASSERT_EQ(Write(*device, kReadStatus), drv::kSuccess);
    const ReadResult answer = Read(*device);
    ASSERT_EQ(answer.status, drv::kSuccess);
    EXPECT_EQ(StatusWord(answer), 8);

    // The control pipe, with its setup packet: the device descriptor, cut to wLength.
    const uint8_t setup[8] = {0x80, 0x06, 0x00, 0x01, 0x00, 0x00, 0x08, 0x00};
    uint8_t buffer[64] = {};
    uint32_t done = 0;
    ASSERT_EQ(device->Transfer(0, 0, true, buffer, sizeof buffer, &done, setup, 1000),
              drv::kSuccess);
    ASSERT_EQ(done, 8u);
    EXPECT_TRUE(std::equal(buffer, buffer + 8, device->DeviceDescriptor().begin()));

    // A read with no answer queued times out on the device's side and says so.
    const ReadResult nothing = Read(*device, 100);
    EXPECT_EQ(nothing.status, drv::kTimeout);
    EXPECT_TRUE(nothing.bytes.empty());
}

TEST_F(SocketBusTest, AReadWaitingForItsAnswerDoesNotHoldUpTheWrite) {
    const auto device = Connected();
    ASSERT_NE(device, nullptr);
    auto reading = std::async(std::launch::async, [&] { return Read(*device); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the read is on its way
    ASSERT_EQ(Write(*device, kReadStatus), drv::kSuccess);
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const ReadResult answer = reading.get();
    EXPECT_EQ(answer.status, drv::kSuccess);
    EXPECT_EQ(StatusWord(answer), 8);
}

TEST_F(SocketBusTest, UnpluggingEndsAWaitingReadAndTheDeviceLeaves) {
    const auto device = Connected();
    ASSERT_NE(device, nullptr);
    auto reading = std::async(std::launch::async, [&] { return Read(*device, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    projector_->Unplug();
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(reading.get().status, drv::kDeviceNotFound);
    EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 0; }));
    EXPECT_EQ(Write(*device, kReadStatus), drv::kDeviceNotFound) << "a departed device";

    projector_->Plug();
    EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
    EXPECT_EQ(listener_.Arrivals(), 2);
    EXPECT_EQ(bus_.Connections(), 1u) << "the same connection carries the new device";
}

TEST_F(SocketBusTest, ASimulatorThatGoesUnplugsItsDevicesAndOneThatComesBackReconnects) {
    ASSERT_NE(Connected(), nullptr);
    server_->Stop();  // the projector is still plugged: the connection takes it along
    EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 0; }));
    EXPECT_FALSE(bus_.Connected());
    EXPECT_EQ(listener_.Departures(), 1);
    projector_.reset();
    server_.reset();

    Serve();
    PlugProjector();
    ASSERT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
    EXPECT_EQ(bus_.Connections(), 2u);
    const auto device = listener_.Present().at(0);
    ASSERT_EQ(Write(*device, kReadStatus), drv::kSuccess);
    EXPECT_EQ(StatusWord(Read(*device)), 8);
}

TEST_F(SocketBusTest, StoppingTheBusReportsItsDevicesAsLeft) {
    ASSERT_NE(Connected(), nullptr);
    bus_.Stop();
    EXPECT_EQ(listener_.Count(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !server_->HasDriver(); }));
}

TEST_F(SocketBusTest, ASecondDriverReplacesTheFirstAndHearsOfEveryDevice) {
    ASSERT_NE(Connected(), nullptr);
    RecordingListener second;
    drv::SocketBus other(path_);
    other.Start(second);
    EXPECT_TRUE(WaitUntil([&] { return second.Count() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 0; })) << "the first was let go";
    other.Stop();
}

TEST_F(SocketBusTest, AProbeThatNeverGreetsLeavesTheDriverConnected) {
    ASSERT_NE(Connected(), nullptr);
    {
        auto probe = RawPeer::Connect(path_);
        ASSERT_NE(probe, nullptr);
        const auto hello = probe->Receive();
        EXPECT_TRUE(hello && std::holds_alternative<sock::Hello>(*hello));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(bus_.Connected());
    EXPECT_EQ(listener_.Count(), 1u);
    EXPECT_EQ(server_->Connections(), 1u);
}

// ---- A simulator that breaks the protocol ----

std::vector<uint8_t> Frames(const std::vector<sock::Message>& messages) {
    std::vector<uint8_t> bytes;
    for (const auto& message : messages) {
        const auto frame = sock::Encode(message);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

sock::DeviceArrived Announced(uint32_t id) {
    const auto descriptors = sim::BuildDescriptors(sim::Identity{}, sim::Mode::Application);
    return sock::DeviceArrived{id, descriptors.device, descriptors.configuration};
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(SocketBusTest, ASimulatorThatSendsGarbageIsDisconnectedAndItsDevicesLeave) {
    const std::vector<uint8_t> greeting = Frames({sock::Hello{}, Announced(5)});
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"no greeting", Frames({Announced(5)})},
        {"text instead of frames", {'H', 'E', 'L', 'L', 'O', '\n', 0, 0}},
        {"a frame beyond 64 KiB", Join(greeting, {0x00, 0x00, 0x10, 0x00, 0x02})},
        {"an unknown message", Join(greeting, {0x01, 0x00, 0x00, 0x00, 0x7F})},
        {"a second greeting", Join(greeting, Frames({sock::Hello{}}))},
        {"the same device twice", Join(greeting, Frames({Announced(5)}))},
        {"an unknown device leaving", Join(greeting, Frames({sock::DeviceLeft{6}}))},
        {"a reply to nothing", Join(greeting, Frames({sock::Reply{77, 0, 0, {}}}))},
        {"a request", Join(greeting, Frames({sock::SetInterface{1, 5, 0, 0}}))},
    };
    bus_.Start(listener_);
    for (const auto& [name, bytes] : cases) {
        RawSimulator simulator(path_);
        auto driver = simulator.Accept();
        ASSERT_NE(driver, nullptr) << name;
        ASSERT_TRUE(driver->SendBytes(bytes)) << name;
        EXPECT_TRUE(driver->Closed()) << name;
        EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 0 && !bus_.Connected(); })) << name;
    }
    EXPECT_EQ(bus_.Connections(), std::size(cases));
}

TEST_F(SocketBusTest, AReplyLargerThanTheReadEndsTheConnectionAndTheTransfer) {
    bus_.Start(listener_);
    RawSimulator simulator(path_);
    auto driver = simulator.Accept();
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(driver->Send(sock::Hello{}));
    ASSERT_TRUE(driver->Send(Announced(5)));
    ASSERT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
    const auto device = listener_.Present()[0];

    auto reading = std::async(std::launch::async, [&] {
        uint8_t buffer[8];
        uint32_t done = 99;
        const uint32_t status =
            device->Transfer(0, sim::kBulkIn, true, buffer, sizeof buffer, &done, nullptr, 0);
        return std::make_pair(status, done);
    });
    const auto request = driver->Receive();
    ASSERT_TRUE(request && std::holds_alternative<sock::Transfer>(*request));
    const auto& transfer = std::get<sock::Transfer>(*request);
    EXPECT_TRUE(transfer.read);
    EXPECT_EQ(transfer.length, 8u);
    EXPECT_EQ(transfer.device, 5u);
    ASSERT_TRUE(driver->Send(sock::Reply{transfer.tag, 0, 9, std::vector<uint8_t>(9, 0xEE)}));

    ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto [status, done] = reading.get();
    EXPECT_EQ(status, drv::kDeviceNotFound);
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(driver->Closed());
    EXPECT_TRUE(WaitUntil([&] { return listener_.Count() == 0; }));
}

TEST_F(SocketBusTest, RepliesMayComeInAnyOrder) {
    bus_.Start(listener_);
    RawSimulator simulator(path_);
    auto driver = simulator.Accept();
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(driver->Send(sock::Hello{}));
    ASSERT_TRUE(driver->Send(Announced(5)));
    ASSERT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
    const auto device = listener_.Present()[0];

    auto first = std::async(std::launch::async, [&] { return Read(*device); });
    const auto readRequest = driver->Receive();
    auto second = std::async(std::launch::async, [&] { return Write(*device, kReadStatus); });
    const auto writeRequest = driver->Receive();
    ASSERT_TRUE(readRequest && writeRequest);
    const auto& read = std::get<sock::Transfer>(*readRequest);
    const auto& write = std::get<sock::Transfer>(*writeRequest);
    EXPECT_EQ(write.out, kReadStatus);
    EXPECT_NE(read.tag, write.tag);

    ASSERT_TRUE(driver->Send(sock::Reply{write.tag, 0, 9, {}}));
    ASSERT_TRUE(driver->Send(sock::Reply{read.tag, 0, 3, {1, 2, 3}}));
    EXPECT_EQ(second.get(), drv::kSuccess);
    const ReadResult answer = first.get();
    EXPECT_EQ(answer.status, drv::kSuccess);
    EXPECT_EQ(answer.bytes, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(SocketBusTest, ASimulatorThatNeverRepliesTimesOutAndItsLateReplyIsTolerated) {
    bus_.Start(listener_);
    RawSimulator simulator(path_);
    auto driver = simulator.Accept();
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(driver->Send(sock::Hello{}));
    ASSERT_TRUE(driver->Send(Announced(5)));
    ASSERT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
    const auto device = listener_.Present()[0];

    // The request's own 100 ms pass, then the grace for a hanging simulator.
    const ReadResult unanswered = Read(*device, 100);
    EXPECT_EQ(unanswered.status, drv::kTimeout);
    const auto request = driver->Receive();
    ASSERT_TRUE(request && std::holds_alternative<sock::Transfer>(*request));
    ASSERT_TRUE(driver->Send(sock::Reply{std::get<sock::Transfer>(*request).tag, 0, 2, {7, 7}}));

    auto next = std::async(std::launch::async, [&] { return Read(*device); });
    const auto nextRequest = driver->Receive();
    ASSERT_TRUE(nextRequest && std::holds_alternative<sock::Transfer>(*nextRequest));
    ASSERT_TRUE(driver->Send(sock::Reply{std::get<sock::Transfer>(*nextRequest).tag, 0, 1, {9}}));
    const ReadResult answer = next.get();
    EXPECT_EQ(answer.status, drv::kSuccess);
    EXPECT_EQ(answer.bytes, (std::vector<uint8_t>{9})) << "the late reply went nowhere";
    EXPECT_TRUE(bus_.Connected());
}

// ---- A driver that breaks the protocol ----

TEST_F(SocketBusTest, ADriverThatSendsGarbageIsDisconnectedAndTheServerCarriesOn) {
    Serve();
    PlugProjector();
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"garbage after the greeting", Join(Frames({sock::Hello{}}), {0xFF, 0xFF, 0xFF, 0x7F})},
        {"a device announcement", Frames({sock::Hello{}, Announced(9)})},
        {"a truncated transfer request",
         Join(Frames({sock::Hello{}}), {0x0A, 0, 0, 0, 0x05, 1, 0, 0, 0, 1, 0, 0, 0, 0})},
        {"a write shorter than its length",
         [] {
             sock::Transfer write;
             write.tag = 1;
             write.device = 1;
             write.pipe = 1;
             write.length = 9;
             write.out = {0x34};
             return Frames({sock::Hello{}, write});
         }()},
    };
    for (const auto& [name, bytes] : cases) {
        auto driver = RawPeer::Connect(path_);
        ASSERT_NE(driver, nullptr) << name;
        ASSERT_TRUE(driver->SendBytes(bytes)) << name;
        EXPECT_TRUE(driver->Closed()) << name;
    }
    // A well-behaved driver is served as before.
    bus_.Start(listener_);
    ASSERT_TRUE(WaitUntil([&] { return listener_.Count() == 1; }));
    const auto device = listener_.Present()[0];
    ASSERT_EQ(Write(*device, kReadStatus), drv::kSuccess);
    EXPECT_EQ(StatusWord(Read(*device)), 8);
}

TEST_F(SocketBusTest, ARequestForADeviceThatLeftIsAnsweredNotFound) {
    Serve();
    PlugProjector();
    auto driver = RawPeer::Connect(path_);
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(driver->Send(sock::Hello{}));
    auto hello = driver->Receive();
    auto arrived = driver->Receive();
    ASSERT_TRUE(arrived && std::holds_alternative<sock::DeviceArrived>(*arrived));
    sock::Transfer transfer;
    transfer.tag = 41;
    transfer.device = std::get<sock::DeviceArrived>(*arrived).device + 1;
    transfer.pipe = sim::kBulkOut;
    transfer.length = static_cast<uint32_t>(kReadStatus.size());
    transfer.out = kReadStatus;
    ASSERT_TRUE(driver->Send(transfer));
    const auto reply = driver->Receive();
    ASSERT_TRUE(reply && std::holds_alternative<sock::Reply>(*reply));
    EXPECT_EQ(std::get<sock::Reply>(*reply), (sock::Reply{41, drv::kDeviceNotFound, 0, {}}));
}

// ---- The socket file ----

TEST_F(SocketBusTest, TheSocketIsTheUsersAloneAndGoesWithTheServer) {
    Serve();
    struct stat info {};
    ASSERT_EQ(::lstat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    sim::cli::SocketServer second(path_);
    std::string error;
    EXPECT_FALSE(second.Start(error)) << "a live simulator keeps its socket";
    EXPECT_NE(error.find("already serving"), std::string::npos) << error;
    EXPECT_EQ(::lstat(path_.c_str(), &info), 0);

    server_->Stop();
    EXPECT_NE(::lstat(path_.c_str(), &info), 0);
}

TEST_F(SocketBusTest, ADeadSimulatorsSocketIsReplacedAndAnyOtherFileKept) {
    { RawSimulator dead(path_); }  // leaves nothing behind: make a stale file by hand
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);  // bound, never listened: what a killed simulator leaves
    std::string error;
    sim::cli::SocketServer server(path_);
    EXPECT_TRUE(server.Start(error)) << error;
    server.Stop();

    const std::string plain = folder_ / "plain";
    { std::ofstream(plain) << "mine"; }
    sim::cli::SocketServer refused(plain);
    EXPECT_FALSE(refused.Start(error));
    EXPECT_TRUE(std::filesystem::exists(plain));
}

}  // namespace
}  // namespace socktest
