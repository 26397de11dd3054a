#pragma once
// TLabel: a line of text. With AutoSize (the default) its size follows the text and the
// font, its left and top edges staying where they are.
#include "platform/vcl/Control.h"

class QLabel;

namespace vcl {

class TLabel : public TControl {
  public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;
    void FontApplied() override;

  private:
    void FitToText();

    QLabel* label_;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    TAlignment alignment_ = taLeftJustify;
};

}  // namespace vcl
