#pragma once
// TControl: what every control of a form has (position and size in pixels relative to
// its parent, caption or text, visibility, enabled state, hint, font, colour, tab order,
// alignment, cursor, click events). TWinControl: a control that holds other controls.
// Properties are methods: X() reads, SetX() writes. Visible and Enabled are the control's
// own settings; a control inside a hidden or disabled parent keeps them.
#include <optional>
#include <string>
#include <vector>

#include "platform/vcl/Component.h"
#include "platform/vcl/Font.h"
#include "platform/vcl/Types.h"

class QWidget;

namespace vcl {

class TWinControl;

class TControl : public TComponent {
  public:
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);

    int Left() const { return Bounds().Left; }
    int Top() const { return Bounds().Top; }
    int Width() const { return Bounds().Width(); }
    int Height() const { return Bounds().Height(); }
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);
    virtual TRect Bounds() const;
    virtual void SetBounds(int left, int top, int width, int height);

    // Caption and Text are the same property, named as each kind of control names it.
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& caption) { SetTextValue(caption); }
    std::string Text() const { return GetText(); }
    void SetText(const std::string& text) { SetTextValue(text); }

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);

    TFont* Font() { return &font_; }
    const TFont* Font() const { return &font_; }
    // Background colour; controls that were never given one show the default face.
    TColor Color() const;
    void SetColor(TColor color);

    // Position among the parent's focusable controls (0 first).
    int TabOrder() const;
    void SetTabOrder(int order);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    // Paints the control at once, before the handler returns to the event loop.
    void Repaint();
    void Refresh() { Repaint(); }
    void Invalidate();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    // Runs OnClick directly (also for hidden or disabled controls), as code may do.
    virtual void Click();

    // The toolkit widget, for the form layer and for tests that look at pixels.
    QWidget* Widget() const { return widget_; }

    // Called by the control's TFont when one of its attributes changes.
    void FontChanged();

  protected:
    TControl(TComponent* owner, QWidget* widget);

    virtual std::string GetText() const { return text_; }
    virtual void SetTextValue(const std::string& text) { text_ = text; }
    // Called after the font (own or inherited) changed, e.g. to fit the size to the text.
    virtual void FontApplied() {}
    virtual TColor DefaultColor() const { return clBtnFace; }

    // Which palette roles the background colour paints (bit 0 window, bit 1 base).
    enum { kBackgroundWindow = 1, kBackgroundBase = 2 };
    void SetBackgroundRoles(int roles) { backgroundRoles_ = roles; }

    // Raise OnClick / OnDblClick from a toolkit event, guarded against exceptions.
    void RaiseClick();
    void RaiseDblClick();
    // Sends clicks and double clicks on `widget` (default: the control's own) to
    // OnClick / OnDblClick.
    void ForwardMouseClicks(QWidget* widget = nullptr);

    void ApplyPalette();

  private:
    friend class TWinControl;
    void ApplyAlignment();

    QWidget* widget_;
    TWinControl* parent_ = nullptr;
    TFont font_{this};
    bool visible_ = true;
    bool enabled_ = true;
    std::string hint_;
    std::string text_;
    std::optional<TColor> color_;
    TAlign align_ = alNone;
    TCursor cursor_ = crDefault;
    int backgroundRoles_ = kBackgroundWindow;
};

class TWinControl : public TControl {
  public:
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(index); }

    // The area that aligned children fill, in this control's coordinates.
    virtual TRect ClientRect() const;
    // Re-places the aligned children (after a size or font change).
    void Realign();

    void SetBounds(int left, int top, int width, int height) override;

  protected:
    TWinControl(TComponent* owner, QWidget* widget);

  private:
    friend class TControl;
    void Insert(TControl* control);
    void Remove(TControl* control);
    // Rebuilds the keyboard focus chain of the whole window from the tab orders.
    void RebuildTabChain();
    void CollectTabChain(std::vector<QWidget*>& chain) const;
    // Whether the control's widget, or one inside it, is reached with the Tab key.
    static bool InTabChain(const TControl* control);

    std::vector<TControl*> controls_;
    std::vector<TControl*> tabList_;
};

}  // namespace vcl
