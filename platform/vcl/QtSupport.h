#pragma once
// Private helpers of the form layer's Qt implementation: string and colour conversion,
// fonts, event hooks, and the guarded call of event handlers. Not for use outside
// platform/vcl.
#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "platform/vcl/Font.h"
#include "platform/vcl/Types.h"

class QEvent;

namespace vcl::qt {

inline QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string FromQ(const QString& text) {
    return text.toStdString();
}

// 0x00BBGGRR (or a system colour of the desktop's palette) as a Qt colour.
QColor ToQColor(TColor color);

// A Qt font with only the attributes `font` sets itself, so that the rest follows the
// parent widget as Qt resolves fonts.
QFont OwnAttributes(const TFont& font);

// Calls an event handler from the toolkit. Exceptions must not cross Qt's event loop:
// an exception that escapes the handler is shown with the application's exception box
// and the loop goes on, as the form library does.
void RunGuarded(const std::function<void()>& handler);

// Forwards a widget's events to a function (true: the event was consumed).
class EventHook final : public QObject {
  public:
    EventHook(QObject* watched, std::function<bool(QEvent*)> onEvent);
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<bool(QEvent*)> onEvent_;
};

}  // namespace vcl::qt
