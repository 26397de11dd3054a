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

}  // namespace

TLabel::TLabel(TComponent* owner)
    : TControl(owner, new QLabel), label_(static_cast<QLabel*>(Widget())) {
    // Plain text: captions such as "<Enter + Power>" are not markup.
    label_->setTextFormat(Qt::PlainText);
    label_->setAlignment(QtAlignment(alignment_));
    ForwardMouseClicks();
    // The font may change through the parent's; the size follows it.
    new qt::EventHook(label_, [this](QEvent* event) {
        if (event->type() == QEvent::FontChange) {
            FitToText();
        }
        return false;
    });
    FitToText();
}

std::string TLabel::GetText() const {
    return qt::FromQ(label_->text());
}

void TLabel::SetTextValue(const std::string& text) {
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
    wordWrap_ = wordWrap;
    label_->setWordWrap(wordWrap);
    FitToText();
}

void TLabel::FitToText() {
    if (!autoSize_ || label_ == nullptr) {
        return;
    }
    const QSize hint = label_->sizeHint();
    if (wordWrap_) {
        label_->resize(label_->width(), label_->heightForWidth(label_->width()));
    } else {
        label_->resize(hint);
    }
}

}  // namespace vcl
