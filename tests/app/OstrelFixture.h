#pragma once
// Ostrel's main window against the virtual projector: made per test with CreateForm (so
// FormCreate opens the link), destroyed with the link closed.
#include "app/ostrel/FlashJob.h"
#include "app/ostrel/LoadedImage.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/AboutBox.h"
#include "tests/app/WindowFixture.h"

namespace apptest {

class OstrelWindow : public WindowTest {
  protected:
    OstrelWindow() : WindowTest("ostrel") {}

    void TearDown() override {
        delete shell::AboutBox;
        shell::AboutBox = nullptr;
        delete ostrel::FormOstrel;
        ostrel::FormOstrel = nullptr;
        ostrel::ResetFlashJob();
        ostrel::imageCheck = {};
        WindowTest::TearDown();
    }

    ostrel::TFormOstrel& Open() {
        vcl::Application->CreateForm(ostrel::FormOstrel);
        return *ostrel::FormOstrel;
    }

    // One status tick, as timerStatus runs it.
    ostrel::TFormOstrel& Tick() {
        ostrel::FormOstrel->timerStatusTimer(ostrel::FormOstrel->timerStatus);
        return *ostrel::FormOstrel;
    }
};

}  // namespace apptest
