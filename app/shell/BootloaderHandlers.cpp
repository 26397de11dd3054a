// Moving the projector between its application and its bootloader: the handlers of the
// hidden "Enter BL" and "Exit BL" buttons, run by the flash job and by OstrelProbe.
#include "app/shell/InfoText.h"
#include "app/shell/ShellForm.h"
#include "link/State.h"
#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "usb/StatusText.h"

namespace shell {

void TShellForm::btnEnterBootLoaderClick(TObject* /*sender*/) {
    const uint16_t status = lnk::ReadStatus();
    if (status == lnk::kBootloaderReady) {
        return;
    }
    if (status != lnk::kApplicationReady) {
        vcl::MessageBox(
            FormatText("Projector not ready %X (\"%s\")", status, usb::StatusText(status)),
            "Flash read status");
        return;
    }
    const uint32_t result = lnk::EnterBootloader();
    // On a 0x7616 projector a failed acknowledgement is not reported: whether the switch
    // worked shows when the projector attaches in Ostrel mode.
    if (result == 0 || lnk::model7616.load()) {
        return;
    }
    vcl::ApplicationMessageBox(
        FormatText("Entering Bootloader Error %X (\"%s\")", result, usb::StatusText(result)),
        "Error");
}

void TShellForm::btnExitBLClick(TObject* /*sender*/) {
    if (lnk::ReadStatus() != lnk::kBootloaderReady) {
        vcl::MessageBox("Bootloader Not Ready!", "ReadBLStatus");
        return;
    }
    const uint32_t result = lnk::ExitBootloader();
    // The projector restarts at once; a transfer cancelled by that restart is no fault.
    if (result != 0 && result != drv::kCancelled) {
        vcl::MessageBox(FormatText("Exit Bootloader Error %X", result), "Error");
    }
    timerStatusTimer(this);
    GroupBoxTarget->Repaint();
    if (const uint32_t settle = ExitBootloaderSettleMs(); settle != 0) {
        plat::Sleep(settle);
    }
}

}  // namespace shell
