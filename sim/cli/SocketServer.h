#pragma once
// The simulator's end of the socket bus: a drv::DevicePort whose devices are served to
// one driver at a time over this user's simulator socket (platform/drv/SocketProtocol.h).
//
// A driver that connects and greets is told of every device plugged in; devices that
// are plugged or unplugged later are announced as they come and go. A second driver
// that greets replaces the first, whose requests in progress finish unanswered. Each
// request runs on a thread of its own, so that a read waiting for an answer does not
// hold up a write to the same device. A driver that sends anything that is not valid
// protocol is disconnected.
#include <sys/types.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/drv/Bus.h"
#include "platform/drv/SocketProtocol.h"

namespace sim::cli {

class SocketServer final : public drv::DevicePort {
  public:
    // Requests served at once; more are answered with kInsufficientResources.
    static constexpr size_t kMaxRequestsInFlight = 16;
    // Connections that have not greeted yet; the oldest goes when one more arrives.
    static constexpr size_t kMaxNewcomers = 4;

    explicit SocketServer(std::string path = drv::sock::DefaultSocketPath());
    ~SocketServer() override;  // Stop()
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Creates the socket (readable and writable by this user only) and starts serving.
    // A socket file left behind by a simulator that died is replaced; one that a live
    // simulator serves, or a file that is not a socket, is left alone: false, with the
    // reason in `error`.
    bool Start(std::string& error);
    // Ends the connection, waits for the requests in progress and removes the socket.
    // A request waits on its device until the device answers, times out or leaves:
    // unplug the devices first, or a read without a time-out holds Stop() up.
    void Stop();

    void Plug(const std::shared_ptr<drv::BusDevice>& device) override;
    void Unplug(const std::shared_ptr<drv::BusDevice>& device) override;

    // Told when a driver connects (true) and when it goes (false), on the server's
    // thread. It must be quick.
    void SetConnectionObserver(std::function<void(bool connected)> observer);

    const std::string& Path() const { return path_; }
    bool HasDriver() const;
    uint64_t Connections() const { return connections_.load(); }

  private:
    class Client;
    struct Entry {
        uint32_t id;
        std::shared_ptr<drv::BusDevice> device;
        std::vector<uint8_t> announcement;  // the encoded DeviceArrived
    };
    // A connection that has not greeted us yet: it becomes the driver once it does, so
    // that a mere probe of the socket never pushes the connected driver aside.
    struct Newcomer {
        std::shared_ptr<Client> client;
        drv::sock::FrameReader frames;
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    bool Bind(std::string& error);
    void Run();
    void Accept();
    void ReceiveFromNewcomer(size_t index);
    void Promote(size_t index);
    void ReceiveFromDriver();
    void HandleDriverFrames();
    bool Handle(drv::sock::Message message);
    void Dispatch(std::function<drv::sock::Reply()> work, uint32_t tag);
    void DropClient();
    void ReapWorkers(bool all);
    std::shared_ptr<drv::BusDevice> Find(uint32_t id) const;
    void Notify(bool connected);

    std::string path_;
    int listenFd_ = -1;
    ino_t socketInode_ = 0;  // the socket file we made, to remove only that one
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::thread thread_;
    std::atomic<uint64_t> connections_{0};

    // Guards the devices, the current client and the announcements sent to it, so a
    // driver always hears of devices in the order they came and went.
    mutable std::mutex mutex_;
    std::vector<Entry> devices_;
    uint32_t nextId_ = 1;
    std::shared_ptr<Client> client_;
    std::function<void(bool)> observer_;

    // The server thread's own: the connections waiting to greet, the stream of the
    // current driver, and the request threads.
    std::vector<Newcomer> newcomers_;
    drv::sock::FrameReader frames_;
    std::list<Worker> workers_;
};

}  // namespace sim::cli
