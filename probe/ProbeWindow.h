#pragma once
// OstrelProbe's main window: the shared connection box and "Status" group of TShellForm,
// three instruction memos for the three steps of the driver set-up, Check and Close, and
// the test timer that switches the projector into Ostrel mode once per program run.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "app/shell/ShellForm.h"

namespace probe {

using vcl::TObject;

constexpr char kRevisionKeyword[] = "$Revision: 1.24H2 $";
constexpr char kDesignCaption[] = "Projector Ostrel  Driver Test";
// The test's lines in lblMsg, with the blanks that clear a longer earlier text.
inline const std::string kSwitchingText = "Switching to Ostrel mode..." + std::string(11, ' ');
inline const std::string kEnteredText = "Entered Ostrel mode!" + std::string(18, ' ');
// After the enter command the projector needs a moment before the next tick looks.
constexpr uint32_t kAfterEnterMs = 100;
// Exit BL's own wait before it returns, and the wait after it at closing: the projector
// leaves Ostrel mode before the program ends.
constexpr uint32_t kExitSettleMs = 500;
constexpr uint32_t kCloseWaitMs = 3000;

// The state of the mode-switch test (window thread).
extern bool checkRequested;  // set by Check, cleared once Ostrel mode was reached
extern int testStep;         // 0 waiting to switch, 1 switch requested, 2 Ostrel mode reached
void ResetProbeTest();

class TFormOstrel : public shell::TShellForm {
  public:
    explicit TFormOstrel(vcl::TComponent* owner);

    void FormCreate(TObject* sender);
    void FormClose(TObject* sender);
    void btnCloseClick(TObject* sender);
    void timerStatusTimer(TObject* sender) override;
    void btnCheckOstrelClick(TObject* sender);
    void TimerTestOstrelTimer(TObject* sender);

    vcl::TMemo* Memo1;
    vcl::TMemo* Memo2;
    vcl::TMemo* Memo3;
    vcl::TButton* btnCheckOstrel;
    vcl::TButton* btnClose;
    vcl::TTimer* TimerTestOstrel;

  protected:
    bool TrustsModel7616LogoAddress() const override { return false; }
    uint32_t ExitBootloaderSettleMs() const override { return kExitSettleMs; }

  private:
    void PlaceSharedControls();
    vcl::TMemo* StepMemo(int left, std::initializer_list<const char*> lines);
    // Which of the three steps the memos point the user to (1 to 3).
    void ShowStep(int step);
};

// Highlighted: black and bold; greyed: grey without style.
void Highlight(vcl::TMemo* memo);
void Grey(vcl::TMemo* memo);

extern TFormOstrel* FormOstrel;

}  // namespace probe
