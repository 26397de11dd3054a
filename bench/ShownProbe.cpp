// Loaded into a Qt program with LD_PRELOAD by bench/startup.py: once the program's first
// top-level window has been exposed and its first paint has run, prints
// "shown: <window title>" and ends the process at once, so that the time from process
// start to exit is the time to a shown window. The same probe goes into every program
// measured, so its own cost is the same on both sides.
#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include <unistd.h>
#include <cstdio>

namespace {

class FirstExposure final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window != nullptr && window->isTopLevel() && window->isExposed()) {
                seen_ = true;
                const QByteArray title = window->title().toUtf8();
                // Queued: runs after the expose has been handled, first paint included.
                QMetaObject::invokeMethod(
                    this,
                    [title] {
                        std::printf("shown: %s\n", title.constData());
                        std::fflush(stdout);
                        ::_exit(0);
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

  private:
    bool seen_ = false;
};

void InstallProbe() {
    QCoreApplication::instance()->installEventFilter(new FirstExposure);
}

// Registered before main runs; Qt calls it when the application object is constructed.
[[maybe_unused]] const bool kRegistered = [] {
    qAddPreRoutine(InstallProbe);
    return true;
}();

}  // namespace
