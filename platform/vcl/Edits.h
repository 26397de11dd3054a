#pragma once
// One-line text boxes: TEdit and the editable TComboBox. OnChange runs when the text
// changes, by typing or from code (from code it runs directly, exceptions reaching the
// caller).
#include <string>

#include "platform/vcl/Control.h"

class QLineEdit;
class QComboBox;

namespace vcl {

class TEdit : public TControl {
  public:
    explicit TEdit(TComponent* owner);

    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);

    TNotifyEvent OnChange;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;
    TColor DefaultColor() const override { return clWindow; }

  private:
    QLineEdit* edit_;
};

// A combo box whose text can be typed (drop-down style). OnDblClick runs on a double
// click in its text.
class TComboBox : public TControl {
  public:
    explicit TComboBox(TComponent* owner);

    void AddItem(const std::string& item);
    void ClearItems();
    int ItemCount() const;

    TNotifyEvent OnChange;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;
    TColor DefaultColor() const override { return clWindow; }

  private:
    QComboBox* box_;
};

}  // namespace vcl
