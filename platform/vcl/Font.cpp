#include "platform/vcl/Font.h"

#include "platform/vcl/Control.h"

namespace vcl {
namespace {

constexpr const char* kDefaultName = "MS Sans Serif";
constexpr int kDefaultHeight = -11;

}  // namespace

const TFont* TFont::ParentFont() const {
    if (control_ == nullptr || control_->Parent() == nullptr) {
        return nullptr;
    }
    return control_->Parent()->Font();
}

std::string TFont::Name() const {
    if (name_) {
        return *name_;
    }
    const TFont* parent = ParentFont();
    return parent != nullptr ? parent->Name() : kDefaultName;
}

int TFont::Height() const {
    if (height_) {
        return *height_;
    }
    const TFont* parent = ParentFont();
    return parent != nullptr ? parent->Height() : kDefaultHeight;
}

int TFont::Size() const {
    const int height = Height();
    const int pixels = height < 0 ? -height : height;
    return (pixels * 72 + 48) / 96;
}

TColor TFont::Color() const {
    if (color_) {
        return *color_;
    }
    const TFont* parent = ParentFont();
    return parent != nullptr ? parent->Color() : clWindowText;
}

TFontStyles TFont::Style() const {
    if (style_) {
        return *style_;
    }
    const TFont* parent = ParentFont();
    return parent != nullptr ? parent->Style() : TFontStyles{};
}

void TFont::SetName(const std::string& name) {
    name_ = name;
    Changed();
}

void TFont::SetHeight(int height) {
    height_ = height;
    Changed();
}

void TFont::SetSize(int points) {
    height_ = -(points * 96 + 36) / 72;
    Changed();
}

void TFont::SetColor(TColor color) {
    color_ = color;
    Changed();
}

void TFont::SetStyle(TFontStyles style) {
    style_ = style;
    Changed();
}

void TFont::Assign(const TFont& other) {
    name_ = other.Name();
    height_ = other.Height();
    color_ = other.Color();
    style_ = other.Style();
    Changed();
}

void TFont::Changed() {
    if (control_ != nullptr) {
        control_->FontChanged();
    }
}

}  // namespace vcl
