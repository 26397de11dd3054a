#pragma once
// TForm: a top-level window with a caption, a client area of a given size, a border
// style and border icons, and the events of its life: OnCreate (once, after the
// constructor has built the controls: see TApplication::CreateForm), OnShow, OnHide,
// OnClose. Forms start hidden; the application shows its main form when it runs.
#include <optional>

#include "platform/vcl/Control.h"

class QEventLoop;

namespace vcl {

class TForm : public TWinControl {
  public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    // Runs OnCreate. TApplication::CreateForm calls it once the constructor has built
    // the form; a form made with `new` elsewhere calls it itself.
    void AfterConstruction();

    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int width) { SetClientSize(width, ClientHeight()); }
    void SetClientHeight(int height) { SetClientSize(ClientWidth(), height); }
    void SetClientSize(int width, int height);
    TRect ClientRect() const override;

    // Left, Top, Width and Height of a form are those of the whole window, frame
    // included, in screen coordinates.
    TRect Bounds() const override;
    void SetBounds(int left, int top, int width, int height) override;

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }

    void SetVisible(bool visible) override;
    // Closes the form: runs OnClose and hides it. Closing the main form ends the
    // application's message loop; closing a modal form ends its modal display.
    void Close();
    // Shows the form modally and returns its modal result once a button with a modal
    // result, SetModalResult or closing ended the display.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result);
    bool Modal() const { return modalLoop_ != nullptr; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnClose;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

  private:
    void ApplyWindowFlags();
    void ApplySizeConstraint();
    void CentreOnScreen();

    TBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
    TPosition position_ = poDesigned;
    TModalResult modalResult_ = mrNone;
    QEventLoop* modalLoop_ = nullptr;
    bool closing_ = false;
};

}  // namespace vcl
