// OstrelProbe's window as the user sees it at start: the logo column on the left, the
// connection box and the "Status" group across the top, the three step memos below with
// Check under the second and Close under the third.
#include "app/shell/InfoText.h"
#include "probe/ProbeWindow.h"

namespace probe {

using namespace vcl;

namespace {

constexpr int kMemoTop = 150;
constexpr int kMemoWidth = 166;
constexpr int kMemoHeight = 214;
constexpr int kButtonTop = 382;

}  // namespace

// The window's font is "MS Sans Serif", height -13 (set by the shared part).
TFormOstrel::TFormOstrel(TComponent* owner) : TShellForm(owner, -13) {
    SetClientSize(633, 447);
    SetBorderStyle(bsSingle);
    SetBorderIcons({biMinimize});
    SetColor(clBtnFace);
    OnCreate = Method(this, &TFormOstrel::FormCreate);
    OnClose = Method(this, &TFormOstrel::FormClose);

    PlaceSharedControls();

    Memo1 = StepMemo(
        110, {"Connect USB to", "projector and press ", "<Enter + Power> ", "for 3 seconds at ",
              "standby mode on ", "projector to activate ", "Projector Control. ", "",
              "This activate the ", "install wizard if the ", "driver is not installed!"});
    Memo1->Font()->SetColor(clBlack);
    Memo2 = StepMemo(
        284, {"After Projector Control", "driver installed, press ", "Check button below to ",
              "bring the projector into", "Ostrel mode.", "", "This will active the ",
              "driver install wizard", "twice if the driver not", "installed yet!"});
    Memo3 = StepMemo(458, {"Press the Close button", "to exit the test.", "",
                           "Your USB driver now ", "installed and is ready for", "Ostrel upgrade!",
                           "", "Power off the projector", "after this test!"});

    btnCheckOstrel = new TButton(this);
    btnCheckOstrel->SetParent(this);
    btnCheckOstrel->SetBounds(284 + (kMemoWidth - 99) / 2, kButtonTop, 99, 49);
    btnCheckOstrel->SetCaption("Check");
    btnCheckOstrel->SetEnabled(false);
    btnCheckOstrel->OnClick = Method(this, &TFormOstrel::btnCheckOstrelClick);

    btnClose = new TButton(this);
    btnClose->SetParent(this);
    btnClose->SetBounds(458 + (kMemoWidth - 97) / 2, kButtonTop, 97, 49);
    btnClose->SetCaption("Close");
    btnClose->OnClick = Method(this, &TFormOstrel::btnCloseClick);

    TimerTestOstrel = new TTimer(this);
    TimerTestOstrel->SetInterval(1000);
    TimerTestOstrel->SetEnabled(false);
    TimerTestOstrel->OnTimer = Method(this, &TFormOstrel::TimerTestOstrelTimer);

    RefitLabels();
    SetCaption(shell::MainCaption(kDesignCaption, kRevisionKeyword));
}

void TFormOstrel::PlaceSharedControls() {
    ImageOEMLogo->SetBounds(8, 8, 92, 431);
    GroupBoxTarget->SetBounds(110, 8, 412, 132);
    // Labels keep the size of their text; only their place changes.
    auto moveTo = [](TControl* control, int left, int top) {
        control->SetLeft(left);
        control->SetTop(top);
    };
    moveTo(lblConnection, 534, 16);
    editUSB->SetBounds(534, 36, 88, 23);
    moveTo(lblWinVer, 534, 66);
    // The larger font of this window needs wider columns in "Status".
    moveTo(lblTarget, 84, 20);
    moveTo(lblSerial, 300, 20);
    moveTo(lblProduct, 160, 33);
    moveTo(lblVersion, 130, 68);
    moveTo(lblRelease, 268, 68);
    moveTo(lblSplashAddress, 130, 88);
    moveTo(lblResolution, 268, 88);
    // Hidden service buttons: their handlers run from the test timer and from closing.
    btnEnterBootLoader->SetBounds(534, 96, 88, 27);
    btnExitBL->SetBounds(534, 128, 88, 27);
    btnUSBopen->SetBounds(534, 160, 88, 27);
}

TMemo* TFormOstrel::StepMemo(int left, std::initializer_list<const char*> lines) {
    auto* memo = new TMemo(this);
    memo->SetParent(this);
    memo->SetBounds(left, kMemoTop, kMemoWidth, kMemoHeight);
    memo->SetColor(clSilver);
    memo->Font()->SetName("Arial");
    memo->Font()->SetHeight(-13);
    memo->Font()->SetColor(clGray);
    memo->SetWordWrap(false);
    for (const char* line : lines) {
        memo->Lines()->Add(line);
    }
    return memo;
}

}  // namespace probe
