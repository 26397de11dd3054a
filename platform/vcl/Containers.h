#pragma once
// Controls that hold other controls: TGroupBox (a framed group with a caption) and
// TPanel (a plain or bevelled area with a centred caption). Children are placed relative
// to the container's top-left corner; a disabled container greys its children.
#include "platform/vcl/Control.h"

class QGroupBox;
class QFrame;
class QLabel;

namespace vcl {

class TGroupBox : public TWinControl {
  public:
    explicit TGroupBox(TComponent* owner);

    // Inside the frame and below the caption: aligned children fill this.
    TRect ClientRect() const override;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;
    void FontApplied() override { Realign(); }

  private:
    QGroupBox* box_;
};

class TPanel : public TWinControl {
  public:
    explicit TPanel(TComponent* owner);

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut bevel);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut bevel);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

    TRect ClientRect() const override;

  protected:
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

  private:
    void ApplyBevel();
    int BevelWidth() const;

    QFrame* frame_;
    QLabel* caption_;
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    TAlignment alignment_ = taCenter;
};

}  // namespace vcl
