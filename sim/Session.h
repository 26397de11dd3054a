#pragma once
// The bus side of one virtual projector: which appearance on the bus is current,
// the answers waiting on the IN pipe, and the restarts (leave the bus, come back in
// another mode) that run on the session's own thread.
//
// Locks: `mutex_` guards the session's state and is taken before the model's lock,
// never after. `portMutex_` serialises the calls into the DevicePort and is taken
// before `mutex_`; `writeMutex_` serialises bulk OUT transfers and is taken before
// `mutex_` and the model's lock. Only `portMutex_` is held while the port is called,
// and no port call is made from inside a transfer: leaving and coming back run on the
// session's own thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "platform/drv/Bus.h"
#include "sim/Model.h"

namespace sim {

class UsbDevice;

class Session : public std::enable_shared_from_this<Session> {
  public:
    using AttachObserver = std::function<void(Mode mode, bool attached)>;

    explicit Session(const ProjectorConfig& config);
    ~Session();

    // Starts the restart thread; called once, right after construction.
    void Start();
    // Stops the restart thread and leaves the bus.
    void Shut();

    Model& model() { return model_; }

    void SetPort(drv::DevicePort* port);
    void Plug();
    void Unplug();
    void Restart(Mode mode);
    bool IsPlugged() const;
    std::shared_ptr<drv::BusDevice> Device() const;
    bool WaitForAttach(std::optional<Mode> mode, uint32_t timeoutMs) const;
    bool WaitForDetach(uint32_t timeoutMs) const;
    void SetAttachObserver(AttachObserver observer);

    // For UsbDevice.
    bool IsCurrent(uint64_t attachment) const;
    uint32_t Write(uint64_t attachment, std::span<const uint8_t> bytes, uint32_t* done);
    uint32_t Read(uint64_t attachment, uint8_t* buffer, uint32_t length, uint32_t* done,
                  uint32_t timeoutMs);

  private:
    using TimePoint = std::chrono::steady_clock::time_point;

    struct QueuedAnswer {
        std::vector<uint8_t> bytes;
        TimePoint readyAt;
        bool leaveWhenRead = false;
    };

    enum class Phase { Leave, Return };

    struct Transition {
        uint64_t token = 0;
        Phase phase = Phase::Leave;
        TimePoint due;
        bool awaitingRead = false;  // a Leave that waits for its answer to be read
        std::optional<Mode> comeBackIn;
        uint32_t awayMs = 0;
    };

    void Run();
    void Carry(const Transition& transition, std::unique_lock<std::mutex>& lock);
    void Apply(const Reaction& reaction);
    void Schedule(Phase phase, TimePoint due, std::optional<Mode> comeBackIn, uint32_t awayMs,
                  bool awaitingRead);
    std::shared_ptr<UsbDevice> AttachLocked(Mode mode);
    std::shared_ptr<UsbDevice> DetachLocked();
    void Announce(Mode mode, bool attached);

    Model model_;
    Timing timing_;

    std::mutex portMutex_;
    std::mutex writeMutex_;  // keeps answers in the order their commands arrived
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    drv::DevicePort* port_ = nullptr;
    uint64_t attachment_ = 0;  // 0: off the bus
    uint64_t lastAttachment_ = 0;
    Mode attachedMode_ = Mode::Application;
    // Whether the port has been told of the current state: waiters return only once
    // the bus knows what the device did.
    bool announced_ = true;
    std::shared_ptr<UsbDevice> device_;
    std::deque<QueuedAnswer> answers_;
    std::optional<Transition> pending_;
    uint64_t lastToken_ = 0;
    std::optional<Mode> resumeMode_;  // the mode of a restart that was cut short
    AttachObserver observer_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace sim
