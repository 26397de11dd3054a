#include "platform/vcl/Screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace vcl {
namespace {

TScreen theScreen;

QRect ScreenGeometry() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

TScreen* Screen = &theScreen;

int TScreen::Width() const {
    return testWidth_ ? *testWidth_ : ScreenGeometry().width();
}

int TScreen::Height() const {
    return testHeight_ ? *testHeight_ : ScreenGeometry().height();
}

void TScreen::SetCursor(TCursor cursor) {
    if (cursor == cursor_) {
        return;
    }
    if (cursor_ != crDefault) {
        QGuiApplication::restoreOverrideCursor();
    }
    cursor_ = cursor;
    if (cursor == crHourGlass) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else if (cursor != crDefault) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
}

void TScreen::SetSizeForTest(std::optional<int> width, std::optional<int> height) {
    testWidth_ = width;
    testHeight_ = height;
}

}  // namespace vcl
