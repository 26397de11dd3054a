// The erase operations run by the flash job before it writes: the firmware area or the
// logo's sectors, from the highest sector down, with the progress bar as a sector gauge;
// then the projector is told where the data goes and how long it is. And the boot-area
// option, which decides whether the first sectors are spared.
#include "app/firmware/FirmwareImage.h"
#include "app/ostrel/FlashJob.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/InfoText.h"
#include "app/shell/ProjectorInfo.h"
#include "link/State.h"

namespace ostrel {

using namespace vcl;

void TFormOstrel::btnEraseFlashClick(TObject* /*sender*/) {
    FlashJob.eraseDone = false;
    const std::optional<flash::ChipSectors> chip = IdentifyChip();
    if (!chip) {
        return;
    }
    const bool skipBoot = CheckBoxSkipBoot->Checked();
    const uint32_t address = skipBoot ? firmware::kBootSize : 0;
    const uint32_t size = static_cast<uint32_t>(FlashJob.total.load()) - address;
    if (EraseRange(chip->top, chip->first, address, size)) {
        FlashJob.eraseDone = true;
    }
}

void TFormOstrel::btnEraseLogoClick(TObject* /*sender*/) {
    FlashJob.eraseDone = false;
    const std::optional<flash::ChipSectors> chip = IdentifyChip();
    if (!chip) {
        return;
    }
    const uint32_t base = lnk::model7616.load() ? firmware::kFlashBase7616 : firmware::kFlashBase;
    const uint32_t logoOffset = shell::logoAddress - base;
    const auto total = static_cast<uint32_t>(FlashJob.total.load());
    const std::optional<flash::LogoSpan> span = flash::LogoSectors(
        *chip, logoOffset, total,
        [](int index) { return lnk::SectorStart(static_cast<uint32_t>(index)); });
    if (!span) {
        MessageBox("Logo address does not at the sector boundary!", "Invalid logo address");
        return;
    }
    if (EraseRange(span->last, span->first, logoOffset, total)) {
        FlashJob.eraseDone = true;
    }
}

std::optional<flash::ChipSectors> TFormOstrel::IdentifyChip() {
    if (lnk::ReadStatus() != lnk::kBootloaderReady) {
        MessageBox("BL not ready", "FlashErase");
        return std::nullopt;
    }
    const uint32_t flashType = lnk::ReadFlashType();
    std::optional<flash::ChipSectors> chip =
        flash::FirmwareSectors(static_cast<uint16_t>(flashType), CheckBoxSkipBoot->Checked());
    if (!chip) {
        MessageBox(shell::FormatText("Flash Type %08X Not Supported!", flashType), "FlashErase");
    }
    return chip;
}

bool TFormOstrel::EraseRange(int top, int first, uint32_t address, uint32_t size) {
    ProgressBar->SetMax(top);
    ProgressBar->SetMin(first);
    gaugeColour_ = ProgressBar->Color();
    ProgressBar->SetColor(clGray);
    if (!EraseSectorsDown(top, first)) {
        return false;
    }
    if (lnk::SetFlashRange(address, size) != 0) {
        MessageBox("Flash Address&Size write error!", "Error");
        return false;
    }
    RestoreGauge();
    return true;
}

bool TFormOstrel::EraseSectorsDown(int top, int first) {
    for (int index = top; index >= first; --index) {
        const uint32_t start = lnk::SectorStart(static_cast<uint32_t>(index));
        // Only sector 0 starts at offset 0: a 0 for any other sector is an identification
        // that failed on the way, and erasing there would wipe the boot code.
        const bool lookupFailed = start == 0 && index != 0;
        if (lookupFailed || lnk::EraseSector(start) != 0) {
            MessageBox(shell::FormatText("Flash Erase Sector:%d", index), "Flash Erase");
            return false;
        }
        if (lnk::ReadStatus() != lnk::kBootloaderReady) {
            MessageBox("BL not ready! Something wrong!!!", "ERR");
            return false;
        }
        ProgressBar->SetPosition(index);
    }
    return true;
}

void TFormOstrel::RestoreGauge() {
    if (gaugeColour_) {
        ProgressBar->SetColor(*gaugeColour_);
        gaugeColour_.reset();
    }
    ProgressBar->SetMax(100);
    ProgressBar->SetMin(0);
    ShowStartPosition();
}

void TFormOstrel::ShowStartPosition() {
    const int64_t total = FlashJob.total.load();
    if (total > 0) {
        ProgressBar->SetPosition(static_cast<int>(FlashJob.position.load() * 100 / total));
    }
}

void TFormOstrel::CheckBoxSkipBootClick(TObject* /*sender*/) {
    if (!btnFlash->Enabled()) {
        return;  // a job runs (or none can start): its start offset stays
    }
    FlashJob.position = CheckBoxSkipBoot->Checked() ? static_cast<int32_t>(firmware::kBootSize) : 0;
    lblBytes->SetCaption(
        shell::FormatText("Bytes:%6d/%6d", FlashJob.position.load(), FlashJob.total.load()));
    ShowStartPosition();
}

}  // namespace ostrel
