// The connection monitor of Ostrel's window: the waiting count, the identity and the
// seven information lines, once per attach, and the way back to waiting.
#include <gtest/gtest.h>

#include "app/shell/InfoText.h"
#include "tests/app/OstrelFixture.h"

namespace apptest {
namespace {

using namespace vcl;
using ostrel::TFormOstrel;

using Monitor = OstrelWindow;

std::vector<TLabel*> InformationLines(TFormOstrel& form) {
    return {form.lblConfig,   form.lblVersion,       form.lblRelease,
            form.lblUnitLife, form.lblSplashAddress, form.lblResolution};
}

TEST_F(Monitor, ConnectionBoxCountsTheWaitAndRestartsAfterAnAttach) {
    TFormOstrel& form = Open();
    for (const char* expected : {"Wait 0", "Wait 1", "Wait 2"}) {
        form.timerUSBopenTimer(form.timerUSBopen);
        EXPECT_EQ(form.editUSB->Text(), expected);
    }
    Plug();
    form.timerUSBopenTimer(form.timerUSBopen);
    EXPECT_EQ(form.editUSB->Text(), "USB ");
    Unplug();
    form.timerUSBopenTimer(form.timerUSBopen);
    EXPECT_EQ(form.editUSB->Text(), "Wait 0");
}

TEST_F(Monitor, TimersFillTheWindowOnceTheProjectorAttaches) {
    TFormOstrel& form = Open();
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::string text = form.editUSB->Text();
            return text.rfind("Wait ", 0) == 0 && std::stoi(text.substr(5)) >= 2;
        },
        10000));
    EXPECT_EQ(form.lblTarget->Caption(), "Wait USB Connection...");
    EXPECT_TRUE(form.lblKeyHelp->Visible());
    Plug();
    EXPECT_TRUE(PumpUntil([&] { return form.lblResolution->Visible(); }, 10000));
    EXPECT_EQ(form.editUSB->Text(), "USB ");
    EXPECT_EQ(form.lblTarget->Caption().substr(0, 9), "Attached:");
    EXPECT_TRUE(form.timerFlashState->Enabled());
}

TEST_F(Monitor, IdentityAndInformationLinesHaveTheirFormats) {
    sim::ProjectorConfig config;
    config.information.configuration = {0xFF, 2, 0x80, 9};
    config.information.version = {3, 0, 0xFE, 7};
    config.information.width = 1280;
    config.information.height = 800;
    TFormOstrel& form = Open();
    Plug(config);
    Tick();

    EXPECT_EQ(form.lblTarget->Caption(), "Attached:(0x1501)(0x5010)(0x0)Virtual Optics");
    // The connection line is cut where the serial line begins, never printed over it.
    EXPECT_LE(form.lblTarget->Left() + form.lblTarget->Width(), form.lblSerial->Left());
    // In its normal mode the projector names no serial string (index 0).
    EXPECT_EQ(form.lblSerial->Caption(), "Serial:(0x0)" + lnk::AttachedStrings().serial);
    EXPECT_TRUE(form.lblSerial->Visible());
    EXPECT_EQ(form.lblMFG->Caption(), "Virtual Optics");
    EXPECT_EQ(form.lblProduct->Caption(), "Virtual Projector");
    EXPECT_FALSE(form.lblMFG->Visible());
    EXPECT_EQ(form.lblDeviceDsc->Caption(), lnk::AttachedDescription());
    EXPECT_EQ(form.lblDeviceDsc->Caption(), "XGA");
    EXPECT_TRUE(form.lblDeviceDsc->Visible());
    EXPECT_FALSE(form.lblKeyHelp->Visible());
    EXPECT_FALSE(lnk::model7616.load());

    // The device answers the version's second query from the configuration's first byte.
    EXPECT_EQ(form.lblConfig->Caption(), "Config:-1.2.-128");
    EXPECT_EQ(form.lblVersion->Caption(), "Version:3.-1.-2.7");
    EXPECT_EQ(form.lblRelease->Caption(), "Release:2007/03/01C");
    EXPECT_EQ(shell::deviceRelease, 0x07030102u);
    EXPECT_EQ(form.lblSplashAddress->Caption(), "Logo:0xFE380000 ");
    EXPECT_EQ(form.lblUnitLife->Caption(), "Life:0002:05");
    EXPECT_EQ(form.lblResolution->Caption(), "(1280X 800)");
    EXPECT_EQ(shell::displayWidth, 1280u);
    EXPECT_EQ(shell::displayHeight, 800u);
    for (TLabel* line : InformationLines(form)) {
        EXPECT_TRUE(line->Visible());
    }
    EXPECT_TRUE(shell::logoReady);
    EXPECT_EQ(form.OpenDialog->Filter(),
              "Projector firmware image|*.img|Windows bitmap file|*.bmp|JPEG file|*.jpg");
    EXPECT_TRUE(form.timerFlashState->Enabled());
    EXPECT_FALSE(form.btnFlash->Enabled());  // no image loaded
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Monitor, QueriesRunOncePerAttachAndAgainAfterWaiting) {
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug();
    Tick();
    const size_t first = projector.CommandLog().size();
    EXPECT_EQ(CountOf(projector, sim::Command::ReadLogoAddress), 1u);
    EXPECT_EQ(CountOf(projector, sim::Command::ReadVersion), 3u);  // + one answered as config
    EXPECT_EQ(CountOf(projector, sim::Command::ReadConfig), 2u);
    Tick();
    Tick();
    EXPECT_EQ(projector.CommandLog().size(), first);

    Unplug();
    Tick();
    EXPECT_FALSE(shell::infoShown);
    projector.Plug();
    WaitForAttach(sim::Mode::Application);
    Tick();
    EXPECT_EQ(CountOf(projector, sim::Command::ReadLogoAddress), 2u);
    EXPECT_TRUE(form.lblResolution->Visible());
}

TEST_F(Monitor, StartIsEnabledForAValidImageWhileNoJobRuns) {
    TFormOstrel& form = Open();
    Plug();
    ostrel::imageCheck.imageValid = true;
    ostrel::FlashJob.busy = true;
    Tick();
    EXPECT_FALSE(form.btnFlash->Enabled());
    ostrel::FlashJob.busy = false;
    Tick();
    EXPECT_TRUE(form.btnFlash->Enabled());
}

struct LogoRow {
    const char* name;
    uint16_t productId;
    uint32_t logoAddress;
    bool shown;
};

TEST_F(Monitor, LogoLineOnlyForAUsableAddress) {
    const LogoRow rows[] = {
        {"0x7616 at its own address", 0x7616, 0xFD000000, true},
        {"0x180000 into the window", 0x5010, 0xFE380000, true},
        {"0x190000 into the window", 0x5010, 0xFE390000, true},
        {"one byte short of 0x180000", 0x5010, 0xFE37FFFF, false},
        {"not on a 64 KiB boundary", 0x5010, 0xFE388000, false},
        {"no valid answer", 0x5010, 0xDEADBEEF, false},
    };
    TFormOstrel& form = Open();
    for (const LogoRow& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ProjectorConfig config;
        config.identity.productId = row.productId;
        config.information.logoAddress = row.logoAddress;
        form.OpenDialog->SetFilter(ostrel::kInitialFilter);
        Plug(config);
        Tick();
        EXPECT_EQ(lnk::model7616.load(), row.productId == 0x7616);
        EXPECT_EQ(shell::logoAddress, row.logoAddress);
        EXPECT_EQ(form.lblSplashAddress->Visible(), row.shown);
        EXPECT_EQ(shell::logoReady, row.shown);
        EXPECT_EQ(form.OpenDialog->Filter(),
                  row.shown ? ostrel::kLogoFilter : ostrel::kInitialFilter);
        if (row.shown) {
            EXPECT_EQ(form.lblSplashAddress->Caption(), shell::LogoLine(row.logoAddress));
        }
        EXPECT_TRUE(form.lblUnitLife->Visible());
        Unplug();
        Tick();
    }
}

TEST_F(Monitor, FailedQueriesShowTheirDefaultsAndAnUnknownResolution) {
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug();
    sim::Faults faults;
    faults.ignore.command = sim::Command::ReadResolution;
    faults.ignore.count = sim::kForever;
    projector.SetFaults(faults);
    Tick();
    EXPECT_EQ(form.lblResolution->Caption(), "(DMD Unknown!)");
    EXPECT_TRUE(form.lblResolution->Visible());
    EXPECT_EQ(shell::displayWidth, 1024u);
    EXPECT_EQ(shell::displayHeight, 768u);
    EXPECT_FALSE(boxes_.Boxes().empty());  // the transaction's own message

    // A failed logo query hides both the logo and the life line.
    Unplug();
    Tick();
    faults = {};
    faults.ignore.command = sim::Command::ReadLogoAddress;
    faults.ignore.count = sim::kForever;
    projector.SetFaults(faults);
    projector.Plug();
    WaitForAttach(sim::Mode::Application);
    Tick();
    EXPECT_FALSE(form.lblSplashAddress->Visible());
    EXPECT_FALSE(form.lblUnitLife->Visible());
    EXPECT_FALSE(shell::logoReady);
    EXPECT_EQ(CountOf(projector, sim::Command::ReadUnitLife), 1u);  // from the first attach
    EXPECT_TRUE(form.lblResolution->Visible());
}

TEST_F(Monitor, OstrelModeShowsIdentityButSendsNoQueries) {
    sim::ProjectorConfig config;
    config.startMode = sim::Mode::Bootloader;
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug(config);
    Tick();
    EXPECT_EQ(form.lblTarget->Caption(), "Attached:(0x1501)(0x5010)(0x0)Virtual Optics");
    EXPECT_EQ(form.lblSerial->Caption(), "Serial:(0x3)SIM-000001");
    EXPECT_TRUE(form.lblSerial->Visible());
    for (TLabel* line : InformationLines(form)) {
        EXPECT_FALSE(line->Visible());
    }
    EXPECT_TRUE(projector.CommandLog().empty());
    EXPECT_FALSE(shell::infoShown);
}

TEST_F(Monitor, DetachReturnsToWaitingWithTheKeyHelp) {
    TFormOstrel& form = Open();
    Plug();
    Tick();
    form.lblMsg->Show();
    form.lblDeviceDscClick(form.lblDeviceDsc);
    Unplug();
    Tick();
    EXPECT_EQ(form.lblTarget->Caption(), "Wait USB Connection...");
    EXPECT_EQ(form.lblKeyHelp->Caption(),
              "Press <Enter + Power> for 3 seconds at standby mode to start!");
    EXPECT_TRUE(form.lblKeyHelp->Visible());
    for (TLabel* line : {form.lblMFG, form.lblProduct, form.lblSerial, form.lblDeviceDsc}) {
        EXPECT_FALSE(line->Visible());
    }
    for (TLabel* line : InformationLines(form)) {
        EXPECT_FALSE(line->Visible());
    }
    EXPECT_TRUE(form.lblMsg->Visible());  // the job's line is the job's
    EXPECT_FALSE(form.btnFlash->Enabled());
    EXPECT_FALSE(form.timerFlashState->Enabled());
    EXPECT_FALSE(lnk::identityShown.load());
    EXPECT_FALSE(shell::infoShown);

    ostrel::FlashJob.busy = true;
    Tick();
    EXPECT_FALSE(form.lblKeyHelp->Visible());
}

TEST_F(Monitor, ClickingTheDescriptionTogglesManufacturerAndProduct) {
    TFormOstrel& form = Open();
    Plug();
    Tick();
    form.lblDeviceDsc->Click();
    EXPECT_TRUE(form.lblMFG->Visible());
    EXPECT_TRUE(form.lblProduct->Visible());
    form.lblDeviceDsc->Click();
    EXPECT_FALSE(form.lblMFG->Visible());
    EXPECT_FALSE(form.lblProduct->Visible());
}

TEST_F(Monitor, BoxDuringTheQueriesDoesNotRepeatThemInNestedTicks) {
    TFormOstrel& form = Open();
    sim::Projector& projector = Plug();
    sim::Faults faults;
    faults.ignore.command = sim::Command::ReadConfig;
    faults.ignore.count = 1;
    projector.SetFaults(faults);
    boxes_.SetThinkTimeMs(5000);  // timers keep ticking while the box is open
    Tick();
    EXPECT_FALSE(boxes_.Boxes().empty());
    EXPECT_EQ(CountOf(projector, sim::Command::ReadLogoAddress), 1u);
    EXPECT_EQ(CountOf(projector, sim::Command::ReadResolution), 1u);
    EXPECT_TRUE(form.lblResolution->Visible());
}

}  // namespace
}  // namespace apptest
