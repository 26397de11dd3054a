#pragma once
// A small window declared the way the programs declare theirs: controls as members,
// built in the constructor, handlers bound with Method().
#include "platform/vcl/Vcl.h"

namespace vcl::test {

class TFormSample : public TForm {
  public:
    explicit TFormSample(TComponent* owner) : TForm(owner) {
        SetCaption("Projector Sample  ");
        SetClientSize(514, 364);
        SetBorderStyle(bsSingle);
        SetBorderIcons({biMinimize});
        Font()->SetHeight(-10);
        OnCreate = Method(this, &TFormSample::FormCreate);

        GroupBoxTarget = new TGroupBox(this);
        GroupBoxTarget->SetBounds(91, 72, 338, 124);
        GroupBoxTarget->SetCaption("Status");
        lblTarget = new TLabel(this);
        lblTarget->SetParent(GroupBoxTarget);
        lblTarget->SetBounds(65, 20, 124, 13);
        lblTarget->SetCaption("Waiting USB Connection !");
        lblTarget->Font()->SetColor(clGray);
        lblTarget->Font()->SetHeight(-12);
        lblKeyHelp = new TLabel(this);
        lblKeyHelp->SetParent(GroupBoxTarget);
        lblKeyHelp->SetBounds(13, 59, 6, 13);
        lblKeyHelp->SetCaption("?");
        lblKeyHelp->Hide();

        GroupBoxFlashOption = new TGroupBox(this);
        GroupBoxFlashOption->SetBounds(92, 202, 165, 124);
        GroupBoxFlashOption->SetCaption("Options");
        CheckBoxSkipBoot = new TCheckBox(this);
        CheckBoxSkipBoot->SetParent(GroupBoxFlashOption);
        CheckBoxSkipBoot->SetBounds(7, 59, 156, 16);
        CheckBoxSkipBoot->SetCaption("Skip boot code ");

        GroupBoxBitmap = new TGroupBox(this);
        GroupBoxBitmap->SetBounds(91, 202, 166, 150);
        GroupBoxBitmap->SetCaption("Logo");
        Image1 = new TImage(this);
        Image1->SetParent(GroupBoxBitmap);
        Image1->SetBounds(2, 15, 162, 122);
        Image1->SetAlign(alTop);
        pnlImgSize = new TPanel(this);
        pnlImgSize->SetParent(GroupBoxBitmap);
        pnlImgSize->SetBounds(2, 135, 162, 13);
        pnlImgSize->SetAlign(alBottom);

        editDirectory = new TEdit(this);
        editDirectory->SetBounds(91, 20, 417, 21);
        btnChoose = new TButton(this);
        btnChoose->SetBounds(436, 46, 72, 20);
        btnChoose->SetCaption("Choose...");
        btnChoose->SetHint("Choose a target file for projector");
        btnChoose->OnClick = Method(this, &TFormSample::btnChooseClick);
        editUSB = new TEdit(this);
        editUSB->SetBounds(436, 104, 72, 21);
        editUSB->SetText("USB");

        timerStatus = new TTimer(this);
        timerStatus->SetEnabled(false);
    }

    void FormCreate(TObject* /*sender*/) { ++creates; }
    void btnChooseClick(TObject* /*sender*/) { ++chooseClicks; }

    TGroupBox* GroupBoxTarget;
    TLabel* lblTarget;
    TLabel* lblKeyHelp;
    TGroupBox* GroupBoxFlashOption;
    TCheckBox* CheckBoxSkipBoot;
    TGroupBox* GroupBoxBitmap;
    TImage* Image1;
    TPanel* pnlImgSize;
    TEdit* editDirectory;
    TButton* btnChoose;
    TEdit* editUSB;
    TTimer* timerStatus;

    int creates = 0;
    int chooseClicks = 0;
};

}  // namespace vcl::test
