// The pure pieces of the virtual projector: framing, command recognition, the flash
// chips and the USB descriptors.
#include <gtest/gtest.h>

#include "sim/Command.h"
#include "sim/Descriptors.h"
#include "sim/Flash.h"
#include "sim/Frame.h"
#include "tests/sim/HostSide.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Frame, BuildsTheStatusQueryAsTheHostSendsIt) {
    const Bytes payload = {0x34, 0x00, 0x02};
    EXPECT_EQ(sim::BuildFrame(0x04, 1, payload),
              (Bytes{0x04, 0x01, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, 0x3A}));
    EXPECT_EQ(sim::BuildFrame(0x04, 5, payload),
              (Bytes{0x04, 0x05, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, 0x3E}));
}

TEST(Frame, ChecksRawPackets) {
    const Bytes good = simtest::StatusQuery();
    Bytes badSum = good;
    badSum.back() ^= 1;
    Bytes longLength = good;
    longLength[3] = 4;  // claims one byte more than there is
    Bytes trailing = good;
    trailing.push_back(0xEE);
    const struct {
        const char* name;
        Bytes bytes;
        sim::FrameError error;
    } cases[] = {
        {"valid", good, sim::FrameError::None},
        {"trailing bytes ignored", trailing, sim::FrameError::None},
        {"empty", {}, sim::FrameError::Empty},
        {"shorter than a header", {0x04, 0x01, 0x00}, sim::FrameError::Truncated},
        {"length beyond the bytes", longLength, sim::FrameError::Truncated},
        {"wrong checksum", badSum, sim::FrameError::BadChecksum},
        {"more than one packet", Bytes(65, 0), sim::FrameError::TooLong},
    };
    for (const auto& c : cases) {
        sim::FrameError error = sim::FrameError::None;
        const auto frame = sim::ParseFrame(c.bytes, &error);
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(frame.has_value(), c.error == sim::FrameError::None) << c.name;
    }
    const auto frame = sim::ParseFrame(trailing);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->payload, (Bytes{0x34, 0x00, 0x02}));
}

TEST(Command, RecognisesEveryPayload) {
    using sim::Command;
    const struct {
        Bytes payload;
        Command command;
        uint8_t parameter;
        uint32_t value;
    } cases[] = {
        {{0x34, 0x00, 0x02}, Command::ReadStatus, 0x02, 0},
        {{0x34, 0x30, 0x01}, Command::EnterBootloader, 0x01, 0},
        {{0x34, 0x30, 0x02}, Command::ExitBootloader, 0x02, 0},
        {{0x34, 0x03, 0x0A, 0x00, 0x15, 0x0C}, Command::ReadFlashType, 0x0C, 0},
        {{0x34, 0x03, 0x0A, 0x00, 0x15, 0x0D}, Command::ReadFlashType, 0x0D, 0},
        {{0x34, 0x03, 0x0A, 0x00, 0x15, 0x00}, Command::ReadFlashChecksum, 0x00, 0},
        {{0x34, 0x03, 0x0A, 0x00, 0x15, 0x07}, Command::ReadFlashRegister, 0x07, 0},
        {{0x34, 0x26, 0x01}, Command::StartChecksum, 0x01, 0},
        {{0x34, 0x29, 0x00, 0x40, 0x1F}, Command::SetAddress, 0, 0x1F4000},
        {{0x34, 0x2C, 0x00, 0x00, 0x20}, Command::SetSize, 0, 0x200000},
        {{0x34, 0x28, 0x01}, Command::EraseSector, 0x01, 0},
        {{0x34, 0x25, 1, 2, 3}, Command::WriteFlashBlock, 0, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x71}, Command::ReadReleaseDate, 0x71, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x6B}, Command::ReadConfig, 0x6B, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x6A}, Command::ReadVersion, 0x6A, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x6D}, Command::ReadVersion, 0x6D, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x66}, Command::ReadUnitLife, 0x66, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x90}, Command::ReadLogoAddress, 0x90, 0},
        {{0x34, 0x02, 0x04, 0x06, 0x4E}, Command::ReadResolution, 0x4E, 0},
        {{0x34, 0x05, 0x02, 0x02, 0x55}, Command::Unknown, 0, 0},  // no such parameter
        {{0x34, 0x00, 0x02, 0x00}, Command::Unknown, 0, 0},        // status, one byte too many
        {{0x34, 0x29, 0x00, 0x40}, Command::Unknown, 0, 0},        // address too short
        {{0x35, 0x00, 0x02}, Command::Unknown, 0, 0},              // wrong lead byte
        {{0x34}, Command::Unknown, 0, 0},
    };
    for (const auto& c : cases) {
        const auto decoded = sim::DecodeCommand(c.payload);
        EXPECT_EQ(decoded.command, c.command) << sim::DescribeCommand(decoded);
        if (c.command != Command::Unknown) {
            EXPECT_EQ(decoded.parameter, c.parameter) << sim::CommandName(c.command);
            EXPECT_EQ(decoded.value, c.value) << sim::CommandName(c.command);
        }
    }
    EXPECT_EQ(sim::DecodeCommand(Bytes{0x34, 0x25, 1, 2, 3}).data.size(), 3u);
    EXPECT_EQ(sim::DescribeCommand(sim::DecodeCommand(Bytes{0x34, 0x29, 0x00, 0x40, 0x00})),
              "SetAddress 0x004000");
}

TEST(Flash, SectorMapsOfTheThreeChips) {
    const struct {
        uint16_t chip;
        uint32_t size;
        size_t sectors;
        std::vector<std::pair<size_t, uint32_t>> starts;  // index, start
    } cases[] = {
        {sim::kChip2MbBoot,
         0x200000,
         35,
         {{0, 0},
          {1, 0x4000},
          {2, 0x6000},
          {3, 0x8000},
          {4, 0x10000},
          {20, 0x110000},
          {34, 0x1F0000}}},
        {sim::kChip4MbBoot,
         0x400000,
         71,
         {{0, 0}, {1, 0x2000}, {7, 0xE000}, {8, 0x10000}, {70, 0x3F0000}}},
        {sim::kChip4MbUniform, 0x400000, 64, {{0, 0}, {1, 0x10000}, {63, 0x3F0000}}},
    };
    for (const auto& c : cases) {
        sim::FlashMemory flash(c.chip, sim::FlashFill::Erased);
        EXPECT_EQ(flash.Size(), c.size) << std::hex << c.chip;
        ASSERT_EQ(flash.SectorCount(), c.sectors) << std::hex << c.chip;
        for (const auto& [index, start] : c.starts) {
            EXPECT_EQ(flash.SectorStart(index), start) << std::hex << c.chip << " sector " << index;
            EXPECT_EQ(flash.SectorContaining(start), index);
            if (index > 0) {
                EXPECT_EQ(flash.SectorContaining(start - 1), index - 1);
            }
        }
        EXPECT_EQ(flash.SectorContaining(c.size - 1), c.sectors - 1);
        EXPECT_FALSE(flash.SectorContaining(c.size));
    }
    EXPECT_FALSE(sim::GeometryOf(sim::kChipUnsupported));
    EXPECT_THROW(sim::FlashMemory(sim::kChipUnsupported, sim::FlashFill::Erased),
                 std::invalid_argument);
}

TEST(Flash, NorProgrammingOnlyClearsBitsAndEraseTakesAWholeSector) {
    sim::FlashMemory flash(sim::kChip2MbBoot, sim::FlashFill::Erased);
    const Bytes first = {0xF0, 0x0F, 0xAA};
    const Bytes second = {0xCC, 0xFF, 0x55};
    EXPECT_EQ(flash.Program(0x5FFE, first), 3u);  // straddles sectors 1 and 2
    flash.Program(0x5FFE, second);
    EXPECT_EQ(flash.Read(0x5FFE, 3), (Bytes{0xC0, 0x0F, 0x00}));

    flash.EraseSector(1);  // 0x4000 .. 0x5FFF
    EXPECT_EQ(flash.Read(0x5FFE, 3), (Bytes{0xFF, 0xFF, 0x00}));
    EXPECT_EQ(flash.Read(0x3FFF, 1), Bytes{0xFF});

    // Bytes past the end of the chip are dropped, never written elsewhere.
    EXPECT_EQ(flash.Program(0x1FFFFE, Bytes{1, 2, 3, 4}), 2u);
    EXPECT_EQ(flash.Read(0x1FFFFE, 10), (Bytes{1, 2}));
    EXPECT_TRUE(flash.Read(0x200000, 4).empty());
}

TEST(Flash, SumsAsUnsignedBytesAndClipsToTheChip) {
    sim::FlashMemory flash(sim::kChip4MbUniform, sim::FlashFill::Erased);
    EXPECT_EQ(flash.Sum(0, 0x400000), 0x400000u * 0xFF);
    EXPECT_EQ(flash.Sum(0x3FFFFF, 100), 0xFFu);
    EXPECT_EQ(flash.Sum(0x400000, 100), 0u);
    flash.Program(0x10, Bytes{0x00, 0x01});
    EXPECT_EQ(flash.Sum(0x10, 3), 0x01u + 0xFF);
}

TEST(Flash, OldFirmwareFillCannotBeOverwrittenWithoutAnErase) {
    sim::FlashMemory flash(sim::kChip2MbBoot, sim::FlashFill::OldFirmware);
    const Bytes data(64, 0xFF);
    flash.Program(0x100, data);
    EXPECT_NE(flash.Read(0x100, 64), data);
    flash.EraseSector(0);
    flash.Program(0x100, data);
    EXPECT_EQ(flash.Read(0x100, 64), data);
}

TEST(Descriptors, DeviceDescriptorNamesTheModeInItsSerialIndex) {
    sim::Identity identity;
    identity.productId = 0x7616;
    identity.bootloaderProductId = 0x7617;
    const auto app = sim::BuildDescriptors(identity, sim::Mode::Application);
    const auto boot = sim::BuildDescriptors(identity, sim::Mode::Bootloader);
    ASSERT_EQ(app.device.size(), 18u);
    EXPECT_EQ(app.device[0], 18);
    EXPECT_EQ(app.device[1], 1);
    EXPECT_EQ(app.device[8] | app.device[9] << 8, 0x1501);
    EXPECT_EQ(app.device[10] | app.device[11] << 8, 0x7616);
    EXPECT_EQ(boot.device[10] | boot.device[11] << 8, 0x7617);
    EXPECT_EQ(app.device[14], 1);  // iManufacturer
    EXPECT_EQ(app.device[15], 2);  // iProduct
    EXPECT_EQ(app.device[16], 0);  // iSerialNumber
    EXPECT_EQ(boot.device[16], 3);
}

TEST(Descriptors, ConfigurationFollowsTheLayout) {
    const struct {
        sim::InterfaceLayout layout;
        Bytes order;
    } cases[] = {
        {sim::InterfaceLayout::Interface0, {0}},
        {sim::InterfaceLayout::Interface0Then1, {0, 1}},
        {sim::InterfaceLayout::Interface1Then0, {1, 0}},
    };
    for (const auto& c : cases) {
        sim::Identity identity;
        identity.bootloaderLayout = c.layout;
        const auto d = sim::BuildDescriptors(identity, sim::Mode::Bootloader);
        const Bytes& config = d.configuration;
        ASSERT_GE(config.size(), 9u);
        EXPECT_EQ(config[2] | config[3] << 8, static_cast<int>(config.size()));
        EXPECT_EQ(config[4], c.order.size());
        // Walk the descriptors: interfaces in order, endpoints under interface 0.
        Bytes interfaces;
        Bytes endpoints;
        for (size_t at = config[0]; at < config.size(); at += config[at]) {
            ASSERT_GT(config[at], 0);
            if (config[at + 1] == 4) {
                interfaces.push_back(config[at + 2]);
            } else if (config[at + 1] == 5) {
                EXPECT_EQ(interfaces.back(), 0);
                EXPECT_EQ(config[at + 3], 0x02);                      // bulk
                EXPECT_EQ(config[at + 4] | config[at + 5] << 8, 64);  // packet size
                endpoints.push_back(config[at + 2]);
            }
        }
        EXPECT_EQ(interfaces, c.order);
        EXPECT_EQ(endpoints, (Bytes{0x01, 0x81}));
        EXPECT_EQ(d.interfaces, c.order);
    }
}

TEST(Descriptors, StringsAreUtf16LittleEndian) {
    EXPECT_EQ(sim::StringDescriptor("Ab"), (Bytes{6, 3, 'A', 0, 'b', 0}));
    EXPECT_EQ(sim::StringDescriptor("\xC3\xA9"), (Bytes{4, 3, 0xE9, 0x00}));  // é
    EXPECT_EQ(sim::StringDescriptor("\xF0\x9F\x98\x80"),                      // U+1F600
              (Bytes{6, 3, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(sim::StringDescriptor(""), (Bytes{2, 3}));
    const auto longest = sim::StringDescriptor(std::string(300, 'x'));
    EXPECT_EQ(longest.size(), 254u);
    EXPECT_EQ(longest[0], 254);
}

TEST(Descriptors, StandardRequestsHonourWLength) {
    sim::Identity identity;
    identity.serial = "S1";
    const auto d = sim::BuildDescriptors(identity, sim::Mode::Bootloader);
    using Setup = std::array<uint8_t, 8>;
    const struct {
        const char* name;
        Setup setup;
        std::optional<Bytes> answer;
    } cases[] = {
        {"device, 18 bytes", {0x80, 6, 0, 1, 0, 0, 18, 0}, d.device},
        {"device, first 8",
         {0x80, 6, 0, 1, 0, 0, 8, 0},
         Bytes(d.device.begin(), d.device.begin() + 8)},
        {"configuration header",
         {0x80, 6, 0, 2, 0, 0, 9, 0},
         Bytes(d.configuration.begin(), d.configuration.begin() + 9)},
        {"configuration whole", {0x80, 6, 0, 2, 0, 0, 0xFF, 0}, d.configuration},
        {"languages", {0x80, 6, 0, 3, 0x09, 0x04, 0x40, 0}, Bytes{4, 3, 0x09, 0x04}},
        {"serial", {0x80, 6, 3, 3, 0x09, 0x04, 0x40, 0}, Bytes{6, 3, 'S', 0, '1', 0}},
        {"serial, 3 bytes", {0x80, 6, 3, 3, 0x09, 0x04, 3, 0}, Bytes{6, 3, 'S'}},
        {"no string 4", {0x80, 6, 4, 3, 0x09, 0x04, 0x40, 0}, std::nullopt},
        {"no configuration 1", {0x80, 6, 1, 2, 0, 0, 9, 0}, std::nullopt},
        {"no BOS", {0x80, 6, 0, 15, 0, 0, 5, 0}, std::nullopt},
        {"set configuration", {0x00, 9, 1, 0, 0, 0, 0, 0}, Bytes{}},
        {"vendor request", {0xC0, 1, 0, 0, 0, 0, 4, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::AnswerControlRequest(d, c.setup), c.answer) << c.name;
    }
}

}  // namespace
