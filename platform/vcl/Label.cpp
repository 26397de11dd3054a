#include "platform/vcl/Label.h"

#include <QEvent>
#include <QLabel>

#include "platform/vcl/QtSupport.h"

namespace vcl {
namespace {

Qt::Alignment QtAlignment(TAlignment alignment) {
    switch (alignment) {
        case taCenter:
            return Qt::AlignHCenter | Qt::AlignTop;
        case taRightJustify:
            return Qt::AlignRight | Qt::AlignTop;
        default:
            return Qt::AlignLeft | Qt::AlignTop;
    }
}

// A widget shown before it was ever sized is sized to its own measure by the toolkit; a
// label is sized by FitToText instead, so it starts sized (empty) and is measured only
// in its final font.
QLabel* NewLabel() {
    auto* label = new QLabel;
    label->resize(0, 0);
    return label;
}

}  // namespace

TLabel::TLabel(TComponent* owner)
    : TControl(owner, NewLabel()), label_(static_cast<QLabel*>(Widget())) {
    // Plain text: captions such as "<Enter + Power>" are not markup.
    label_->setTextFormat(Qt::PlainText);
    label_->setAlignment(QtAlignment(alignment_));
    ForwardMouseClicks();
    // The font may change through the parent's; the size follows it.
    new qt::EventHook(label_, [this](QEvent* event) {
        if (event->type() == QEvent::FontChange) {
            FitToText();
        } else if (event->type() == QEvent::Show) {
            FitPending();  // before the first paint
        }
        return false;
    });
    FitToText();
}

std::string TLabel::GetText() const {
    return qt::FromQ(label_->text());
}

void TLabel::SetTextValue(const std::string& text) {
    if (!autoSize_) {
        FitPending();  // a fit asked for before AutoSize went off measured the former text
    }
    label_->setText(qt::ToQ(text));
    FitToText();
}

void TLabel::FontApplied() {
    FitToText();
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    FitToText();
}

void TLabel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    label_->setAlignment(QtAlignment(alignment));
}

void TLabel::SetWordWrap(bool wordWrap) {
    if (!autoSize_) {
        FitPending();
    }
    wordWrap_ = wordWrap;
    label_->setWordWrap(wordWrap);
    FitToText();
}

TRect TLabel::Bounds() const {
    FitPending();
    return TControl::Bounds();
}

void TLabel::SetBounds(int left, int top, int width, int height) {
    // New bounds replace whatever size a pending fit would give.
    fitPending_ = false;
    TControl::SetBounds(left, top, width, height);
}

void TLabel::FitToText() {
    if (!autoSize_ || label_ == nullptr) {
        return;
    }
    if (!label_->isVisible()) {
        fitPending_ = true;
        return;
    }
    FitNow();
}

void TLabel::FitPending() const {
    if (fitPending_) {
        // Measuring changes only the widget's size, which the caller sees as if it had
        // been measured at the change.
        const_cast<TLabel*>(this)->FitNow();
    }
}

void TLabel::FitNow() {
    fitPending_ = false;
    if (wordWrap_) {
        label_->resize(label_->width(), label_->heightForWidth(label_->width()));
    } else {
        label_->resize(label_->sizeHint());
    }
}

}  // namespace vcl
