// Entering and leaving the bootloader from Ostrel's window, with each failure the
// handlers report.
#include <gtest/gtest.h>

#include "platform/drv/DrvStatus.h"
#include "tests/app/OstrelFixture.h"
#include "tests/app/WriteFaultPort.h"
#include "usb/StatusText.h"

namespace apptest {
namespace {

using namespace vcl;
using sim::Command;

class Bootloader : public OstrelWindow {
  protected:
    // Attaches a projector in `mode`, its identity shown, the command log empty.
    sim::Projector& Ready(sim::ProjectorConfig config = {}) {
        Open();
        sim::Projector& projector = Plug(config, port_);
        Tick();
        projector.ClearCommandLog();
        boxes_.Clear();
        return projector;
    }
    static sim::ProjectorConfig InBootloader() {
        sim::ProjectorConfig config;
        config.startMode = sim::Mode::Bootloader;
        return config;
    }
    static sim::Faults Ignore(Command command) {
        sim::Faults faults;
        faults.ignore.command = command;
        faults.ignore.count = sim::kForever;
        return faults;
    }
    // Marks the status group so that a status refresh shows.
    void MarkStatus() {
        lnk::identityShown = false;
        ostrel::FormOstrel->lblTarget->SetCaption("marker");
    }
    bool Refreshed() const { return ostrel::FormOstrel->lblTarget->Caption() != "marker"; }

    WriteFaultPort port_;
};

TEST_F(Bootloader, EnterSwitchesAnApplicationToOstrelMode) {
    sim::Projector& projector = Ready();
    const uint64_t before = plat::NowMs();
    ostrel::FormOstrel->btnEnterBootLoader->Click();
    EXPECT_GE(plat::NowMs() - before, 1000u);  // the command's own wait
    EXPECT_EQ(Commands(projector),
              (std::vector<Command>{Command::ReadStatus, Command::EnterBootloader}));
    EXPECT_TRUE(boxes_.Boxes().empty());
    WaitForAttach(sim::Mode::Bootloader);
}

TEST_F(Bootloader, EnterWhenTheBootloaderRunsSendsNothingMore) {
    sim::Projector& projector = Ready(InBootloader());
    ostrel::FormOstrel->btnEnterBootLoaderClick(nullptr);
    EXPECT_EQ(Commands(projector), std::vector<Command>{Command::ReadStatus});
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Bootloader, EnterWithAFailedStatusReadReportsNotReadyWithStatusZero) {
    sim::Projector& projector = Ready();
    projector.SetFaults(Ignore(Command::ReadStatus));
    ostrel::FormOstrel->btnEnterBootLoaderClick(nullptr);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 0u);
    ASSERT_FALSE(boxes_.Boxes().empty());
    const MessageRecord last = boxes_.Boxes().back();
    EXPECT_EQ(last.text, "Projector not ready 0 (\"Success\")");
    EXPECT_EQ(last.caption, "Flash read status");
    EXPECT_EQ(last.kind, BoxKind::Plain);
}

TEST_F(Bootloader, EnterOnA7616ThatAnswersZeroStillSwitches) {
    // The 0x7616 application reports status 0, which stands for "ready to switch".
    sim::Projector& projector = Ready(Model7616());
    ASSERT_TRUE(lnk::model7616.load());
    ostrel::FormOstrel->btnEnterBootLoaderClick(nullptr);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 1u);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Bootloader, FailedEnterIsReportedInTheApplicationsBox) {
    sim::Projector& projector = Ready();
    projector.SetFaults(Ignore(Command::EnterBootloader));
    ostrel::FormOstrel->btnEnterBootLoaderClick(nullptr);
    ASSERT_FALSE(boxes_.Boxes().empty());
    const MessageRecord last = boxes_.Boxes().back();
    EXPECT_EQ(last.text, std::string("Entering Bootloader Error 20000015 (\"") +
                             usb::StatusText(drv::kTimeout) + "\")");
    EXPECT_EQ(last.caption, "Error");
    EXPECT_EQ(last.kind, BoxKind::Application);
}

TEST_F(Bootloader, FailedEnterOnA7616ShowsNothingOfItsOwn) {
    sim::Projector& projector = Ready(Model7616());
    projector.SetFaults(Ignore(Command::EnterBootloader));
    ostrel::FormOstrel->btnEnterBootLoaderClick(nullptr);
    EXPECT_EQ(CountOf(projector, Command::EnterBootloader), 1u);
    for (const std::string& text : boxes_.Texts()) {
        EXPECT_EQ(text.find("Entering Bootloader Error"), std::string::npos) << text;
    }
}

TEST_F(Bootloader, ExitRestartsTheApplicationAndRefreshesTheStatus) {
    sim::Projector& projector = Ready(InBootloader());
    MarkStatus();
    ostrel::FormOstrel->btnExitBL->Click();
    EXPECT_EQ(Commands(projector),
              (std::vector<Command>{Command::ReadStatus, Command::ExitBootloader}));
    EXPECT_TRUE(boxes_.Boxes().empty());
    EXPECT_TRUE(Refreshed());
    EXPECT_TRUE(projector.WaitForAttach(sim::Mode::Application, 10000));
}

TEST_F(Bootloader, ExitWhileTheApplicationRunsSendsNothing) {
    sim::Projector& projector = Ready();
    MarkStatus();
    ostrel::FormOstrel->btnExitBLClick(nullptr);
    EXPECT_EQ(Commands(projector), std::vector<Command>{Command::ReadStatus});
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text, "Bootloader Not Ready!");
    EXPECT_EQ(boxes_.Boxes()[0].caption, "ReadBLStatus");
    EXPECT_FALSE(Refreshed());
}

struct ExitRow {
    const char* name;
    uint32_t writeStatus;
    bool delivered;
    const char* message;  // nullptr: none of the handler's own
};

TEST_F(Bootloader, ExitWriteStatusesAndTheirMessages) {
    const ExitRow rows[] = {
        {"cancelled by the restart", drv::kCancelled, true, nullptr},
        {"failed write", drv::kOperationFailed, false, "Exit Bootloader Error 20000020"},
    };
    Open();
    for (const ExitRow& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Projector& projector = Plug(InBootloader(), port_);
        Tick();
        boxes_.Clear();
        MarkStatus();
        port_.FailExitWrite(row.writeStatus, row.delivered);
        ostrel::FormOstrel->btnExitBLClick(nullptr);
        EXPECT_TRUE(Refreshed());
        const bool reported = Shown(row.message != nullptr ? row.message : "");
        EXPECT_EQ(reported, row.message != nullptr);
        for (const MessageRecord& box : boxes_.Boxes()) {
            if (box.text.rfind("Exit Bootloader Error", 0) == 0) {
                EXPECT_EQ(box.caption, "Error");
                EXPECT_EQ(box.kind, BoxKind::Plain);
                EXPECT_NE(row.message, nullptr);
            }
        }
        EXPECT_EQ(projector.WaitForAttach(sim::Mode::Application, 3000), row.delivered);
    }
}

}  // namespace
}  // namespace apptest
