#include "platform/vcl/Buttons.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "platform/vcl/Form.h"
#include "platform/vcl/QtSupport.h"

namespace vcl {
namespace {

TForm* FormOf(TControl* control) {
    for (TControl* at = control; at != nullptr; at = at->Parent()) {
        if (auto* form = dynamic_cast<TForm*>(at)) {
            return form;
        }
    }
    return nullptr;
}

// A button starts at the form library's default size. Left unsized, the toolkit would
// size it to its text when it is first placed, measuring in the window's font at once
// (a font engine even for a window that is made hidden and never shown).
QPushButton* NewPushButton() {
    auto* button = new QPushButton;
    button->resize(75, 25);
    return button;
}

}  // namespace

TButton::TButton(TComponent* owner)
    : TControl(owner, NewPushButton()), button_(static_cast<QPushButton*>(Widget())) {
    button_->setAutoDefault(false);
    QObject::connect(button_, &QPushButton::clicked, [this] { RaiseClick(); });
}

bool TButton::Default() const {
    return button_->isDefault();
}

void TButton::SetDefault(bool isDefault) {
    button_->setDefault(isDefault);
}

void TButton::Click() {
    if (modalResult_ != mrNone) {
        if (TForm* form = FormOf(this)) {
            form->SetModalResult(modalResult_);
        }
    }
    TControl::Click();
}

std::string TButton::GetText() const {
    return qt::FromQ(button_->text());
}

void TButton::SetTextValue(const std::string& text) {
    button_->setText(qt::ToQ(text));
}

TCheckBox::TCheckBox(TComponent* owner)
    : TControl(owner, new QCheckBox), box_(static_cast<QCheckBox*>(Widget())) {
    QObject::connect(box_, &QCheckBox::toggled, [this](bool) { RaiseClick(); });
}

bool TCheckBox::Checked() const {
    return box_->isChecked();
}

void TCheckBox::SetChecked(bool checked) {
    if (checked == box_->isChecked()) {
        return;
    }
    {
        const QSignalBlocker quiet(box_);
        box_->setChecked(checked);
    }
    Click();
}

std::string TCheckBox::GetText() const {
    return qt::FromQ(box_->text());
}

void TCheckBox::SetTextValue(const std::string& text) {
    box_->setText(qt::ToQ(text));
}

TRadioButton::TRadioButton(TComponent* owner)
    : TControl(owner, new QRadioButton), button_(static_cast<QRadioButton*>(Widget())) {
    QObject::connect(button_, &QRadioButton::toggled, [this](bool checked) {
        if (checked) {
            RaiseClick();
        }
    });
}

bool TRadioButton::Checked() const {
    return button_->isChecked();
}

void TRadioButton::SetChecked(bool checked) {
    if (checked == button_->isChecked()) {
        return;
    }
    {
        const QSignalBlocker quiet(button_);
        if (checked) {
            button_->setChecked(true);
        } else {
            // An exclusive radio button cannot be unchecked on its own.
            button_->setAutoExclusive(false);
            button_->setChecked(false);
            button_->setAutoExclusive(true);
        }
    }
    if (checked) {
        Click();
    }
}

std::string TRadioButton::GetText() const {
    return qt::FromQ(button_->text());
}

void TRadioButton::SetTextValue(const std::string& text) {
    button_->setText(qt::ToQ(text));
}

}  // namespace vcl
