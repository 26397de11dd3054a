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
#include <optional>
#include <string>

#include "app/flash/EraseRanges.h"
#include "app/shell/ShellForm.h"
#include "platform/vcl/core/Bitmap.h"

namespace logo {
struct PreviewPicture;
}

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

    // The flash job (FlashJobMachine.cpp).
    void btnFlashClick(TObject* sender);
    void timerFlashStateTimer(TObject* sender);
    // The erase operations and the boot-area option (EraseOperations.cpp).
    void btnEraseFlashClick(TObject* sender);
    void btnEraseLogoClick(TObject* sender);
    void CheckBoxSkipBootClick(TObject* sender);
    // Choosing and loading a file, the image check and the flash table dialog
    // (FileLoading.cpp).
    void btnChooseClick(TObject* sender);
    void ActionLoadFileExecute(TObject* sender);
    void ActionChkImgExecute(TObject* sender);
    void editFlashFileDblClick(TObject* sender);
    void editFlashWriteDelayChange(TObject* sender);
    // The picture importers (LogoActions.cpp).
    void ActionBMPExecute(TObject* sender);
    void ActionJPEGExecute(TObject* sender);
    void ActionSPLBExecute(TObject* sender);
    void ActionSPLCExecute(TObject* sender);
    void ActionRLE8Execute(TObject* sender);

    // The bare name of the loaded file (no folder, no extension); empty before the
    // first load. The job refuses to start without one.
    const std::string& FlashFileName() const { return flashFileName_; }

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
    void BindJobHandlers();

    // Job steps, one per state of the job's state machine.
    void IdleStep();
    void AwaitProgrammingStep();
    void AwaitEraseStep();
    void WritingStep();
    void VerifyingStep();
    // The status line of the job and its record in the process log.
    void ShowStatus(const std::string& text);
    void RecordStatus();
    // Ends a job whose erase failed: the file closes, busy clears, the state is Idle.
    void EndJobAfterFailedErase();
    // Opens the job's file and fixes its start; false when no job can start.
    bool OpenJobFile();
    void StartJobLog();

    // Erase helpers: status and chip checks, the sector loop, the announced range.
    std::optional<flash::ChipSectors> IdentifyChip();
    bool EraseRange(int top, int first, uint32_t address, uint32_t size);
    bool EraseSectorsDown(int top, int first);
    // Back from the sector gauge to 0..100 at the job's start position.
    void RestoreGauge();
    void ShowStartPosition();

    // File loading helpers.
    void LoadChosenFile();
    bool ImportByExtension(const std::string& extension);
    void FinishImageLoad();
    void FinishPictureLoad();
    void ShowLoadedSize();
    void ShowImported(const vcl::TBitmap& picture);
    void ShowPreview(const vcl::TBitmap& picture);
    void ShowPreviewImport(const logo::PreviewPicture& imported);
    void ShowScaled(const vcl::TBitmap& scaled);
    bool RefuseWhileBusy();

    void BuildFileControls();
    void BuildOptionGroups();
    void BuildLogoGroup();
    void BuildProgressLine();
    void BuildJobComponents();
    void SetTabOrders();

    static constexpr size_t kFileNameBuffer = 132;  // characters, terminating zero included
    std::string flashFileName_;
    // Set while the verify step runs: ticks that arrive from the message boxes it waits
    // in must not verify the same job again.
    bool verifying_ = false;
    // Set while a file load runs: checking a JPEG colour button from inside the load
    // runs the button's click, which is the load itself.
    bool loading_ = false;
    // The background colour of the progress bar while an erase has it grey.
    std::optional<vcl::TColor> gaugeColour_;
    // The logo pictures: the import buffer's picture and the display-sized logo.
    vcl::TBitmap importPicture_;
    vcl::TBitmap scaledLogo_;
};

extern TFormOstrel* FormOstrel;

}  // namespace ostrel
