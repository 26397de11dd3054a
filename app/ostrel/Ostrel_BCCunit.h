#pragma once
// TFormOstrel: Ostrel's main window. The shared part (connection box, "Status" group,
// hidden service buttons, monitor timers and their handlers) comes from TShellForm; this
// adds the file choice, the option and mode groups, the logo preview, the progress line,
// Start and Close, and the flash job's timer, dialog and actions.
//
// The constructor (OstrelLayout.cpp) builds every control at its place; the handlers of
// this file are the window's life (FormCreate, btnCloseClick, FormClose) and its status
// tick. The flash job's handlers (Start, the job timer, Choose, the file load, the
// erase buttons, the skip-boot click, the flash table double click) belong in files of
// their own beside these, bound to the controls built here.
#include "app/shell/ShellForm.h"

namespace ostrel {

using vcl::TObject;

// The revision keyword the caption ends with (its first and last character dropped).
constexpr char kRevisionKeyword[] = "$Revision: 1.24H3 $";
constexpr char kDesignCaption[] = "Projector Ostrel  ";
constexpr char kInitialFilter[] = "Projector firmware image|*.img";
constexpr char kLogoFilter[] =
    "Projector firmware image|*.img|Windows bitmap file|*.bmp|JPEG file|*.jpg";
constexpr char kKeyHelp[] = "Press <Enter + Power> for 3 seconds at standby mode to start!";

class TFormOstrel : public shell::TShellForm {
  public:
    explicit TFormOstrel(vcl::TComponent* owner);

    void FormCreate(TObject* sender);
    void btnCloseClick(TObject* sender);
    void FormClose(TObject* sender);
    void timerStatusTimer(TObject* sender) override;

    vcl::TLabel* Label1;
    vcl::TLabel* Label2;
    vcl::TEdit* editDirectory;
    vcl::TComboBox* editFlashFile;
    vcl::TButton* btnChoose;
    vcl::TLabel* lblKeyHelp;
    vcl::TGroupBox* GroupBoxFlashOption;
    vcl::TLabel* Label3;
    vcl::TEdit* editFlashWriteDelay;
    vcl::TCheckBox* CheckBoxSkipBoot;
    vcl::TCheckBox* cbReset;
    vcl::TGroupBox* GroupBoxBitmap;
    vcl::TImage* Image1;
    vcl::TPanel* pnlImgSize;
    vcl::TGroupBox* GroupBoxFlashMode;
    vcl::TRadioButton* rbFlash;
    vcl::TRadioButton* rbVerify;
    vcl::TGroupBox* GroupBoxJPEGColors;
    vcl::TRadioButton* rb24bit;
    vcl::TRadioButton* rb16bit;
    vcl::TRadioButton* rb8bit;
    vcl::TProgressBar* ProgressBar;
    vcl::TLabel* lblBytes;
    vcl::TLabel* lblTime;
    vcl::TLabel* lblCheckSum;
    vcl::TButton* btnFlash;
    vcl::TButton* btnClose;
    vcl::TImage* imgBuf;
    vcl::TImage* imgBufScaled;
    vcl::TButton* btnEraseFlash;
    vcl::TButton* btnEraseLogo;
    vcl::TOpenDialog* OpenDialog;
    vcl::TTimer* timerFlashState;
    vcl::TActionList* ActionList1;
    vcl::TAction* ActionBMP;
    vcl::TAction* ActionJPEG;
    vcl::TAction* ActionSPLB;
    vcl::TAction* ActionRLE8;
    vcl::TAction* ActionChkImg;
    vcl::TAction* ActionLoadFile;
    vcl::TAction* ActionSPLC;

  protected:
    bool TrustsModel7616LogoAddress() const override { return true; }
    void LogoAddressAccepted() override;
    void IdentityFilled() override;

  private:
    void BuildFileControls();
    void BuildOptionGroups();
    void BuildLogoGroup();
    void BuildProgressLine();
    void BuildJobComponents();
    void SetTabOrders();
};

extern TFormOstrel* FormOstrel;

}  // namespace ostrel
