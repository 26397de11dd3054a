#pragma once
// TMemo: a text box of several lines; Lines reads and writes what it shows, including
// what the user typed.
#include <memory>

#include "platform/vcl/Control.h"
#include "platform/vcl/Strings.h"

class QPlainTextEdit;

namespace vcl {

class TMemo : public TControl {
  public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;

    TStrings* Lines() { return lines_.get(); }
    const TStrings* Lines() const { return lines_.get(); }
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    bool WordWrap() const;
    void SetWordWrap(bool wordWrap);

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;
    TColor DefaultColor() const override { return clWindow; }

  private:
    QPlainTextEdit* edit_;
    std::unique_ptr<TStrings> lines_;
};

}  // namespace vcl
