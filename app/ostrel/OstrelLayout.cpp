// Ostrel's main window as the user sees it at start: every control at its place with
// its caption, font, visibility and enabled state, and the tab order.
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/InfoText.h"

namespace ostrel {

using namespace vcl;

namespace {

constexpr int kSmallFontHeight = -12;
constexpr char kBytesPlaceholder[] = "?                         ";

template <typename Control>
Control* Place(TComponent* owner, TWinControl* parent, int left, int top, int width, int height,
               const std::string& caption = {}) {
    auto* control = new Control(owner);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    if (!caption.empty()) {
        control->SetCaption(caption);
    }
    return control;
}

}  // namespace

// The window's font is "MS Sans Serif", height -10 (set by the shared part).
TFormOstrel::TFormOstrel(TComponent* owner) : TShellForm(owner, -10) {
    SetClientSize(514, 364);
    SetBorderStyle(bsSingle);
    SetBorderIcons({biMinimize});
    SetColor(clBtnFace);
    OnCreate = Method(this, &TFormOstrel::FormCreate);
    OnClose = Method(this, &TFormOstrel::FormClose);

    BuildFileControls();
    lblKeyHelp = Place<TLabel>(this, GroupBoxTarget, 13, 59, 6, 13, "?");
    lblKeyHelp->Font()->SetHeight(kSmallFontHeight);
    lblKeyHelp->Hide();
    BuildOptionGroups();
    BuildLogoGroup();
    BuildProgressLine();
    BuildJobComponents();
    SetTabOrders();
    BindJobHandlers();

    RefitLabels();
    SetCaption(shell::MainCaption(kDesignCaption, kRevisionKeyword));
}

void TFormOstrel::BuildFileControls() {
    Label1 = Place<TLabel>(this, this, 13, 21, 45, 13, "Directory:");
    Label2 = Place<TLabel>(this, this, 13, 47, 47, 13, "Flash File:");
    editDirectory = Place<TEdit>(this, this, 91, 20, 417, 21);
    editDirectory->SetEnabled(false);
    editFlashFile = Place<TComboBox>(this, this, 91, 46, 339, 21);
    btnChoose = Place<TButton>(this, this, 436, 46, 72, 20, "Choose...");
    btnChoose->SetHint("Choose a target file for projector");
}

void TFormOstrel::BuildOptionGroups() {
    GroupBoxFlashOption = Place<TGroupBox>(this, this, 92, 202, 165, 124, "Options");
    GroupBoxFlashOption->SetEnabled(false);
    Label3 = Place<TLabel>(this, GroupBoxFlashOption, 7, 29, 103, 13, "Flash write delay (ms):");
    editFlashWriteDelay = Place<TEdit>(this, GroupBoxFlashOption, 124, 26, 26, 21, "1");
    editFlashWriteDelay->SetEnabled(false);
    CheckBoxSkipBoot =
        Place<TCheckBox>(this, GroupBoxFlashOption, 7, 59, 156, 16, "Skip boot code ");
    cbReset =
        Place<TCheckBox>(this, GroupBoxFlashOption, 7, 89, 156, 13, "Reset target after downlaod");
    cbReset->SetChecked(true);

    GroupBoxFlashMode = Place<TGroupBox>(this, this, 273, 202, 235, 52, "Mode");
    GroupBoxFlashMode->Font()->SetHeight(kSmallFontHeight);
    GroupBoxFlashMode->SetEnabled(false);
    rbFlash = Place<TRadioButton>(this, GroupBoxFlashMode, 13, 26, 72, 14, "Flash");
    rbFlash->SetChecked(true);
    rbVerify = Place<TRadioButton>(this, GroupBoxFlashMode, 111, 26, 72, 14, "Verify");

    // Shares the place of "Mode"; shown instead of it while a JPEG picture is loaded.
    GroupBoxJPEGColors = Place<TGroupBox>(this, this, 273, 202, 235, 52, "JPEG Colors");
    GroupBoxJPEGColors->Hide();
    rb24bit = Place<TRadioButton>(this, GroupBoxJPEGColors, 13, 26, 59, 14, "24bit");
    rb24bit->SetHint("True color");
    rb24bit->SetChecked(true);
    rb16bit = Place<TRadioButton>(this, GroupBoxJPEGColors, 85, 26, 59, 14, "16bit");
    rb16bit->SetHint("High color");
    rb8bit = Place<TRadioButton>(this, GroupBoxJPEGColors, 156, 26, 59, 14, "8bit");
    rb8bit->SetHint("Less colors");
}

void TFormOstrel::BuildLogoGroup() {
    // Shares the place of "Options"; shown instead of it while a picture is loaded.
    GroupBoxBitmap = Place<TGroupBox>(this, this, 91, 202, 166, 150, "Logo");
    GroupBoxBitmap->Hide();
    Image1 = Place<TImage>(this, GroupBoxBitmap, 2, 15, 162, 122);
    Image1->SetAlign(alTop);
    Image1->SetStretch(true);
    Image1->SetHint("The image will be flashed into your projector!");
    pnlImgSize = Place<TPanel>(this, GroupBoxBitmap, 2, 135, 162, 13);
    pnlImgSize->SetAlign(alBottom);
    pnlImgSize->SetCaption("");
}

void TFormOstrel::BuildProgressLine() {
    ProgressBar = Place<TProgressBar>(this, this, 273, 260, 235, 20);
    ProgressBar->SetMin(0);
    ProgressBar->SetMax(100);
    ProgressBar->SetSmooth(true);
    lblBytes = Place<TLabel>(this, this, 273, 286, 114, 13, kBytesPlaceholder);
    lblBytes->Hide();
    lblTime = Place<TLabel>(this, this, 455, 286, 53, 13, "Time:00:00");
    lblTime->Hide();
    lblCheckSum = Place<TLabel>(this, this, 273, 306, 56, 13, "Checksum: ");
    lblCheckSum->Hide();

    btnFlash = Place<TButton>(this, this, 273, 325, 61, 27, "Start");
    btnFlash->SetHint("Start to update new firmware");
    btnFlash->SetEnabled(false);
    btnClose = Place<TButton>(this, this, 449, 325, 60, 27, "Close");
    btnClose->OnClick = Method(this, &TFormOstrel::btnCloseClick);
}

void TFormOstrel::BuildJobComponents() {
    // Working buffers of the logo import, never shown.
    imgBuf = Place<TImage>(this, this, 0, 299, 104, 62);
    imgBuf->Hide();
    imgBufScaled = Place<TImage>(this, this, 0, 241, 92, 46);
    imgBufScaled->Hide();

    btnEraseFlash = Place<TButton>(this, this, 449, 299, 60, 20, "EraseFlash");
    btnEraseFlash->Hide();
    btnEraseLogo = Place<TButton>(this, this, 362, 299, 61, 20, "EraseLogo");
    btnEraseLogo->Hide();

    OpenDialog = new TOpenDialog(this);
    OpenDialog->SetDefaultExt("IMG");
    OpenDialog->SetFilter(kInitialFilter);

    timerFlashState = new TTimer(this);
    timerFlashState->SetInterval(1000);
    timerFlashState->SetEnabled(false);

    ActionList1 = new TActionList(this);
    auto action = [this](const char* name) {
        auto* made = new TAction(ActionList1);
        made->SetName(name);
        made->SetCaption(name);
        return made;
    };
    ActionBMP = action("ActionBMP");
    ActionJPEG = action("ActionJPEG");
    ActionSPLB = action("ActionSPLB");
    ActionRLE8 = action("ActionRLE8");
    ActionChkImg = action("ActionChkImg");
    ActionChkImg->SetCaption("ActionCheckFlashImgSig");
    ActionLoadFile = action("ActionLoadFile");
    ActionSPLC = action("ActionSPLC");
}

void TFormOstrel::SetTabOrders() {
    TControl* const order[] = {
        editDirectory,       btnChoose,      editFlashFile, editUSB,
        ProgressBar,         btnFlash,       btnClose,      GroupBoxTarget,
        btnEnterBootLoader,  btnExitBL,      btnUSBopen,    btnEraseFlash,
        GroupBoxFlashOption, GroupBoxBitmap, btnEraseLogo,  GroupBoxFlashMode,
        GroupBoxJPEGColors};
    int position = 0;
    for (TControl* control : order) {
        control->SetTabOrder(position++);
    }
}

void TFormOstrel::BindJobHandlers() {
    btnFlash->OnClick = Method(this, &TFormOstrel::btnFlashClick);
    timerFlashState->OnTimer = Method(this, &TFormOstrel::timerFlashStateTimer);
    btnEraseFlash->OnClick = Method(this, &TFormOstrel::btnEraseFlashClick);
    btnEraseLogo->OnClick = Method(this, &TFormOstrel::btnEraseLogoClick);
    CheckBoxSkipBoot->OnClick = Method(this, &TFormOstrel::CheckBoxSkipBootClick);
    btnChoose->OnClick = Method(this, &TFormOstrel::btnChooseClick);
    editFlashFile->OnDblClick = Method(this, &TFormOstrel::editFlashFileDblClick);
    editFlashWriteDelay->OnChange = Method(this, &TFormOstrel::editFlashWriteDelayChange);
    ActionLoadFile->OnExecute = Method(this, &TFormOstrel::ActionLoadFileExecute);
    ActionChkImg->OnExecute = Method(this, &TFormOstrel::ActionChkImgExecute);
    ActionBMP->OnExecute = Method(this, &TFormOstrel::ActionBMPExecute);
    ActionJPEG->OnExecute = Method(this, &TFormOstrel::ActionJPEGExecute);
    ActionSPLB->OnExecute = Method(this, &TFormOstrel::ActionSPLBExecute);
    ActionSPLC->OnExecute = Method(this, &TFormOstrel::ActionSPLCExecute);
    ActionRLE8->OnExecute = Method(this, &TFormOstrel::ActionRLE8Execute);
    // Another colour depth loads, converts and encodes the same file again.
    for (TRadioButton* depth : {rb24bit, rb16bit, rb8bit}) {
        depth->OnClick = Method(this, &TFormOstrel::ActionLoadFileExecute);
    }
}

}  // namespace ostrel
