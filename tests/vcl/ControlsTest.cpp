#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/vcl/Vcl.h"
#include "tests/vcl/SampleForm.h"

namespace vcl::test {
namespace {

class Controls : public ::testing::Test {
  protected:
    void SetUp() override { form = std::make_unique<TFormSample>(nullptr); }

    QPoint OnForm(const TControl* control) const {
        return control->Widget()->mapTo(form->Widget(), QPoint(0, 0));
    }

    std::unique_ptr<TFormSample> form;
};

TEST_F(Controls, PlacesControlsAtTheirPixelPositionsInsideGroupBoxes) {
    EXPECT_EQ(form->lblTarget->Left(), 65);
    EXPECT_EQ(form->lblTarget->Top(), 20);
    EXPECT_EQ(OnForm(form->lblTarget), QPoint(91 + 65, 72 + 20));
    EXPECT_EQ(OnForm(form->CheckBoxSkipBoot), QPoint(92 + 7, 202 + 59));
    EXPECT_EQ(form->CheckBoxSkipBoot->Width(), 156);
    EXPECT_EQ(form->CheckBoxSkipBoot->Height(), 16);
    EXPECT_EQ(OnForm(form->btnChoose), QPoint(436, 46));
    EXPECT_EQ(form->btnChoose->Width(), 72);
    EXPECT_EQ(form->btnChoose->Height(), 20);
    EXPECT_EQ(form->ClientWidth(), 514);
    EXPECT_EQ(form->ClientHeight(), 364);
}

TEST_F(Controls, AlignedChildrenFillTheGroupBoxInsideItsFrame) {
    const TRect client = form->GroupBoxBitmap->ClientRect();
    EXPECT_EQ(form->Image1->Left(), 2);
    EXPECT_EQ(form->Image1->Width(), 162);
    EXPECT_EQ(form->Image1->Top(), client.Top);
    EXPECT_EQ(form->Image1->Height(), 122);
    EXPECT_EQ(form->pnlImgSize->Left(), 2);
    EXPECT_EQ(form->pnlImgSize->Width(), 162);
    EXPECT_EQ(form->pnlImgSize->Top() + form->pnlImgSize->Height(), 150 - 2);

    form->GroupBoxBitmap->SetBounds(91, 202, 200, 180);
    EXPECT_EQ(form->pnlImgSize->Width(), 196);
    EXPECT_EQ(form->pnlImgSize->Top() + form->pnlImgSize->Height(), 180 - 2);
}

TEST_F(Controls, DisabledGroupGreysItsChildrenWhoKeepTheirOwnSetting) {
    form->GroupBoxFlashOption->SetEnabled(false);
    form->GroupBoxFlashOption->Font()->SetColor(clGray);

    EXPECT_FALSE(form->GroupBoxFlashOption->Enabled());
    EXPECT_TRUE(form->CheckBoxSkipBoot->Enabled());
    EXPECT_FALSE(form->CheckBoxSkipBoot->Widget()->isEnabled());
    EXPECT_EQ(form->CheckBoxSkipBoot->Font()->Color(), clGray);
    EXPECT_EQ(
        form->CheckBoxSkipBoot->Widget()->palette().color(QPalette::Active, QPalette::WindowText),
        QColor(0x80, 0x80, 0x80));

    form->GroupBoxFlashOption->SetEnabled(true);
    EXPECT_TRUE(form->CheckBoxSkipBoot->Widget()->isEnabled());
}

TEST_F(Controls, FontTakesColourAsBgrAndHeightInPixels) {
    form->lblTarget->Font()->SetColor(0x0000FF);  // red in 0x00BBGGRR
    form->lblTarget->Font()->SetStyle({fsBold});

    const QWidget* label = form->lblTarget->Widget();
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(label->font().pixelSize(), 12);
    EXPECT_TRUE(label->font().bold());
    // Attributes not set follow the form: its height -10, no bold.
    EXPECT_EQ(form->editUSB->Widget()->font().pixelSize(), 10);
    EXPECT_EQ(form->editUSB->Font()->Height(), -10);
    EXPECT_FALSE(form->editUSB->Widget()->font().bold());
}

TEST_F(Controls, VisibleIsTheControlsOwnSetting) {
    form->GroupBoxTarget->Hide();
    form->Show();

    EXPECT_FALSE(form->lblKeyHelp->Visible());
    EXPECT_TRUE(form->lblTarget->Visible());
    EXPECT_FALSE(form->lblTarget->Widget()->isVisible());
    EXPECT_TRUE(form->btnChoose->Widget()->isVisible());

    form->GroupBoxTarget->Show();
    form->lblKeyHelp->Show();
    EXPECT_TRUE(form->lblKeyHelp->Widget()->isVisible());
    EXPECT_TRUE(form->lblTarget->Widget()->isVisible());
    form->Hide();
}

TEST_F(Controls, LabelKeepsItsTextAsGivenAndGrowsWithIt) {
    const std::string hint = "Press <Enter + Power> for 3 seconds at standby mode to start!";
    const int shortWidth = form->lblTarget->Width();
    form->lblTarget->SetCaption(hint);

    EXPECT_EQ(form->lblTarget->Caption(), hint);
    EXPECT_GT(form->lblTarget->Width(), shortWidth);
    EXPECT_EQ(form->lblTarget->Left(), 65);

    form->lblTarget->SetAutoSize(false);
    form->lblTarget->SetBounds(65, 20, 40, 13);
    form->lblTarget->SetCaption(hint + " ");
    EXPECT_EQ(form->lblTarget->Width(), 40);
}

// Labels of a window that is not on screen are measured when their bounds are asked for
// or when they are shown; what code sees must be what measuring at each change gives.
TEST_F(Controls, OffScreenLabelSizesMatchMeasuringAtEachChange) {
    const auto fitted = [](TLabel* label) { return label->Widget()->sizeHint(); };
    const std::string text = "Press <Enter + Power> for 3 seconds at standby mode to start!";

    auto* grows = new TLabel(form.get());
    grows->SetBounds(5, 6, 0, 13);
    grows->SetCaption(text);
    EXPECT_EQ(QSize(grows->Width(), grows->Height()), fitted(grows)) << "asked after a caption";
    EXPECT_EQ(grows->Left(), 5);
    const int smallWidth = grows->Width();
    grows->Font()->SetHeight(-20);
    EXPECT_GT(grows->Width(), smallWidth) << "asked after a font change";

    auto* placed = new TLabel(form.get());
    placed->SetCaption(text);
    placed->SetBounds(1, 2, 30, 40);
    EXPECT_EQ(placed->Bounds(), (TRect{1, 2, 31, 42})) << "bounds set after the caption win";

    auto* frozen = new TLabel(form.get());
    frozen->SetCaption("short");
    frozen->SetAutoSize(false);
    const QSize shortSize = fitted(frozen);
    frozen->SetCaption(text);
    EXPECT_EQ(QSize(frozen->Width(), frozen->Height()), shortSize)
        << "AutoSize off keeps the size of the text it had";

    auto* shown = new TLabel(form.get());
    shown->SetCaption(text);
    form->Show();
    EXPECT_EQ(shown->Widget()->size(), fitted(shown)) << "fitted when shown, before any query";
    shown->SetCaption("x");
    EXPECT_EQ(shown->Widget()->size(), fitted(shown)) << "on screen it follows at once";
    form->Hide();
}

TEST_F(Controls, ButtonNeverPlacedHasTheFormLibrarysDefaultSize) {
    auto* button = new TButton(form.get());
    button->SetCaption("A caption far wider than the button's default width");
    EXPECT_EQ(button->Width(), 75);
    EXPECT_EQ(button->Height(), 25);
}

TEST_F(Controls, CheckBoxAndRadioButtonRunOnClickWhenCodeChangesThem) {
    int checkClicks = 0;
    form->CheckBoxSkipBoot->OnClick = [&](TObject*) { ++checkClicks; };
    form->CheckBoxSkipBoot->SetChecked(true);
    form->CheckBoxSkipBoot->SetChecked(true);
    EXPECT_EQ(checkClicks, 1);
    form->CheckBoxSkipBoot->SetChecked(false);
    EXPECT_EQ(checkClicks, 2);

    auto* group = new TGroupBox(form.get());
    auto* rb24 = new TRadioButton(form.get());
    rb24->SetParent(group);
    auto* rb16 = new TRadioButton(form.get());
    rb16->SetParent(group);
    std::vector<TObject*> clicked;
    rb24->OnClick = [&](TObject* sender) { clicked.push_back(sender); };
    rb16->OnClick = [&](TObject* sender) { clicked.push_back(sender); };

    rb24->SetChecked(true);
    rb16->SetChecked(true);
    EXPECT_FALSE(rb24->Checked());
    EXPECT_TRUE(rb16->Checked());
    EXPECT_EQ(clicked, (std::vector<TObject*>{rb24, rb16}));
}

TEST_F(Controls, ButtonClickRunsHandlerAndEditsReportChanges) {
    form->btnChoose->Click();
    EXPECT_EQ(form->chooseClicks, 1);
    form->btnChoose->SetEnabled(false);
    form->btnChoose->Click();  // code may run a disabled button's handler
    EXPECT_EQ(form->chooseClicks, 2);

    int changes = 0;
    form->editDirectory->OnChange = [&](TObject*) { ++changes; };
    form->editDirectory->SetText("/home/user");
    form->editDirectory->SetText("/home/user");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form->editDirectory->Text(), "/home/user");
}

TEST_F(Controls, ComboBoxHoldsTypedTextAndReportsDoubleClicks) {
    auto* combo = new TComboBox(form.get());
    combo->SetBounds(91, 46, 339, 21);
    combo->SetText("FIRMWARE");
    EXPECT_EQ(combo->Text(), "FIRMWARE");
    int doubleClicks = 0;
    combo->OnDblClick = [&](TObject*) { ++doubleClicks; };
    form->Show();
    auto* edit = combo->Widget()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(edit, &press);
    EXPECT_EQ(doubleClicks, 1);
    form->Hide();
}

TEST_F(Controls, MemoLinesKeepBlanksAndEmptyLines) {
    auto* memo = new TMemo(form.get());
    const std::vector<std::string> lines = {"Connect USB to", "projector and press ", "",
                                            "driver is not installed!"};
    for (const auto& line : lines) {
        memo->Lines()->Add(line);
    }
    EXPECT_EQ(memo->Lines()->Lines(), lines);
    EXPECT_EQ(memo->Lines()->Count(), 4);
    memo->Lines()->Put(2, "x");
    EXPECT_EQ(memo->Lines()->Strings(2), "x");
    memo->Lines()->SetText("a\r\nb\n");
    EXPECT_EQ(memo->Lines()->Lines(), (std::vector<std::string>{"a", "b"}));
    memo->Lines()->Clear();
    EXPECT_EQ(memo->Lines()->Count(), 0);
    EXPECT_THROW(memo->Lines()->Strings(0), std::out_of_range);

    memo->SetColor(clSilver);
    EXPECT_EQ(memo->Color(), clSilver);
    EXPECT_EQ(memo->Widget()->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
}

TEST_F(Controls, ProgressBarKeepsPositionInsideItsRange) {
    auto* bar = new TProgressBar(form.get());
    bar->SetPosition(50);
    EXPECT_EQ(bar->Position(), 50);
    // An erase gauge: maximum first, then minimum, then positions counting down.
    bar->SetMax(63);
    bar->SetMin(8);
    bar->SetPosition(63);
    EXPECT_EQ(bar->Position(), 63);
    bar->SetPosition(200);
    EXPECT_EQ(bar->Position(), 63);
    bar->SetMax(4);  // upside down for a moment
    EXPECT_EQ(bar->Position(), 8);

    const TColor face = bar->Color();
    bar->SetColor(clGray);
    EXPECT_EQ(bar->Color(), clGray);
    bar->SetColor(face);
    EXPECT_EQ(bar->Color(), face);
}

struct DestCase {
    const char* name;
    int pictureWidth, pictureHeight;
    bool stretch, proportional, center;
    TRect expected;
};

TEST(ImageDestRect, PlacesPicturesAsTheFormLibraryDoes) {
    // A 78 × 260 control.
    const DestCase cases[] = {
        {"natural size at the corner", 40, 30, false, false, false, {0, 0, 40, 30}},
        {"natural size centred", 40, 30, false, false, true, {19, 115, 59, 145}},
        {"stretched fills", 40, 30, true, false, false, {0, 0, 78, 260}},
        {"proportional small stays", 40, 30, false, true, true, {19, 115, 59, 145}},
        {"proportional wide shrinks", 156, 52, false, true, true, {0, 117, 78, 143}},
        {"proportional tall shrinks", 100, 520, false, true, false, {0, 0, 50, 260}},
        {"stretched proportional grows", 40, 80, true, true, true, {0, 52, 78, 208}},
    };
    for (const DestCase& c : cases) {
        EXPECT_EQ(ImageDestRect(c.pictureWidth, c.pictureHeight, 78, 260, c.stretch, c.proportional,
                                c.center),
                  c.expected)
            << c.name;
    }
}

TEST_F(Controls, ImageShowsBgrPixels) {
    const std::vector<uint32_t> pixels = {0x0000FF, 0xFF0000};  // red, blue
    form->Image1->SetStretch(true);
    form->Image1->SetAlign(alNone);
    form->Image1->SetBounds(0, 0, 20, 10);
    form->Image1->SetPicture(2, 1, pixels);
    EXPECT_EQ(form->Image1->PicturePixels(), pixels);
    const QImage shot = form->Image1->Widget()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(2, 5)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(17, 5)), QColor(0, 0, 255));
    EXPECT_THROW(form->Image1->SetPicture(3, 1, pixels), std::invalid_argument);
}

TEST_F(Controls, TabOrderSetsTheFocusChain) {
    form->editUSB->SetTabOrder(0);
    form->btnChoose->SetTabOrder(1);
    form->editDirectory->SetTabOrder(2);
    EXPECT_EQ(form->editUSB->TabOrder(), 0);
    EXPECT_EQ(form->editDirectory->TabOrder(), 2);

    const QWidget* afterUsb = form->editUSB->Widget()->nextInFocusChain();
    while (afterUsb->focusPolicy() == Qt::NoFocus) {
        afterUsb = afterUsb->nextInFocusChain();
    }
    EXPECT_EQ(afterUsb, form->btnChoose->Widget());
}

TEST_F(Controls, FormBorderMapsToWindowFlags) {
    const Qt::WindowFlags flags = form->Widget()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->Widget()->minimumSize(), QSize(514, 364));
    EXPECT_EQ(form->Widget()->maximumSize(), QSize(514, 364));

    form->Show();
    form->SetBorderIcons(TBorderIcons{biMinimize} << biSystemMenu);
    EXPECT_TRUE(form->Widget()->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(form->Widget()->isVisible());
    form->Hide();
}

TEST_F(Controls, CreateFormRunsOnCreateWithTheReferenceSet) {
    TFormSample* made = nullptr;
    Application->CreateForm(made);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->creates, 1);
    EXPECT_FALSE(made->Visible());
    delete made;
}

TEST(Screen, SizeCanBePinnedForTests) {
    Screen->SetSizeForTest(1025, 769);
    EXPECT_EQ(Screen->Width(), 1025);
    EXPECT_EQ(Screen->Height(), 769);
    Screen->SetSizeForTest(std::nullopt, std::nullopt);
    EXPECT_GT(Screen->Width(), 0);
}

TEST(ScreenDepth, FollowsTheScreenUnlessPinned) {
    EXPECT_GE(ScreenColorDepth(), 24);
    {
        ScreenDepthOverride sixteenBit(16);
        EXPECT_EQ(ScreenColorDepth(), 16);
    }
    EXPECT_GE(ScreenColorDepth(), 24);
}

}  // namespace
}  // namespace vcl::test
