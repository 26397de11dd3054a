#pragma once
// Value types shared by the form layer: colours, sets, alignment, cursors, border styles.
#include <cstdint>
#include <initializer_list>

namespace vcl {

// A colour as 0x00BBGGRR, or a system colour (clSystemColor | index) that follows the
// desktop's palette.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor clInfoBk = clSystemColor | 24;

constexpr bool IsSystemColor(TColor color) {
    return (static_cast<uint32_t>(color) & 0xFF000000u) == 0xFF000000u;
}

// A small set of enumerators, as the form library's Set<> types: {fsBold} << fsItalic.
template <typename Enum>
class TSet {
  public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<Enum> members) {
        for (Enum member : members) {
            bits_ |= Bit(member);
        }
    }
    constexpr bool Contains(Enum member) const { return (bits_ & Bit(member)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet& operator<<(Enum member) {
        bits_ |= Bit(member);
        return *this;
    }
    constexpr TSet& operator>>(Enum member) {
        bits_ &= ~Bit(member);
        return *this;
    }
    constexpr bool operator==(const TSet&) const = default;

  private:
    static constexpr uint32_t Bit(Enum member) { return 1u << static_cast<unsigned>(member); }
    uint32_t bits_ = 0;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition { poDesigned, poScreenCenter, poMainFormCenter };
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TCursor { crDefault = 0, crArrow = -2, crHourGlass = -11 };
enum TBevelCut { bvNone, bvLowered, bvRaised };

// Results of a modal form; a button with a modal result ends the form's modal display.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool operator==(const TRect&) const = default;
};

}  // namespace vcl
