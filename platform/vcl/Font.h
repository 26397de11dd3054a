#pragma once
// The font of a control. Attributes that were never set follow the parent control's
// font, as a control with a parent font does; set attributes are the control's own.
#include <optional>
#include <string>

#include "platform/vcl/Types.h"

namespace vcl {

class TControl;

class TFont {
  public:
    explicit TFont(TControl* control) : control_(control) {}

    std::string Name() const;
    void SetName(const std::string& name);
    // Height in the form library's terms: negative = character height in pixels,
    // positive = cell height (characters plus internal leading) in pixels.
    int Height() const;
    void SetHeight(int height);
    // Size in points at 96 pixels per inch (Height = -Size * 96 / 72).
    int Size() const;
    void SetSize(int points);
    TColor Color() const;
    void SetColor(TColor color);
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);

    // Copies every attribute of `other` as this font's own.
    void Assign(const TFont& other);

    bool HasName() const { return name_.has_value(); }
    bool HasHeight() const { return height_.has_value(); }
    bool HasColor() const { return color_.has_value(); }
    bool HasStyle() const { return style_.has_value(); }

  private:
    const TFont* ParentFont() const;
    void Changed();

    TControl* control_;
    std::optional<std::string> name_;
    std::optional<int> height_;
    std::optional<TColor> color_;
    std::optional<TFontStyles> style_;
};

}  // namespace vcl
