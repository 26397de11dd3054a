#include "probe/ProbeWindow.h"

#include "link/State.h"
#include "platform/clock/Clock.h"

namespace probe {

using namespace vcl;

TFormOstrel* FormOstrel = nullptr;
bool checkRequested = false;
int testStep = 0;

void ResetProbeTest() {
    checkRequested = false;
    testStep = 0;
}

void Highlight(TMemo* memo) {
    memo->Font()->SetColor(clBlack);
    memo->Font()->SetStyle({fsBold});
}

void Grey(TMemo* memo) {
    memo->Font()->SetColor(clGray);
    memo->Font()->SetStyle({});
}

namespace {

bool InOstrelMode() {
    return lnk::serialNumberIndex.load() == lnk::kOstrelModeSerialIndex;
}

}  // namespace

void TFormOstrel::FormCreate(TObject* /*sender*/) {
    CentreWindow();
    btnUSBopenClick(this);
}

void TFormOstrel::btnCloseClick(TObject* /*sender*/) {
    Close();
}

void TFormOstrel::FormClose(TObject* /*sender*/) {
    if (lnk::usbOpen.load() && lnk::attached.load() && InOstrelMode()) {
        btnExitBLClick(this);
        plat::Sleep(kCloseWaitMs);
    }
    lnk::MyUSBclose();
}

void TFormOstrel::ShowStep(int step) {
    TMemo* memos[] = {Memo1, Memo2, Memo3};
    for (int i = 0; i < 3; ++i) {
        if (i + 1 == step) {
            Highlight(memos[i]);
        } else {
            Grey(memos[i]);
        }
    }
}

void TFormOstrel::timerStatusTimer(TObject* /*sender*/) {
    if (lnk::usbOpen.load() && lnk::attached.load()) {
        ShowIdentity();
        ShowInformation();
        if (InOstrelMode()) {
            ShowStep(3);
            btnCheckOstrel->SetEnabled(false);
        } else if (!checkRequested) {
            ShowStep(2);
            btnCheckOstrel->SetEnabled(true);
        }
        return;
    }
    ShowWaiting("Wait USB Connection!");
    // Once the test has started, the memos keep their step while the projector restarts.
    if (!TimerTestOstrel->Enabled()) {
        ShowStep(1);
        btnCheckOstrel->SetEnabled(false);
    }
}

void TFormOstrel::btnCheckOstrelClick(TObject* /*sender*/) {
    TimerTestOstrel->SetEnabled(true);
    checkRequested = true;
    Grey(Memo2);
    btnCheckOstrel->SetEnabled(false);
}

void TFormOstrel::TimerTestOstrelTimer(TObject* /*sender*/) {
    switch (testStep) {
        case 0:
            if (lnk::usbOpen.load() && lnk::attached.load() && checkRequested) {
                // Set first: boxes of the switch let further ticks run.
                testStep = 1;
                lblMsg->SetCaption(kSwitchingText);
                lblMsg->Show();
                btnEnterBootLoaderClick(this);
                plat::Sleep(kAfterEnterMs);
            }
            break;
        case 1:
            if (InOstrelMode()) {
                testStep = 2;
                lblMsg->SetCaption(kEnteredText);
                Grey(Memo2);
                btnCheckOstrel->SetEnabled(false);
                Highlight(Memo3);
            }
            break;
        default:
            checkRequested = false;
            break;
    }
}

}  // namespace probe
