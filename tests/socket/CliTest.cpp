// ostrel-sim's command line and the lines it prints about a projector's activity.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/Frame.h"
#include "sim/cli/ActivityLog.h"
#include "sim/cli/Options.h"

namespace {

using sim::cli::ParseOptions;

std::optional<sim::cli::Options> Parse(std::vector<std::string> arguments) {
    std::string error;
    auto options = ParseOptions(arguments, error);
    EXPECT_EQ(options.has_value(), error.empty()) << error;
    return options;
}

TEST(SimOptions, EveryOptionReachesTheProjector) {
    const auto options = Parse({"--model",
                                "7616",
                                "--chip",
                                "22a8",
                                "--manufacturer",
                                "Maker",
                                "--product-string",
                                "Beamer",
                                "--serial",
                                "AB12",
                                "--logo-address",
                                "0xFE3C0000",
                                "--resolution",
                                "1280x800",
                                "--release=2009-11-30D",
                                "--start-mode",
                                "ostrel",
                                "--count",
                                "3",
                                "--socket",
                                "/tmp/x.sock",
                                "--restart-ms",
                                "250",
                                "--fast",
                                "100"});
    ASSERT_TRUE(options.has_value());
    const sim::ProjectorConfig& p = options->projector;
    EXPECT_EQ(p.identity.productId, 0x7616);
    EXPECT_EQ(p.flash.chip, sim::kChip4MbBoot);
    EXPECT_EQ(p.identity.manufacturer, "Maker");
    EXPECT_EQ(p.identity.product, "Beamer");
    EXPECT_EQ(p.information.logoAddress, 0xFE3C0000u);
    EXPECT_EQ(p.information.width, 1280);
    EXPECT_EQ(p.information.height, 800);
    EXPECT_EQ(p.information.release, (std::array<uint8_t, 4>{9, 11, 30, 3}));
    EXPECT_EQ(p.startMode, sim::Mode::Bootloader);
    EXPECT_EQ(p.timing.restartMs, 250u);
    EXPECT_EQ(options->count, 3);
    EXPECT_EQ(options->socketPath, "/tmp/x.sock");
    EXPECT_DOUBLE_EQ(options->clockSpeed, 100.0);
    EXPECT_EQ(sim::cli::ProjectorAt(*options, 0).identity.serial, "AB12");
    EXPECT_EQ(sim::cli::ProjectorAt(*options, 2).identity.serial, "AB12-3");
}

TEST(SimOptions, DefaultsDescribeTheStandardProjector) {
    const auto options = Parse({});
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(sim::cli::Describe(options->projector),
              "1501:5010 \"Virtual Optics\" \"Virtual Projector\" serial \"SIM-000001\", flash "
              "chip 2249, release 2007-03-01C, logo address 0xFE380000, 1024x768, starts in "
              "application mode");
    EXPECT_FALSE(options->help);
    EXPECT_TRUE(Parse({"-h"})->help);
    EXPECT_EQ(Parse({"--release", "2007-03-01"})->projector.information.release,
              (std::array<uint8_t, 4>{7, 3, 1, 0}))
        << "no letter is revision A";
}

TEST(SimOptions, RefusesWhatItCannotServe) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--model"},
        {"--model", "12345"},
        {"--model", "xyz"},
        {"--chip", "1234"},
        {"--resolution", "1024"},
        {"--resolution", "0x768"},
        {"--resolution", "1024x70000"},
        {"--release", "2007-13-01"},
        {"--release", "1999-01-01"},
        {"--release", "2007-03-01c"},
        {"--release", "07-03-01"},
        {"--start-mode", "sleepy"},
        {"--count", "0"},
        {"--count", "17"},
        {"--fast", "0.5"},
        {"--fast", "fast"},
        {"--serial", std::string(127, 'S')},
        {"--serial", "tab\there"},
        {"--socket", ""},
        {"--restart-ms", "-1"},
    };
    for (const auto& arguments : bad) {
        std::string error;
        EXPECT_FALSE(ParseOptions(arguments, error).has_value()) << arguments[0];
        EXPECT_FALSE(error.empty()) << arguments[0];
    }
}

// Builds the log entry the model makes for a command packet.
sim::LoggedCommand Logged(std::vector<uint8_t> payload, bool executed = true) {
    sim::LoggedCommand entry;
    entry.raw = sim::BuildFrame(0x02, 1, payload);
    const auto decoded = sim::DecodeCommand(payload);
    entry.command = decoded.command;
    entry.name = sim::CommandName(decoded.command);
    entry.detail = sim::DescribeCommand(decoded);
    entry.executed = executed;
    entry.mode = sim::Mode::Bootloader;
    return entry;
}

class ActivityLogTest : public ::testing::Test {
  protected:
    std::vector<std::string> lines_;
    sim::cli::ActivityLog log_{"#1", [this](const std::string& line) { lines_.push_back(line); }};
};

TEST_F(ActivityLogTest, ALongWriteShowsItsFirstEveryBlockOf64AndItsLast) {
    const uint32_t blocks = 200;
    const uint32_t size = blocks * 56;
    log_.Command(Logged({0x34, 0x29, 0x00, 0x00, 0x3F}));  // SetAddress 0x3F0000
    log_.Command(Logged({0x34, 0x2C, static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                         static_cast<uint8_t>(size >> 16)}));
    std::vector<uint8_t> payload = {0x34, 0x25};
    payload.resize(2 + 56, 0x5A);
    for (uint32_t i = 0; i < blocks; ++i) {
        log_.Command(Logged(payload));
    }
    log_.Finish();
    const std::vector<std::string> expected = {
        "#1 SetAddress 0x3F0000",
        "#1 SetSize 0x002BC0",
        "#1 WriteFlashBlock 56 bytes (block 1)",
        "#1 WriteFlashBlock 56 bytes (block 64)",
        "#1 WriteFlashBlock 56 bytes (block 128)",
        "#1 WriteFlashBlock 56 bytes (block 192)",
        "#1 WriteFlashBlock 56 bytes (block 200, last of 11200 bytes)",
    };
    EXPECT_EQ(lines_, expected);
}

TEST_F(ActivityLogTest, ARunCutShortShowsItsLastBlockWhenSomethingElseHappens) {
    std::vector<uint8_t> payload = {0x34, 0x25};
    payload.resize(2 + 56, 0x5A);
    for (int i = 0; i < 10; ++i) {
        log_.Command(Logged(payload));
    }
    log_.Attach(sim::Mode::Bootloader, false);
    const std::vector<std::string> expected = {
        "#1 WriteFlashBlock 56 bytes (block 1)",
        "#1 WriteFlashBlock 56 bytes (block 10, last)",
        "#1 detached",
    };
    EXPECT_EQ(lines_, expected);
}

TEST_F(ActivityLogTest, NamesTheSectorOfAnEraseTheModeChangesAndIgnoredCommands) {
    log_.Attach(sim::Mode::Application, true);
    log_.Command(Logged({0x34, 0x30, 0x01}));
    log_.Attach(sim::Mode::Application, false);
    log_.Attach(sim::Mode::Bootloader, true);
    log_.Command(Logged({0x34, 0x29, 0x00, 0x00, 0x3F}));
    log_.Command(Logged({0x34, 0x28, 0x01}));
    log_.Command(Logged({0x34, 0x05, 0x02, 0x02, 0x71}, /*executed=*/false));
    const std::vector<std::string> expected = {
        "#1 attached in application mode (normal)",
        "#1 EnterBootloader",
        "#1 detached",
        "#1 mode change: application -> bootloader",
        "#1 attached in bootloader mode (Ostrel mode)",
        "#1 SetAddress 0x3F0000",
        "#1 EraseSector 0x3F0000",
        "#1 ReadReleaseDate (ignored in bootloader mode)",
    };
    EXPECT_EQ(lines_, expected);
}

}  // namespace
