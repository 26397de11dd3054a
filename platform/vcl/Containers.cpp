#include "platform/vcl/Containers.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>

#include "platform/vcl/QtSupport.h"

namespace vcl {

TGroupBox::TGroupBox(TComponent* owner)
    : TWinControl(owner, new QGroupBox), box_(static_cast<QGroupBox*>(Widget())) {}

TRect TGroupBox::ClientRect() const {
    // As the form library computes it: below a line of caption text, two pixels in.
    const int captionHeight = QFontMetrics(box_->font()).height();
    return TRect{2, captionHeight + 2, Width() - 2, Height() - 2};
}

std::string TGroupBox::GetText() const {
    return qt::FromQ(box_->title());
}

void TGroupBox::SetTextValue(const std::string& text) {
    box_->setTitle(qt::ToQ(text));
}

TPanel::TPanel(TComponent* owner)
    : TWinControl(owner, new QFrame),
      frame_(static_cast<QFrame*>(Widget())),
      caption_(new QLabel(frame_)) {
    caption_->setTextFormat(Qt::PlainText);
    caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
    caption_->lower();
    new qt::EventHook(frame_, [this](QEvent* event) {
        if (event->type() == QEvent::Resize) {
            caption_->setGeometry(frame_->rect());
            Realign();
        }
        return false;
    });
    SetAlignment(alignment_);
    ApplyBevel();
}

void TPanel::SetBevelOuter(TBevelCut bevel) {
    bevelOuter_ = bevel;
    ApplyBevel();
}

void TPanel::SetBevelInner(TBevelCut bevel) {
    bevelInner_ = bevel;
    ApplyBevel();
}

int TPanel::BevelWidth() const {
    return (bevelOuter_ != bvNone ? 1 : 0) + (bevelInner_ != bvNone ? 1 : 0);
}

void TPanel::ApplyBevel() {
    const TBevelCut outer = bevelOuter_ != bvNone ? bevelOuter_ : bevelInner_;
    if (outer == bvNone) {
        frame_->setFrameStyle(QFrame::NoFrame);
        return;
    }
    frame_->setFrameStyle(QFrame::Panel | (outer == bvRaised ? QFrame::Raised : QFrame::Sunken));
    frame_->setLineWidth(BevelWidth());
    Realign();
}

void TPanel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    Qt::Alignment horizontal = Qt::AlignHCenter;
    if (alignment == taLeftJustify) {
        horizontal = Qt::AlignLeft;
    } else if (alignment == taRightJustify) {
        horizontal = Qt::AlignRight;
    }
    caption_->setAlignment(horizontal | Qt::AlignVCenter);
}

TRect TPanel::ClientRect() const {
    const int inset = BevelWidth();
    return TRect{inset, inset, Width() - inset, Height() - inset};
}

std::string TPanel::GetText() const {
    return qt::FromQ(caption_->text());
}

void TPanel::SetTextValue(const std::string& text) {
    caption_->setText(qt::ToQ(text));
}

}  // namespace vcl
