#pragma once
// TFormFlashImgInfo: the flash table of the firmware image last checked, shown beside the
// main window (not modal). Made hidden at start-up as the last form; a double click on the
// main window's file name shows and hides it while a valid image is loaded.
#include <array>

#include "platform/vcl/Vcl.h"

namespace ostrel {

class TFormFlashImgInfo : public vcl::TForm {
  public:
    explicit TFormFlashImgInfo(vcl::TComponent* owner);

    // Fills the rows from the last check's table copies; the values stay as they are
    // until the window is shown again.
    void FormShow(vcl::TObject* sender);
    void Button1Click(vcl::TObject* sender);

    vcl::TLabel* lblSig;
    vcl::TLabel* lblApp;
    vcl::TLabel* lblBoot;
    vcl::TLabel* lblOSD;
    vcl::TLabel* lblLogo;
    vcl::TLabel* lblASIC;
    vcl::TLabel* lblAppC;
    vcl::TLabel* lblOthers;
    vcl::TLabel* lblSeq;
    vcl::TLabel* lblAppVer;
    vcl::TButton* Button1;

    // The caption labels of the nine rows, top to bottom.
    std::array<vcl::TLabel*, 9> rowCaptions{};

  private:
    vcl::TLabel* AddRow(int row, const char* caption);
};

extern TFormFlashImgInfo* FormFlashImgInfo;

}  // namespace ostrel
