#include "platform/vcl/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>

#include "platform/clock/Clock.h"

namespace vcl {

void PumpQtEvents(uint32_t clockMs) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        plat::Sleep(clockMs);
        return;
    }
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(plat::RealDuration(clockMs));
    QEventLoop loop;
    QTimer::singleShot(real, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace vcl
