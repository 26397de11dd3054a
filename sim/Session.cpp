#include "sim/Session.h"

#include <algorithm>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "sim/UsbDevice.h"

namespace sim {
namespace {

std::chrono::steady_clock::time_point After(uint32_t clockMs) {
    return std::chrono::steady_clock::now() + plat::RealDuration(clockMs);
}

}  // namespace

Session::Session(const ProjectorConfig& config)
    : model_(config), timing_(config.timing), attachedMode_(config.startMode) {}

Session::~Session() {
    Shut();
}

void Session::Start() {
    worker_ = std::thread([this] { Run(); });
}

void Session::Shut() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.reset();
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
    Unplug();
}

void Session::SetPort(drv::DevicePort* port) {
    std::lock_guard portLock(portMutex_);
    std::lock_guard lock(mutex_);
    port_ = port;
}

void Session::Plug() {
    std::lock_guard portLock(portMutex_);
    std::unique_lock lock(mutex_);
    if (attachment_ != 0 || port_ == nullptr) {
        return;
    }
    pending_.reset();
    const Mode mode = resumeMode_.value_or(model_.CurrentMode());
    resumeMode_.reset();
    auto device = AttachLocked(mode);
    drv::DevicePort* port = port_;
    lock.unlock();
    port->Plug(device);
    Announce(mode, true);
}

void Session::Unplug() {
    std::lock_guard portLock(portMutex_);
    std::unique_lock lock(mutex_);
    if (pending_ && pending_->phase == Phase::Return) {
        // The device had already restarted; it comes back in that mode next time.
        resumeMode_ = pending_->comeBackIn;
    }
    pending_.reset();
    if (attachment_ == 0) {
        return;
    }
    const Mode mode = attachedMode_;
    auto device = DetachLocked();
    drv::DevicePort* port = port_;
    lock.unlock();
    if (port != nullptr) {
        port->Unplug(device);
    }
    Announce(mode, false);
}

void Session::Restart(Mode mode) {
    std::lock_guard lock(mutex_);
    if (attachment_ == 0) {
        resumeMode_ = mode;
        return;
    }
    Schedule(Phase::Leave, std::chrono::steady_clock::now(), mode, timing_.restartMs, false);
}

bool Session::IsPlugged() const {
    std::lock_guard lock(mutex_);
    return attachment_ != 0;
}

std::shared_ptr<drv::BusDevice> Session::Device() const {
    std::lock_guard lock(mutex_);
    return device_;
}

bool Session::WaitForAttach(std::optional<Mode> mode, uint32_t timeoutMs) const {
    std::unique_lock lock(mutex_);
    return plat::WaitFor(changed_, lock, timeoutMs, [&] {
        return announced_ && attachment_ != 0 && (!mode || attachedMode_ == *mode);
    });
}

bool Session::WaitForDetach(uint32_t timeoutMs) const {
    std::unique_lock lock(mutex_);
    return plat::WaitFor(changed_, lock, timeoutMs, [&] { return announced_ && attachment_ == 0; });
}

void Session::SetAttachObserver(AttachObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

bool Session::IsCurrent(uint64_t attachment) const {
    std::lock_guard lock(mutex_);
    return attachment != 0 && attachment == attachment_;
}

uint32_t Session::Write(uint64_t attachment, std::span<const uint8_t> bytes, uint32_t* done) {
    // The model is called without the session's lock, so that a read waiting on the
    // IN pipe is not held up by the command; writeMutex_ keeps the answers in order.
    std::lock_guard writeLock(writeMutex_);
    if (!IsCurrent(attachment)) {
        return drv::kDeviceNotFound;
    }
    const Reaction reaction = model_.Receive(bytes);
    std::lock_guard lock(mutex_);
    if (attachment != attachment_) {
        return drv::kDeviceNotFound;  // left the bus while the command ran
    }
    *done = static_cast<uint32_t>(bytes.size());
    Apply(reaction);
    return drv::kSuccess;
}

void Session::Apply(const Reaction& reaction) {
    const auto now = std::chrono::steady_clock::now();
    const bool leaveAfterAnswer = reaction.leave == Leave::AfterAnswer;
    if (reaction.answer) {
        const auto readyAt = now + plat::RealDuration(reaction.answerDelayMs);
        answers_.push_back({*reaction.answer, readyAt, leaveAfterAnswer});
        if (leaveAfterAnswer) {
            // Restart once the host has the acknowledgement, or anyway after the grace.
            Schedule(Phase::Leave, readyAt + plat::RealDuration(timing_.acknowledgeGraceMs),
                     reaction.comeBackIn, reaction.awayMs, true);
        }
    } else if (leaveAfterAnswer) {
        Schedule(Phase::Leave, After(timing_.leaveDelayMs), reaction.comeBackIn, reaction.awayMs,
                 false);
    }
    if (reaction.leave == Leave::Now) {
        Schedule(Phase::Leave, now, reaction.comeBackIn, reaction.awayMs, false);
    }
    changed_.notify_all();
}

uint32_t Session::Read(uint64_t attachment, uint8_t* buffer, uint32_t length, uint32_t* done,
                       uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const bool limited = timeoutMs != 0;
    const auto deadline = After(timeoutMs);
    for (;;) {
        if (attachment != attachment_) {
            return drv::kDeviceNotFound;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!answers_.empty() && answers_.front().readyAt <= now) {
            QueuedAnswer answer = std::move(answers_.front());
            answers_.pop_front();
            if (answer.leaveWhenRead && pending_ && pending_->awaitingRead) {
                pending_->awaitingRead = false;
                pending_->due = After(timing_.leaveDelayMs);
                changed_.notify_all();
            }
            const uint32_t count =
                std::min<uint32_t>(length, static_cast<uint32_t>(answer.bytes.size()));
            if (count > 0) {
                std::copy_n(answer.bytes.begin(), count, buffer);
            }
            *done = count;
            // A buffer too small for the answer loses the rest, as an overflowing
            // USB read does.
            return count < answer.bytes.size() ? drv::kOperationFailed : drv::kSuccess;
        }
        if (limited && now >= deadline) {
            return drv::kTimeout;
        }
        std::optional<TimePoint> wake;
        if (limited) {
            wake = deadline;
        }
        if (!answers_.empty()) {
            wake = wake ? std::min(*wake, answers_.front().readyAt) : answers_.front().readyAt;
        }
        if (wake) {
            changed_.wait_until(lock, *wake);
        } else {
            changed_.wait(lock);
        }
    }
}

void Session::Schedule(Phase phase, TimePoint due, std::optional<Mode> comeBackIn, uint32_t awayMs,
                       bool awaitingRead) {
    Transition transition;
    transition.token = ++lastToken_;
    transition.phase = phase;
    transition.due = due;
    transition.awaitingRead = awaitingRead;
    transition.comeBackIn = comeBackIn;
    transition.awayMs = awayMs;
    pending_ = transition;
    changed_.notify_all();
}

void Session::Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!pending_) {
            changed_.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < pending_->due) {
            changed_.wait_until(lock, pending_->due);
            continue;
        }
        const Transition transition = *pending_;
        lock.unlock();
        {
            // The port lock comes first; the transition may have been cancelled or
            // replaced while it was taken.
            std::lock_guard portLock(portMutex_);
            lock.lock();
            if (!stopping_ && pending_ && pending_->token == transition.token) {
                Carry(transition, lock);
            }
            if (lock.owns_lock()) {
                lock.unlock();
            }
        }
        lock.lock();
    }
}

// Runs with portMutex_ held and `lock` locked; calls the port after unlocking.
void Session::Carry(const Transition& transition, std::unique_lock<std::mutex>& lock) {
    drv::DevicePort* port = port_;
    if (transition.phase == Phase::Leave) {
        pending_.reset();
        if (transition.comeBackIn) {
            Schedule(Phase::Return, After(transition.awayMs), transition.comeBackIn, 0, false);
        }
        if (attachment_ == 0) {
            return;
        }
        const Mode mode = attachedMode_;
        auto device = DetachLocked();
        lock.unlock();
        if (port != nullptr) {
            port->Unplug(device);
        }
        Announce(mode, false);
        return;
    }
    pending_.reset();
    if (attachment_ != 0 || port == nullptr) {
        return;
    }
    const Mode mode = *transition.comeBackIn;
    auto device = AttachLocked(mode);
    lock.unlock();
    port->Plug(device);
    Announce(mode, true);
}

std::shared_ptr<UsbDevice> Session::AttachLocked(Mode mode) {
    model_.Attached(mode);
    attachment_ = ++lastAttachment_;
    attachedMode_ = mode;
    announced_ = false;
    device_ = std::make_shared<UsbDevice>(shared_from_this(), attachment_, model_.Descriptors());
    changed_.notify_all();
    return device_;
}

std::shared_ptr<UsbDevice> Session::DetachLocked() {
    model_.Detached();
    attachment_ = 0;
    announced_ = false;
    answers_.clear();  // what the device had not sent yet is gone with it
    auto device = std::move(device_);
    device_.reset();
    changed_.notify_all();
    return device;
}

void Session::Announce(Mode mode, bool attached) {
    AttachObserver observer;
    {
        std::lock_guard lock(mutex_);
        announced_ = true;
        observer = observer_;
    }
    changed_.notify_all();
    if (observer) {
        observer(mode, attached);
    }
}

}  // namespace sim
