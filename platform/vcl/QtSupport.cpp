#include "platform/vcl/QtSupport.h"

#include <QApplication>
#include <QPalette>
#include <QStringList>
#include <exception>

#include "platform/vcl/Application.h"

namespace vcl::qt {
namespace {

struct FontFamily {
    const char* windowsName;
    QStringList families;
    QFont::StyleHint hint;
    int stretch;
};

// Windows font names of the forms, mapped to families a Linux desktop has. The windows
// were laid out for narrow Windows fonts: where only a wide family such as DejaVu Sans is
// found, its condensed width keeps captions inside their controls (families that have
// no condensed face keep their normal width).
const FontFamily kFamilies[] = {
    {"MS Sans Serif",
     {"MS Sans Serif", "Liberation Sans", "Arimo", "DejaVu Sans"},
     QFont::SansSerif,
     QFont::SemiCondensed},
    {"Arial",
     {"Arial", "Liberation Sans", "Arimo", "DejaVu Sans"},
     QFont::SansSerif,
     QFont::SemiCondensed},
    {"Tahoma", {"Tahoma", "DejaVu Sans"}, QFont::SansSerif, QFont::SemiCondensed},
    {"Fixedsys",
     {"Fixedsys", "Liberation Mono", "DejaVu Sans Mono"},
     QFont::Monospace,
     QFont::Unstretched},
    {"Courier New",
     {"Courier New", "Liberation Mono", "DejaVu Sans Mono"},
     QFont::Monospace,
     QFont::Unstretched},
};

QPalette::ColorRole SystemRole(TColor color) {
    switch (color) {
        case clWindow:
            return QPalette::Base;
        case clWindowText:
            return QPalette::WindowText;
        case clHighlight:
            return QPalette::Highlight;
        case clHighlightText:
            return QPalette::HighlightedText;
        case clBtnShadow:
            return QPalette::Mid;
        case clBtnText:
            return QPalette::ButtonText;
        case clBtnHighlight:
            return QPalette::Light;
        case clInfoBk:
            return QPalette::ToolTipBase;
        case clGrayText:
            return QPalette::PlaceholderText;
        default:
            return QPalette::Window;
    }
}

}  // namespace

QColor ToQColor(TColor color) {
    if (IsSystemColor(color)) {
        return QApplication::palette().color(QPalette::Active, SystemRole(color));
    }
    const auto value = static_cast<uint32_t>(color);
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QFont OwnAttributes(const TFont& font) {
    QFont result;
    if (font.HasName()) {
        const std::string name = font.Name();
        QStringList families{ToQ(name)};
        QFont::StyleHint hint = QFont::SansSerif;
        int stretch = QFont::Unstretched;
        for (const FontFamily& known : kFamilies) {
            if (QString::fromLatin1(known.windowsName).compare(ToQ(name), Qt::CaseInsensitive) ==
                0) {
                families = known.families;
                hint = known.hint;
                stretch = known.stretch;
            }
        }
        result.setFamilies(families);
        result.setStyleHint(hint);
        result.setStretch(stretch);
    }
    if (font.HasHeight()) {
        const int height = font.Height();
        // A positive height includes the internal leading, about a fifth of the cell.
        const int pixels = height < 0 ? -height : (height * 4 + 2) / 5;
        result.setPixelSize(pixels > 0 ? pixels : 1);
    }
    if (font.HasStyle()) {
        const TFontStyles style = font.Style();
        result.setBold(style.Contains(fsBold));
        result.setItalic(style.Contains(fsItalic));
        result.setUnderline(style.Contains(fsUnderline));
        result.setStrikeOut(style.Contains(fsStrikeOut));
    }
    return result;
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        if (Application != nullptr) {
            Application->HandleException(std::current_exception());
        }
    }
}

EventHook::EventHook(QObject* watched, std::function<bool(QEvent*)> onEvent)
    : QObject(watched), onEvent_(std::move(onEvent)) {
    watched->installEventFilter(this);
}

bool EventHook::eventFilter(QObject* /*watched*/, QEvent* event) {
    return onEvent_(event);
}

}  // namespace vcl::qt
