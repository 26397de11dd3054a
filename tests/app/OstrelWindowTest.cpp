// Ostrel's main window: its controls at start, its life (create, close guard, close) and
// the Open handler.
#include <gtest/gtest.h>

#include "tests/app/OstrelFixture.h"

namespace apptest {
namespace {

using namespace vcl;
using ostrel::TFormOstrel;

constexpr int kAuto = -1;  // labels size themselves to their text

struct ControlRow {
    const char* name;
    TControl* (*control)(TFormOstrel&);
    TControl* (*parent)(TFormOstrel&);
    int left, top, width, height;
    const char* caption;
    bool visible;
    bool enabled;
};

TControl* OnForm(TFormOstrel& form) {
    return &form;
}
TControl* InStatus(TFormOstrel& form) {
    return form.GroupBoxTarget;
}
TControl* InOptions(TFormOstrel& form) {
    return form.GroupBoxFlashOption;
}
TControl* InLogo(TFormOstrel& form) {
    return form.GroupBoxBitmap;
}
TControl* InMode(TFormOstrel& form) {
    return form.GroupBoxFlashMode;
}
TControl* InColors(TFormOstrel& form) {
    return form.GroupBoxJPEGColors;
}

#define ROW(name, parent, ...)                                                                \
    ControlRow {                                                                              \
#name, [](TFormOstrel & form) -> TControl* { return form.name; }, parent, __VA_ARGS__ \
    }

const ControlRow kControls[] = {
    ROW(ImageOEMLogo, OnForm, 7, 72, 78, 260, "", true, true),
    ROW(Label1, OnForm, 13, 21, kAuto, kAuto, "Directory:", true, true),
    ROW(Label2, OnForm, 13, 47, kAuto, kAuto, "Flash File:", true, true),
    ROW(editDirectory, OnForm, 91, 20, 417, 21, "", true, false),
    ROW(editFlashFile, OnForm, 91, 46, 339, 21, "", true, true),
    ROW(btnChoose, OnForm, 436, 46, 72, 20, "Choose...", true, true),
    ROW(lblConnection, OnForm, 436, 85, kAuto, kAuto, "Connection", true, true),
    ROW(editUSB, OnForm, 436, 104, 72, 21, "USB", true, false),
    ROW(lblWinVer, OnForm, 436, 130, kAuto, kAuto, "Driver: 700", true, true),
    ROW(GroupBoxTarget, OnForm, 91, 72, 338, 124, "Status", true, true),
    ROW(Label6, InStatus, 13, 20, kAuto, kAuto, "Projector:", true, true),
    ROW(lblTarget, InStatus, 65, 20, kAuto, kAuto, "Waiting USB Connection !", true, true),
    ROW(lblSerial, InStatus, 221, 20, kAuto, kAuto, "Serial", false, true),
    ROW(lblMFG, InStatus, 13, 33, kAuto, kAuto, "Manufacturer", false, true),
    ROW(lblProduct, InStatus, 130, 33, kAuto, kAuto, "Product", false, true),
    ROW(lblDeviceDsc, InStatus, 13, 46, kAuto, kAuto, nullptr, false, true),
    ROW(lblKeyHelp, InStatus, 13, 59, kAuto, kAuto, "?", false, true),
    ROW(lblConfig, InStatus, 13, 68, kAuto, kAuto, "C ", false, true),
    ROW(lblVersion, InStatus, 117, 68, kAuto, kAuto, "V", false, true),
    ROW(lblRelease, InStatus, 215, 68, kAuto, kAuto, "R", false, true),
    ROW(lblUnitLife, InStatus, 13, 88, kAuto, kAuto, "Life", false, true),
    ROW(lblSplashAddress, InStatus, 117, 88, kAuto, kAuto, "Logo", false, true),
    ROW(lblResolution, InStatus, 215, 88, kAuto, kAuto, "Resolution", false, true),
    ROW(lblMsg, InStatus, 13, 104, kAuto, kAuto, nullptr, false, true),
    ROW(GroupBoxFlashOption, OnForm, 92, 202, 165, 124, "Options", true, false),
    ROW(Label3, InOptions, 7, 29, kAuto, kAuto, "Flash write delay (ms):", true, true),
    ROW(editFlashWriteDelay, InOptions, 124, 26, 26, 21, "1", true, false),
    ROW(CheckBoxSkipBoot, InOptions, 7, 59, 156, 16, "Skip boot code ", true, true),
    ROW(cbReset, InOptions, 7, 89, 156, 13, "Reset target after downlaod", true, true),
    ROW(GroupBoxBitmap, OnForm, 91, 202, 166, 150, "Logo", false, true),
    ROW(Image1, InLogo, 2, kAuto, 162, 122, "", true, true),
    ROW(pnlImgSize, InLogo, 2, kAuto, 162, 13, "", true, true),
    ROW(GroupBoxFlashMode, OnForm, 273, 202, 235, 52, "Mode", true, false),
    ROW(rbFlash, InMode, 13, 26, 72, 14, "Flash", true, true),
    ROW(rbVerify, InMode, 111, 26, 72, 14, "Verify", true, true),
    ROW(GroupBoxJPEGColors, OnForm, 273, 202, 235, 52, "JPEG Colors", false, true),
    ROW(rb24bit, InColors, 13, 26, 59, 14, "24bit", true, true),
    ROW(rb16bit, InColors, 85, 26, 59, 14, "16bit", true, true),
    ROW(rb8bit, InColors, 156, 26, 59, 14, "8bit", true, true),
    ROW(ProgressBar, OnForm, 273, 260, 235, 20, "", true, true),
    ROW(lblBytes, OnForm, 273, 286, kAuto, kAuto, nullptr, false, true),
    ROW(lblTime, OnForm, 455, 286, kAuto, kAuto, "Time:00:00", false, true),
    ROW(lblCheckSum, OnForm, 273, 306, kAuto, kAuto, "Checksum: ", false, true),
    ROW(btnFlash, OnForm, 273, 325, 61, 27, "Start", true, false),
    ROW(btnClose, OnForm, 449, 325, 60, 27, "Close", true, true),
    ROW(imgBuf, OnForm, 0, 299, 104, 62, "", false, true),
    ROW(imgBufScaled, OnForm, 0, 241, 92, 46, "", false, true),
    ROW(btnEnterBootLoader, OnForm, 345, 325, 46, 27, "Enter BL", false, true),
    ROW(btnExitBL, OnForm, 397, 325, 46, 27, "Exit BL", false, true),
    ROW(btnUSBopen, OnForm, 436, 150, 60, 20, "Open", false, true),
    ROW(btnEraseFlash, OnForm, 449, 299, 60, 20, "EraseFlash", false, true),
    ROW(btnEraseLogo, OnForm, 362, 299, 61, 20, "EraseLogo", false, true),
};

class OstrelStart : public OstrelWindow {};

TEST_F(OstrelStart, EveryControlStartsAtItsPlaceWithItsCaptionAndState) {
    TFormOstrel& form = Open();
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        TControl* control = row.control(form);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Parent(), row.parent(form));
        EXPECT_EQ(control->Left(), row.left);
        if (row.top != kAuto) {
            EXPECT_EQ(control->Top(), row.top);
        }
        if (row.width != kAuto) {
            EXPECT_EQ(control->Width(), row.width);
            EXPECT_EQ(control->Height(), row.height);
        }
        if (row.caption != nullptr) {
            EXPECT_EQ(control->Caption(), row.caption);
        }
        EXPECT_EQ(control->Visible(), row.visible);
        EXPECT_EQ(control->Enabled(), row.enabled);
    }
    EXPECT_EQ(form.lblDeviceDsc->Caption().substr(0, 4), "??? ");
    EXPECT_EQ(form.lblMsg->Caption().substr(0, 2), "? ");
    EXPECT_EQ(form.lblBytes->Caption().substr(0, 2), "? ");
}

TEST_F(OstrelStart, WindowCaptionEndsWithTheRevisionAndItsTrailingBlank) {
    TFormOstrel& form = Open();
    EXPECT_EQ(form.Caption(), "Projector Ostrel     Release: 5.2  Revision: 1.24H3 ");
    EXPECT_EQ(form.ClientWidth(), 514);
    EXPECT_EQ(form.ClientHeight(), 364);
    EXPECT_EQ(form.BorderStyle(), bsSingle);
    EXPECT_EQ(form.BorderIcons(), TBorderIcons{biMinimize});
    EXPECT_EQ(form.Font()->Height(), -10);
}

TEST_F(OstrelStart, FormCreateCentresRoundingTowardZeroAndGreysTheDisabledGroups) {
    TFormOstrel& form = Open();
    EXPECT_EQ(form.Left(), 1025 / 2 - form.Width() / 2);
    EXPECT_EQ(form.Top(), 769 / 2 - form.Height() / 2);
    EXPECT_EQ(form.GroupBoxFlashOption->Font()->Color(), clGray);
    EXPECT_EQ(form.GroupBoxFlashMode->Font()->Color(), clGray);
    EXPECT_FALSE(form.CheckBoxSkipBoot->Checked());
    EXPECT_TRUE(form.cbReset->Checked());
    EXPECT_TRUE(form.rbFlash->Checked());
    EXPECT_TRUE(form.rb24bit->Checked());
    EXPECT_TRUE(lnk::usbOpen.load());
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(OstrelStart, FontsTimersDialogAndActionsAreAsDesigned) {
    TFormOstrel& form = Open();
    for (TLabel* grey :
         {form.lblTarget, form.lblSerial, form.lblMFG, form.lblProduct, form.lblWinVer}) {
        EXPECT_EQ(grey->Font()->Color(), clGray);
        EXPECT_EQ(grey->Font()->Height(), -12);
    }
    for (TLabel* bold : {form.lblDeviceDsc, form.lblMsg}) {
        EXPECT_TRUE(bold->Font()->Style().Contains(fsBold));
        EXPECT_EQ(bold->Font()->Height(), -12);
    }
    EXPECT_EQ(form.GroupBoxFlashMode->Font()->Height(), -12);
    EXPECT_EQ(form.btnChoose->Hint(), "Choose a target file for projector");
    EXPECT_EQ(form.btnFlash->Hint(), "Start to update new firmware");
    EXPECT_EQ(form.Image1->Hint(), "The image will be flashed into your projector!");
    EXPECT_EQ(form.rb16bit->Hint(), "High color");
    EXPECT_EQ(form.ProgressBar->Min(), 0);
    EXPECT_EQ(form.ProgressBar->Max(), 100);
    EXPECT_TRUE(form.timerStatus->Enabled());
    EXPECT_TRUE(form.timerUSBopen->Enabled());
    EXPECT_FALSE(form.timerFlashState->Enabled());
    EXPECT_EQ(form.timerFlashState->Interval(), 1000u);
    EXPECT_EQ(form.OpenDialog->Filter(), "Projector firmware image|*.img");
    EXPECT_EQ(form.OpenDialog->DefaultExt(), "IMG");
    EXPECT_EQ(form.ActionChkImg->Caption(), "ActionCheckFlashImgSig");
    EXPECT_EQ(form.ActionList1->ComponentCount(), 7);
    EXPECT_GT(form.ImageOEMLogo->PictureWidth(), 0);
}

TEST_F(OstrelStart, TabOrderFollowsTheDesign) {
    TFormOstrel& form = Open();
    const TControl* order[] = {
        form.editDirectory,       form.btnChoose,      form.editFlashFile, form.editUSB,
        form.ProgressBar,         form.btnFlash,       form.btnClose,      form.GroupBoxTarget,
        form.btnEnterBootLoader,  form.btnExitBL,      form.btnUSBopen,    form.btnEraseFlash,
        form.GroupBoxFlashOption, form.GroupBoxBitmap, form.btnEraseLogo,  form.GroupBoxFlashMode,
        form.GroupBoxJPEGColors};
    int expected = 0;
    for (const TControl* control : order) {
        EXPECT_EQ(control->TabOrder(), expected++);
    }
}

TEST_F(OstrelStart, CloseRefusesWhileAJobIsBusyAndClosesTheLinkOtherwise) {
    TFormOstrel& form = Open();
    form.Show();
    ostrel::FlashJob.busy = true;
    form.btnClose->Click();
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "Please wait till flash job finished.");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "Flash is busy!");
    EXPECT_EQ(boxes_.Boxes()[0].kind, BoxKind::Plain);
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(lnk::usbOpen.load());

    ostrel::FlashJob.busy = false;
    form.btnClose->Click();
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(lnk::usbOpen.load());
    EXPECT_EQ(boxes_.Boxes().size(), 1u);
}

TEST_F(OstrelStart, MissingUsbFileIsReportedAndClosingCallsNothing) {
    RemoveUsbFile();
    TFormOstrel& form = Open();
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{"No INI file found! USB will not work!",
                                                        "USB open error"}));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"INI open error", "USB open error!"}));
    EXPECT_FALSE(lnk::usbOpen.load());
    EXPECT_FALSE(form.lblWinVer->Visible());
    form.Show();
    form.btnClose->Click();
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(boxes_.Boxes().size(), 2u);
}

TEST_F(OstrelStart, OpenWhileOpenSaysSo) {
    TFormOstrel& form = Open();
    form.btnUSBopen->Click();
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "USB already open!");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "myUSBopen");
}

struct DriverRow {
    const char* name;
    uint32_t version;
    bool lineShown;
};

TEST_F(OstrelStart, DriverVersionBelow623IsReportedInTheApplicationsBox) {
    TFormOstrel& form = Open();
    for (const DriverRow& row : {DriverRow{"old", 622, false}, DriverRow{"lowest", 623, true},
                                 DriverRow{"newer", 1100, true}}) {
        SCOPED_TRACE(row.name);
        boxes_.Clear();
        form.lblWinVer->Hide();
        drv::SetReportedVersion(row.version);
        form.ShowDriverVersion();
        EXPECT_EQ(form.lblWinVer->Caption(), "Driver: " + std::to_string(row.version));
        EXPECT_EQ(form.lblWinVer->Visible(), row.lineShown);
        if (row.lineShown) {
            EXPECT_TRUE(boxes_.Boxes().empty());
        } else {
            ASSERT_EQ(boxes_.Boxes().size(), 1u);
            EXPECT_EQ(boxes_.Boxes()[0].text, "Incorrect WinDriver version!");
            EXPECT_EQ(boxes_.Boxes()[0].caption, "Error");
            EXPECT_EQ(boxes_.Boxes()[0].kind, BoxKind::Application);
        }
    }
}

TEST_F(OstrelStart, DriverThatTheLibraryRefusesLeavesTheLinkClosed) {
    // The USB library itself refuses a driver below 623, so the link never opens and
    // the Open handler reports that before any version line.
    drv::SetReportedVersion(622);
    TFormOstrel& form = Open();
    EXPECT_FALSE(lnk::usbOpen.load());
    EXPECT_TRUE(Shown("USB open error"));
    EXPECT_FALSE(form.lblWinVer->Visible());
}

using OstrelStartDeathTest = OstrelStart;

TEST_F(OstrelStartDeathTest, MissingDriverEndsTheProgramWithExitCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            drv::SetUnopenable(true);
            Open();
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace apptest
