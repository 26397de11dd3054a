// The flash job: the Start button with its confirmations, and the state machine that
// the job timer steps once a second from bootloader entry through erase, write and
// checksum comparison to the projector's restart.
#include <cstdio>
#include <limits>

#include "app/firmware/FirmwareImage.h"
#include "app/logo/Mysplash.h"
#include "app/ostrel/FlashJob.h"
#include "app/ostrel/LoadedImage.h"
#include "app/ostrel/Mythread.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/InfoText.h"
#include "app/shell/ProjectorInfo.h"
#include "link/State.h"
#include "log/Myini.h"
#include "platform/clock/Clock.h"

namespace ostrel {

using namespace vcl;

namespace {

constexpr char kOlderQuestion[] =
    "File release date is older than device's!\n\n      Press <OK> to replace it.";
constexpr char kStartQuestion[] = "Press <OK> to start erase and update the firmware";
constexpr char kIrreversibleQuestion[] =
    "Firmware update is not reversible!\n\n  Once it started it can not stop!\n\n"
    "          Press <OK> to start!";

// Status lines, blanks included: the process log records them as they stand.
constexpr char kSwitchingStatus[] = "Switching to programming mode...                 ";
constexpr char kEraseFirmwareStatus[] = "Erasing old firmware...                          ";
constexpr char kEraseLogoStatus[] = "Erasing old logo...                              ";
constexpr char kUpgradeFirmwareStatus[] = "Upgrading new firmware...                        ";
constexpr char kChangeLogoStatus[] = "Changing new logo...                             ";
constexpr char kCompletedStatus[] = "Update Completed!   ";
constexpr char kEraseFailedStatus[] = "Erase failed! The job has ended.";
constexpr char kReadyStatus[] = "Ostrel ready!";
constexpr char kVerified[] = " Verified!";
constexpr char kChecksumInvalid[] = "Checksum invalid!\n";

constexpr uint32_t kAfterResetWaitMs = 3000;

bool Confirmed(const char* question, const char* caption) {
    return MessageBox(question, caption, mbOKCancel) == idOK;
}

}  // namespace

void TFormOstrel::btnFlashClick(TObject* /*sender*/) {
    lblCheckSum->Hide();
    if (FlashJob.busy.load()) {
        return;
    }
    const bool older = imageCheck.imageValid &&
                       firmware::ImageIsOlder(imageCheck.imageRelease, shell::deviceRelease);
    if (older && !Confirmed(kOlderQuestion, "Warning")) {
        return;
    }
    if (!Confirmed(kStartQuestion, "Warning") ||
        !Confirmed(kIrreversibleQuestion, "Warning again")) {
        return;
    }
    if (flashFileName_.empty()) {
        return;
    }
    FlashJob.position = 0;
    FlashJob.checksum = 0;
    if (!OpenJobFile()) {
        return;
    }
    // A completed erase of an earlier job must not let this one write before erasing.
    FlashJob.eraseDone = false;
    FlashJob.writeDone = false;
    FlashJob.writeComplete = false;
    FlashJob.busy = true;
    btnFlash->SetEnabled(false);
    StartJobLog();
}

bool TFormOstrel::OpenJobFile() {
    std::string path;
    if (imageCheck.imageValid) {
        path = OpenDialog->FileName();
    } else if (shell::logoReady) {
        path = lnk::model7616.load() ? logo::kSplcFileName : logo::kSplbFileName;
    } else {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    long size = -1;
    if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    // The job's offsets are signed 32-bit; no flash of the projector comes near that.
    if (size < 0 || size > std::numeric_limits<int32_t>::max()) {
        MessageBox("File seek error", "File");
        if (file != nullptr) {
            std::fclose(file);
        }
        return false;
    }
    FlashJob.total = static_cast<int32_t>(size);
    if (CheckBoxSkipBoot->Checked() && imageCheck.imageValid) {
        FlashJob.position = static_cast<int32_t>(firmware::kBootSize);
        if (size <= static_cast<long>(firmware::kBootSize)) {
            MessageBox(shell::FormatText("Image size (%X) < Bootsize (%X)",
                                         static_cast<unsigned>(size), firmware::kBootSize),
                       "Error");
            std::fclose(file);
            Halt(1);
        }
    }
    std::fseek(file, FlashJob.position.load(), SEEK_SET);
    FlashJob.file = file;
    return true;
}

void TFormOstrel::StartJobLog() {
    processlog::JobDescription job;
    job.file = OpenDialog->FileName();
    job.device = lblDeviceDsc->Caption();
    job.deviceRelease = lblRelease->Caption();
    job.deviceVersion = lblVersion->Caption();
    job.deviceLife = lblUnitLife->Caption();
    if (imageCheck.imageValid) {
        job.fileRelease = imageCheck.imageRelease;
    }
    processlog::StartProcessLog(job);
}

void TFormOstrel::timerFlashStateTimer(TObject* /*sender*/) {
    switch (FlashJob.state) {
        case JobState::Idle:
            IdleStep();
            break;
        case JobState::AwaitProgramming:
            AwaitProgrammingStep();
            break;
        case JobState::AwaitErase:
            AwaitEraseStep();
            break;
        case JobState::Writing:
            WritingStep();
            break;
        case JobState::Verifying:
            VerifyingStep();
            break;
    }
}

void TFormOstrel::ShowStatus(const std::string& text) {
    lblMsg->SetCaption(text);
}

void TFormOstrel::RecordStatus() {
    processlog::WriteProcessStatus(lblMsg->Caption());
}

void TFormOstrel::IdleStep() {
    if (!FlashJob.busy.load()) {
        ShowStatus(lnk::ostrelMode.load() ? kReadyStatus : "");
        return;
    }
    // The state moves first: ticks from a message box of the bootloader entry act on
    // the next state.
    FlashJob.state = JobState::AwaitProgramming;
    lblMsg->Show();
    ShowStatus(kSwitchingStatus);
    RecordStatus();
    SetBorderIcons(BorderIcons() >> biSystemMenu);
    btnEnterBootLoaderClick(this);
}

void TFormOstrel::AwaitProgrammingStep() {
    if (!lnk::ostrelMode.load()) {
        return;
    }
    const bool firmwareJob = imageCheck.imageValid;
    if (!firmwareJob && !shell::logoReady) {
        return;
    }
    FlashJob.state = JobState::AwaitErase;
    ShowStatus(firmwareJob ? kEraseFirmwareStatus : kEraseLogoStatus);
    lblMsg->Repaint();  // seen before the erase holds the window thread
    RecordStatus();
    if (firmwareJob) {
        btnEraseFlashClick(this);
    } else {
        btnEraseLogoClick(this);
    }
    // The erase has shown why it stopped; without this the job would wait for ever.
    if (!FlashJob.eraseDone.load() && FlashJob.state == JobState::AwaitErase) {
        EndJobAfterFailedErase();
    }
}

void TFormOstrel::EndJobAfterFailedErase() {
    if (FlashJob.file != nullptr) {
        std::fclose(FlashJob.file);
        FlashJob.file = nullptr;
    }
    FlashJob.state = JobState::Idle;
    FlashJob.busy = false;
    SetBorderIcons(BorderIcons() << biSystemMenu);
    RestoreGauge();
    ShowStatus(kEraseFailedStatus);
    RecordStatus();
}

void TFormOstrel::AwaitEraseStep() {
    if (!FlashJob.eraseDone.load()) {
        return;
    }
    ShowStatus(imageCheck.imageValid ? kUpgradeFirmwareStatus : kChangeLogoStatus);
    RecordStatus();
    btnFlash->SetCaption("Busy");
    FlashJob.state = JobState::Writing;
    FlashJob.writeDone = false;
    auto* writer = new TmyThread(true);
    writer->SetPriority(tpHighest);
    writer->Resume();
}

void TFormOstrel::WritingStep() {
    if (!FlashJob.writeDone.load()) {
        return;
    }
    SetBorderIcons(BorderIcons() << biSystemMenu);
    btnFlash->SetCaption("Start");
    ShowStatus(kCompletedStatus);
    RecordStatus();
    FlashJob.state = JobState::Verifying;
}

void TFormOstrel::VerifyingStep() {
    if (verifying_) {
        return;  // a tick from one of this step's own message boxes or waits
    }
    verifying_ = true;
    const uint32_t checksum = FlashJob.checksum.load();
    lblCheckSum->SetCaption(shell::FormatText("Checksum:0x%08X", checksum));
    lblCheckSum->Show();
    const uint32_t projectorSum = lnk::ReadFlashChecksum();
    // Equal sums prove nothing for a write that was cut short or skipped a block.
    if (projectorSum == checksum && FlashJob.writeComplete.load()) {
        lblCheckSum->SetCaption(lblCheckSum->Caption() + kVerified);
        ShowStatus(lblMsg->Caption() + lblCheckSum->Caption());
        RecordStatus();
    } else {
        ShowStatus(lblMsg->Caption() + kChecksumInvalid);
        RecordStatus();
        MessageBox("Checksum invalid!\nFlash upgrade failed!", "Checksum Error");
    }
    lnk::ostrelMode = false;
    if (cbReset->Checked()) {
        btnExitBLClick(this);
        plat::Sleep(kAfterResetWaitMs);
    }
    FlashJob.state = JobState::Idle;
    verifying_ = false;
}

}  // namespace ostrel
