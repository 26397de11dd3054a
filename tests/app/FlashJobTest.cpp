// Whole firmware jobs from Start to the projector's restart against the virtual
// projector: every chip, both image layouts, with and without the boot area and the
// reset; the confirmations; and the faults a job meets on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <regex>

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

}  // namespace
}  // namespace apptest
