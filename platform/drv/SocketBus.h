#pragma once
// The bus of simulator processes: virtual devices served by `ostrel-sim` on this user's
// socket (SocketProtocol.h) appear to the driver core as devices on this bus.
//
// A background thread looks for the socket every kPollMs clock milliseconds, connects
// when a simulator listens there, reports each device the simulator announces and
// forwards the core's requests to it. When the simulator goes away (it exits, closes
// the connection, or sends anything that is not valid protocol) its devices leave, the
// requests waiting for it end with kDeviceNotFound, and the thread looks for the socket
// again. No simulator is not an error: the bus then has no devices.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/drv/Bus.h"

namespace drv {

class SocketBus final : public Bus {
  public:
    // How often the bus looks for a simulator while it has none (clock ms).
    static constexpr uint32_t kPollMs = 500;

    // Listens at sock::DefaultSocketPath().
    SocketBus();
    explicit SocketBus(std::string path);
    ~SocketBus() override;
    SocketBus(const SocketBus&) = delete;
    SocketBus& operator=(const SocketBus&) = delete;

    void Start(BusListener& listener) override;
    // Ends the connection, reports the devices as left and joins the thread.
    void Stop() override;

    const std::string& Path() const { return path_; }
    // Whether a simulator is connected and has greeted us.
    bool Connected() const { return connected_.load(); }
    // Connections made so far, for tests that watch reconnection.
    uint64_t Connections() const { return connections_.load(); }

  private:
    class Session;

    void Run(BusListener& listener);
    // Waits up to `clockMs` or until Stop(); false once stopping.
    bool Pause(uint32_t clockMs);

    std::string path_;
    std::mutex mutex_;  // guards thread_ across Start and Stop
    std::thread thread_;
    int wakeRead_ = -1;  // a pipe that Stop() writes to end every wait of the thread
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> connected_{false};
    std::atomic<uint64_t> connections_{0};
};

}  // namespace drv
