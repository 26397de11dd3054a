#pragma once
// TLabel: a line of text. With AutoSize (the default) its size follows the text and the
// font, its left and top edges staying where they are. A label that is not on screen is
// measured when it is shown or when its bounds are asked for, not at each change: the
// labels of a window made hidden at start-up then load no font until the window shows.
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

    TRect Bounds() const override;
    void SetBounds(int left, int top, int width, int height) override;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;
    void FontApplied() override;

  private:
    // Fits the size to the text now when the label is on screen, else at the next show or
    // bounds query.
    void FitToText();
    void FitPending() const;
    void FitNow();

    QLabel* label_;
    // A fit asked for while the label was off screen and not yet made.
    mutable bool fitPending_ = false;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    TAlignment alignment_ = taLeftJustify;
};

}  // namespace vcl
