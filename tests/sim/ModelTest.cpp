// The projector's behaviour behind its pipes, driven packet by packet without a bus.
#include <gtest/gtest.h>

#include <numeric>

#include "platform/clock/Clock.h"
#include "sim/Model.h"
#include "tests/sim/HostSide.h"

namespace {

using Bytes = std::vector<uint8_t>;
using sim::Command;
using sim::Mode;
using namespace simtest;

class FastClock : public ::testing::Environment {
  public:
    void SetUp() override { plat::SetClockSpeed(100.0); }
};
const auto* const kFastClock = ::testing::AddGlobalTestEnvironment(new FastClock);

sim::ProjectorConfig InMode(Mode mode) {
    sim::ProjectorConfig config;
    config.startMode = mode;
    config.flash.fill = sim::FlashFill::Erased;
    return config;
}

std::optional<Bytes> Answer(sim::Model& model, const Bytes& packet) {
    return model.Receive(packet).answer;
}

uint16_t Status(sim::Model& model) {
    const auto answer = Answer(model, StatusQuery());
    return answer ? StatusWordOf(*answer) : 0xFFFF;
}

TEST(Model, StatusWordOfEachMode) {
    sim::ProjectorConfig model7616 = InMode(Mode::Application);
    model7616.identity.productId = sim::kModel7616;
    const struct {
        const char* name;
        sim::ProjectorConfig config;
        uint16_t status;
    } cases[] = {
        {"application", InMode(Mode::Application), 0x0008},
        {"application of the 0x7616 model", model7616, 0x0000},
        {"bootloader", InMode(Mode::Bootloader), 0x8000},
    };
    for (const auto& c : cases) {
        sim::Model model(c.config);
        const auto answer = Answer(model, StatusQuery(0x42));
        ASSERT_TRUE(answer) << c.name;
        EXPECT_TRUE(ChecksumValid(*answer)) << c.name;
        EXPECT_EQ(answer->at(1), 0x42) << c.name << ": the sequence is echoed";
        EXPECT_EQ(answer->at(3) | answer->at(4) << 8, 5) << c.name;
        EXPECT_EQ(answer->size(), 11u) << c.name;
        EXPECT_EQ(StatusWordOf(*answer), c.status) << c.name;
    }
}

TEST(Model, IdentityAnswersLandWhereTheHostReadsThem) {
    sim::ProjectorConfig config = InMode(Mode::Application);
    config.information.release = {7, 3, 1, 2};
    config.information.configuration = {4, 5, 6, 7};
    config.information.version = {1, 99, 3, 250};
    config.information.unitLife = 0x01020304;
    config.information.logoAddress = 0xFE380000;
    config.information.width = 1280;
    config.information.height = 800;
    sim::Model model(config);

    auto at7 = [&](uint8_t parameter) {
        const auto a = Answer(model, Parameter(parameter));
        EXPECT_TRUE(a && ChecksumValid(*a)) << std::hex << int{parameter};
        return a ? Bytes(a->begin() + 7, a->begin() + 11) : Bytes{};
    };
    EXPECT_EQ(at7(0x71), (Bytes{7, 3, 1, 2}));
    EXPECT_EQ(at7(0x6B), (Bytes{4, 5, 6, 7}));
    // Version byte i is byte 7 of query i; the second query shares parameter 0x6B.
    EXPECT_EQ((Bytes{at7(0x6A)[0], at7(0x6B)[0], at7(0x6C)[0], at7(0x6D)[0]}),
              (Bytes{1, 4, 3, 250}));
    EXPECT_EQ(Le32At(*Answer(model, Parameter(0x66)), 7), 0x01020304u);
    EXPECT_EQ(Le32At(*Answer(model, Parameter(0x90)), 7), 0xFE380000u);
    const auto resolution = *Answer(model, Resolution());
    EXPECT_EQ(resolution[7] | resolution[8] << 8, 1280);
    EXPECT_EQ(resolution[9] | resolution[10] << 8, 800);

    sim::Information information;
    information.unitLife = 7;
    model.SetInformation(information);
    EXPECT_EQ(Le32At(*Answer(model, Parameter(0x66)), 7), 7u);
}

TEST(Model, FlashIdentificationWords) {
    sim::ProjectorConfig config = InMode(Mode::Bootloader);
    config.flash.chip = sim::kChip4MbBoot;
    config.flash.firstWord = 0x00C2;
    sim::Model model(config);
    EXPECT_EQ(Word13(*Answer(model, FlashWord(0x0C))), 0x00C2);
    EXPECT_EQ(Word13(*Answer(model, FlashWord(0x0D))), 0x22A8);

    sim::Faults faults;
    faults.unsupportedChip = true;
    model.SetFaults(faults);
    EXPECT_EQ(Word13(*Answer(model, FlashWord(0x0D))), 0x1234);
}

TEST(Model, EachModeAnswersOnlyItsOwnCommands) {
    const struct {
        const char* name;
        Mode mode;
        Bytes packet;
        bool answered;
    } cases[] = {
        {"status in application", Mode::Application, StatusQuery(), true},
        {"status in bootloader", Mode::Bootloader, StatusQuery(), true},
        {"release in application", Mode::Application, Parameter(0x71), true},
        {"release in bootloader", Mode::Bootloader, Parameter(0x71), false},
        {"resolution in bootloader", Mode::Bootloader, Resolution(), false},
        {"flash type in application", Mode::Application, FlashWord(0x0D), false},
        {"erase in application", Mode::Application, Erase(), false},
        {"block in application", Mode::Application, Block({1, 2}), false},
        {"address in bootloader", Mode::Bootloader, SetAddress(0), true},
        {"enter in bootloader", Mode::Bootloader, EnterBootloader(), true},
        {"exit in bootloader: no answer", Mode::Bootloader, ExitBootloader(), false},
        {"exit in application", Mode::Application, ExitBootloader(), false},
        {"unknown parameter", Mode::Application, Parameter(0x55), false},
        {"broken checksum", Mode::Bootloader,
         [] {
             auto p = StatusQuery();
             p.back() ^= 1;
             return p;
         }(),
         false},
    };
    for (const auto& c : cases) {
        sim::Model model(InMode(c.mode));
        const auto answer = Answer(model, c.packet);
        EXPECT_EQ(answer.has_value(), c.answered) << c.name;
        if (answer) {
            EXPECT_TRUE(ChecksumValid(*answer)) << c.name;
        }
    }
}

TEST(Model, LogsEveryPacketDecoded) {
    sim::Model model(InMode(Mode::Bootloader));
    Answer(model, SetAddress(0x4000));
    Bytes broken = StatusQuery();
    broken.back() ^= 1;
    Answer(model, broken);
    Answer(model, Parameter(0x71));
    const auto log = model.CommandLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].command, Command::SetAddress);
    EXPECT_EQ(log[0].detail, "SetAddress 0x004000");
    EXPECT_EQ(log[0].raw, SetAddress(0x4000));
    EXPECT_EQ(log[0].mode, Mode::Bootloader);
    EXPECT_TRUE(log[0].executed && log[0].answered);
    EXPECT_EQ(log[1].name, "Malformed");
    EXPECT_EQ(log[1].detail, "bad checksum");
    EXPECT_FALSE(log[1].answered);
    EXPECT_EQ(log[2].command, Command::ReadReleaseDate);
    EXPECT_FALSE(log[2].executed);
    const auto counts = model.Counts();
    EXPECT_EQ(counts.commands, 3u);
    EXPECT_EQ(counts.malformed, 1u);
    EXPECT_EQ(counts.refused, 1u);
    EXPECT_EQ(counts.answers, 1u);
}

// The flash sequence of a job: erase by address, set the range, stream blocks,
// then checksum the range.
class FlashJob : public ::testing::Test {
  protected:
    FlashJob() : model(InMode(Mode::Bootloader)) {
        const Bytes old(0x20000, 0x00);
        model.LoadFlash(0, old);  // every bit clear: nothing can be written unerased
    }

    void EraseAt(uint32_t address) {
        ASSERT_TRUE(Answer(model, SetAddress(address)));
        ASSERT_TRUE(Answer(model, Erase()));
    }

    void WriteRange(uint32_t address, const Bytes& data, size_t blockSize = 56) {
        ASSERT_TRUE(Answer(model, SetAddress(address)));
        ASSERT_TRUE(Answer(model, SetSize(static_cast<uint32_t>(data.size()))));
        for (size_t at = 0; at < data.size(); at += blockSize) {
            const size_t n = std::min(blockSize, data.size() - at);
            ASSERT_TRUE(Answer(model, Block(Bytes(data.begin() + at, data.begin() + at + n))));
        }
    }

    uint32_t DeviceChecksum() {
        EXPECT_TRUE(Answer(model, StartChecksum()));
        EXPECT_EQ(Status(model), 0x8000);
        return Le32At(*Answer(model, FlashWord(0x00)), 13);
    }

    sim::Model model;
};

TEST_F(FlashJob, ErasedAndWrittenRangeReadsBackWithItsSum) {
    Bytes data(1000);
    std::iota(data.begin(), data.end(), uint8_t{0});
    EraseAt(0x4000);  // sector 1 of the 2 MB chip: 0x4000 .. 0x5FFF
    WriteRange(0x4000, data);
    EXPECT_EQ(model.ReadFlash(0x4000, 1000), data);
    EXPECT_EQ(model.ErasedSectors(), std::vector<size_t>{1});
    EXPECT_EQ(model.Range().writePosition, 0x4000u + 1000);
    EXPECT_EQ(DeviceChecksum(), std::accumulate(data.begin(), data.end(), 0u));
    EXPECT_EQ(model.Counts().blocksWritten, 18u);  // 17 × 56 + 48
}

TEST_F(FlashJob, EraseTakesTheSectorHoldingTheAddress) {
    EraseAt(0x11234);  // inside sector 4 (0x10000 .. 0x1FFFF)
    EXPECT_EQ(model.ErasedSectors(), std::vector<size_t>{4});
    EXPECT_EQ(model.ReadFlash(0x10000, 1), Bytes{0xFF});
    EXPECT_EQ(model.ReadFlash(0x1FFFF, 1), Bytes{0xFF});
    EXPECT_EQ(model.ReadFlash(0xFFFF, 1), Bytes{0x00});
    EXPECT_EQ(model.ReadFlash(0x20000, 1), Bytes{0xFF});  // beyond the loaded zeros
}

TEST_F(FlashJob, WritingWithoutEraseKeepsClearedBitsAndTheSumShowsIt) {
    const Bytes data(56, 0xA5);
    WriteRange(0x8000, data);
    EXPECT_EQ(model.ReadFlash(0x8000, 56), Bytes(56, 0x00));
    EXPECT_EQ(DeviceChecksum(), 0u);
}

TEST_F(FlashJob, EraseBeyondTheChipIsReportedNotReady) {
    EraseAt(0x200000);
    EXPECT_TRUE(model.ErasedSectors().empty());
    EXPECT_EQ(Status(model), 0x0000);
    EraseAt(0x0);
    EXPECT_EQ(Status(model), 0x8000);
}

TEST_F(FlashJob, ChecksumRunKeepsTheStatusBusyForItsTime) {
    sim::ProjectorConfig config = InMode(Mode::Bootloader);
    config.timing.checksumBusyMs = 300;
    sim::Model slow(config);
    ASSERT_TRUE(Answer(slow, StartChecksum()));
    EXPECT_EQ(Status(slow), 0x0000);
    plat::Sleep(400);
    EXPECT_EQ(Status(slow), 0x8000);
}

TEST(Model, ModeSwitchesAskTheBusSideToLeaveAndReturn) {
    sim::Model model(InMode(Mode::Application));
    const auto enter = model.Receive(EnterBootloader());
    ASSERT_TRUE(enter.answer);
    EXPECT_TRUE(ChecksumValid(*enter.answer));
    EXPECT_EQ(enter.leave, sim::Leave::AfterAnswer);
    EXPECT_EQ(enter.comeBackIn, Mode::Bootloader);
    EXPECT_EQ(enter.awayMs, sim::Timing{}.restartMs);

    model.Attached(Mode::Bootloader);
    Answer(model, SetAddress(0x4000));
    model.Attached(Mode::Bootloader);  // a pulled cable keeps the range
    EXPECT_EQ(model.Range().address, 0x4000u);

    const auto exit = model.Receive(ExitBootloader());
    EXPECT_FALSE(exit.answer);
    EXPECT_EQ(exit.leave, sim::Leave::AfterAnswer);
    EXPECT_EQ(exit.comeBackIn, Mode::Application);
    model.Attached(Mode::Application);
    model.Attached(Mode::Bootloader);  // a restart forgets it
    EXPECT_EQ(model.Range().address, 0u);
}

TEST(ModelFaults, AnswerFaultsCountSkipsAndMatches) {
    sim::Model model(InMode(Mode::Bootloader));
    sim::Faults faults;
    faults.ignore = {Command::SetAddress, 1, 2};  // the 2nd and 3rd SetAddress vanish
    model.SetFaults(faults);
    EXPECT_TRUE(Answer(model, SetAddress(0x10)));
    EXPECT_FALSE(Answer(model, SetAddress(0x20)));
    EXPECT_TRUE(Answer(model, StatusQuery()));  // other commands are not counted
    EXPECT_FALSE(Answer(model, SetAddress(0x30)));
    EXPECT_TRUE(Answer(model, SetAddress(0x40)));
    EXPECT_EQ(model.Range().address, 0x40u);
    EXPECT_EQ(model.CurrentFaults().ignore.count, 0u);
}

TEST(ModelFaults, IgnoredCommandHasNoEffectButALostAnswerDoes) {
    sim::Model model(InMode(Mode::Bootloader));
    sim::Faults faults;
    faults.ignore = {Command::SetAddress, 0, 1};
    faults.loseAnswer = {Command::WriteFlashBlock, 0, 1};
    model.SetFaults(faults);
    EXPECT_FALSE(Answer(model, SetAddress(0x100)));
    EXPECT_EQ(model.Range().address, 0u);
    Answer(model, SetAddress(0x0));
    Answer(model, Erase());
    EXPECT_FALSE(Answer(model, Block({0x12})));  // written, acknowledgement lost
    EXPECT_EQ(model.ReadFlash(0, 1), Bytes{0x12});
    EXPECT_TRUE(Answer(model, Block({0x34})));
    EXPECT_EQ(model.ReadFlash(1, 1), Bytes{0x34});
}

TEST(ModelFaults, CorruptedChecksumForever) {
    sim::Model model(InMode(Mode::Application));
    sim::Faults faults;
    faults.corruptChecksum = {std::nullopt, 0, sim::kForever};
    model.SetFaults(faults);
    for (int i = 0; i < 3; ++i) {
        const auto answer = Answer(model, StatusQuery());
        ASSERT_TRUE(answer);
        EXPECT_FALSE(ChecksumValid(*answer));
        EXPECT_EQ(StatusWordOf(*answer), 8);  // only the checksum is wrong
    }
}

TEST(ModelFaults, StatusNeverReady) {
    sim::Model model(InMode(Mode::Bootloader));
    model.SetFaults(FaultsWith([](sim::Faults& f) { f.statusNeverReady = true; }));
    EXPECT_EQ(Status(model), 0x0000);
    model.SetFaults({});
    EXPECT_EQ(Status(model), 0x8000);
}

TEST(ModelFaults, FailingEraseLeavesTheSectorAndTellsTheHost) {
    const struct {
        const char* name;
        sim::EraseFailure how;
        bool answered;
        uint16_t statusAfter;
    } cases[] = {
        {"status not ready", sim::EraseFailure::StatusNotReady, true, 0x0000},
        {"no answer", sim::EraseFailure::NoAnswer, false, 0x8000},
    };
    for (const auto& c : cases) {
        sim::Model model(InMode(Mode::Bootloader));
        model.LoadFlash(0x10000, Bytes{0x00});
        model.SetFaults(FaultsWith([&](sim::Faults& f) {
            f.failingErase = sim::FailingErase{4, c.how, 2};
        }));
        Answer(model, SetAddress(0x10000));
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(Answer(model, Erase()).has_value(), c.answered) << c.name;
            EXPECT_EQ(Status(model), c.statusAfter) << c.name;
            EXPECT_EQ(model.ReadFlash(0x10000, 1), Bytes{0x00}) << c.name;
        }
        // The third attempt works and clears the error.
        EXPECT_TRUE(Answer(model, Erase())) << c.name;
        EXPECT_EQ(Status(model), 0x8000) << c.name;
        EXPECT_EQ(model.ReadFlash(0x10000, 1), Bytes{0xFF}) << c.name;
        EXPECT_EQ(model.ErasedSectors(), std::vector<size_t>{4}) << c.name;
    }
}

TEST(ModelFaults, DetachDuringWrite) {
    for (const bool written : {true, false}) {
        sim::Model model(InMode(Mode::Bootloader));
        Answer(model, SetAddress(0));
        Answer(model, Erase());
        model.SetFaults(FaultsWith([&](sim::Faults& f) {
            f.detachDuringWrite = sim::DetachDuringWrite{2, written, 1000};
        }));
        EXPECT_TRUE(Answer(model, Block({1})));
        const auto reaction = model.Receive(Block({2}));
        EXPECT_FALSE(reaction.answer);
        EXPECT_EQ(reaction.leave, sim::Leave::Now);
        EXPECT_EQ(reaction.comeBackIn, Mode::Bootloader);
        EXPECT_EQ(reaction.awayMs, 1000u);
        EXPECT_EQ(model.ReadFlash(1, 1), Bytes{static_cast<uint8_t>(written ? 2 : 0xFF)});
        EXPECT_EQ(model.Range().writePosition, written ? 2u : 1u);
        EXPECT_FALSE(model.CurrentFaults().detachDuringWrite) << "fires once";
        EXPECT_TRUE(Answer(model, Block({3})));
    }
}

TEST(ModelFaults, SlowAnswersCarryTheirDelay) {
    sim::Model model(InMode(Mode::Bootloader));
    model.SetFaults(FaultsWith([](sim::Faults& f) {
        f.delayMs = 250;
        f.delayCommand = Command::EraseSector;
    }));
    EXPECT_EQ(model.Receive(Erase()).answerDelayMs, 250u);
    EXPECT_EQ(model.Receive(StatusQuery()).answerDelayMs, 0u);
}

}  // namespace
