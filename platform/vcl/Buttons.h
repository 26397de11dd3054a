#pragma once
// Push button, check box and radio button.
//
// OnClick runs when the user clicks, and, as in the form library, also when code changes
// Checked of a check box, or checks a radio button: SetChecked runs OnClick directly
// (exceptions reach the caller) when the state changes.
#include "platform/vcl/Control.h"

class QPushButton;
class QCheckBox;
class QRadioButton;

namespace vcl {

class TButton : public TControl {
  public:
    explicit TButton(TComponent* owner);

    // Clicking sets this result on the button's form, which ends its modal display.
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    // The default button is clicked by the Enter key.
    bool Default() const;
    void SetDefault(bool isDefault);

    void Click() override;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

  private:
    QPushButton* button_;
    TModalResult modalResult_ = mrNone;
};

class TCheckBox : public TControl {
  public:
    explicit TCheckBox(TComponent* owner);

    bool Checked() const;
    void SetChecked(bool checked);

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

  private:
    QCheckBox* box_;
};

// Radio buttons with the same parent exclude one another.
class TRadioButton : public TControl {
  public:
    explicit TRadioButton(TComponent* owner);

    bool Checked() const;
    void SetChecked(bool checked);

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

  private:
    QRadioButton* button_;
};

}  // namespace vcl
