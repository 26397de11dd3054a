#include "platform/drv/SocketBus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "platform/drv/SocketProtocol.h"

namespace drv {
namespace {

// How long past a transfer's own time-out the bus waits for the simulator's reply. The
// simulator applies the time-out itself; this only covers one that hangs while still
// connected. Never less than a second of real time, whatever the clock's speed, so that
// a busy machine does not turn a late reply into a time-out.
constexpr uint32_t kReplyGraceMs = 5000;
constexpr auto kLeastReplyGrace = std::chrono::seconds(1);

std::chrono::steady_clock::duration ReplyWait(uint32_t timeoutMs) {
    return plat::RealDuration(timeoutMs) + std::max<std::chrono::steady_clock::duration>(
                                               plat::RealDuration(kReplyGraceMs), kLeastReplyGrace);
}
// The time-out the bus gives a SetInterface request (clock ms).
constexpr uint32_t kSetInterfaceTimeoutMs = 5000;
// A send that cannot go out for this long means the simulator stopped reading.
constexpr int kSendTimeoutSeconds = 10;
// Tags of requests that gave up waiting, whose late replies are still expected.
constexpr size_t kAbandonedKept = 1024;

// One request on its way: what its reply may carry, and the reply once it came.
struct Pending {
    bool read = false;
    uint32_t length = 0;
    bool answered = false;
    sock::Reply reply;
};

// The request side of one connection: sends requests from any thread and matches the
// replies that the reading thread hands in.
class Link {
  public:
    explicit Link(int fd) : fd_(fd) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() { CloseSocket(); }

    int Socket() const { return fd_; }

    // A frame that cannot go out in full leaves the stream broken: the connection is
    // shut down, which the reading thread sees as the simulator's end.
    bool Send(std::span<const uint8_t> frame) {
        std::lock_guard lock(sendMutex_);
        const int fd = fd_;
        if (fd < 0) {
            return false;
        }
        if (!sock::SendAll(fd, frame)) {
            ::shutdown(fd, SHUT_RDWR);
            return false;
        }
        return true;
    }

    // Sends the frame that `build` makes for a fresh tag and waits for the reply.
    // timeoutMs: the request's own time-out (clock ms), 0 = none.
    uint32_t Call(const std::function<std::vector<uint8_t>(uint32_t tag)>& build, bool read,
                  uint32_t length, uint32_t timeoutMs, sock::Reply& reply) {
        Pending pending{read, length, false, {}};
        uint32_t tag = 0;
        {
            std::lock_guard lock(mutex_);
            if (!open_) {
                return kDeviceNotFound;
            }
            do {
                tag = nextTag_++;
            } while (tag == 0 || pending_.count(tag) != 0 || abandoned_.count(tag) != 0);
            pending_[tag] = &pending;
        }
        if (!Send(build(tag))) {
            Fail();
        }
        std::unique_lock lock(mutex_);
        const auto finished = [&] { return pending.answered || !open_; };
        if (timeoutMs == 0) {
            changed_.wait(lock, finished);
        } else {
            changed_.wait_for(lock, ReplyWait(timeoutMs), finished);
        }
        pending_.erase(tag);
        if (pending.answered) {
            reply = std::move(pending.reply);
            return reply.status;
        }
        if (!open_) {
            return kDeviceNotFound;
        }
        Abandon(tag);
        return kTimeout;
    }

    // Hands a reply to the request it answers. False when it answers nothing we asked
    // or carries more than the request allows: the peer cannot be trusted then.
    bool Deliver(sock::Reply reply) {
        std::lock_guard lock(mutex_);
        auto found = pending_.find(reply.tag);
        if (found == pending_.end()) {
            return abandoned_.erase(reply.tag) != 0;
        }
        Pending& pending = *found->second;
        const bool fits = pending.read
                              ? reply.in.size() <= pending.length && reply.done == reply.in.size()
                              : reply.in.empty() && reply.done <= pending.length;
        if (!fits) {
            return false;
        }
        pending.reply = std::move(reply);
        pending.answered = true;
        pending_.erase(found);
        changed_.notify_all();
        return true;
    }

    // Waiting requests end as gone, and no new ones go out.
    void Fail() {
        std::lock_guard lock(mutex_);
        open_ = false;
        changed_.notify_all();
    }

    // Ends the conversation: blocked sends return, waiting requests end as gone. Only
    // the reading thread calls it, the one that closes the descriptor later.
    void Shut() {
        Fail();
        if (const int fd = fd_; fd >= 0) {
            ::shutdown(fd, SHUT_RDWR);  // wakes a blocked send; the descriptor stays
        }
    }

    void CloseSocket() {
        std::lock_guard lock(sendMutex_);
        if (const int fd = fd_.exchange(-1); fd >= 0) {
            ::close(fd);
        }
    }

  private:
    void Abandon(uint32_t tag) {
        abandoned_.insert(tag);
        abandonedOrder_.push_back(tag);
        if (abandonedOrder_.size() > kAbandonedKept) {
            abandoned_.erase(abandonedOrder_.front());
            abandonedOrder_.pop_front();
        }
    }

    std::mutex sendMutex_;  // one frame at a time; guards closing the descriptor
    std::atomic<int> fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
    uint32_t nextTag_ = 1;
    std::map<uint32_t, Pending*> pending_;
    std::set<uint32_t> abandoned_;
    std::deque<uint32_t> abandonedOrder_;
};

// The driver's view of one device a simulator serves.
class SocketDevice final : public BusDevice {
  public:
    SocketDevice(std::shared_ptr<Link> link, sock::DeviceArrived arrived)
        : link_(std::move(link)),
          id_(arrived.device),
          deviceDescriptor_(std::move(arrived.deviceDescriptor)),
          configuration_(std::move(arrived.configuration)) {}

    std::vector<uint8_t> DeviceDescriptor() override { return deviceDescriptor_; }
    std::vector<uint8_t> ConfigurationDescriptor() override { return configuration_; }

    uint32_t SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) override {
        if (gone_) {
            return kDeviceNotFound;
        }
        if (interfaceNumber > 0xFF || alternateSetting > 0xFF) {
            return kInvalidParameter;
        }
        sock::Reply reply;
        return link_->Call(
            [&](uint32_t tag) {
                return sock::Encode(
                    sock::SetInterface{tag, id_, interfaceNumber, alternateSetting});
            },
            false, 0, kSetInterfaceTimeoutMs, reply);
    }

    uint32_t Transfer(uint32_t interfaceNumber, uint32_t pipe, bool read, uint8_t* buffer,
                      uint32_t length, uint32_t* done, const uint8_t* setup,
                      uint32_t timeoutMs) override {
        if (done != nullptr) {
            *done = 0;
        }
        if (gone_) {
            return kDeviceNotFound;
        }
        if (interfaceNumber > 0xFF || pipe > 0xFF || length > sock::kMaxData ||
            (length > 0 && buffer == nullptr)) {
            return kInvalidParameter;
        }
        sock::Transfer request;
        request.device = id_;
        request.interfaceNumber = interfaceNumber;
        request.pipe = pipe;
        request.read = read;
        request.length = length;
        request.timeoutMs = timeoutMs;
        if (setup != nullptr) {
            request.setup.emplace();
            std::memcpy(request.setup->data(), setup, 8);
        }
        if (!read && length > 0) {
            request.out.assign(buffer, buffer + length);
        }
        sock::Reply reply;
        const uint32_t status = link_->Call(
            [&](uint32_t tag) {
                request.tag = tag;
                return sock::Encode(request);
            },
            read, length, timeoutMs, reply);
        if (read && !reply.in.empty()) {
            std::memcpy(buffer, reply.in.data(), reply.in.size());
        }
        if (done != nullptr) {
            *done = reply.done;
        }
        return status;
    }

    uint32_t Id() const { return id_; }
    void Gone() { gone_ = true; }

  private:
    std::shared_ptr<Link> link_;
    uint32_t id_;
    std::vector<uint8_t> deviceDescriptor_;
    std::vector<uint8_t> configuration_;
    std::atomic<bool> gone_{false};
};

}  // namespace

// One connection to a simulator, served on the bus thread from greeting to goodbye.
class SocketBus::Session {
  public:
    Session(int fd, BusListener& listener, std::atomic<bool>& connected)
        : link_(std::make_shared<Link>(fd)), listener_(listener), connected_(connected) {
        const timeval sendTimeout{kSendTimeoutSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    }

    // The simulator has gone (or is sent away): its devices leave with it.
    ~Session() {
        connected_ = false;
        link_->Shut();
        link_->CloseSocket();
        for (auto& device : devices_) {
            device->Gone();
            listener_.Left(device);
        }
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Reads and handles frames until the peer leaves or misbehaves, or `wakeFd` becomes
    // readable (the bus is stopping).
    void Serve(int wakeFd) {
        if (!link_->Send(sock::Encode(sock::Hello{}))) {
            return;
        }
        sock::FrameReader frames;
        std::vector<uint8_t> chunk(16 * 1024);
        while (true) {
            pollfd watched[2] = {{link_->Socket(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (watched[1].revents != 0) {
                return;
            }
            const ssize_t got = ::recv(link_->Socket(), chunk.data(), chunk.size(), 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return;
            }
            frames.Append(std::span(chunk.data(), static_cast<size_t>(got)));
            while (auto body = frames.Next()) {
                auto message = sock::Decode(*body);
                if (!message || !Handle(std::move(*message))) {
                    return;
                }
            }
            if (frames.Broken()) {
                return;
            }
        }
    }

  private:
    bool Handle(sock::Message message) {
        if (!greeted_) {
            greeted_ = std::holds_alternative<sock::Hello>(message);
            connected_ = greeted_;
            return greeted_;
        }
        if (auto* arrived = std::get_if<sock::DeviceArrived>(&message)) {
            return Arrived(std::move(*arrived));
        }
        if (auto* left = std::get_if<sock::DeviceLeft>(&message)) {
            return Left(left->device);
        }
        if (auto* reply = std::get_if<sock::Reply>(&message)) {
            return link_->Deliver(std::move(*reply));
        }
        return false;  // a second greeting, or a request: simulators send neither
    }

    bool Arrived(sock::DeviceArrived arrived) {
        if (Find(arrived.device) != devices_.end()) {
            return false;
        }
        devices_.push_back(std::make_shared<SocketDevice>(link_, std::move(arrived)));
        listener_.Arrived(devices_.back());
        return true;
    }

    bool Left(uint32_t id) {
        auto found = Find(id);
        if (found == devices_.end()) {
            return false;
        }
        const std::shared_ptr<SocketDevice> device = *found;
        devices_.erase(found);
        device->Gone();
        listener_.Left(device);
        return true;
    }

    std::vector<std::shared_ptr<SocketDevice>>::iterator Find(uint32_t id) {
        return std::find_if(devices_.begin(), devices_.end(),
                            [id](const auto& device) { return device->Id() == id; });
    }

    std::shared_ptr<Link> link_;
    BusListener& listener_;
    std::atomic<bool>& connected_;
    bool greeted_ = false;
    std::vector<std::shared_ptr<SocketDevice>> devices_;  // in the order they arrived
};

SocketBus::SocketBus() : SocketBus(sock::DefaultSocketPath()) {}

SocketBus::SocketBus(std::string path) : path_(std::move(path)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = ends[0];
        wakeWrite_ = ends[1];
    }
}

SocketBus::~SocketBus() {
    Stop();
    if (wakeRead_ >= 0) {
        ::close(wakeRead_);
        ::close(wakeWrite_);
    }
}

void SocketBus::Start(BusListener& listener) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || wakeRead_ < 0) {
        return;
    }
    stopping_ = false;
    thread_ = std::thread([this, &listener] { Run(listener); });
}

void SocketBus::Stop() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
        return;
    }
    stopping_ = true;
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &wake, 1);
    thread_.join();
    char drained[16];
    while (::read(wakeRead_, drained, sizeof drained) > 0) {
    }
}

void SocketBus::Run(BusListener& listener) {
    while (!stopping_) {
        const int fd = sock::ConnectToSimulator(path_);
        if (fd >= 0) {
            ++connections_;
            Session session(fd, listener, connected_);
            session.Serve(wakeRead_);
        }
        if (!Pause(kPollMs)) {
            return;
        }
    }
}

bool SocketBus::Pause(uint32_t clockMs) {
    const auto real =
        std::chrono::duration_cast<std::chrono::milliseconds>(plat::RealDuration(clockMs));
    pollfd wake{wakeRead_, POLLIN, 0};
    int result;
    do {
        result = ::poll(&wake, 1, static_cast<int>(std::max<int64_t>(1, real.count())));
    } while (result < 0 && errno == EINTR);
    return !stopping_;
}

}  // namespace drv
