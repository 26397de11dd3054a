#include "app/ostrel/Ostrel_BCCunit.h"

#include "app/ostrel/FlashJob.h"
#include "app/ostrel/LoadedImage.h"
#include "link/State.h"

namespace ostrel {

using namespace vcl;

TFormOstrel* FormOstrel = nullptr;

void TFormOstrel::FormCreate(TObject* /*sender*/) {
    CentreWindow();
    for (TGroupBox* group : {GroupBoxFlashOption, GroupBoxFlashMode}) {
        if (!group->Enabled()) {
            group->Font()->SetColor(clGray);
        }
    }
    btnUSBopenClick(this);
    CheckBoxSkipBoot->SetChecked(false);
}

void TFormOstrel::btnCloseClick(TObject* /*sender*/) {
    if (FlashJob.busy.load()) {
        MessageBox("Please wait till flash job finished.", "Flash is busy!");
        return;
    }
    Close();
}

void TFormOstrel::FormClose(TObject* /*sender*/) {
    // A running job is not stopped here: the Close button refuses while one runs.
    if (lnk::usbOpen.load()) {
        lnk::MyUSBclose();
    }
}

void TFormOstrel::timerStatusTimer(TObject* /*sender*/) {
    if (lnk::usbOpen.load() && lnk::attached.load()) {
        ShowIdentity();
        ShowInformation();
        if (imageCheck.imageValid && !FlashJob.busy.load()) {
            btnFlash->SetEnabled(true);
        }
        if (!timerFlashState->Enabled()) {
            timerFlashState->SetEnabled(true);
        }
        return;
    }
    timerFlashState->SetEnabled(false);
    ShowWaiting("Wait USB Connection...");
    if (FlashJob.busy.load()) {
        lblKeyHelp->Hide();
    } else {
        lblKeyHelp->SetCaption(kKeyHelp);
        lblKeyHelp->Show();
    }
    btnFlash->SetEnabled(false);
}

void TFormOstrel::LogoAddressAccepted() {
    OpenDialog->SetFilter(kLogoFilter);
}

void TFormOstrel::IdentityFilled() {
    lblKeyHelp->Hide();
}

}  // namespace ostrel
