#pragma once
// TShellForm: what the main windows of Ostrel and OstrelProbe share. It builds the shared
// controls (logo picture, connection box, driver line, the "Status" group with the
// projector lines, the hidden service buttons and the two monitor timers) at the places
// of Ostrel's window, and carries the shared handlers: the connection indicator, the Open
// handler with the driver version check, the identity and information display, the click
// on the projector description, the about box, and bootloader entry and exit.
//
// Each program derives its own TFormOstrel, moves the shared controls where its layout
// wants them, adds its own controls and supplies its status tick.
#include <cstdint>

#include "platform/vcl/Vcl.h"

namespace shell {

using vcl::TObject;

class TShellForm : public vcl::TForm {
  public:
    ~TShellForm() override;

    // Shared handlers (window thread, sender only).
    void timerUSBopenTimer(TObject* sender);
    void btnUSBopenClick(TObject* sender);
    void lblDeviceDscClick(TObject* sender);
    void ImageOEMLogoClick(TObject* sender);
    void btnEnterBootLoaderClick(TObject* sender);
    void btnExitBLClick(TObject* sender);
    // Each program's own status tick; also run by btnExitBLClick as the status refresh.
    virtual void timerStatusTimer(TObject* sender) = 0;

    // Steps 3 to 5 of the Open handler: asks the link's driver handle for its version,
    // fills the driver line and shows it, or reports a driver older than 623.
    void ShowDriverVersion();

    vcl::TImage* ImageOEMLogo;
    vcl::TLabel* lblConnection;
    vcl::TEdit* editUSB;
    vcl::TLabel* lblWinVer;
    vcl::TGroupBox* GroupBoxTarget;
    vcl::TLabel* Label6;
    vcl::TLabel* lblTarget;
    vcl::TLabel* lblSerial;
    vcl::TLabel* lblMFG;
    vcl::TLabel* lblProduct;
    vcl::TLabel* lblDeviceDsc;
    vcl::TLabel* lblConfig;
    vcl::TLabel* lblVersion;
    vcl::TLabel* lblRelease;
    vcl::TLabel* lblUnitLife;
    vcl::TLabel* lblSplashAddress;
    vcl::TLabel* lblResolution;
    vcl::TLabel* lblMsg;
    vcl::TButton* btnEnterBootLoader;
    vcl::TButton* btnExitBL;
    vcl::TButton* btnUSBopen;
    vcl::TTimer* timerStatus;
    vcl::TTimer* timerUSBopen;

  protected:
    // `fontHeight` is the height of the window's "MS Sans Serif" font. It is set before the
    // shared controls are made, so that every label is measured once, in its final font.
    TShellForm(vcl::TComponent* owner, int fontHeight);

    // Fits every self-sizing label to its text again once the window's font is set (the
    // form layer does not refit them when only an inherited font changes).
    void RefitLabels();

    // Centres the window on the screen, each half rounded toward zero.
    void CentreWindow();

    // The identity lines, once per attach (guarded by the link's identityShown).
    void ShowIdentity();
    // The seven information queries and their lines, once per attach of a projector in
    // its normal mode (guarded by infoShown).
    void ShowInformation();
    // Clears both guards and hides the projector lines, for the waiting state.
    void ShowWaiting(const char* waitingText);

    // Whether a 0x7616 projector's logo address is taken without the offset check.
    virtual bool TrustsModel7616LogoAddress() const = 0;
    // Called when the projector reported a usable logo address.
    virtual void LogoAddressAccepted() {}
    // Called when the identity lines have just been filled.
    virtual void IdentityFilled() {}
    // How long btnExitBLClick waits at its end (clock ms).
    virtual uint32_t ExitBootloaderSettleMs() const { return 0; }

  private:
    void BuildConnectionControls();
    void BuildStatusGroup();
    void BuildServiceButtons();
    vcl::TLabel* StatusLabel(int left, int top, const char* caption, bool greyish, bool bold);
    void ShowLogoAndLife();
    void KeepRowsApart();

    int waitCounter_ = 0;
    bool descriptionShown_ = false;
};

}  // namespace shell
