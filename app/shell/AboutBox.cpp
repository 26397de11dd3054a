#include "app/shell/AboutBox.h"

#include "app/shell/Artwork.h"

namespace shell {

using namespace vcl;

const char kRightsNotice[] = "Copyright (C) the Ostrel authors. All rights reserved.";

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner) {
    SetCaption("About");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetClientSize(504, 262);
    SetPosition(poScreenCenter);
    Font()->SetName("MS Sans Serif");
    Font()->SetHeight(-14);
    OnCreate = Method(this, &TAboutBox::FormCreate);

    Panel1 = new TPanel(this);
    Panel1->SetParent(this);
    Panel1->SetBounds(0, 0, 505, 225);
    Panel1->SetBevelInner(bvRaised);
    Panel1->SetBevelOuter(bvLowered);

    ProgramIcon = new TImage(this);
    ProgramIcon->SetParent(Panel1);
    ProgramIcon->SetBounds(2, 0, 80, 225);
    ProgramIcon->SetStretch(true);
    ProgramIcon->SetProportional(true);
    const Picture logo = LogoPicture();
    ProgramIcon->SetPicture(logo.width, logo.height, logo.pixels);

    auto label = [this](int left, int top, const char* caption) {
        auto* made = new TLabel(this);
        made->SetParent(Panel1);
        made->SetBounds(left, top, 0, 16);
        made->SetCaption(caption);
        return made;
    };
    ProductName = label(92, 20, "Product");
    Version = label(92, 49, "Version");
    Copyright = label(90, 98, "");
    Comments = label(90, 128, "Comments");

    OKButton = new TButton(this);
    OKButton->SetParent(this);
    OKButton->SetBounds(209, 230, 92, 30);
    OKButton->SetCaption("OK");
    OKButton->SetDefault(true);
    OKButton->SetModalResult(mrOk);
    OKButton->OnClick = Method(this, &TAboutBox::OKButtonClick);
}

void TAboutBox::FormCreate(TObject* /*sender*/) {
    if (Application != nullptr && Application->MainForm() != nullptr) {
        ProductName->SetCaption(Application->MainForm()->Caption());
    }
    Version->SetCaption("");
    Copyright->SetCaption(kRightsNotice);
    CentreAcrossDialog(Copyright);
    Comments->SetCaption("");
    CentreAcrossDialog(Comments);
}

void TAboutBox::CentreAcrossDialog(TLabel* label) {
    label->SetLeft((Width() - label->Width()) / 2);
}

void TAboutBox::OKButtonClick(TObject* /*sender*/) {
    Hide();
}

}  // namespace shell
