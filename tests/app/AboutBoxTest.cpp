// The about box: made after the main window, its texts fixed then, shown modally from the
// logo picture.
#include <gtest/gtest.h>

#include <QTimer>

#include "tests/app/OstrelFixture.h"

namespace apptest {
namespace {

using namespace vcl;
using shell::AboutBox;

class About : public OstrelWindow {
  protected:
    void SetUp() override {
        OstrelWindow::SetUp();
        Open();
        Application->CreateForm(shell::AboutBox);
    }
};

TEST_F(About, NamesTheProgramAndCentresTheRightsNotice) {
    EXPECT_EQ(AboutBox->Caption(), "About");
    EXPECT_EQ(AboutBox->ClientWidth(), 504);
    EXPECT_EQ(AboutBox->ClientHeight(), 262);
    EXPECT_EQ(AboutBox->BorderStyle(), bsDialog);
    EXPECT_EQ(AboutBox->Position(), poScreenCenter);
    EXPECT_EQ(AboutBox->Font()->Height(), -14);
    EXPECT_FALSE(AboutBox->Visible());

    EXPECT_EQ(AboutBox->ProductName->Caption(), ostrel::FormOstrel->Caption());
    EXPECT_EQ(AboutBox->Version->Caption(), "");
    EXPECT_EQ(AboutBox->Copyright->Caption(), shell::kRightsNotice);
    EXPECT_EQ(AboutBox->Copyright->Left(), (AboutBox->Width() - AboutBox->Copyright->Width()) / 2);
    EXPECT_EQ(AboutBox->Copyright->Top(), 98);
    EXPECT_EQ(AboutBox->Comments->Caption(), "");
    EXPECT_EQ(AboutBox->Comments->Left(), (AboutBox->Width() - AboutBox->Comments->Width()) / 2);
    EXPECT_GT(AboutBox->ProgramIcon->PictureWidth(), 0);

    EXPECT_EQ(AboutBox->OKButton->Caption(), "OK");
    EXPECT_EQ(AboutBox->OKButton->Left(), 209);
    EXPECT_EQ(AboutBox->OKButton->Top(), 230);
    EXPECT_EQ(AboutBox->OKButton->Width(), 92);
    EXPECT_EQ(AboutBox->OKButton->Height(), 30);
    EXPECT_TRUE(AboutBox->OKButton->Default());
    EXPECT_EQ(AboutBox->OKButton->ModalResult(), mrOk);
}

TEST_F(About, KeepsTheCaptionItWasMadeWith) {
    ostrel::FormOstrel->SetCaption("changed");
    EXPECT_EQ(AboutBox->ProductName->Caption(),
              "Projector Ostrel     Release: 5.2  Revision: 1.24H3 ");
}

TEST_F(About, LogoClickShowsItModallyUntilOk) {
    bool shownModally = false;
    QTimer::singleShot(0, [&] {
        shownModally = AboutBox->Modal() && AboutBox->Visible();
        AboutBox->OKButton->Click();
    });
    ostrel::FormOstrel->ImageOEMLogo->Click();
    EXPECT_TRUE(shownModally);
    EXPECT_FALSE(AboutBox->Visible());
    EXPECT_EQ(AboutBox->ModalResult(), mrOk);
}

}  // namespace
}  // namespace apptest
