#include "platform/vcl/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>

#include "platform/clock/Clock.h"
#include "platform/vcl/WindowThread.h"

namespace vcl {

void PumpQtEvents(uint32_t clockMs) {
    if (QCoreApplication::instance() == nullptr || !OnWindowThread()) {
        plat::Sleep(clockMs);
        return;
    }
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(plat::RealDuration(clockMs));
    QEventLoop loop;
    QTimer::singleShot(real, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace vcl
