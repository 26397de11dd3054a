// The command set against the virtual projector, its faults, and a scripted stand-in for
// answers the model never gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>

#include "tests/link/LinkFixture.h"
#include "tests/link/ScriptedDevice.h"

namespace linktest {
namespace {

using CommandsTest = LinkTest;

std::vector<sim::LoggedCommand> Logged(const sim::Projector& projector, sim::Command command) {
    std::vector<sim::LoggedCommand> found;
    for (const auto& entry : projector.CommandLog()) {
        if (entry.command == command) {
            found.push_back(entry);
        }
    }
    return found;
}

std::vector<uint8_t> Payload(const std::vector<uint8_t>& raw) {
    const size_t n = raw[3] | (raw[4] << 8);
    return {raw.begin() + 5, raw.begin() + 5 + static_cast<long>(n)};
}

sim::ProjectorConfig InBootloader(uint16_t chip = sim::kChip2MbBoot) {
    sim::ProjectorConfig config;
    config.startMode = sim::Mode::Bootloader;
    config.flash.chip = chip;
    return config;
}

TEST_F(CommandsTest, StatusWordInBothModesAndOnThe7616) {
    sim::ProjectorConfig config;
    config.identity.productId = 0x7616;
    OpenAttached(config);
    EXPECT_EQ(lnk::ReadStatus(), 0) << "the 0x7616 application reports 0";
    lnk::model7616 = true;
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
    lnk::MyUSBclose();
    lnk::model7616 = false;

    OpenAttached(InBootloader());
    EXPECT_EQ(lnk::ReadStatus(), lnk::kBootloaderReady);
}

TEST_F(CommandsTest, ModeSwitchesRoundTrip) {
    sim::Projector& projector = OpenAttached();
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
    const uint64_t start = plat::NowMs();
    EXPECT_EQ(lnk::EnterBootloader(), 0u);
    EXPECT_GE(plat::NowMs() - start, 1000u) << "EnterBootloader waits a second";
    ASSERT_TRUE(projector.WaitForAttach(sim::Mode::Bootloader, 20000));
    ASSERT_TRUE(WaitUntil([] { return lnk::attached && lnk::ostrelMode; }));
    EXPECT_EQ(lnk::ReadStatus(), lnk::kBootloaderReady);

    projector.ClearCommandLog();
    const uint64_t exitStart = plat::NowMs();
    EXPECT_EQ(lnk::ExitBootloader(), 0u);
    EXPECT_LT(plat::NowMs() - exitStart, 5000u) << "no answer is waited for";
    const auto exits = Logged(projector, sim::Command::ExitBootloader);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].raw.size(), 9u);
    ASSERT_TRUE(projector.WaitForAttach(sim::Mode::Application, 20000));
    ASSERT_TRUE(WaitUntil([] { return lnk::attached && !lnk::ostrelMode; }));
}

TEST_F(CommandsTest, FlashIdentificationAndSectorStarts) {
    struct Case {
        uint16_t chip;
        uint32_t n;
        uint32_t start;
    };
    for (const Case c : {Case{sim::kChip2MbBoot, 35, 0x200000}, Case{sim::kChip4MbBoot, 8, 0x10000},
                         Case{sim::kChip4MbUniform, 63, 0x3F0000}}) {
        OpenAttached(InBootloader(c.chip));
        EXPECT_EQ(lnk::ReadFlashType(), 0x00010000u | c.chip);
        EXPECT_EQ(lnk::SectorStart(c.n), c.start);
        EXPECT_EQ(lnk::SectorStart(500), 0u) << "past the table";
        lnk::MyUSBclose();
    }
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(CommandsTest, UnsupportedFlashShowsItsBoxAndGivesZero) {
    sim::Projector& projector = OpenAttached(InBootloader());
    sim::Faults faults;
    faults.unsupportedChip = true;
    projector.SetFaults(faults);
    EXPECT_EQ(lnk::ReadFlashType(), 0u);
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "Not supported flash ROM!");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "flash ROM check");
    EXPECT_EQ(lnk::SectorStart(1), 0u);
}

TEST_F(CommandsTest, EraseRangeWriteAndChecksumRoundTrip) {
    sim::Projector& projector = OpenAttached(InBootloader());
    EXPECT_EQ(lnk::EraseSector(0x010000), 0u);
    EXPECT_EQ(projector.ErasedSectors(), (std::vector<size_t>{4}));

    projector.ClearCommandLog();
    EXPECT_EQ(lnk::SetFlashRange(0, 0x200000), 0u);
    const auto log = projector.CommandLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(Payload(log[0].raw), (std::vector<uint8_t>{0x34, 0x29, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Payload(log[1].raw), (std::vector<uint8_t>{0x34, 0x2C, 0x00, 0x00, 0x20}));

    EXPECT_EQ(lnk::SetFlashRange(0x010000, 112), 0u);
    std::vector<uint8_t> data(112);
    std::iota(data.begin(), data.end(), uint8_t{1});
    EXPECT_EQ(lnk::WriteFlashBlock(data.data(), 56), 0u);
    EXPECT_EQ(lnk::WriteFlashBlock(data.data() + 56, 56), 0u);
    EXPECT_EQ(projector.ReadFlash(0x010000, 112), data);
    const uint32_t sum = std::accumulate(data.begin(), data.end(), 0u);
    EXPECT_EQ(lnk::ReadFlashChecksum(), sum);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(CommandsTest, BlockOutcomeTellsASentBlockFromARefusedOrBrokenOne) {
    using lnk::BlockOutcome;
    sim::Projector& projector = OpenAttached(InBootloader());
    ASSERT_EQ(lnk::SetFlashRange(0x010000, 56), 0u);
    const std::vector<uint8_t> data(56, 0x5A);
    BlockOutcome outcome = BlockOutcome::NotSent;
    EXPECT_EQ(lnk::WriteFlashBlock(data.data(), 56, outcome), 0u);
    EXPECT_EQ(outcome, BlockOutcome::Acknowledged);

    sim::Faults faults;
    faults.corruptChecksum = {sim::Command::WriteFlashBlock, 0, 1};
    projector.SetFaults(faults);
    EXPECT_EQ(lnk::WriteFlashBlock(data.data(), 56, outcome), 0u)
        << "an answer that fails its check still leaves status 0";
    EXPECT_EQ(outcome, BlockOutcome::Unconfirmed);

    faults = {};
    faults.loseAnswer = {sim::Command::WriteFlashBlock, 0, 1};
    projector.SetFaults(faults);
    EXPECT_NE(lnk::WriteFlashBlock(data.data(), 56, outcome), 0u);
    EXPECT_EQ(outcome, BlockOutcome::Unconfirmed) << "written, its answer lost";

    // Another packet transaction in progress: the block is refused with 0, unsent.
    faults = {};
    faults.delayMs = 2000;
    faults.delayCommand = sim::Command::SetAddress;
    projector.SetFaults(faults);
    std::thread other([] { lnk::SetFlashRange(0x020000, 56); });
    ASSERT_TRUE(WaitUntil([] { return lnk::PacketBusy(); }));
    const size_t blocksBefore = Logged(projector, sim::Command::WriteFlashBlock).size();
    EXPECT_EQ(lnk::WriteFlashBlock(data.data(), 56, outcome), 0u);
    EXPECT_EQ(outcome, BlockOutcome::NotSent);
    other.join();
    EXPECT_EQ(Logged(projector, sim::Command::WriteFlashBlock).size(), blocksBefore);
}

TEST_F(CommandsTest, OversizedBlocksAndPacketsAreRefusedUnsent) {
    sim::Projector& projector = OpenAttached(InBootloader());
    projector.ClearCommandLog();
    const uint8_t before = lnk::SequenceCounter();
    std::vector<uint8_t> data(254, 0);
    EXPECT_EQ(lnk::WriteFlashBlock(data.data(), 254), drv::kInvalidParameter);

    std::array<uint8_t, 64> answer{};
    std::vector<uint8_t> big(6 + 256, 0);
    big[3] = 0x00;
    big[4] = 0x01;  // N = 256
    EXPECT_EQ(lnk::SendPacket(big, answer), drv::kInvalidParameter);
    std::vector<uint8_t> shortBuffer{0x02, 0, 0, 0x05, 0x00, 0x34, 0x29};  // room for 11
    EXPECT_EQ(lnk::SendPacket(shortBuffer, answer), drv::kInvalidParameter);

    std::string longText;
    for (int i = 0; i < 64; ++i) {
        longText += "00 ";
    }
    EXPECT_EQ(lnk::SendHexCommand(longText, answer), drv::kInvalidParameter);
    EXPECT_EQ(lnk::SendHexCommand("04 01 00 3b 00 34 00", answer), drv::kInvalidParameter)
        << "a length field that puts the checksum past 64 bytes";
    EXPECT_EQ(lnk::SequenceCounter(), before);
    EXPECT_TRUE(projector.CommandLog().empty());
    EXPECT_FALSE(lnk::HexCommandBusy());
    EXPECT_FALSE(lnk::PacketBusy());

    // The largest allowed block still goes out whole (the projector itself reads no more
    // than one 64-byte packet and lets it pass unanswered).
    std::vector<uint8_t> full(253, 0xF0);
    lnk::WriteFlashBlock(full.data(), 253);
    ASSERT_EQ(projector.CommandLog().size(), 1u);
    EXPECT_EQ(projector.CommandLog()[0].raw.size(), 261u);
}

TEST_F(CommandsTest, IdentityQueriesDecodeTheirAnswers) {
    sim::ProjectorConfig config;
    config.information.release = {7, 3, 1, 2};
    config.information.configuration = {5, 0xFE, 3, 9};
    config.information.version = {2, 0, 0x10, 7};
    config.information.unitLife = 0x01020304;
    config.information.logoAddress = 0xFE380000;
    config.information.width = 1280;
    config.information.height = 800;
    sim::Projector& projector = OpenAttached(config);

    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_EQ(lnk::ReadResolution(width, height), 0u);
    EXPECT_EQ(width, 1280u);
    EXPECT_EQ(height, 800u);
    lnk::InfoRecord record{};
    EXPECT_EQ(lnk::ReadReleaseDate(record), 0u);
    EXPECT_EQ(record, (lnk::InfoRecord{7, 3, 1, 2}));
    EXPECT_EQ(lnk::ReadConfig(record), 0u);
    EXPECT_EQ(record, (lnk::InfoRecord{5, 0xFE, 3, 9}));
    projector.ClearCommandLog();
    EXPECT_EQ(lnk::ReadVersion(record), 0u);
    EXPECT_EQ(record, (lnk::InfoRecord{2, 5, 0x10, 7})) << "the second query asks for 0x6B";
    const auto log = projector.CommandLog();
    ASSERT_EQ(log.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Payload(log[i].raw),
                  (std::vector<uint8_t>{0x34, 0x05, 0x02, 0x02, static_cast<uint8_t>(0x6A + i)}));
    }
    uint32_t life = 0;
    EXPECT_EQ(lnk::ReadUnitLife(life), 0u);
    EXPECT_EQ(life, 0x01020304u);
    uint32_t logo = 0;
    EXPECT_EQ(lnk::ReadLogoAddress(logo), 0u);
    EXPECT_EQ(logo, 0xFE380000u);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(CommandsTest, BadChecksumsGiveLengthZeroAndTheDefaults) {
    sim::Projector& projector = OpenAttached();
    sim::Faults faults;
    faults.corruptChecksum = {std::nullopt, 0, sim::kForever};
    projector.SetFaults(faults);

    std::array<uint8_t, 64> answer;
    answer.fill(0x77);
    EXPECT_EQ(lnk::SendHexCommand(lnk::kReadStatusText, answer), 0u);
    EXPECT_EQ(answer[3], 0);
    EXPECT_EQ(answer[4], 0);
    EXPECT_EQ(answer[0], 0x77) << "nothing else is copied";
    EXPECT_EQ(lnk::ReadStatus(), 0);

    uint32_t life = 1;
    EXPECT_EQ(lnk::ReadUnitLife(life), 0u);
    EXPECT_EQ(life, 999u);
    uint32_t logo = 1;
    EXPECT_EQ(lnk::ReadLogoAddress(logo), 0u);
    EXPECT_EQ(logo, 0xDEADBEEFu);
    uint32_t width = 1024;
    uint32_t height = 768;
    EXPECT_EQ(lnk::ReadResolution(width, height), 0u);
    EXPECT_EQ(width, 1024u) << "kept without a valid answer";
    EXPECT_EQ(height, 768u);
    lnk::InfoRecord record{9, 9, 9, 9};
    EXPECT_EQ(lnk::ReadReleaseDate(record), 0u);
    EXPECT_EQ(record, (lnk::InfoRecord{0, 0, 0, 0}));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(CommandsTest, NoAnswerTimesOutAfterThirtySeconds) {
    sim::Projector& projector = OpenAttached();
    sim::Faults faults;
    faults.ignore = {std::nullopt, 0, sim::kForever};
    projector.SetFaults(faults);

    std::array<uint8_t, 64> answer{};
    uint64_t start = plat::NowMs();
    EXPECT_EQ(lnk::SendHexCommand(lnk::kReadStatusText, answer), drv::kTimeout);
    EXPECT_GE(plat::NowMs() - start, 30000u);
    EXPECT_TRUE(boxes_.Boxes().empty()) << "the hex transaction shows nothing";

    start = plat::NowMs();
    uint32_t life = 0;
    EXPECT_EQ(lnk::ReadUnitLife(life), drv::kTimeout);
    EXPECT_GE(plat::NowMs() - start, 30000u);
    EXPECT_EQ(life, 999u);
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "USB readPipe");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "No bytes read");
}

TEST_F(CommandsTest, UnplugDuringTheReadGivesDeviceNotFoundQuietly) {
    sim::Projector& projector = OpenAttached();
    sim::Faults faults;
    faults.delayMs = 20000;
    projector.SetFaults(faults);
    std::atomic<uint32_t> status{1};
    std::array<uint8_t, 64> answer{};
    std::thread reader([&] { status = lnk::SendHexCommand(lnk::kReadStatusText, answer); });
    ASSERT_TRUE(WaitUntil([&] { return !projector.CommandLog().empty(); }));
    projector.Unplug();
    reader.join();
    EXPECT_EQ(status, drv::kDeviceNotFound);
    EXPECT_TRUE(boxes_.Boxes().empty());
    EXPECT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));

    // The next write finds no device and says so.
    EXPECT_EQ(lnk::SendHexCommand(lnk::kReadStatusText, answer), drv::kDeviceNotFound);
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "USB WritePipe");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "Err:02000000F");
}

TEST_F(CommandsTest, EraseWhileUnpluggedWaitsTenAttempts) {
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    const uint64_t start = plat::NowMs();
    EXPECT_EQ(lnk::EraseSector(0x10000), drv::kDeviceNotFound);
    EXPECT_GE(plat::NowMs() - start, 10000u);
    EXPECT_TRUE(boxes_.Boxes().empty()) << "nothing was sent";
}

TEST_F(CommandsTest, FailingEraseRetriesAndReturnsTheLastStatus) {
    sim::Projector& projector = OpenAttached(InBootloader());
    sim::Faults faults;
    faults.failingErase = sim::FailingErase{4, sim::EraseFailure::NoAnswer, 2};
    projector.SetFaults(faults);
    EXPECT_EQ(lnk::EraseSector(0x010000), 0u) << "the third attempt works";
    EXPECT_EQ(Logged(projector, sim::Command::EraseSector).size(), 3u);
    EXPECT_EQ(Logged(projector, sim::Command::SetAddress).size(), 3u);
}

TEST_F(CommandsTest, AddressThatNeverArrivedStopsTheEraseOrTheRangeThatNeedsIt) {
    // The projector keeps its previous address when an address command does not reach it:
    // an erase sent then would wipe the sector at the previous address (here sector 0),
    // and data would go where the previous address pointed.
    sim::Projector& projector = OpenAttached(InBootloader());
    sim::Faults faults;
    faults.ignore = {sim::Command::SetAddress, 0, 1};
    projector.SetFaults(faults);
    EXPECT_EQ(lnk::EraseSector(0x010000), 0u) << "the second attempt works";
    EXPECT_EQ(projector.ErasedSectors(), std::vector<size_t>{4}) << "only the sector asked for";
    EXPECT_EQ(Logged(projector, sim::Command::EraseSector).size(), 1u);

    projector.SetFaults(faults);
    projector.ClearCommandLog();
    EXPECT_NE(lnk::SetFlashRange(0x010000, 56), 0u);
    EXPECT_TRUE(Logged(projector, sim::Command::SetSize).empty()) << "no size without address";
}

TEST_F(CommandsTest, ChecksumAgainstANeverReadyBootloader) {
    sim::Projector& projector = OpenAttached(InBootloader());
    sim::Faults faults;
    faults.statusNeverReady = true;
    projector.SetFaults(faults);
    projector.ClearCommandLog();
    EXPECT_EQ(lnk::ReadFlashChecksum(), 0xFFFFFFFFu);
    EXPECT_EQ(Logged(projector, sim::Command::ReadStatus).size(), 11u);
    EXPECT_TRUE(Logged(projector, sim::Command::ReadFlashChecksum).empty());
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "Bootloader not ready!");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "BL status");
}

struct ChecksumFaultRow {
    const char* name;
    sim::Command command;
    bool ignore;  // no reaction at all, else an answer that fails its check
};

TEST_F(CommandsTest, ChecksumWithoutItsOwnRunOrAnswerIsAFailureNotAStaleOrZeroSum) {
    const ChecksumFaultRow rows[] = {
        {"the run's start never arrives (the last run's sum would be read)",
         sim::Command::StartChecksum, true},
        {"the run's start is answered badly", sim::Command::StartChecksum, false},
        {"the sum's answer never comes (it would read as 0)", sim::Command::ReadFlashChecksum,
         true},
        {"the sum's answer fails its check", sim::Command::ReadFlashChecksum, false},
    };
    sim::Projector& projector = OpenAttached(InBootloader());
    const std::vector<uint8_t> data(56, 0x11);
    ASSERT_EQ(lnk::EraseSector(0x010000), 0u);
    ASSERT_EQ(lnk::SetFlashRange(0x010000, 56), 0u);
    ASSERT_EQ(lnk::WriteFlashBlock(data.data(), 56), 0u);
    ASSERT_EQ(lnk::ReadFlashChecksum(), 56u * 0x11) << "a first run";
    for (const ChecksumFaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Faults faults;
        (row.ignore ? faults.ignore : faults.corruptChecksum) = {row.command, 0, 1};
        projector.SetFaults(faults);
        EXPECT_EQ(lnk::ReadFlashChecksum(), lnk::kChecksumFailed);
    }
}

TEST_F(CommandsTest, ATransactionInProgressRefusesItsOwnKindOnly) {
    sim::Projector& projector = OpenAttached();
    sim::Faults faults;
    faults.delayMs = 3000;
    faults.delayCommand = sim::Command::ReadStatus;
    projector.SetFaults(faults);
    std::thread slow([] { lnk::ReadStatus(); });
    ASSERT_TRUE(WaitUntil([] { return lnk::HexCommandBusy(); }));

    std::array<uint8_t, 64> answer;
    answer.fill(0x42);
    EXPECT_EQ(lnk::SendHexCommand(lnk::kReadStatusText, answer), 0u);
    EXPECT_EQ(answer[3], 0x42) << "the answer is not touched";
    // A packet may overlap a hex command. (Nothing pairs an answer with its command, so
    // the two reads may take each other's answers: only the traffic is checked here.)
    uint32_t life = 0;
    lnk::ReadUnitLife(life);
    slow.join();
    EXPECT_EQ(Logged(projector, sim::Command::ReadStatus).size(), 1u);
    EXPECT_EQ(Logged(projector, sim::Command::ReadUnitLife).size(), 1u);
}

TEST_F(CommandsTest, StatusDecodesTheLastTwoPayloadBytesHighFirst) {
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    auto device = std::make_shared<ScriptedDevice>(0x1501, 0x5010, 0);
    drv::TheVirtualBus().Plug(device);
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    const auto frame = [](std::vector<uint8_t> payload) {
        std::vector<uint8_t> p{0x04, 0, 0, static_cast<uint8_t>(payload.size()), 0};
        p.insert(p.end(), payload.begin(), payload.end());
        p.push_back(static_cast<uint8_t>(std::accumulate(p.begin() + 1, p.end(), 0u)));
        return p;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> payload;
        uint16_t word;
    };
    const Case cases[] = {
        {"length 5", {0x34, 0x00, 0x02, 0x80, 0x00}, 0x8000},
        {"length 4", {0x34, 0x00, 0x12, 0x34}, 0x1234},
        {"length 3", {0x34, 0x80, 0x00}, 0},
        {"length 6", {0x34, 0x00, 0x02, 0x00, 0x80, 0x00}, 0},
    };
    for (const Case& c : cases) {
        device->QueueAnswer(frame(c.payload));
        EXPECT_EQ(lnk::ReadStatus(), c.word) << c.name;
    }
    device->QueueAnswer({});  // a read of no bytes
    uint32_t life = 0;
    EXPECT_EQ(lnk::ReadUnitLife(life), 0u);
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{"USB readPipe"}));
}

}  // namespace
}  // namespace linktest
