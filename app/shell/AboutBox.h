#pragma once
// TAboutBox: the "About" dialog of both programs, made hidden at start-up right after the
// main window and shown modally by a click on the main window's logo picture. Its texts
// are fixed when it is made.
#include <string>

#include "platform/vcl/Vcl.h"

namespace shell {

// The one-line rights notice the dialog centres across itself.
extern const char kRightsNotice[];

class TAboutBox : public vcl::TForm {
  public:
    explicit TAboutBox(vcl::TComponent* owner);

    void FormCreate(vcl::TObject* sender);
    void OKButtonClick(vcl::TObject* sender);

    vcl::TPanel* Panel1;
    vcl::TImage* ProgramIcon;
    vcl::TLabel* ProductName;
    vcl::TLabel* Version;
    vcl::TLabel* Copyright;
    vcl::TLabel* Comments;
    vcl::TButton* OKButton;

  private:
    void CentreAcrossDialog(vcl::TLabel* label);
};

extern TAboutBox* AboutBox;

}  // namespace shell
