#include "platform/vcl/Thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>

#include "platform/vcl/WindowThread.h"

namespace vcl {
namespace {

int NiceValue(TThreadPriority priority) {
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    return kNice[priority];
}

}  // namespace

TThread::TThread(bool createSuspended) : alive_(std::make_shared<bool>(true)) {
    if (createSuspended) {
        return;
    }
    if (QCoreApplication* application = QCoreApplication::instance()) {
        std::weak_ptr<bool> alive = alive_;
        QMetaObject::invokeMethod(
            application,
            [this, alive] {
                if (alive.lock()) {
                    Start();
                }
            },
            Qt::QueuedConnection);
    }
}

TThread::~TThread() {
    alive_.reset();
    if (thread_.joinable()) {
        terminated_ = true;
        thread_.join();
    }
}

void TThread::Start() {
    if (started_.exchange(true)) {
        return;
    }
    // Run() waits for this lock, so `thread_` is set before the thread can detach itself.
    std::lock_guard lock(startMutex_);
    thread_ = std::thread([this] { Run(); });
}

void TThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

void TThread::SetPriority(TThreadPriority priority) {
    priority_ = priority;
    if (systemId_ != 0) {
        ApplyPriority();
    }
}

void TThread::ApplyPriority() {
    // Best effort: raising needs privileges the program does not ask for.
    setpriority(PRIO_PROCESS, static_cast<id_t>(systemId_.load()), NiceValue(priority_));
}

std::exception_ptr TThread::FatalException() const {
    std::lock_guard lock(errorMutex_);
    return fatal_;
}

void TThread::Run() {
    { std::lock_guard lock(startMutex_); }
    systemId_ = static_cast<int>(gettid());
    if (priority_ != tpNormal) {
        ApplyPriority();
    }
    try {
        Execute();
    } catch (...) {
        std::lock_guard lock(errorMutex_);
        fatal_ = std::current_exception();
    }
    if (freeOnTerminate_) {
        thread_.detach();
        finished_ = true;
        delete this;
        return;
    }
    if (OnTerminate) {
        try {
            Synchronize([this] { OnTerminate(this); });
        } catch (...) {
        }
    }
    finished_ = true;
}

void TThread::Synchronize(const std::function<void()>& method) {
    CallOnWindowThread(method);
}

}  // namespace vcl
