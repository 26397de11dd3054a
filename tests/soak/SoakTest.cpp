// The fault soak: many complete flash jobs, firmware and logo, on every chip, each meeting
// one random fault on the way (an unplug at a random block, lost answers, bad checksums,
// commands that go unanswered, a failing erase, a bootloader that never gets ready, a
// slow projector). Whatever happens:
// - a job whose flash does not hold the intended bytes never ends verified;
// - a job that did not end verified told the user, and the process log keeps its failure;
// - every job ends (the user brings the projector into its bootloader by hand when the
//   switch failed, as the key help tells them).
// It also counts the jobs whose flash is wrong although both checksums agree: the
// protocol's checksum cannot see those, only the writer's own record of its blocks can.
//
// OSTREL_SOAK_JOBS sets the number of jobs (default 40), OSTREL_SOAK_SEED the first job's
// seed (default 1). Job n uses seed + n, so a failing job runs again alone with
// OSTREL_SOAK_SEED=<its seed> OSTREL_SOAK_JOBS=1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <sstream>

#include "app/logo/Mysplash.h"
#include "platform/vcl/core/BmpFile.h"
#include "sim/Flash.h"
#include "tests/app/JobFixture.h"
#include "tests/app/Pictures.h"

namespace apptest {
namespace {

using ostrel::FlashJob;
using ostrel::FormOstrel;
using sim::Command;

constexpr uint32_t kBlock = 56;
constexpr uint32_t kBoot = firmware::kBootSize;
// Longer than any fault can hold a job up (three lost answers, forty seconds away, slow
// erases), short enough to call a job that is still running a hang.
constexpr uint32_t kJobLimitMs = 30 * 60 * 1000;
// How long a job may wait for the bootloader before the user switches by hand.
constexpr uint64_t kUserPatienceMs = 60 * 1000;

const std::regex kVerifiedLine("Update Completed!   Checksum:0x[0-9A-F]{8} Verified!");
constexpr char kInvalidStatus[] = "Update Completed!   Checksum invalid! ";
constexpr char kEraseFailedStatus[] = "Erase failed! The job has ended.";

enum class JobKind { Firmware, Logo };

enum class FaultKind {
    None,
    Unplug,
    LostAnswers,
    BadChecksums,
    Unanswered,
    FailingErase,
    NeverReady,
    Slow
};

const std::map<FaultKind, const char*> kFaultNames = {
    {FaultKind::None, "none"},
    {FaultKind::Unplug, "unplug at a block"},
    {FaultKind::LostAnswers, "lost answers"},
    {FaultKind::BadChecksums, "bad checksums"},
    {FaultKind::Unanswered, "unanswered commands"},
    {FaultKind::FailingErase, "failing erase"},
    {FaultKind::NeverReady, "never-ready bootloader"},
    {FaultKind::Slow, "slow projector"},
};

// Commands a job sends once the projector is in its bootloader, block writes weighted up:
// they are most of the traffic.
const Command kJobCommands[] = {
    Command::WriteFlashBlock,   Command::WriteFlashBlock, Command::WriteFlashBlock,
    Command::WriteFlashBlock,   Command::ReadStatus,      Command::EraseSector,
    Command::SetAddress,        Command::SetSize,         Command::StartChecksum,
    Command::ReadFlashChecksum, Command::ReadFlashType,   Command::EnterBootloader,
};

struct Plan {
    uint32_t seed = 0;
    JobKind kind = JobKind::Firmware;
    uint16_t chip = sim::kChip2MbBoot;
    bool model7616 = false;
    bool skipBoot = false;
    bool reset = true;
    FaultKind fault = FaultKind::None;
    sim::Faults faults;
    bool faultWhileWriting = false;  // set once the writer runs, not before Start
    std::string text;                // what the job is, for a failure message
};

struct Outcome {
    bool ended = false;
    bool verified = false;
    bool flashGood = false;
    bool sumsAgree = false;  // the projector's sum of the range equals the writer's
    bool switchedByHand = false;
};

class Rng {
  public:
    explicit Rng(uint32_t seed) : engine_(seed) {}
    uint32_t Below(uint32_t n) {
        return std::uniform_int_distribution<uint32_t>(0, n - 1)(engine_);
    }
    uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }
    bool Coin() { return Below(2) == 1; }
    template <typename T, size_t N>
    T Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

  private:
    std::mt19937 engine_;
};

sim::CommandFault RandomCommandFault(Rng& rng, uint32_t blocks) {
    sim::CommandFault fault;
    fault.command = rng.Pick(kJobCommands);
    fault.skip = fault.command == Command::WriteFlashBlock ? rng.Below(blocks) : rng.Below(3);
    fault.count = rng.Between(1, 3);
    return fault;
}

// The sectors a logo at `offset` of `size` bytes covers.
std::pair<size_t, size_t> LogoSectorSpan(uint16_t chip, uint32_t offset, uint32_t size) {
    const sim::ChipGeometry geometry = *sim::GeometryOf(chip);
    auto containing = [&](uint32_t at) {
        size_t index = 0;
        while (index + 1 < geometry.sectorStarts.size() && geometry.sectorStarts[index + 1] <= at) {
            ++index;
        }
        return index;
    };
    return {containing(offset), containing(offset + size - 1)};
}

class Soak : public JobWindow {
  protected:
    static uint32_t EnvNumber(const char* name, uint32_t fallback) {
        const char* text = std::getenv(name);
        return text != nullptr && *text != '\0'
                   ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10))
                   : fallback;
    }

    static Plan MakePlan(uint32_t seed) {
        Rng rng(seed);
        Plan plan;
        plan.seed = seed;
        plan.kind = rng.Below(3) == 0 ? JobKind::Logo : JobKind::Firmware;
        const uint16_t chips[] = {sim::kChip2MbBoot, sim::kChip4MbBoot, sim::kChip4MbUniform};
        plan.chip = rng.Pick(chips);
        plan.model7616 = rng.Coin();
        plan.skipBoot = plan.kind == JobKind::Firmware && rng.Coin();
        plan.reset = rng.Below(4) != 0;
        const FaultKind kinds[] = {
            FaultKind::None,         FaultKind::Unplug,       FaultKind::LostAnswers,
            FaultKind::LostAnswers,  FaultKind::BadChecksums, FaultKind::Unanswered,
            FaultKind::FailingErase, FaultKind::NeverReady,   FaultKind::Slow};
        plan.fault = rng.Pick(kinds);
        return plan;
    }

    // The faults of `plan` for a job of `blocks` blocks whose erase takes sectors
    // `low`..`high`; when the writer's lost answers should hit an erased-looking block,
    // `gapBlocks` lists those.
    static void ChooseFaults(Plan& plan, Rng& rng, uint32_t blocks, size_t low, size_t high,
                             const std::vector<uint32_t>& gapBlocks) {
        sim::Faults& faults = plan.faults;
        switch (plan.fault) {
            case FaultKind::None:
                break;
            case FaultKind::Unplug: {
                const uint32_t away[] = {300, 2000, 5000, 12000, 40000};
                faults.detachDuringWrite =
                    sim::DetachDuringWrite{rng.Between(1, blocks), rng.Coin(), rng.Pick(away)};
                break;
            }
            case FaultKind::LostAnswers:
                faults.loseAnswer = RandomCommandFault(rng, blocks);
                if (faults.loseAnswer.command == Command::WriteFlashBlock && !gapBlocks.empty() &&
                    rng.Coin()) {
                    faults.loseAnswer.skip = gapBlocks[rng.Below(gapBlocks.size())];
                    faults.loseAnswer.count = 1;
                }
                break;
            case FaultKind::BadChecksums:
                faults.corruptChecksum = RandomCommandFault(rng, blocks);
                break;
            case FaultKind::Unanswered:
                faults.ignore = RandomCommandFault(rng, blocks);
                break;
            case FaultKind::FailingErase: {
                const uint32_t attempts[] = {1, 2, sim::kForever};
                faults.failingErase = sim::FailingErase{
                    low + rng.Below(static_cast<uint32_t>(high - low + 1)),
                    rng.Coin() ? sim::EraseFailure::NoAnswer : sim::EraseFailure::StatusNotReady,
                    rng.Pick(attempts)};
                break;
            }
            case FaultKind::NeverReady:
                faults.statusNeverReady = true;
                plan.faultWhileWriting = rng.Coin();
                break;
            case FaultKind::Slow: {
                if (rng.Coin()) {
                    faults.delayMs = rng.Between(1, 150);  // every answer late
                } else {
                    const uint32_t delays[] = {200, 2000, 5000};
                    faults.delayMs = rng.Pick(delays);
                    faults.delayCommand = rng.Pick(kJobCommands);
                    if (*faults.delayCommand == Command::WriteFlashBlock) {
                        faults.delayMs = std::min<uint32_t>(faults.delayMs, 500);
                    }
                }
                break;
            }
        }
        if (plan.fault != FaultKind::NeverReady) {
            plan.faultWhileWriting = false;
        }
    }

    static std::string Describe(const Plan& plan, uint32_t size) {
        std::ostringstream text;
        text << "seed " << plan.seed << ": " << (plan.kind == JobKind::Logo ? "logo" : "firmware")
             << " of " << size << " bytes, chip " << std::hex << plan.chip << std::dec
             << (plan.model7616 ? ", model 7616" : "") << (plan.skipBoot ? ", boot skipped" : "")
             << (plan.reset ? ", reset" : "") << ", fault: " << kFaultNames.at(plan.fault);
        const sim::Faults& f = plan.faults;
        auto command = [&text](const char* what, const sim::CommandFault& fault) {
            if (fault.count != 0 && fault.command) {
                text << " (" << what << " " << sim::CommandName(*fault.command) << " after "
                     << fault.skip << ", " << fault.count << "x)";
            }
        };
        command("lose", f.loseAnswer);
        command("corrupt", f.corruptChecksum);
        command("ignore", f.ignore);
        if (f.detachDuringWrite) {
            text << " (block " << f.detachDuringWrite->afterBlock
                 << (f.detachDuringWrite->blockWritten ? " written" : " not written") << ", away "
                 << *f.detachDuringWrite->returnAfterMs << " ms)";
        }
        if (f.failingErase) {
            text << " (sector " << f.failingErase->sector << ", "
                 << (f.failingErase->how == sim::EraseFailure::NoAnswer ? "no answer" : "not ready")
                 << ", " << f.failingErase->attempts << " attempts)";
        }
        if (f.delayMs != 0) {
            text << " (" << f.delayMs << " ms late"
                 << (f.delayCommand ? std::string(" on ") + sim::CommandName(*f.delayCommand)
                                    : std::string())
                 << ")";
        }
        if (plan.faultWhileWriting) {
            text << " while writing";
        }
        return text.str();
    }

    // A firmware image with erased-looking gaps (whole write blocks of 0xFF past the
    // tables) and erased padding at its end, as real images have.
    static std::vector<uint8_t> FirmwareImage(const Plan& plan, Rng& rng,
                                              std::vector<uint32_t>& gapBlocks) {
        firmware::SampleImageSpec spec;
        spec.size = rng.Between(0x10000, 0x20000);
        spec.model7616 = plan.model7616;
        spec.seed = plan.seed;
        std::vector<uint8_t> image = firmware::MakeSampleImage(spec);
        const uint32_t start = plan.skipBoot ? kBoot : 0;
        const uint32_t firstFree = (0x8000 - start) / kBlock + 1;
        const uint32_t blocks = (spec.size - start) / kBlock;
        for (int gap = rng.Between(1, 3); gap > 0; --gap) {
            const uint32_t block = rng.Between(firstFree, blocks - 4);
            std::fill_n(image.begin() + start + block * kBlock, kBlock, 0xFF);
            gapBlocks.push_back(block);
        }
        std::fill(image.end() - 2 * kBlock - (spec.size - start) % kBlock, image.end(), 0xFF);
        return image;
    }

    // A picture whose logo differs from job to job: bands of random colours.
    static std::vector<uint8_t> Picture(Rng& rng) {
        std::vector<uint32_t> colours(rng.Between(2, 12));
        for (uint32_t& colour : colours) {
            colour = rng.Below(0x1000000);
        }
        const int band = static_cast<int>(rng.Between(16, 120));
        return Bitmap24(
            static_cast<int>(rng.Between(200, 1024)), static_cast<int>(rng.Between(150, 768)),
            [&](int x, int y) { return colours[((x + y / 3) / band) % colours.size()]; });
    }

    sim::ProjectorConfig Config(const Plan& plan) const {
        sim::ProjectorConfig config;
        config.flash.chip = plan.chip;
        config.identity.productId = plan.model7616 ? sim::kModel7616 : 0x5010;
        config.information.logoAddress =
            LogoOffset(plan) + (plan.model7616 ? firmware::kFlashBase7616 : firmware::kFlashBase);
        return config;
    }

    static uint32_t LogoOffset(const Plan& plan) { return plan.model7616 ? 0x100000 : 0x1E0000; }

    // Runs one job to its end; the user switches the projector by hand when the job has
    // waited too long for the bootloader.
    Outcome Run(Plan& plan) {
        Rng rng(plan.seed * 7919u + 1);
        sim::Projector& projector = Attach(Config(plan));
        FormOstrel->CheckBoxSkipBoot->SetChecked(plan.skipBoot);
        FormOstrel->cbReset->SetChecked(plan.reset);
        std::vector<uint8_t> intended;
        uint32_t address = 0;
        std::vector<uint32_t> gapBlocks;
        size_t low = 0;
        size_t high = 0;
        if (plan.kind == JobKind::Firmware) {
            const std::vector<uint8_t> image = FirmwareImage(plan, rng, gapBlocks);
            Choose(WriteFile("firmware.img", image));
            address = plan.skipBoot ? kBoot : 0;
            intended.assign(image.begin() + address, image.end());
            low = plan.skipBoot ? 1 : 0;
            high = sim::GeometryOf(plan.chip)->sectorStarts.size() - 1;
            if (plan.chip == sim::kChip4MbUniform && plan.skipBoot) {
                // Sector 0 is spared whole, so the write lands in it unerased: a projector
                // whose sector 0 holds nothing but its boot code.
                projector.LoadFlash(kBoot, std::vector<uint8_t>(0x10000 - kBoot, 0xFF));
            }
        } else {
            Choose(WriteFile("picture.bmp", Picture(rng)));
            intended = vcl::ReadWholeFile(
                (folder_ / (plan.model7616 ? logo::kSplcFileName : logo::kSplbFileName)).string());
            address = LogoOffset(plan);
            std::tie(low, high) =
                LogoSectorSpan(plan.chip, address, static_cast<uint32_t>(intended.size()));
        }
        const uint32_t size = static_cast<uint32_t>(intended.size());
        ChooseFaults(plan, rng, (size + kBlock - 1) / kBlock, low, high, gapBlocks);
        plan.text = Describe(plan, size);
        if (!FormOstrel->btnFlash->Enabled()) {
            ADD_FAILURE() << plan.text << ": the job cannot start";
            return {};
        }
        boxes_.Clear();
        const std::vector<uint8_t> bootBefore = projector.ReadFlash(0, kBoot);
        if (!plan.faultWhileWriting) {
            projector.SetFaults(plan.faults);
        }
        Outcome outcome;
        FormOstrel->btnFlash->Click();
        bool faultSet = !plan.faultWhileWriting;
        uint64_t waitingSince = plat::NowMs();
        outcome.ended = PumpUntil(
            [&] {
                if (!faultSet && FlashJob.state == ostrel::JobState::Writing) {
                    projector.SetFaults(plan.faults);
                    faultSet = true;
                }
                if (FlashJob.state != ostrel::JobState::AwaitProgramming) {
                    waitingSince = plat::NowMs();
                } else if (plat::NowMs() - waitingSince > kUserPatienceMs &&
                           projector.IsPlugged() &&
                           projector.CurrentMode() == sim::Mode::Application) {
                    projector.Restart(sim::Mode::Bootloader);  // Enter + Power at standby
                    outcome.switchedByHand = true;
                    waitingSince = plat::NowMs();
                }
                return !FlashJob.busy.load() && FlashJob.state == ostrel::JobState::Idle;
            },
            kJobLimitMs);
        outcome.verified = std::regex_match(LoggedStatus(), kVerifiedLine);
        const std::vector<uint8_t> flash = projector.ReadFlash(address, size);
        outcome.flashGood =
            flash == intended && (!plan.skipBoot || projector.ReadFlash(0, kBoot) == bootBefore);
        outcome.sumsAgree =
            std::accumulate(flash.begin(), flash.end(), 0u) == FlashJob.checksum.load();
        CheckTheUserWasTold(plan, outcome);
        return outcome;
    }

    std::string AllBoxes() const {
        std::string all = "boxes shown:";
        for (const vcl::MessageRecord& box : boxes_.Boxes()) {
            all += "\n  " + box.caption + ": " + box.text;
        }
        return all;
    }

    void CheckTheUserWasTold(const Plan& plan, const Outcome& outcome) {
        SCOPED_TRACE(plan.text);
        EXPECT_TRUE(outcome.ended)
            << "the job hung in state " << static_cast<int>(FlashJob.state) << ", busy "
            << FlashJob.busy.load() << ", status line \"" << FormOstrel->lblMsg->Caption() << "\"\n"
            << AllBoxes();
        EXPECT_FALSE(outcome.verified && !outcome.flashGood)
            << "verified although the flash differs from the intended bytes";
        EXPECT_EQ(FlashJob.file, nullptr) << "the job file stays open";
        if (!outcome.ended || outcome.verified) {
            return;
        }
        const std::string status = LoggedStatus();
        EXPECT_TRUE(status == kInvalidStatus || status == kEraseFailedStatus)
            << "the log keeps " << status;
        EXPECT_FALSE(FormOstrel->lblMsg->Caption().ends_with("Verified!"));
        const size_t questions = BoxCount("Warning") + BoxCount("Warning again");
        EXPECT_GT(boxes_.Boxes().size(), questions) << "no message told the user";
        if (status == kInvalidStatus) {
            EXPECT_EQ(BoxCount("Checksum Error"), 1u) << AllBoxes();
        }
    }
};

struct Tally {
    int jobs = 0, verified = 0, caught = 0, falseAlarms = 0, invisible = 0, byHand = 0;
};

TEST_F(Soak, NoJobEndsVerifiedUnlessItsFlashHoldsTheIntendedBytes) {
    const uint32_t jobs = EnvNumber("OSTREL_SOAK_JOBS", 40);
    const uint32_t firstSeed = EnvNumber("OSTREL_SOAK_SEED", 1);
    std::map<FaultKind, Tally> tallies;
    for (uint32_t n = 0; n < jobs; ++n) {
        Plan plan = MakePlan(firstSeed + n);
        const Outcome outcome = Run(plan);
        Tally& tally = tallies[plan.fault];
        ++tally.jobs;
        tally.verified += outcome.verified ? 1 : 0;
        tally.caught += !outcome.verified && !outcome.flashGood ? 1 : 0;
        tally.falseAlarms += !outcome.verified && outcome.flashGood ? 1 : 0;
        tally.invisible += !outcome.flashGood && outcome.sumsAgree ? 1 : 0;
        tally.byHand += outcome.switchedByHand ? 1 : 0;
        if (::testing::Test::HasFailure()) {
            std::printf("failed: %s\n", plan.text.c_str());
            break;
        }
        Renew();
    }
    std::printf("%-24s %5s %9s %7s %12s %10s %8s\n", "fault", "jobs", "verified", "caught",
                "false alarm", "invisible", "by hand");
    Tally total;
    for (const auto& [fault, t] : tallies) {
        std::printf("%-24s %5d %9d %7d %12d %10d %8d\n", kFaultNames.at(fault), t.jobs, t.verified,
                    t.caught, t.falseAlarms, t.invisible, t.byHand);
        total.jobs += t.jobs;
        total.verified += t.verified;
        total.caught += t.caught;
        total.falseAlarms += t.falseAlarms;
        total.invisible += t.invisible;
        total.byHand += t.byHand;
    }
    std::printf("%-24s %5d %9d %7d %12d %10d %8d\n", "all", total.jobs, total.verified,
                total.caught, total.falseAlarms, total.invisible, total.byHand);
}

}  // namespace
}  // namespace apptest
