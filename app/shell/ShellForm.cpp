#include "app/shell/ShellForm.h"

#include <utility>

#include "app/shell/AboutBox.h"
#include "app/shell/Artwork.h"
#include "app/shell/InfoText.h"
#include "app/shell/ProjectorInfo.h"
#include "link/State.h"
#include "platform/drv/Drv.h"

namespace shell {

using namespace vcl;

namespace {

constexpr int kSmallFontHeight = -12;
constexpr char kDescriptionPlaceholder[] = "???                                                 ";
constexpr char kMessagePlaceholder[] = "?                                                    ";

}  // namespace

TShellForm::TShellForm(TComponent* owner, int fontHeight) : TForm(owner) {
    Font()->SetName("MS Sans Serif");
    Font()->SetHeight(fontHeight);
    BuildConnectionControls();
    BuildStatusGroup();
    BuildServiceButtons();

    timerStatus = new TTimer(this);
    timerStatus->SetInterval(1000);
    // The tick is each program's own; bound through a lambda so it dispatches to it.
    timerStatus->OnTimer = [this](TObject* sender) { timerStatusTimer(sender); };
    timerUSBopen = new TTimer(this);
    timerUSBopen->SetInterval(1000);
    timerUSBopen->OnTimer = Method(this, &TShellForm::timerUSBopenTimer);
}

TShellForm::~TShellForm() = default;

void TShellForm::BuildConnectionControls() {
    ImageOEMLogo = new TImage(this);
    ImageOEMLogo->SetParent(this);
    ImageOEMLogo->SetBounds(7, 72, 78, 260);
    ImageOEMLogo->SetCenter(true);
    ImageOEMLogo->SetProportional(true);
    ImageOEMLogo->SetStretch(true);
    const Picture logo = LogoPicture();
    ImageOEMLogo->SetPicture(logo.width, logo.height, logo.pixels);
    ImageOEMLogo->OnClick = Method(this, &TShellForm::ImageOEMLogoClick);

    lblConnection = new TLabel(this);
    lblConnection->SetParent(this);
    lblConnection->SetBounds(436, 85, 54, 13);
    lblConnection->SetCaption("Connection");

    editUSB = new TEdit(this);
    editUSB->SetParent(this);
    editUSB->SetBounds(436, 104, 72, 21);
    editUSB->SetText("USB");
    editUSB->SetEnabled(false);

    lblWinVer = new TLabel(this);
    lblWinVer->SetParent(this);
    lblWinVer->SetBounds(436, 130, 31, 13);
    lblWinVer->Font()->SetColor(clGray);
    lblWinVer->Font()->SetHeight(kSmallFontHeight);
    lblWinVer->SetCaption("Driver:");
    lblWinVer->Hide();
}

TLabel* TShellForm::StatusLabel(int left, int top, const char* caption, bool grey, bool bold) {
    auto* label = new TLabel(this);
    label->SetParent(GroupBoxTarget);
    label->SetBounds(left, top, 0, 13);
    // The font first: the label measures itself again at every change of caption or font.
    if (grey) {
        label->Font()->SetColor(clGray);
    }
    if (grey || bold) {
        label->Font()->SetHeight(kSmallFontHeight);
    }
    if (bold) {
        label->Font()->SetStyle({fsBold});
    }
    label->SetCaption(caption);
    return label;
}

void TShellForm::BuildStatusGroup() {
    GroupBoxTarget = new TGroupBox(this);
    GroupBoxTarget->SetParent(this);
    GroupBoxTarget->SetBounds(91, 72, 338, 124);
    GroupBoxTarget->SetCaption("Status");

    Label6 = StatusLabel(13, 20, "Projector:", false, false);
    lblTarget = StatusLabel(65, 20, "Waiting USB Connection !", true, false);
    lblSerial = StatusLabel(221, 20, "Serial", true, false);
    lblMFG = StatusLabel(13, 33, "Manufacturer", true, false);
    lblProduct = StatusLabel(130, 33, "Product", true, false);
    lblDeviceDsc = StatusLabel(13, 46, kDescriptionPlaceholder, false, true);
    lblDeviceDsc->OnClick = Method(this, &TShellForm::lblDeviceDscClick);
    lblConfig = StatusLabel(13, 68, "C ", false, false);
    lblVersion = StatusLabel(117, 68, "V", false, false);
    lblRelease = StatusLabel(215, 68, "R", false, false);
    lblUnitLife = StatusLabel(13, 88, "Life", false, false);
    lblSplashAddress = StatusLabel(117, 88, "Logo", false, false);
    lblResolution = StatusLabel(215, 88, "Resolution", false, false);
    lblMsg = StatusLabel(13, 104, kMessagePlaceholder, false, true);
    for (TLabel* hidden : {lblSerial, lblMFG, lblProduct, lblDeviceDsc, lblConfig, lblVersion,
                           lblRelease, lblUnitLife, lblSplashAddress, lblResolution, lblMsg}) {
        hidden->Hide();
    }
}

void TShellForm::BuildServiceButtons() {
    // Hidden for good: the flash job and OstrelProbe run their handlers directly.
    auto hiddenButton = [this](int left, int top, int width, int height, const char* caption) {
        auto* button = new TButton(this);
        button->SetParent(this);
        button->SetBounds(left, top, width, height);
        button->SetCaption(caption);
        button->Hide();
        return button;
    };
    btnEnterBootLoader = hiddenButton(345, 325, 46, 27, "Enter BL");
    btnEnterBootLoader->OnClick = Method(this, &TShellForm::btnEnterBootLoaderClick);
    btnExitBL = hiddenButton(397, 325, 46, 27, "Exit BL");
    btnExitBL->OnClick = Method(this, &TShellForm::btnExitBLClick);
    btnUSBopen = hiddenButton(436, 150, 60, 20, "Open");
    btnUSBopen->OnClick = Method(this, &TShellForm::btnUSBopenClick);
}

void TShellForm::RefitLabels() {
    for (int i = 0; i < ComponentCount(); ++i) {
        if (auto* label = dynamic_cast<TLabel*>(Components(i)); label && label->AutoSize()) {
            label->SetAutoSize(true);
        }
    }
}

void TShellForm::CentreWindow() {
    SetTop(Screen->Height() / 2 - Height() / 2);
    SetLeft(Screen->Width() / 2 - Width() / 2);
}

void TShellForm::timerUSBopenTimer(TObject* /*sender*/) {
    if (lnk::attached.load()) {
        waitCounter_ = 0;
        editUSB->SetText("USB ");
    } else {
        editUSB->SetText("Wait " + std::to_string(waitCounter_));
        ++waitCounter_;
    }
}

void TShellForm::btnUSBopenClick(TObject* /*sender*/) {
    if (lnk::usbOpen.load()) {
        MessageBox("USB already open!", "myUSBopen");
        return;
    }
    if (!lnk::myUSBopen()) {
        MessageBox("USB open error", "USB open error!");
        return;
    }
    ShowDriverVersion();
}

void TShellForm::ShowDriverVersion() {
    constexpr uint32_t kLowestDriverVersion = 623;
    drv::VersionRecord record{};
    // The status is not looked at: a failed request leaves the version at 0, which the
    // check below reports as too old.
    drv::DrvCall(drv::DrvVersion, lnk::driverHandle.load(), &record, sizeof(record), false);
    lblWinVer->SetCaption("Driver: " + std::to_string(record.version));
    if (record.version >= kLowestDriverVersion) {
        lblWinVer->Show();
    } else {
        ApplicationMessageBox("Incorrect WinDriver version!", "Error");
    }
}

void TShellForm::lblDeviceDscClick(TObject* /*sender*/) {
    descriptionShown_ = !descriptionShown_;
    lblMFG->SetVisible(descriptionShown_);
    lblProduct->SetVisible(descriptionShown_);
    KeepRowsApart();
}

void TShellForm::ImageOEMLogoClick(TObject* /*sender*/) {
    if (AboutBox != nullptr) {
        AboutBox->ShowModal();
    }
}

void TShellForm::KeepRowsApart() {
    // A line that runs into the next one on its row is cut where that one begins, as
    // the opaque labels of the form library would cover it, rather than printed over.
    const std::pair<TLabel*, TLabel*> rows[] = {
        {lblTarget, lblSerial},          {lblMFG, lblProduct},
        {lblConfig, lblVersion},         {lblVersion, lblRelease},
        {lblUnitLife, lblSplashAddress}, {lblSplashAddress, lblResolution}};
    constexpr int kGap = 4;
    for (const auto& [line, next] : rows) {
        line->SetAutoSize(true);
        const int room = next->Left() - kGap - line->Left();
        if (next->Visible() && line->Width() > room) {
            line->SetAutoSize(false);
            line->SetWidth(room);
        }
    }
}

void TShellForm::ShowWaiting(const char* waitingText) {
    lnk::identityShown = false;
    infoShown = false;
    lblTarget->SetCaption(waitingText);
    for (TLabel* line : {lblMFG, lblProduct, lblSerial, lblDeviceDsc, lblConfig, lblVersion,
                         lblRelease, lblSplashAddress, lblUnitLife, lblResolution}) {
        line->Hide();
    }
    KeepRowsApart();
}

void TShellForm::ShowIdentity() {
    if (lnk::identityShown.load()) {
        return;
    }
    // Set first: a message box further down lets nested ticks run.
    lnk::identityShown = true;
    const lnk::IdentityStrings strings = lnk::AttachedStrings();
    const uint16_t productId = lnk::attachedProductId.load();
    lblTarget->SetCaption(TargetLine(lnk::attachedVendorId.load(), productId,
                                     lnk::interfaceNumber.load(), strings.manufacturer));
    lblMFG->SetCaption(strings.manufacturer);
    lblProduct->SetCaption(strings.product);
    lblSerial->SetCaption(SerialLine(lnk::serialNumberIndex.load(), strings.serial));
    lblSerial->Show();
    lblDeviceDsc->SetCaption(lnk::AttachedDescription());
    lblDeviceDsc->Show();
    IdentityFilled();
    lnk::model7616 = productId == 0x7616;
    KeepRowsApart();
}

void TShellForm::ShowInformation() {
    if (infoShown || lnk::serialNumberIndex.load() != 0) {
        return;
    }
    infoShown = true;

    lnk::InfoRecord record{};
    lnk::ReadConfig(record);
    lblConfig->SetCaption(ConfigLine(record));
    lblConfig->Show();

    record = {};
    lnk::ReadVersion(record);
    lblVersion->SetCaption(VersionLine(record));
    lblVersion->Show();

    record = {};
    lnk::ReadReleaseDate(record);
    lblRelease->SetCaption(ReleaseLine(record));
    lblRelease->Show();
    deviceRelease = PackedRelease(record);

    ShowLogoAndLife();

    const uint32_t status = lnk::ReadResolution(displayWidth, displayHeight);
    lblResolution->SetCaption(ResolutionLine(status, displayWidth, displayHeight));
    lblResolution->Show();
    KeepRowsApart();
}

void TShellForm::ShowLogoAndLife() {
    logoReady = false;
    if (lnk::ReadLogoAddress(logoAddress) != 0) {
        return;
    }
    if (LogoAddressUsable(logoAddress, lnk::model7616.load(), TrustsModel7616LogoAddress())) {
        lblSplashAddress->SetCaption(LogoLine(logoAddress));
        lblSplashAddress->Show();
        logoReady = true;
        LogoAddressAccepted();
    }
    if (lnk::ReadUnitLife(unitLife) == 0) {
        lblUnitLife->SetCaption(LifeLine(unitLife));
        lblUnitLife->Show();
    }
}

}  // namespace shell
