// Whole firmware jobs from Start to the projector's restart against the virtual
// projector: every chip, both image layouts, with and without the boot area and the
// reset; the confirmations; and the faults a job meets on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>
#include <regex>
#include <thread>

#include "app/shell/InfoText.h"
#include "tests/app/JobFixture.h"

namespace apptest {
namespace {

using ostrel::FlashJob;
using ostrel::FormOstrel;
using sim::Command;

constexpr uint32_t kImageSize = 0x8000;
constexpr uint32_t kBoot = firmware::kBootSize;
const std::regex kVerifiedLine("Update Completed!   Checksum:0x[0-9A-F]{8} Verified!");

std::vector<uint8_t> Image(bool layout2, uint32_t size = kImageSize,
                           std::array<uint8_t, 4> release = {8, 1, 15, 1}) {
    firmware::SampleImageSpec spec;
    spec.size = size;
    spec.model7616 = layout2;
    std::copy(release.begin(), release.end(), spec.release);
    return firmware::MakeSampleImage(spec);
}

sim::ProjectorConfig Projector(uint16_t chip, bool model7616) {
    sim::ProjectorConfig config;
    config.flash.chip = chip;
    if (model7616) {
        config.identity.productId = 0x7616;
        config.information.logoAddress = 0xFD000000;
    }
    return config;
}

std::vector<size_t> Descending(size_t top, size_t first) {
    std::vector<size_t> sectors;
    for (size_t index = top + 1; index-- > first;) {
        sectors.push_back(index);
    }
    return sectors;
}

class FlashJobTest : public JobWindow {
  protected:
    // Attaches, loads the image and leaves the window ready to start.
    sim::Projector& Ready(const sim::ProjectorConfig& config, const std::vector<uint8_t>& image,
                          bool skipBoot = false) {
        sim::Projector& projector = Attach(config);
        FormOstrel->CheckBoxSkipBoot->SetChecked(skipBoot);
        Choose(WriteFile("firmware.img", image));
        EXPECT_TRUE(FormOstrel->btnFlash->Enabled());
        boxes_.Clear();
        return projector;
    }
};

struct JobRow {
    const char* name;
    uint16_t chip;
    bool layout2;
    bool skipBoot;
    bool reset;
    size_t top, first;  // the sectors the erase takes, top down
};

TEST_F(FlashJobTest, CompleteJobsEndVerifiedWithTheImageInFlash) {
    const JobRow rows[] = {
        {"2249 layout 1, whole image, reset", sim::kChip2MbBoot, false, false, true, 34, 0},
        {"2249 layout 2, boot skipped, no reset", sim::kChip2MbBoot, true, true, false, 34, 1},
        {"22A8 layout 1, boot skipped, reset", sim::kChip4MbBoot, false, true, true, 70, 2},
        {"22A8 layout 2, whole image, no reset", sim::kChip4MbBoot, true, false, false, 70, 0},
        {"2016 layout 1, whole image, no reset", sim::kChip4MbUniform, false, false, false, 63, 0},
        {"2016 layout 2, boot skipped, reset", sim::kChip4MbUniform, true, true, true, 63, 1},
    };
    for (const JobRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> image = Image(row.layout2);
        sim::Projector& projector = Ready(Projector(row.chip, row.layout2), image, row.skipBoot);
        if (row.chip == sim::kChip4MbUniform && row.skipBoot) {
            // Sector 0 is spared whole, so the write lands in it unerased: a projector
            // whose sector 0 holds nothing but its boot code.
            projector.LoadFlash(kBoot, std::vector<uint8_t>(0x10000 - kBoot, 0xFF));
        }
        FormOstrel->cbReset->SetChecked(row.reset);
        const std::vector<uint8_t> bootBefore = projector.ReadFlash(0, kBoot);

        ASSERT_TRUE(RunJob());
        EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();
        const uint32_t start = row.skipBoot ? kBoot : 0;
        EXPECT_EQ(projector.ReadFlash(start, kImageSize - start),
                  std::vector<uint8_t>(image.begin() + start, image.end()));
        EXPECT_EQ(projector.ErasedSectors(), Descending(row.top, row.first));
        if (row.skipBoot) {
            EXPECT_EQ(projector.ReadFlash(0, kBoot), bootBefore) << "the boot area was touched";
        }
        const uint32_t sum = std::accumulate(image.begin() + start, image.end(), 0u);
        EXPECT_EQ(FormOstrel->lblCheckSum->Caption(),
                  shell::FormatText("Checksum:0x%08X Verified!", sum));
        EXPECT_EQ(BoxCount("Warning") + BoxCount("Warning again"), 2u) << "a newer image";
        EXPECT_EQ(Captions().size(), 2u) << "no other box";
        EXPECT_EQ(CountOf(projector, Command::ExitBootloader), row.reset ? 1u : 0u);
        EXPECT_EQ(FormOstrel->btnFlash->Caption(), "Start");
        EXPECT_TRUE(FormOstrel->BorderIcons().Contains(vcl::biSystemMenu));
        Renew();
    }
}

constexpr char kOlderQuestion[] =
    "File release date is older than device's!\n\n      Press <OK> to replace it.";
constexpr char kStartQuestion[] = "Press <OK> to start erase and update the firmware";
constexpr char kIrreversibleQuestion[] =
    "Firmware update is not reversible!\n\n  Once it started it can not stop!\n\n"
    "          Press <OK> to start!";

struct QuestionRow {
    const char* name;
    std::array<uint8_t, 4> release;  // the projector reports 7, 3, 1, 2
    std::vector<int> answers;
    std::vector<std::string> asked;
    bool starts;
};

TEST_F(FlashJobTest, ReleaseQuestionOnlyForAnOlderImageAndCancelStartsNothing) {
    using vcl::idCancel;
    using vcl::idOK;
    const std::vector<std::string> all = {kOlderQuestion, kStartQuestion, kIrreversibleQuestion};
    const std::vector<std::string> two = {kStartQuestion, kIrreversibleQuestion};
    const QuestionRow rows[] = {
        {"newer image", {8, 1, 15, 1}, {idOK, idOK}, two, true},
        {"same release", {7, 3, 1, 2}, {idOK, idOK}, two, true},
        {"a lower revision the same day", {7, 3, 1, 1}, {idOK, idOK, idOK}, all, true},
        {"older: cancel the release question", {7, 2, 28, 2}, {idCancel}, {all[0]}, false},
        {"older: cancel the second", {6, 12, 31, 9}, {idOK, idCancel}, {all[0], all[1]}, false},
        {"older: cancel the third", {7, 3, 1, 0}, {idOK, idOK, idCancel}, all, false},
        {"newer: cancel the first", {9, 1, 1, 0}, {idCancel}, {two[0]}, false},
        {"newer: cancel the second", {9, 1, 1, 0}, {idOK, idCancel}, two, false},
    };
    for (const QuestionRow& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Projector& projector =
            Ready(Projector(sim::kChip2MbBoot, false), Image(false, kImageSize, row.release));
        projector.ClearCommandLog();
        for (int answer : row.answers) {
            boxes_.Answer(answer);
        }
        FormOstrel->btnFlash->Click();
        EXPECT_EQ(boxes_.Texts(), row.asked);
        for (const vcl::MessageRecord& box : boxes_.Boxes()) {
            EXPECT_EQ(box.buttons, vcl::mbOKCancel);
            EXPECT_EQ(box.kind, vcl::BoxKind::Plain);
        }
        EXPECT_EQ(FlashJob.busy.load(), row.starts);
        if (row.starts) {
            EXPECT_FALSE(FormOstrel->btnFlash->Enabled());
            EXPECT_FALSE(processlog::LogSection.empty());
            ASSERT_TRUE(WaitForJobEnd());
            EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();
        } else {
            EXPECT_TRUE(FormOstrel->btnFlash->Enabled());
            EXPECT_TRUE(processlog::LogSection.empty()) << "no log section";
            EXPECT_EQ(FlashJob.file, nullptr);
            vcl::PumpEvents(3000);  // three ticks: nothing moves
            EXPECT_EQ(FlashJob.state, ostrel::JobState::Idle);
            EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 0u);
        }
        Renew();
    }
}

struct FaultRow {
    const char* name;
    std::function<void(sim::Projector&)> beforeStart;
    std::function<void(sim::Projector&)> whileWriting;
    std::vector<std::pair<std::string, std::string>> boxes;  // text, caption: all shown
    std::string status;                                      // the last status line the log keeps
    bool imageInFlash;                                       // the whole image reached the flash
};

constexpr char kInvalidStatus[] = "Update Completed!   Checksum invalid! ";
constexpr char kEraseFailedStatus[] = "Erase failed! The job has ended.";
const std::pair<std::string, std::string> kInvalidBox = {"Checksum invalid!\nFlash upgrade failed!",
                                                         "Checksum Error"};

sim::Faults DetachAfterBlock(uint32_t block, uint32_t awayMs) {
    sim::Faults faults;
    faults.detachDuringWrite = sim::DetachDuringWrite{block, true, awayMs};
    return faults;
}

TEST_F(FlashJobTest, FaultsShowTheirMessageAndTheLogKeepsTheLastStatus) {
    const FaultRow rows[] = {
        {"unplugged mid-write: resumes with the next block, the unanswered one not counted",
         [](sim::Projector& p) { p.SetFaults(DetachAfterBlock(100, 5000)); },
         nullptr,
         {kInvalidBox},
         kInvalidStatus,
         true},
        {"away more than 30 s in all: the write ends early",
         [](sim::Projector& p) { p.SetFaults(DetachAfterBlock(100, 40000)); },
         nullptr,
         {kInvalidBox},
         kInvalidStatus,
         false},
        {"a sector whose erase is never answered",
         [](sim::Projector& p) {
             sim::Faults faults;
             faults.failingErase = sim::FailingErase{20, sim::EraseFailure::NoAnswer};
             p.SetFaults(faults);
         },
         nullptr,
         {{"Flash Erase Sector:20", "Flash Erase"}},
         kEraseFailedStatus,
         false},
        {"a sector that leaves the bootloader not ready",
         [](sim::Projector& p) {
             sim::Faults faults;
             faults.failingErase = sim::FailingErase{30, sim::EraseFailure::StatusNotReady};
             p.SetFaults(faults);
         },
         nullptr,
         {{"BL not ready! Something wrong!!!", "ERR"}},
         kEraseFailedStatus,
         false},
        {"a flash chip of an unsupported type",
         [](sim::Projector& p) {
             sim::Faults faults;
             faults.unsupportedChip = true;
             p.SetFaults(faults);
         },
         nullptr,
         {{"Not supported flash ROM!", "flash ROM check"},
          {"Flash Type 00000000 Not Supported!", "FlashErase"}},
         kEraseFailedStatus,
         false},
        {"a status that never reaches 0x8000 after the write",
         nullptr,
         [](sim::Projector& p) {
             sim::Faults faults;
             faults.statusNeverReady = true;
             p.SetFaults(faults);
         },
         {{"Bootloader not ready!", "BL status"},
          kInvalidBox,
          {"Bootloader Not Ready!", "ReadBLStatus"}},
         kInvalidStatus,
         true},
        {"a wrong checksum from the projector",
         [](sim::Projector& p) {
             sim::Faults faults;
             faults.corruptChecksum = {Command::ReadFlashChecksum, 0, 1};
             p.SetFaults(faults);
         },
         nullptr,
         {kInvalidBox},
         kInvalidStatus,
         true},
    };
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> image = Image(false);
        sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), image);
        if (row.beforeStart) {
            row.beforeStart(projector);
        }
        FormOstrel->btnFlash->Click();
        bool faultSet = false;
        ASSERT_TRUE(PumpUntil(
            [&] {
                if (row.whileWriting && !faultSet && FlashJob.state == ostrel::JobState::Writing) {
                    row.whileWriting(projector);
                    faultSet = true;
                }
                return !FlashJob.busy.load() && FlashJob.state == ostrel::JobState::Idle;
            },
            600000));
        for (const auto& [text, caption] : row.boxes) {
            const std::vector<vcl::MessageRecord> shown = boxes_.Boxes();
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                                    [&](const vcl::MessageRecord& box) {
                                        return box.text == text && box.caption == caption;
                                    }))
                << "missing box " << text << " / " << caption;
        }
        EXPECT_EQ(LoggedStatus(), row.status);
        EXPECT_EQ(FlashJob.file, nullptr) << "the job file stays open";
        EXPECT_EQ(projector.ReadFlash(0, kImageSize) == image, row.imageInFlash);
        if (row.status == kEraseFailedStatus) {
            EXPECT_EQ(CountOf(projector, Command::WriteFlashBlock), 0u);
            EXPECT_EQ(FormOstrel->ProgressBar->Max(), 100) << "the gauge is back";
            vcl::PumpEvents(1100);  // a status tick
            EXPECT_TRUE(FormOstrel->btnFlash->Enabled()) << "the user can try again";
        } else {
            EXPECT_FALSE(FormOstrel->lblCheckSum->Caption().ends_with("Verified!"));
        }
        Renew();
    }
}

TEST_F(FlashJobTest, UnpluggedWriterGoesOnWithTheBlockAfterTheUnansweredOne) {
    const std::vector<uint8_t> image = Image(false);
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), image);
    projector.SetFaults(DetachAfterBlock(100, 5000));
    ASSERT_TRUE(RunJob());
    std::vector<uint8_t> written;
    for (const sim::LoggedCommand& entry : projector.CommandLog()) {
        if (entry.command == Command::WriteFlashBlock && entry.executed) {
            written.insert(written.end(), entry.raw.begin() + 7, entry.raw.end() - 1);
        }
    }
    EXPECT_EQ(written, image) << "every block reached the flash once, in order";
    EXPECT_EQ(LoggedStatus(), kInvalidStatus) << "the block that went unanswered is not counted";
}

TEST_F(FlashJobTest, FileThatShrinksDuringTheWriteEndsTheJobUnverified) {
    const std::vector<uint8_t> image = Image(false, 0x10000);
    sim::Projector& projector = Attach(Projector(sim::kChip2MbBoot, false));
    const std::string path = WriteFile("shrinking.img", image);
    Choose(path);
    sim::Faults faults;
    faults.delayMs = 20;  // slow acknowledgements: the cut comes early in the write
    faults.delayCommand = Command::WriteFlashBlock;
    projector.SetFaults(faults);
    FormOstrel->btnFlash->Click();
    bool cut = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!cut && FlashJob.state == ostrel::JobState::Writing) {
                std::filesystem::resize_file(path, 0x6000);
                cut = true;
            }
            return !FlashJob.busy.load() && FlashJob.state == ostrel::JobState::Idle;
        },
        600000));
    EXPECT_EQ(LoggedStatus(), kInvalidStatus);
    EXPECT_LT(FlashJob.position.load(), FlashJob.total.load()) << "ended where the file ended";
    EXPECT_LT(CountOf(projector, Command::WriteFlashBlock), 0x10000u / 56);
    EXPECT_EQ(FlashJob.file, nullptr);
}

TEST_F(FlashJobTest, VerifyRunsOnceWhileItsBoxesLetTicksThrough) {
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), Image(false));
    sim::Faults faults;
    faults.corruptChecksum = {Command::ReadFlashChecksum, 0, 1};
    projector.SetFaults(faults);
    boxes_.SetThinkTimeMs(5000);  // five ticks of the job timer in each box
    ASSERT_TRUE(RunJob());
    EXPECT_EQ(CountOf(projector, Command::StartChecksum), 1u);
    EXPECT_EQ(BoxCount("Checksum Error"), 1u);
    EXPECT_EQ(CountOf(projector, Command::ExitBootloader), 1u);
    EXPECT_EQ(LoggedStatus(), kInvalidStatus);
}

TEST_F(FlashJobTest, BlockRefusedByABusyLinkIsSentAgainNotCounted) {
    const std::vector<uint8_t> image = Image(false);
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), image);
    FormOstrel->btnFlash->Click();
    std::thread other;
    std::atomic<bool> otherDone{false};
    bool writerStartedWhileHeld = false;
    const bool ended = PumpUntil(
        [&] {
            if (!other.joinable() && FlashJob.state == ostrel::JobState::AwaitErase &&
                FlashJob.eraseDone.load()) {
                // Just before the writer starts, another sender takes the link: a flash
                // identification query, which changes nothing on the projector, holds
                // the packet transaction until its answer comes 2 s later. The writer
                // starts at the next job tick (within 1 s) and tries a block for 3 s,
                // which leaves a slow machine a second either side.
                sim::Faults faults;
                faults.delayMs = 2000;
                faults.delayCommand = Command::ReadFlashType;
                projector.SetFaults(faults);
                other = std::thread([&] {
                    std::vector<uint8_t> packet{0x04, 0,    0,    0x06, 0,    0x34,
                                                0x03, 0x0A, 0x00, 0x15, 0x0C, 0};
                    std::array<uint8_t, 64> answer{};
                    lnk::SendPacket(packet, answer);
                    otherDone = true;
                });
                EXPECT_TRUE(WaitUntil([] { return lnk::PacketBusy(); }));
            }
            if (FlashJob.state == ostrel::JobState::Writing && other.joinable() &&
                !writerStartedWhileHeld) {
                writerStartedWhileHeld = !otherDone.load();
            }
            return !FlashJob.busy.load() && FlashJob.state == ostrel::JobState::Idle;
        },
        600000);
    if (other.joinable()) {
        other.join();
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(writerStartedWhileHeld) << "the writer's first block met a busy link";
    EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();
    EXPECT_EQ(projector.ReadFlash(0, kImageSize), image);
}

TEST_F(FlashJobTest, BlockSentAgainAfterALostAnswerIsNeverVerified) {
    // An erased-looking gap in the middle and erased padding at the end, as real images
    // have. A gap block whose acknowledgement is lost is written, sent again and stored
    // twice: everything after it moves up by one block and the last block of padding
    // falls out of the range. Both sums stay equal, yet the flash is wrong.
    std::vector<uint8_t> image = Image(false);
    const size_t gapBlock = 200;
    std::fill_n(image.begin() + gapBlock * 56, 56, 0xFF);
    std::fill(image.end() - 2 * 56, image.end(), 0xFF);
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), image);
    sim::Faults faults;
    faults.loseAnswer = {Command::WriteFlashBlock, gapBlock, 1};
    projector.SetFaults(faults);
    ASSERT_TRUE(RunJob());
    ASSERT_NE(projector.ReadFlash(0, kImageSize), image) << "the block is in flash twice";
    const std::vector<uint8_t> range = projector.ReadFlash(0, kImageSize);
    EXPECT_EQ(std::accumulate(range.begin(), range.end(), 0u), FlashJob.checksum.load())
        << "the checksums alone cannot see it";
    EXPECT_EQ(LoggedStatus(), kInvalidStatus);
    EXPECT_EQ(BoxCount("Checksum Error"), 1u);
}

TEST_F(FlashJobTest, SectorLookupThatFailsMidEraseNeverErasesTheBootSector) {
    // The projector identifies its flash again for every sector; when one of those
    // answers goes missing the lookup gives offset 0, which is the boot sector's.
    const std::vector<uint8_t> image = Image(false);
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), image, true);
    const std::vector<uint8_t> bootBefore = projector.ReadFlash(0, kBoot);
    sim::Faults faults;
    faults.loseAnswer = {Command::ReadFlashType, 4, 2};  // the second sector's lookup
    projector.SetFaults(faults);
    ASSERT_TRUE(RunJob());
    EXPECT_EQ(projector.ReadFlash(0, kBoot), bootBefore) << "the boot code was erased";
    EXPECT_EQ(LoggedStatus(), kEraseFailedStatus);
    EXPECT_TRUE(Shown("Flash Erase Sector:33"));
    EXPECT_EQ(CountOf(projector, Command::WriteFlashBlock), 0u);
}

TEST_F(FlashJobTest, ProcessLogKeepsOneSectionPerJobWithTheLastStatus) {
    const std::string path = WriteFile("job.img", Image(false));
    Attach(Projector(sim::kChip2MbBoot, false));
    Choose(path);
    FormOstrel->btnFlash->Click();
    ASSERT_TRUE(FlashJob.busy.load());
    // Nothing may change the running job's file or offsets.
    dialogs_.Choose(WriteFile("other.img", Image(false)));
    FormOstrel->btnChoose->Click();
    EXPECT_EQ(dialogs_.Requests().size(), 1u) << "no dialog during a job";
    EXPECT_EQ(boxes_.Texts().back(), "Please wait till flash job finished.");
    ASSERT_TRUE(WaitForJobEnd());
    const std::string first = processlog::LogSection;
    const std::vector<std::string> expected = {
        "File=" + path,
        "Device        =" + FormOstrel->lblDeviceDsc->Caption(),
        "DeviceRelease =Release:2007/03/01C",
        "DeviceVersion =" + FormOstrel->lblVersion->Caption(),
        "DeviceLife    =Life:0002:05",
        "FileRelease   =2008/01/15B",
        "Process status=" + LoggedStatus()};
    EXPECT_EQ(SectionLines(first), expected);
    EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();

    // The projector restarts after the job; Start comes back with it.
    ASSERT_TRUE(PumpUntil([] { return FormOstrel->btnFlash->Enabled(); }));
    FlashJob.state = ostrel::JobState::Idle;
    ASSERT_TRUE(RunJob());
    ASSERT_NE(processlog::LogSection, first);
    EXPECT_EQ(SectionLines(first), expected) << "the second job leaves the first alone";
    EXPECT_EQ(SectionLines(processlog::LogSection).size(), expected.size());
    EXPECT_EQ(LogLines().size(), 2 * (expected.size() + 1));
}

TEST_F(FlashJobTest, UnwritableProcessLogIsReportedOnceAndTheJobGoesOn) {
    const std::vector<uint8_t> image = Image(false);
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, false), image);
    // A folder where the log file should be: nothing can be written there.
    std::filesystem::create_directory(processlog::ProcessLogPath());
    ASSERT_TRUE(RunJob());
    EXPECT_EQ(BoxCount("Process log"), 1u);
    EXPECT_EQ(FormOstrel->lblCheckSum->Caption().substr(19), " Verified!");
    EXPECT_EQ(projector.ReadFlash(0, kImageSize), image);
}

// A layout-2 image of `size` bytes, its tables and release inside the boot area.
std::vector<uint8_t> SmallLayout2Image(uint32_t size) {
    std::vector<uint8_t> image = Image(true);
    const uint32_t releaseAt = 0x200;
    const uint32_t address = firmware::kFlashBase7616 + releaseAt;
    for (int i = 0; i < 4; ++i) {
        image[0x100 + 0xE4 + i] = static_cast<uint8_t>(address >> (8 * i));
        image[releaseAt + i] = image[0x7000 + i];
    }
    image.resize(size);
    return image;
}

TEST_F(FlashJobTest, SkippedBootAreaLeavesOneByteForASlightlyLargerImage) {
    const std::vector<uint8_t> image = SmallLayout2Image(kBoot + 1);
    sim::Projector& projector = Ready(Projector(sim::kChip2MbBoot, true), image, true);
    EXPECT_EQ(FormOstrel->lblBytes->Caption(), shell::FormatText("Bytes:%6d/%6d", 16384, 16385));
    ASSERT_TRUE(RunJob());
    EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();
    std::vector<size_t> lengths;
    for (const sim::LoggedCommand& entry : projector.CommandLog()) {
        if (entry.command == Command::WriteFlashBlock) {
            lengths.push_back(entry.raw.size() - 8);
        }
    }
    EXPECT_EQ(lengths, std::vector<size_t>{1});
    EXPECT_EQ(projector.ReadFlash(kBoot, 1)[0], image[kBoot]);
}

// Shows every box on the standard error stream, for the death test's pattern.
class EchoingBoxes final : public vcl::MessageBoxBackend {
  public:
    int Show(const vcl::MessageRecord& box) override {
        std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
        return vcl::idOK;
    }
};

TEST_F(FlashJobTest, ImageNoLargerThanTheBootAreaEndsTheProgramWhenSkipped) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::vector<uint8_t> image = SmallLayout2Image(kBoot);
    EXPECT_EXIT(
        {
            Ready(Projector(sim::kChip2MbBoot, true), image, true);
            EchoingBoxes echo;
            vcl::SetMessageBoxBackend(&echo);
            FormOstrel->btnFlash->Click();
        },
        ::testing::ExitedWithCode(1), R"(\[Error\] Image size \(4000\) < Bootsize \(4000\))");
}

}  // namespace
}  // namespace apptest
