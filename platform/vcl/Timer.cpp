#include "platform/vcl/Timer.h"

#include <QTimer>
#include <chrono>

#include "platform/clock/Clock.h"
#include "platform/vcl/QtSupport.h"

namespace vcl {

TTimer::TTimer(TComponent* owner) : TComponent(owner), timer_(std::make_unique<QTimer>()) {
    timer_->setTimerType(Qt::PreciseTimer);
    // Qt does not deliver a timer's event again while its handler runs; posting the
    // handler lets ticks nest inside a handler's message box as system timers do.
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        QMetaObject::invokeMethod(
            timer_.get(), [this] { Tick(); }, Qt::QueuedConnection);
    });
    Restart();
}

TTimer::~TTimer() = default;

void TTimer::SetInterval(uint32_t clockMs) {
    interval_ = clockMs;
    Restart();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    Restart();
}

void TTimer::Restart() {
    timer_->stop();
    if (!enabled_ || interval_ == 0) {
        return;
    }
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(plat::RealDuration(interval_));
    timer_->start(std::max(real, std::chrono::milliseconds(1)));
}

void TTimer::Tick() {
    if (enabled_ && OnTimer) {
        qt::RunGuarded([this] { OnTimer(this); });
    }
}

}  // namespace vcl
