#include "platform/vcl/ProgressBar.h"

#include <QProgressBar>
#include <algorithm>

namespace vcl {

TProgressBar::TProgressBar(TComponent* owner)
    : TControl(owner, new QProgressBar), bar_(static_cast<QProgressBar*>(Widget())) {
    SetBackgroundRoles(kBackgroundWindow | kBackgroundBase);
    bar_->setTextVisible(false);
    Apply();
}

void TProgressBar::SetMin(int min) {
    min_ = min;
    Apply();
}

void TProgressBar::SetMax(int max) {
    max_ = max;
    Apply();
}

int TProgressBar::Position() const {
    // A range set upside down (Max below Min, for a moment) holds at Min.
    return std::clamp(position_, min_, std::max(min_, max_));
}

void TProgressBar::SetPosition(int position) {
    position_ = position;
    Apply();
}

void TProgressBar::Apply() {
    const int top = std::max(min_, max_);
    bar_->setRange(min_, top);
    bar_->setValue(Position());
    position_ = Position();
}

}  // namespace vcl
