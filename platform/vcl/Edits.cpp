#include "platform/vcl/Edits.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "platform/vcl/QtSupport.h"

namespace vcl {

TEdit::TEdit(TComponent* owner)
    : TControl(owner, new QLineEdit), edit_(static_cast<QLineEdit*>(Widget())) {
    SetBackgroundRoles(kBackgroundBase);
    QObject::connect(edit_, &QLineEdit::textEdited, [this] {
        if (OnChange) {
            qt::RunGuarded([this] { OnChange(this); });
        }
    });
    ForwardMouseClicks();
}

bool TEdit::ReadOnly() const {
    return edit_->isReadOnly();
}

void TEdit::SetReadOnly(bool readOnly) {
    edit_->setReadOnly(readOnly);
}

std::string TEdit::GetText() const {
    return qt::FromQ(edit_->text());
}

void TEdit::SetTextValue(const std::string& text) {
    const QString value = qt::ToQ(text);
    if (value == edit_->text()) {
        return;
    }
    edit_->setText(value);
    // The start of a long text stays in view, as in a Windows edit box.
    edit_->setCursorPosition(0);
    if (OnChange) {
        OnChange(this);
    }
}

TComboBox::TComboBox(TComponent* owner)
    : TControl(owner, new QComboBox), box_(static_cast<QComboBox*>(Widget())) {
    SetBackgroundRoles(kBackgroundBase);
    box_->setEditable(true);
    box_->setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(box_->lineEdit(), &QLineEdit::textEdited, [this] {
        if (OnChange) {
            qt::RunGuarded([this] { OnChange(this); });
        }
    });
    ForwardMouseClicks(box_->lineEdit());
}

void TComboBox::AddItem(const std::string& item) {
    const QSignalBlocker quiet(box_);
    const QString text = box_->currentText();
    box_->addItem(qt::ToQ(item));
    box_->setEditText(text);
}

void TComboBox::ClearItems() {
    const QSignalBlocker quiet(box_);
    const QString text = box_->currentText();
    box_->clear();
    box_->setEditText(text);
}

int TComboBox::ItemCount() const {
    return box_->count();
}

std::string TComboBox::GetText() const {
    return qt::FromQ(box_->currentText());
}

void TComboBox::SetTextValue(const std::string& text) {
    const QString value = qt::ToQ(text);
    if (value == box_->currentText()) {
        return;
    }
    box_->setEditText(value);
    box_->lineEdit()->setCursorPosition(0);
    if (OnChange) {
        OnChange(this);
    }
}

}  // namespace vcl
