#include "platform/vcl/Control.h"

#include <QMouseEvent>
#include <QPalette>
#include <QWidget>
#include <algorithm>

#include "platform/vcl/QtSupport.h"

namespace vcl {
namespace {

Qt::CursorShape CursorShape(TCursor cursor) {
    switch (cursor) {
        case crHourGlass:
            return Qt::WaitCursor;
        default:
            return Qt::ArrowCursor;
    }
}

}  // namespace

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), widget_(widget) {
    QObject::connect(widget_, &QObject::destroyed, [this] { widget_ = nullptr; });
    if (auto* container = dynamic_cast<TWinControl*>(owner)) {
        SetParent(container);
    }
}

TControl::~TControl() {
    // Owned controls go first, while the widgets they live in still exist.
    DestroyComponents();
    if (parent_ != nullptr) {
        parent_->Remove(this);
    }
    if (widget_ != nullptr) {
        QWidget* widget = widget_;
        QObject::disconnect(widget, &QObject::destroyed, nullptr, nullptr);
        widget_ = nullptr;
        delete widget;
    }
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) {
        return;
    }
    if (parent_ != nullptr) {
        parent_->Remove(this);
    }
    parent_ = parent;
    widget_->setParent(parent != nullptr ? parent->Widget() : nullptr);
    if (parent_ != nullptr) {
        parent_->Insert(this);
    }
    // A widget that changes its parent is hidden by Qt; keep the control's own setting
    // (a control without a parent is never shown as a window of its own).
    widget_->setVisible(visible_ && parent_ != nullptr);
    FontApplied();
    ApplyAlignment();
}

TRect TControl::Bounds() const {
    const QRect geometry = widget_->geometry();
    return TRect{geometry.x(), geometry.y(), geometry.x() + geometry.width(),
                 geometry.y() + geometry.height()};
}

void TControl::SetBounds(int left, int top, int width, int height) {
    widget_->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
    ApplyAlignment();
}

void TControl::SetLeft(int left) {
    SetBounds(left, Top(), Width(), Height());
}
void TControl::SetTop(int top) {
    SetBounds(Left(), top, Width(), Height());
}
void TControl::SetWidth(int width) {
    SetBounds(Left(), Top(), width, Height());
}
void TControl::SetHeight(int height) {
    SetBounds(Left(), Top(), Width(), height);
}

void TControl::SetVisible(bool visible) {
    visible_ = visible;
    widget_->setVisible(visible);
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    widget_->setEnabled(enabled);
}

void TControl::SetHint(const std::string& hint) {
    hint_ = hint;
    widget_->setToolTip(qt::ToQ(hint));
}

TColor TControl::Color() const {
    return color_.value_or(DefaultColor());
}

void TControl::SetColor(TColor color) {
    color_ = color;
    ApplyPalette();
}

void TControl::FontChanged() {
    widget_->setFont(qt::OwnAttributes(font_));
    ApplyPalette();
    FontApplied();
}

void TControl::ApplyPalette() {
    QPalette palette;
    if (font_.HasColor()) {
        const QColor text = qt::ToQColor(font_.Color());
        // The disabled group keeps the desktop's grey, as disabled controls draw their
        // text greyed whatever their font colour.
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
                palette.setColor(group, role, text);
            }
        }
    }
    if (color_) {
        const QColor background = qt::ToQColor(*color_);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            if ((backgroundRoles_ & kBackgroundWindow) != 0) {
                palette.setColor(group, QPalette::Window, background);
            }
            if ((backgroundRoles_ & kBackgroundBase) != 0) {
                palette.setColor(group, QPalette::Base, background);
            }
        }
        if (!widget_->isWindow()) {
            widget_->setAutoFillBackground(true);
        }
    }
    widget_->setPalette(palette);
}

int TControl::TabOrder() const {
    if (parent_ == nullptr) {
        return -1;
    }
    const auto& list = parent_->tabList_;
    const auto found = std::find(list.begin(), list.end(), this);
    return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

void TControl::SetTabOrder(int order) {
    if (parent_ == nullptr) {
        return;
    }
    auto& list = parent_->tabList_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    const auto index = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + index, this);
    parent_->RebuildTabChain();
}

void TControl::SetAlign(TAlign align) {
    align_ = align;
    ApplyAlignment();
}

void TControl::ApplyAlignment() {
    if (align_ == alNone || parent_ == nullptr) {
        return;
    }
    const TRect area = parent_->ClientRect();
    const QRect current = widget_->geometry();
    QRect placed;
    switch (align_) {
        case alTop:
            placed = QRect(area.Left, area.Top, area.Width(), current.height());
            break;
        case alBottom:
            placed =
                QRect(area.Left, area.Bottom - current.height(), area.Width(), current.height());
            break;
        case alLeft:
            placed = QRect(area.Left, area.Top, current.width(), area.Height());
            break;
        case alRight:
            placed = QRect(area.Right - current.width(), area.Top, current.width(), area.Height());
            break;
        default:
            placed = QRect(area.Left, area.Top, area.Width(), area.Height());
            break;
    }
    widget_->setGeometry(placed);
}

void TControl::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    if (cursor == crDefault) {
        widget_->unsetCursor();
    } else {
        widget_->setCursor(CursorShape(cursor));
    }
}

void TControl::Repaint() {
    widget_->repaint();
}

void TControl::Invalidate() {
    widget_->update();
}

void TControl::Click() {
    if (OnClick) {
        OnClick(this);
    }
}

void TControl::RaiseClick() {
    qt::RunGuarded([this] { Click(); });
}

void TControl::RaiseDblClick() {
    if (OnDblClick) {
        qt::RunGuarded([this] { OnDblClick(this); });
    }
}

void TControl::ForwardMouseClicks(QWidget* widget) {
    QWidget* watched = widget != nullptr ? widget : widget_;
    new qt::EventHook(watched, [this, watched](QEvent* event) {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                watched->rect().contains(mouse->position().toPoint())) {
                RaiseClick();
            }
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            RaiseDblClick();
        }
        return false;
    });
}

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {}

TWinControl::~TWinControl() {
    DestroyComponents();
    // Controls owned elsewhere but placed here lose their parent with it.
    for (TControl* control : controls_) {
        control->parent_ = nullptr;
    }
}

TRect TWinControl::ClientRect() const {
    return TRect{0, 0, Width(), Height()};
}

void TWinControl::Realign() {
    for (TControl* control : controls_) {
        control->ApplyAlignment();
    }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    Realign();
}

void TWinControl::Insert(TControl* control) {
    controls_.push_back(control);
    tabList_.push_back(control);
    // Labels, images and empty panels leave the chain as it is: walking the whole window
    // for each of them made building a window quadratic in its controls.
    if (InTabChain(control)) {
        RebuildTabChain();
    }
}

void TWinControl::Remove(TControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
}

void TWinControl::RebuildTabChain() {
    const TWinControl* top = this;
    while (top->Parent() != nullptr) {
        top = top->Parent();
    }
    std::vector<QWidget*> chain;
    top->CollectTabChain(chain);
    for (size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

bool TWinControl::InTabChain(const TControl* control) {
    const QWidget* widget = control->Widget();
    if (widget != nullptr && (widget->focusPolicy() & Qt::TabFocus) != 0) {
        return true;
    }
    std::vector<QWidget*> inside;
    if (const auto* container = dynamic_cast<const TWinControl*>(control)) {
        container->CollectTabChain(inside);
    }
    return !inside.empty();
}

void TWinControl::CollectTabChain(std::vector<QWidget*>& chain) const {
    for (const TControl* control : tabList_) {
        QWidget* widget = control->Widget();
        if (widget != nullptr && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            chain.push_back(widget);
        }
        if (const auto* container = dynamic_cast<const TWinControl*>(control)) {
            container->CollectTabChain(chain);
        }
    }
}

}  // namespace vcl
