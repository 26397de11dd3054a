// OstrelProbe's window against the virtual projector: its layout, the three stages of
// the guide, the mode-switch test and closing.
#include <gtest/gtest.h>

#include "app/shell/AboutBox.h"
#include "probe/ProbeWindow.h"
#include "tests/app/WindowFixture.h"
#include "usb/StatusText.h"

#include <QTimer>

namespace apptest {
namespace {

using namespace vcl;
using probe::TFormOstrel;
using sim::Command;

enum class Look { Highlighted, Greyed };

Look LookOf(const TMemo* memo) {
    const bool highlighted =
        memo->Font()->Color() == clBlack && memo->Font()->Style() == TFontStyles{fsBold};
    const bool greyed = memo->Font()->Color() == clGray && memo->Font()->Style().Empty();
    EXPECT_TRUE(highlighted || greyed);
    return highlighted ? Look::Highlighted : Look::Greyed;
}

class Probe : public WindowTest {
  protected:
    Probe() : WindowTest("ostrel-probe") {}

    void SetUp() override {
        WindowTest::SetUp();
        probe::ResetProbeTest();
    }
    void TearDown() override {
        delete probe::FormOstrel;
        probe::FormOstrel = nullptr;
        probe::ResetProbeTest();
        WindowTest::TearDown();
    }

    TFormOstrel& Open() {
        Application->CreateForm(probe::FormOstrel);
        return *probe::FormOstrel;
    }
    TFormOstrel& Form() { return *probe::FormOstrel; }
    void StatusTick() { Form().timerStatusTimer(Form().timerStatus); }
    void TestTick() { Form().TimerTestOstrelTimer(Form().TimerTestOstrel); }

    // Which memo is highlighted (1 to 3), 0 when none, -1 when more than one.
    int Step() {
        int step = 0;
        const TMemo* memos[] = {Form().Memo1, Form().Memo2, Form().Memo3};
        for (int i = 0; i < 3; ++i) {
            if (LookOf(memos[i]) == Look::Highlighted) {
                step = step == 0 ? i + 1 : -1;
            }
        }
        return step;
    }

    static sim::ProjectorConfig InOstrelMode() {
        sim::ProjectorConfig config;
        config.startMode = sim::Mode::Bootloader;
        return config;
    }

    // Stage 2 reached and Check pressed.
    sim::Projector& Checked(const sim::ProjectorConfig& config = {}) {
        Open();
        sim::Projector& projector = Plug(config);
        StatusTick();
        Form().btnCheckOstrel->Click();
        return projector;
    }
};

TEST_F(Probe, WindowLayoutMemosAndControls) {
    TFormOstrel& form = Open();
    EXPECT_EQ(form.Caption(), "Projector Ostrel  Driver Test   Release: 5.2  Revision: 1.24H2 ");
    EXPECT_EQ(form.ClientWidth(), 633);
    EXPECT_EQ(form.ClientHeight(), 447);
    EXPECT_EQ(form.BorderStyle(), bsSingle);
    EXPECT_EQ(form.BorderIcons(), TBorderIcons{biMinimize});
    EXPECT_EQ(form.Font()->Height(), -13);
    EXPECT_EQ(form.Left(), 1025 / 2 - form.Width() / 2);
    EXPECT_EQ(form.Top(), 769 / 2 - form.Height() / 2);

    EXPECT_EQ(form.Memo1->Lines()->Lines(),
              (std::vector<std::string>{
                  "Connect USB to", "projector and press ", "<Enter + Power> ", "for 3 seconds at ",
                  "standby mode on ", "projector to activate ", "Projector Control. ", "",
                  "This activate the ", "install wizard if the ", "driver is not installed!"}));
    EXPECT_EQ(form.Memo2->Lines()->Lines(),
              (std::vector<std::string>{
                  "After Projector Control", "driver installed, press ", "Check button below to ",
                  "bring the projector into", "Ostrel mode.", "", "This will active the ",
                  "driver install wizard", "twice if the driver not", "installed yet!"}));
    EXPECT_EQ(form.Memo3->Lines()->Lines(),
              (std::vector<std::string>{"Press the Close button", "to exit the test.", "",
                                        "Your USB driver now ", "installed and is ready for",
                                        "Ostrel upgrade!", "", "Power off the projector",
                                        "after this test!"}));
    for (const TMemo* memo : {form.Memo1, form.Memo2, form.Memo3}) {
        EXPECT_EQ(memo->Color(), clSilver);
        EXPECT_EQ(memo->Font()->Name(), "Arial");
        EXPECT_EQ(memo->Font()->Height(), -13);
    }
    EXPECT_EQ(form.Memo1->Font()->Color(), clBlack);
    EXPECT_EQ(form.Memo2->Font()->Color(), clGray);
    EXPECT_EQ(form.Memo3->Font()->Color(), clGray);

    EXPECT_EQ(form.btnCheckOstrel->Caption(), "Check");
    EXPECT_EQ(form.btnCheckOstrel->Width(), 99);
    EXPECT_EQ(form.btnCheckOstrel->Height(), 49);
    EXPECT_FALSE(form.btnCheckOstrel->Enabled());
    EXPECT_EQ(form.btnClose->Caption(), "Close");
    EXPECT_EQ(form.btnClose->Width(), 97);
    EXPECT_EQ(form.btnClose->Height(), 49);
    EXPECT_EQ(form.editUSB->Text(), "USB");
    EXPECT_FALSE(form.editUSB->Enabled());
    EXPECT_EQ(form.lblTarget->Caption(), "Waiting USB Connection !");
    EXPECT_TRUE(form.lblWinVer->Visible());
    for (const TControl* hidden :
         {static_cast<TControl*>(form.btnEnterBootLoader), static_cast<TControl*>(form.btnExitBL),
          static_cast<TControl*>(form.btnUSBopen), static_cast<TControl*>(form.lblMsg)}) {
        EXPECT_FALSE(hidden->Visible());
    }
    EXPECT_TRUE(form.timerStatus->Enabled());
    EXPECT_TRUE(form.timerUSBopen->Enabled());
    EXPECT_FALSE(form.TimerTestOstrel->Enabled());
    EXPECT_TRUE(lnk::usbOpen.load());
}

TEST_F(Probe, ReadsItsOwnUsbFile) {
    // The `.USB` file is named after OstrelProbe's executable.
    std::filesystem::rename(UsbFilePath(), folder_ / "bin" / "ostrel.USB");
    Open();
    EXPECT_FALSE(lnk::usbOpen.load());
    EXPECT_TRUE(Shown("No INI file found! USB will not work!"));
}

TEST_F(Probe, StageOneWhileNoProjectorIsAttached) {
    TFormOstrel& form = Open();
    StatusTick();
    EXPECT_EQ(Step(), 1);
    EXPECT_FALSE(form.btnCheckOstrel->Enabled());
    EXPECT_EQ(form.lblTarget->Caption(), "Wait USB Connection!");
}

TEST_F(Probe, StageTwoShowsTheIdentityAndEnablesCheck) {
    TFormOstrel& form = Open();
    Plug();
    StatusTick();
    EXPECT_EQ(Step(), 2);
    EXPECT_TRUE(form.btnCheckOstrel->Enabled());
    EXPECT_EQ(form.lblTarget->Caption(), "Attached:(0x1501)(0x5010)(0x0)Virtual Optics");
    EXPECT_TRUE(form.lblResolution->Visible());
    EXPECT_EQ(form.lblUnitLife->Caption(), "Life:0002:05");
}

TEST_F(Probe, CheckSwitchesToOstrelModeAndStageThreeFollows) {
    // Off the bus for a whole real second while it restarts: the checks made in that
    // window must not find it back already, however slow the build (sanitizers, load).
    sim::ProjectorConfig config;
    config.timing.restartMs = 100000;
    sim::Projector& projector = Checked(config);
    TFormOstrel& form = Form();
    EXPECT_TRUE(form.TimerTestOstrel->Enabled());
    EXPECT_TRUE(probe::checkRequested);
    EXPECT_EQ(LookOf(form.Memo2), Look::Greyed);
    EXPECT_FALSE(form.btnCheckOstrel->Enabled());

    TestTick();
    EXPECT_EQ(probe::testStep, 1);
    EXPECT_EQ(form.lblMsg->Caption(), "Switching to Ostrel mode...           ");
    EXPECT_TRUE(form.lblMsg->Visible());
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 1u);

    // While the projector restarts the memos keep their state.
    ASSERT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
    StatusTick();
    EXPECT_EQ(form.lblTarget->Caption(), "Wait USB Connection!");
    EXPECT_EQ(Step(), 0);
    TestTick();
    EXPECT_EQ(probe::testStep, 1);

    WaitForAttach(sim::Mode::Bootloader);
    StatusTick();
    EXPECT_EQ(Step(), 3);
    EXPECT_FALSE(form.btnCheckOstrel->Enabled());
    TestTick();
    EXPECT_EQ(probe::testStep, 2);
    EXPECT_EQ(form.lblMsg->Caption(), "Entered Ostrel mode!                  ");
    EXPECT_TRUE(probe::checkRequested);
    TestTick();
    EXPECT_FALSE(probe::checkRequested);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 1u);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Probe, TimersRunTheWholeGuide) {
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug();
    ASSERT_TRUE(PumpUntil([&] { return form.btnCheckOstrel->Enabled(); }, 10000));
    form.btnCheckOstrel->Click();
    ASSERT_TRUE(PumpUntil([] { return probe::testStep == 2 && !probe::checkRequested; }, 20000));
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(projector.CurrentMode(), sim::Mode::Bootloader);
    EXPECT_EQ(form.editUSB->Text(), "USB ");
}

TEST_F(Probe, UnpluggingBeforeCheckReturnsToStageOne) {
    TFormOstrel& form = Open();
    Plug();
    StatusTick();
    Unplug();
    StatusTick();
    EXPECT_EQ(Step(), 1);
    EXPECT_FALSE(form.btnCheckOstrel->Enabled());
    EXPECT_FALSE(form.lblSerial->Visible());
}

TEST_F(Probe, UnpluggingAfterCheckKeepsTheMemos) {
    Checked();
    Unplug();
    StatusTick();
    EXPECT_EQ(Form().lblTarget->Caption(), "Wait USB Connection!");
    EXPECT_EQ(Step(), 0);  // Memo2 greyed by Check, Memo1 greyed by stage 2
    EXPECT_FALSE(Form().btnCheckOstrel->Enabled());
}

TEST_F(Probe, TestTickAfterAnUnplugSendsNothingUntilTheProjectorIsBack) {
    sim::Projector& projector = Checked();
    Unplug();
    TestTick();
    EXPECT_EQ(probe::testStep, 0);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 0u);
    projector.Plug();
    WaitForAttach(sim::Mode::Application);
    TestTick();
    EXPECT_EQ(probe::testStep, 1);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 1u);
}

TEST_F(Probe, SecondCheckAfterStageThreeDoesNotSwitchAgain) {
    sim::Projector& projector = Checked();
    TestTick();
    WaitForAttach(sim::Mode::Bootloader);
    TestTick();
    TestTick();
    ASSERT_EQ(probe::testStep, 2);
    ASSERT_FALSE(probe::checkRequested);

    projector.Restart(sim::Mode::Application);
    ASSERT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
    WaitForAttach(sim::Mode::Application);
    StatusTick();
    EXPECT_EQ(Step(), 2);
    EXPECT_TRUE(Form().btnCheckOstrel->Enabled());
    Form().btnCheckOstrel->Click();
    EXPECT_FALSE(Form().btnCheckOstrel->Enabled());
    for (int i = 0; i < 3; ++i) {
        TestTick();
        StatusTick();
    }
    EXPECT_EQ(probe::testStep, 2);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 1u);
    EXPECT_EQ(projector.CurrentMode(), sim::Mode::Application);
}

TEST_F(Probe, FailedSwitchStaysInStepOne) {
    sim::Projector& projector = Checked();
    sim::Faults faults;
    faults.ignore.command = Command::EnterBootloader;
    faults.ignore.count = sim::kForever;
    projector.SetFaults(faults);
    TestTick();
    EXPECT_TRUE(Shown(std::string("Entering Bootloader Error 20000015 (\"") +
                      usb::StatusText(0x20000015) + "\")"));
    TestTick();
    EXPECT_EQ(probe::testStep, 1);
    EXPECT_EQ(Form().lblMsg->Caption(), probe::kSwitchingText);
}

TEST_F(Probe, StartingInOstrelModeShowsStageThreeAndClosingSendsTheExit) {
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug(InOstrelMode());
    StatusTick();
    EXPECT_EQ(Step(), 3);
    EXPECT_FALSE(form.btnCheckOstrel->Enabled());
    EXPECT_EQ(form.lblSerial->Caption(), "Serial:(0x3)SIM-000001");
    EXPECT_FALSE(form.lblConfig->Visible());

    form.Show();
    const uint64_t before = plat::NowMs();
    form.btnClose->Click();
    const uint64_t spent = plat::NowMs() - before;
    EXPECT_GE(spent, 3500u);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(lnk::usbOpen.load());
    EXPECT_EQ(Commands(projector),
              (std::vector<Command>{Command::ReadStatus, Command::ExitBootloader}));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Probe, ClosingWithoutAProjectorSendsNothing) {
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug();
    Unplug();
    form.Show();
    form.btnClose->Click();
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(lnk::usbOpen.load());
    EXPECT_TRUE(projector.CommandLog().empty());
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Probe, LogoLineNeedsTheOffsetRuleOnEveryModel) {
    // Ostrel takes a 0x7616 projector's logo address as it comes; OstrelProbe checks it.
    sim::ProjectorConfig config = Model7616();
    config.information.logoAddress = 0xFE388000;
    TFormOstrel& form = Open();
    Plug(config);
    StatusTick();
    EXPECT_TRUE(lnk::model7616.load());
    EXPECT_FALSE(form.lblSplashAddress->Visible());
    EXPECT_FALSE(shell::logoReady);
    EXPECT_TRUE(form.lblUnitLife->Visible());
}

TEST_F(Probe, LogoPictureOpensTheSharedAboutBox) {
    TFormOstrel& form = Open();
    Application->CreateForm(shell::AboutBox);
    EXPECT_EQ(shell::AboutBox->ProductName->Caption(), form.Caption());
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = shell::AboutBox->Visible();
        shell::AboutBox->OKButton->Click();
    });
    form.ImageOEMLogo->Click();
    EXPECT_TRUE(shown);
    delete shell::AboutBox;
    shell::AboutBox = nullptr;
}

}  // namespace
}  // namespace apptest

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new apptest::ApplicationEnvironment);

}  // namespace
