#include "platform/vcl/WindowThread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace vcl {
namespace {

struct PendingCall {
    const std::function<void()>* call;
    std::exception_ptr error;
    bool done = false;
};

struct Calls {
    std::mutex mutex;
    std::condition_variable finished;
    std::deque<PendingCall*> queue;
    std::thread::id windowThread;
    bool running = false;
    int wakeFd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
};

Calls& State() {
    static Calls calls;
    return calls;
}

// Runs every waiting call; may be re-entered from a call's own modal event loop.
void Drain() {
    Calls& calls = State();
    for (;;) {
        PendingCall* next = nullptr;
        {
            std::lock_guard lock(calls.mutex);
            if (calls.queue.empty()) {
                return;
            }
            next = calls.queue.front();
            calls.queue.pop_front();
        }
        std::exception_ptr error;
        try {
            (*next->call)();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(calls.mutex);
            next->error = std::move(error);  // the waiting thread alone releases it
            next->done = true;
        }
        calls.finished.notify_all();
    }
}

void Woken() {
    Calls& calls = State();
    uint64_t count = 0;
    [[maybe_unused]] const auto got = read(calls.wakeFd, &count, sizeof count);
    QMetaObject::invokeMethod(QCoreApplication::instance(), Drain, Qt::QueuedConnection);
}

}  // namespace

void StartWindowThreadCalls() {
    Calls& calls = State();
    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] { Woken(); });
    std::lock_guard lock(calls.mutex);
    calls.windowThread = std::this_thread::get_id();
    calls.wakeFd = fd;
    calls.notifier = std::move(notifier);
    calls.running = true;
}

void StopWindowThreadCalls() {
    Calls& calls = State();
    std::unique_ptr<QSocketNotifier> notifier;
    int fd = -1;
    {
        std::lock_guard lock(calls.mutex);
        calls.running = false;
        notifier = std::move(calls.notifier);
        fd = calls.wakeFd;
        calls.wakeFd = -1;
    }
    notifier.reset();
    if (fd >= 0) {
        close(fd);
    }
}

bool OnWindowThread() {
    Calls& calls = State();
    std::lock_guard lock(calls.mutex);
    return !calls.running || calls.windowThread == std::this_thread::get_id();
}

void CallOnWindowThread(const std::function<void()>& call) {
    if (OnWindowThread()) {
        call();
        return;
    }
    Calls& calls = State();
    PendingCall pending{&call, nullptr, false};
    {
        std::lock_guard lock(calls.mutex);
        calls.queue.push_back(&pending);
        const uint64_t one = 1;
        [[maybe_unused]] const auto put = write(calls.wakeFd, &one, sizeof one);
    }
    std::unique_lock lock(calls.mutex);
    calls.finished.wait(lock, [&pending] { return pending.done; });
    if (pending.error) {
        std::rethrow_exception(pending.error);
    }
}

}  // namespace vcl
